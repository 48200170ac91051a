// Backup and Restore: a folder backed up to a series of disks as one
// ordinary archive cut into parts (span_split.h), and brought back.
//
// Backup(mask, destination, ...):
//   1. The archive's name (span_names.h) in the temporary base folder; when
//      a file of that name exists there the extension becomes the first
//      free number 001..999 (none free: 1).
//   2. bForceSingleBackup: the destination folder and its subfolders must
//      hold no file at all (3). The volume label file of a simulated disk
//      is the disk's label, not a file on it.
//   3. A destination on a CD-ROM drive or a write-protected medium: 24.
//   4. ZNBackupBuildZip (the temporary archive), then ZipFiles into it with
//      paths relative to the mask's folder, overwrite mode 0, no password.
//      A result other than 0 and 12: that result + 10. 12 (some files
//      unreadable) is remembered.
//   5. The temporary archive must exist with at least 23 bytes (else 4, or
//      5 when files were unreadable). ZNBackupZipDone (its size). Parts of
//      an earlier set of the same name ("NAME.?_?") on the destination are
//      deleted.
//   6. Split onto the destination with both part sizes (free kilobytes of
//      the destination - 1) x 1,024; the temporary archive is deleted.
//   7. 40 + the split's result when it failed; else 6 when files were
//      unreadable, else 0.
// The archive flags (bRemoveArchiveFlag) are cleared only after the whole
// set is on the disks: a backup that fails at a disk prompt leaves every
// file marked as not yet backed up.
//
// Restore(source, destination, ...):
//   1. The first parts ("*.0_?") in the source folder: none: 4; one is
//      taken; several: the chooser picks one when the dialog is allowed
//      (cancelled: 3), else 1 and nothing is touched.
//   2. ZNRestoreBuildZip (the joined archive's path); Join into the
//      temporary base folder; a failure: its result + 10.
//   3. ZNRestoreZipDone (the size); the joined archive missing: 2. Every
//      entry ("*.*") is extracted into the destination with folders rebuilt
//      and the given overwrite mode (extract_run.h); a failure: its result
//      + 40. The joined archive is deleted.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "control/engine/span/span_disk.h"
#include "control/engine/span/span_status.h"
#include "control/engine/common/unzip_state.h"
#include "control/engine/write/zip_writer_engine.h"

namespace vz::engine {

// The smallest archive a backup can be: an end record and one byte more.
constexpr int64_t kMinBackupArchiveSize = 23;

struct BackupRequest {
  std::string mask;         // szMask
  std::string destination;  // szDestDrive
  bool recurse = false;
  bool useArchiveFlag = false;
  bool removeArchiveFlag = false;
  bool forceSingleBackup = false;
};

// The temporary archive's path for a mask (step 1); empty when no name is
// free.
std::string backupTempName(const std::string& mask);

// engine carries the compression mode, the report window, pumping and the
// cancel request; its overwrite mode is set to 0 for the run. Results:
// BackupStatus (span_status.h).
[[nodiscard]] BackupStatus backupFiles(WriteEngine& engine, const SpanSession& session, const BackupRequest& request);

// Picks one first part among several in a folder; nullopt when cancelled.
using BackupSetChooser = std::function<std::optional<std::string>(const std::string& folder)>;

struct RestoreRequest {
  std::string source;       // szSourceDirectory
  std::string destination;  // szDestinationDirectory
  int overwriteMode = 0;    // iOverwriteMode
  bool displayDialog = false;
};

// st carries the report window, pumping, cancel and erase-read-only
// settings of the extraction. Results: RestoreStatus (span_status.h).
[[nodiscard]] RestoreStatus restoreFiles(UnzipState& st, const SpanSession& session, const RestoreRequest& request,
                                         const BackupSetChooser& chooser);

}  // namespace vz::engine
