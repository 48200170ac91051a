// Results of the spanned backup operations: Split and Join (span_split.h),
// Backup and Restore (span_backup.h). The numbers are the ones the control
// reports to its host. Backup and Restore pass on the result of the step
// that failed as a number added to a base (10 + the compression's result,
// 40 + the split's result, ...); the helpers below form those sums.
#pragma once

#include <cstdint>
#include <ostream>

#include "control/engine/write/write_status.h"

namespace vz::engine {

enum class SplitStatus : int16_t {
  Ok = 0,
  NoArchive = 1,  // missing, or a folder
  NoMemory = 2,
  CannotRead = 3,       // the archive cannot be opened or read
  TooManyParts = 4,     // more than 36 parts
  CannotCreate = 5,     // a part file cannot be created
  NoRoom = 6,           // stopped at a disk prompt for room
  ShortWrite = 10,      // a part could not be written whole
  WriteProtected = 11,  // stopped at a write-protected disk
};

enum class JoinStatus : int16_t {
  Ok = 0,
  CannotRead = 3,    // a part cannot be opened or read, or the archive not written
  CannotCreate = 4,  // the joined archive cannot be created
  Stopped = 5,       // "No" at the disk prompt
  BadName = 7,       // the part name does not end in "_" and a base-36 digit
  NoRoom = 9,        // no room for a part on the destination
};

enum class BackupStatus : int16_t {
  Ok = 0,
  NoTempName = 1,
  NotEmpty = 3,             // destination not empty with bForceSingleBackup
  NoArchive = 4,            // temporary archive missing or too short
  NoArchiveUnreadable = 5,  // the same, and some files could not be read
  SomeUnreadable = 6,       // done, but some files could not be read
  ZipFailedBase = 10,       // + the compression's result
  NotWritable = 24,         // CD-ROM drive or write-protected medium
  SplitFailedBase = 40,     // + the split's result
};

enum class RestoreStatus : int16_t {
  Ok = 0,
  SeveralSets = 1,
  NoArchive = 2,
  Cancelled = 3,
  NoSet = 4,
  JoinFailedBase = 10,     // + the join's result
  ExtractFailedBase = 40,  // + the extraction's result
};

// Backup: 10 + the compression's result.
constexpr BackupStatus backupZipFailed(WriteStatus s) {
  return static_cast<BackupStatus>(statusCode(BackupStatus::ZipFailedBase) + statusCode(s));
}
// Backup: 40 + the split's result.
constexpr BackupStatus backupSplitFailed(SplitStatus s) {
  return static_cast<BackupStatus>(statusCode(BackupStatus::SplitFailedBase) + statusCode(s));
}
// Restore: 10 + the join's result.
constexpr RestoreStatus restoreJoinFailed(JoinStatus s) {
  return static_cast<RestoreStatus>(statusCode(RestoreStatus::JoinFailedBase) + statusCode(s));
}
// Restore: 40 + the extraction's result (the read side's number).
constexpr RestoreStatus restoreExtractFailed(ReadStatus extraction) {
  return static_cast<RestoreStatus>(statusCode(RestoreStatus::ExtractFailedBase) + statusCode(extraction));
}

// Printed as the number (logs and test messages).
inline std::ostream& operator<<(std::ostream& os, SplitStatus s) { return os << statusCode(s); }
inline std::ostream& operator<<(std::ostream& os, JoinStatus s) { return os << statusCode(s); }
inline std::ostream& operator<<(std::ostream& os, BackupStatus s) { return os << statusCode(s); }
inline std::ostream& operator<<(std::ostream& os, RestoreStatus s) { return os << statusCode(s); }

}  // namespace vz::engine
