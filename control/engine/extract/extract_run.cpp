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

int16_t finish(UnzipState& st, int16_t status) {
  st.status = status;
  return status;
}

// Opens the archive and finds its end record for a run; 0 to go on.
int16_t prepareArchive(DirectoryReader& reader, const std::string& zipName, int16_t* endStatus) {
  if (const int16_t s = openArchive(reader, zipName); s != kOk) return s;
  const int16_t end = reader.locateEndRecord();
  if (endStatus) *endStatus = end;
  return isReadable(end) ? kOk : kCrcError;
}

// Checks the drive of a destination folder and creates the folder.
int16_t prepareDestination(const std::string& folder) {
  if (const int16_t d = destinationDriveStatus(folder); d != kOk) return d;
  return makeDirectories(folder) && isDirectory(folder) ? kOk : kCrcError;
}

}  // namespace

int16_t openArchive(DirectoryReader& reader, const std::string& zipName) {
  if (reader.open(zipName)) return kOk;
  std::string native = toNativePath(oemToAnsi(zipName));
  if (isDirectory(native)) native = toNativePath(zipName + ".ZIP");
  return fileExists(native) ? kCannotOpen : kTestOpenFailed;
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

int16_t unzipFiles(UnzipState& st, const std::string& zipName, const std::string& mask,
                   const std::string& destDirectory, bool rebuildDir, int overwriteMode) {
  if (mask.size() > kMaxMaskLength) return finish(st, kMaskTooLong);
  st.replaceAnswer = kReplaceUnset;
  st.passwordAnswer = kPasswordUnset;
  DirectoryReader reader(st);
  if (const int16_t s = openArchive(reader, zipName); s != kOk) return finish(st, s);

  ExtractOptions o;
  o.mode = ExtractMode::Normal;
  o.mask = mask;
  o.dropPaths = !rebuildDir;
  o.overwrite = overwriteModeOf(overwriteMode);
  if (destDirectory.size() < 2) {
    o.destination = absolutePath(".");
  } else {
    o.destination = absolutePath(toNativePath(destDirectory));
    if (const int16_t s = prepareDestination(o.destination); s != kOk) return finish(st, s);
  }
  if (!isReadable(reader.locateEndRecord())) return finish(st, kCrcError);
  ExtractJob job(st, reader, o);
  return finish(st, job.run());
}

int16_t unzipToFile(UnzipState& st, const std::string& zipName, const std::string& mask,
                    const std::string& destFile) {
  if (mask.size() > kMaxMaskLength) return finish(st, kMaskTooLong);
  st.replaceAnswer = kReplaceUnset;
  st.passwordAnswer = kPasswordUnset;
  DirectoryReader reader(st);
  if (const int16_t s = prepareArchive(reader, zipName, nullptr); s != kOk) return finish(st, s);

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
  }  // else no name at all: nothing can be created (12)
  ExtractJob job(st, reader, o);
  return finish(st, job.run());
}

int16_t testArchive(UnzipState& st, const std::string& zipName) {
  DirectoryReader reader(st);
  int16_t end = kOk;
  if (const int16_t s = prepareArchive(reader, zipName, &end); s != kOk) return finish(st, s);
  ExtractOptions o;
  o.mode = ExtractMode::Test;
  st.testMode = true;
  ExtractJob job(st, reader, o);
  int16_t status = job.run();
  st.testMode = false;
  if (end == kPrefixData && (status == kOk || status == kCorrected)) status = kPrefixData;
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
