// The vocabulary of the extraction driver: its modes, the overwrite modes of
// UnzipFiles, the status codes it adds to the reader's, the remembered
// answers of the replace and password questions, the notification messages
// it sends, and the per-call options one run works with.
//
// Status codes a run adds to the reader's (ReadStatus, status.h):
//   11  ExistingNotReplaced  an existing output file could not be replaced
//   12  NotCreated           a new output file could not be created
//   13  NoFreeSpace          the destination drive has no free space
//   14  CdRomDrive           the destination is a CD-ROM drive
//   15  DriveNotWritable     the destination is a removable disk that cannot be written
//   16  MaskTooLong          the mask is 1024 characters or longer
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "control/engine/common/notify.h"  // the driver's notifications (kNotifyOpenFile ...)
#include "control/engine/common/status.h"

namespace vz::engine {

enum class ExtractMode : uint8_t {
  Normal,  // UnzipFiles: entries into a destination folder
  ToFile,  // UnzipToFile: every selected entry into one named file
  View,    // View: into the view folder, then opened with a viewer
  Test,    // IsZIPFileSlow: into temporary files that are deleted again
};

// iOverwriteMode of UnzipFiles: what happens to a file that already exists.
// Any other value is taken as Never, the mode that cannot lose data.
enum class OverwriteMode : uint8_t {
  Never = 0,      // skip the entry
  Always = 1,     // replace the file
  Ask = 2,        // ask with the replace question
  NewerOnly = 3,  // replace only when the archive's copy is newer; never ask
};
OverwriteMode overwriteModeOf(int value);

// The longest mask accepted, in bytes (a 1024-byte buffer with its NUL).
constexpr size_t kMaxMaskLength = 1023;

// UnzipState::replaceAnswer: the lasting answer of a replace question in
// the current call.
enum ReplaceMemory : int {
  kReplaceUnset = 0,
  kReplaceAlways = 1,  // every later question of the call is answered yes
  kReplaceNever = 2,   // every later question of the call is answered no
};

// UnzipState::passwordAnswer: the last answer of the password prompt,
// kept until a call sets the password or the ask flag again.
enum PasswordMemory : int {
  kPasswordUnset = 0,
  kPasswordSkipOne = 1,  // the last entry was bypassed
  kPasswordSkipAll = 2,  // every later entry whose password fails is skipped unasked
};

// The options of one run, made from a method's arguments.
struct ExtractOptions {
  ExtractMode mode = ExtractMode::Normal;
  std::string mask;         // empty or "*.*": every entry
  std::string destination;  // Normal and View: absolute native folder, no trailing "/"
  std::string destFile;     // ToFile: the native path of the output file
  bool dropPaths = false;   // write every entry into the destination itself
  OverwriteMode overwrite = OverwriteMode::Never;
  bool useTextEditor = false;  // View: open every file with the text editor
  bool runExe = false;         // View: start EXE and COM files
};

}  // namespace vz::engine
