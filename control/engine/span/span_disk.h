// Drive checks and the disk prompt of spanned backups.
//
// The checks go through the platform's drives service, so simulated drives
// (VZ_DRIVES) behave like real removable disks in tests:
//   disk ready     the drive reports a free space (a disk is in and readable)
//   drive writable not a CD-ROM drive, and not a write-protected removable
//                  disk (write test: the volume label is set to "1" and back)
//   room           the drive's free bytes cover the size needed; a free space
//                  that cannot be read is not held against the caller
//
// The disk prompt is a Yes/No question with the caller's caption and text,
// in both of which "%1" becomes the number of the disk wanted (from 1) and
// "%2" the number of disks in the set. It is asked through the session's
// prompts (prompts.h); without prompts it is answered "No".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/types.h"

namespace vz::engine {

class Prompts;

// What a spanning operation needs besides its arguments.
struct SpanSession {
  Handle window = 0;           // receives the progress reports, 0 for none
  bool pump = false;           // dispatch waiting messages after each report
  std::string title;           // szTitle of the disk prompt
  std::string message;         // szMsg of the disk prompt
  Prompts* prompts = nullptr;  // asks the disk prompt; null: answered "No"
};

// IsDisketteReady: the drive of path reports any free space.
bool isDisketteReady(std::string_view path);
// IsDriveWriteable: not a CD-ROM drive and not a write-protected removable
// disk.
bool isDriveWriteable(std::string_view path);
// IsWriteable: the drive of path has room for size bytes.
bool isWriteable(std::string_view path, int64_t size);
// Whether path lies on a removable drive.
bool isRemovableDrive(std::string_view path);
// Whether the medium of path takes no writes (read-only, or a removable disk
// that fails the label write test).
bool isWriteProtectedMedium(std::string_view path);

// "%1" and "%2" replaced in text.
std::string diskPromptText(std::string_view text, int diskNumber, int diskCount);
// Asks for disk diskNumber of diskCount; true when answered "Yes".
bool askForDisk(const SpanSession& session, int diskNumber, int diskCount);

}  // namespace vz::engine
