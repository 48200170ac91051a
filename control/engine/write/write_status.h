// Results of the write side, one enum per family whose numbers mean
// different things:
//
//   BuildStatus   the archive builder's I/O (zip_writer.h)
//   PlaceStatus   putting a new archive in place, and the checks before
//                 (archive_update_place.h)
//   WriteStatus   the write operations: ZipFiles, deleting, comments, and
//                 one file written into an archive (archive_update.h,
//                 zip_writer_file.h)
//   EncryptStatus the encryption pass (encrypt_pass.h)
//
// The numbers are the ones the control reports to its host and never
// change. Where a number is handed over from one family to another it
// keeps its meaning (a placement's 16 is a write operation's 16), which
// the conversions below spell out. statusCode() is the one way back to the
// number, at the boundary where the control returns it to its caller.
#pragma once

#include <cstdint>
#include <ostream>

#include "control/engine/common/status.h"  // statusCode(), CatalogueStatus

namespace vz::engine {

enum class BuildStatus : int16_t {
  Ok = 0,
  IoError = 2,  // the temporary file cannot be created or written, or the source read
};

enum class PlaceStatus : int16_t {
  Ok = 0,
  IoError = 2,          // the archive's path takes no writes, or the copy or rename failed
  WriteProtected = 15,  // the target removable disk is write-protected
  DiskFull = 16,        // not enough room on the target disk
};

enum class WriteStatus : int16_t {
  Ok = 0,
  IoError = 2,           // archive or temporary file cannot be created, opened, read or written;
                         // as a warning: a disk file could not be opened
  CompressorOutput = 3,  // the compressor could not write its output
  BadArchive = 4,        // the archive's directory is damaged
  NoMemory = 5,
  NothingToDo = 6,      // empty name or mask, nothing matched, nothing to delete
  CommentTooLong = 8,   // archive comment of 32,768 characters or more
  EncryptFailed = 9,    // the encryption pass failed
  Unreadable = 12,      // as a warning: a disk file could not be read; or the temporary file could not be used
  WriteProtected = 15,  // the target removable disk is write-protected
  DiskFull = 16,        // not enough room on the target disk
  Cancelled = 17,       // cancelled by ZipCancel
};

enum class EncryptStatus : int16_t {
  Ok = 0,
  BadArchive = 4,  // the archive's directory is damaged
  NoMemory = 5,
  NothingToDo = 6,  // no entry needs encrypting; the archive is not touched
  Failed = 12,      // a read, seek or write failed, or another write operation runs
  DiskFull = 16,    // no room on the temporary or the target disk
};

// The same number in the family of the operation that passes it on.
constexpr WriteStatus writeStatusOf(BuildStatus s) { return static_cast<WriteStatus>(s); }
constexpr WriteStatus writeStatusOf(PlaceStatus s) { return static_cast<WriteStatus>(s); }
constexpr PlaceStatus placeStatusOf(BuildStatus s) { return static_cast<PlaceStatus>(s); }
// The catalogue loader's result (catalogue.h: 0, 4 or 5, the numbers of the
// write operations).
constexpr WriteStatus writeStatusOfLoader(CatalogueStatus loaded) { return static_cast<WriteStatus>(loaded); }

// Printed as the number (logs and test messages).
inline std::ostream& operator<<(std::ostream& os, BuildStatus s) { return os << statusCode(s); }
inline std::ostream& operator<<(std::ostream& os, PlaceStatus s) { return os << statusCode(s); }
inline std::ostream& operator<<(std::ostream& os, WriteStatus s) { return os << statusCode(s); }
inline std::ostream& operator<<(std::ostream& os, EncryptStatus s) { return os << statusCode(s); }

}  // namespace vz::engine
