// The driver's operations (see extract_run.h): each checks its arguments,
// opens the archive, prepares the destination, locates the end record and
// runs the entry loop of extract_job.h.
//
// Steps of UnzipFiles:
//   1. A mask of 1024 characters or more: 16. The replace and password
//      answers are reset. The archive is opened: 6 when it does not exist
//      (or cannot be set up), 2 when it exists but cannot be opened.
//   2. A destination of fewer than 2 characters is the current folder.
//      Otherwise its drive is checked (CD-ROM 14, a write-protected
//      removable disk 15, no free space 13) and the folder is created with
//      its missing parents (5 when that fails). Paths are resolved against
//      the destination instead of switching the process's current folder.
//   3. The end record: anything but a readable status gives 5.
//   4. The entry loop; its status is the result.
// The drive is checked before the folder is created, so that a CD-ROM or a
// write-protected disk reports its own code rather than a failed folder.
#include "control/engine/extract/extract_run.h"

#include "control/engine/read/directory_reader.h"
#include "control/engine/extract/extract_job.h"
#include "control/engine/common/status.h"
#include "platform/charcase.h"
#include "platform/codepage.h"
#include "platform/file.h"
#include "platform/paths.h"

namespace vz::engine {

namespace {

ReadStatus finish(UnzipState& st, ReadStatus status) {
  st.status = status;
  return status;
}

// Opens the archive and finds its end record for a run; Ok to go on.
ReadStatus prepareArchive(DirectoryReader& reader, const std::string& zipName, ReadStatus* endStatus) {
  if (const ReadStatus s = openArchive(reader, zipName); s != ReadStatus::Ok) return s;
  const ReadStatus end = reader.locateEndRecord();
  if (endStatus) *endStatus = end;
  return isReadable(end) ? ReadStatus::Ok : ReadStatus::CrcError;
}

// Checks the drive of a destination folder and creates the folder.
ReadStatus prepareDestination(const std::string& folder) {
  if (const ReadStatus d = destinationDriveStatus(folder); d != ReadStatus::Ok) return d;
  return makeDirectories(folder) && isDirectory(folder) ? ReadStatus::Ok : ReadStatus::CrcError;
}

}  // namespace

ReadStatus openArchive(DirectoryReader& reader, const std::string& zipName) {
  if (reader.open(zipName)) return ReadStatus::Ok;
  std::string native = toNativePath(oemToAnsi(zipName));
  if (isDirectory(native)) native = toNativePath(zipName + ".ZIP");
  return fileExists(native) ? ReadStatus::CannotOpen : ReadStatus::TestOpenFailed;
}

OverwriteMode overwriteModeOf(int value) {
  switch (value) {
    case 1:
      return OverwriteMode::Always;
    case 2:
      return OverwriteMode::Ask;
    case 3:
      return OverwriteMode::NewerOnly;
    default:
      return OverwriteMode::Never;
  }
}

ReadStatus unzipFiles(UnzipState& st, const std::string& zipName, const std::string& mask,
                      const std::string& destDirectory, bool rebuildDir, int overwriteMode) {
  if (mask.size() > kMaxMaskLength) return finish(st, ReadStatus::MaskTooLong);
  st.replaceAnswer = kReplaceUnset;
  st.passwordAnswer = kPasswordUnset;
  DirectoryReader reader(st);
  if (const ReadStatus s = openArchive(reader, zipName); s != ReadStatus::Ok) return finish(st, s);

  ExtractOptions o;
  o.mode = ExtractMode::Normal;
  o.mask = mask;
  o.dropPaths = !rebuildDir;
  o.overwrite = overwriteModeOf(overwriteMode);
  if (destDirectory.size() < 2) {
    o.destination = absolutePath(".");
  } else {
    o.destination = absolutePath(toNativePath(destDirectory));
    if (const ReadStatus s = prepareDestination(o.destination); s != ReadStatus::Ok) return finish(st, s);
  }
  if (!isReadable(reader.locateEndRecord())) return finish(st, ReadStatus::CrcError);
  ExtractJob job(st, reader, o);
  return finish(st, job.run());
}

ReadStatus unzipToFile(UnzipState& st, const std::string& zipName, const std::string& mask,
                       const std::string& destFile) {
  if (mask.size() > kMaxMaskLength) return finish(st, ReadStatus::MaskTooLong);
  st.replaceAnswer = kReplaceUnset;
  st.passwordAnswer = kPasswordUnset;
  DirectoryReader reader(st);
  if (const ReadStatus s = prepareArchive(reader, zipName, nullptr); s != ReadStatus::Ok) return finish(st, s);

  ExtractOptions o;
  o.mode = ExtractMode::ToFile;
  o.mask = mask;
  o.dropPaths = true;
  o.overwrite = OverwriteMode::Always;
  // The output file's name is upper-cased, as every name the engine
  // writes; its folders are taken as given (on this file system a folder's
  // case is part of its name).
  const std::string given = toNativePath(destFile);
  const std::string name = fileNamePart(given);
  if (!name.empty() && name != "." && name != "..") {
    const std::string folder = directoryPart(given);
    o.destFile = joinPath(absolutePath(folder.empty() ? std::string(".") : folder), toUpper(name));
  } else if (!given.empty()) {
    o.destFile = absolutePath(given);  // a folder: the files cannot be created (11)
  }                                    // else no name at all: nothing can be created (12)
  ExtractJob job(st, reader, o);
  return finish(st, job.run());
}

ReadStatus testArchive(UnzipState& st, const std::string& zipName) {
  DirectoryReader reader(st);
  ReadStatus end = ReadStatus::Ok;
  if (const ReadStatus s = prepareArchive(reader, zipName, &end); s != ReadStatus::Ok) return finish(st, s);
  ExtractOptions o;
  o.mode = ExtractMode::Test;
  st.testMode = true;
  ExtractJob job(st, reader, o);
  ReadStatus status = job.run();
  st.testMode = false;
  if (end == ReadStatus::PrefixData && (status == ReadStatus::Ok || status == ReadStatus::Corrected))
    status = ReadStatus::PrefixData;
  return finish(st, status);
}

int16_t unzipGetReplaceFlag(const UnzipState& st) {
  switch (st.replaceAnswer) {
    case kReplaceAlways:
      return 1;
    case kReplaceNever:
      return 0;
    default:
      return 2;
  }
}

}  // namespace vz::engine
