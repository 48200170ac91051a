// Backup and Restore (span_backup.h).
#include "control/engine/span/span_backup.h"

#include <dirent.h>

#include <cstdio>
#include <vector>

#include "control/engine/write/archive_update.h"
#include "control/engine/read/catalogue.h"
#include "control/engine/extract/extract_run.h"
#include "control/engine/common/notify.h"
#include "control/engine/span/span_names.h"
#include "control/engine/span/span_split.h"
#include "control/engine/common/temp_base.h"
#include "platform/attributes.h"
#include "platform/drives.h"
#include "platform/file.h"
#include "platform/paths.h"

namespace vz::engine {

namespace {

// The highest numbered extension of a temporary backup archive.
constexpr int kMaxTempNumber = 999;
// The file that holds a simulated volume's label (drives.h).
constexpr const char* kLabelFile = ".vzlabel";

// The names in a folder (no "." and ".."); empty when it cannot be read.
std::vector<std::string> namesIn(const std::string& folder) {
  std::vector<std::string> names;
  DIR* d = opendir(folder.c_str());
  if (!d) return names;
  while (const dirent* e = readdir(d)) {
    const std::string n = e->d_name;
    if (n != "." && n != "..") names.push_back(n);
  }
  closedir(d);
  return names;
}

// Whether a folder or any of its subfolders holds a file.
bool holdsAnyFile(const std::string& folder, int depth = 0) {
  if (depth > 64) return true;  // a folder nested that deep is not empty for our purpose
  for (const std::string& n : namesIn(folder)) {
    const std::string path = joinPath(folder, n);
    if (depth == 0 && n == kLabelFile) continue;
    if (isDirectory(path)) {
      if (holdsAnyFile(path, depth + 1)) return true;
    } else {
      return true;
    }
  }
  return false;
}

// The folder part of a mask in native form ("." when it has none).
std::string maskFolder(const std::string& mask) {
  const std::string native = toNativePath(mask);
  const std::string folder = directoryPart(native);
  return folder.empty() ? std::string(".") : folder;
}

// Clears the archive flag of every file the backup archive holds (they are
// stored relative to the mask's folder).
void clearArchiveFlags(const std::string& archive, const std::string& folder) {
  LoadedCatalogue cat;
  if (loadCatalogue(archive, CatalogueOptions{}, cat) != CatalogueStatus::Ok) return;
  for (const ArchiveEntry* e = cat.entries.first(); e; e = e->next.get()) {
    const std::string path = joinPath(folder, e->displayName);
    if (const std::optional<uint32_t> a = getFileAttributes(path); a && (*a & kAttrArchive))
      setFileAttributes(path, *a & ~kAttrArchive);
  }
}

}  // namespace

std::string backupTempName(const std::string& mask) {
  const std::string name = backupArchiveName(mask);
  const std::string first = joinPath(tempBaseFolder(), name);
  if (!fileExists(first)) return first;
  const std::string base = joinPath(tempBaseFolder(), baseNameOf(name));
  for (int n = 1; n <= kMaxTempNumber; ++n) {
    char ext[8];
    std::snprintf(ext, sizeof ext, ".%03d", n);
    if (!fileExists(base + ext)) return base + ext;
  }
  return {};
}

BackupStatus backupFiles(WriteEngine& engine, const SpanSession& session, const BackupRequest& request) {
  const std::string temp = backupTempName(request.mask);
  if (temp.empty()) return BackupStatus::NoTempName;
  const std::string dest = toNativePath(request.destination.empty() ? std::string(".") : request.destination);
  if (request.forceSingleBackup && holdsAnyFile(dest)) return BackupStatus::NotEmpty;
  if (drives::driveType(dest) == DriveType::CdRom || isWriteProtectedMedium(dest)) return BackupStatus::NotWritable;

  notify(session.window, session.pump, kNotifyBackupBuildZip, 0, reinterpret_cast<LParam>(temp.c_str()));
  engine.setOverwriteMode(kOverwriteAlways);
  ZipFilesRequest zr;
  zr.zipName = temp;
  zr.mask = request.mask;
  zr.recurse = request.recurse;
  zr.storePathMethod = 1;
  zr.useArchiveFlag = request.useArchiveFlag;
  zr.removeArchiveFlag = false;  // cleared below, once the set is on the disks
  // ZipFiles' Unreadable only warns: some files could not be read.
  const WriteStatus zipped = zipFiles(engine, zr);
  if (zipped != WriteStatus::Ok && zipped != WriteStatus::Unreadable) {
    removeFile(temp);
    return backupZipFailed(zipped);
  }
  const bool unreadable = zipped == WriteStatus::Unreadable;

  const std::optional<int64_t> size = fileSize(temp);
  if (!size || *size < kMinBackupArchiveSize) {
    removeFile(temp);
    return unreadable ? BackupStatus::NoArchiveUnreadable : BackupStatus::NoArchive;
  }
  notify(session.window, session.pump, kNotifyBackupZipDone, 0, static_cast<LParam>(*size));

  const std::string base = shortBaseName(baseNameOf(temp));
  for (const std::string& n : namesIn(dest)) {
    // NAME.?_? in any case: the parts of an earlier set of this name.
    if (n.size() != base.size() + 4 || n[base.size()] != '.' || n[base.size() + 2] != '_') continue;
    if (shortBaseName(n.substr(0, base.size())) != base) continue;
    removeFile(joinPath(dest, n));
  }

  // One part per disk, as large as the disk in the drive can hold. A free
  // space that cannot be read puts the whole archive in one part.
  const std::optional<uint64_t> free = drives::freeSpace(dest);
  int64_t partSize = *size;
  if (free) partSize = (static_cast<int64_t>(*free / 1024) - 1) * 1024;
  const SplitStatus split = splitArchive(session, temp, dest, partSize, partSize);
  if (split == SplitStatus::Ok && request.removeArchiveFlag) clearArchiveFlags(temp, maskFolder(request.mask));
  removeFile(temp);
  if (split != SplitStatus::Ok) return backupSplitFailed(split);
  return unreadable ? BackupStatus::SomeUnreadable : BackupStatus::Ok;
}

RestoreStatus restoreFiles(UnzipState& st, const SpanSession& session, const RestoreRequest& request,
                           const BackupSetChooser& chooser) {
  const std::string source = toNativePath(request.source.empty() ? std::string(".") : request.source);
  std::vector<std::string> firsts;
  for (const std::string& n : namesIn(source))
    if (isFirstPartName(n) && isRegularFile(joinPath(source, n))) firsts.push_back(n);
  if (firsts.empty()) return RestoreStatus::NoSet;
  std::string first = joinPath(source, firsts.front());
  if (firsts.size() > 1) {
    if (!request.displayDialog) return RestoreStatus::SeveralSets;
    const std::optional<std::string> chosen = chooser ? chooser(source) : std::nullopt;
    if (!chosen || chosen->empty()) return RestoreStatus::Cancelled;
    first = *chosen;
  }

  const std::string folder = tempBaseFolder();
  const std::string joined = joinPath(folder, shortBaseName(baseNameOf(first)) + ".ZIP");
  notify(session.window, session.pump, kNotifyRestoreBuildZip, 0, reinterpret_cast<LParam>(joined.c_str()));
  const JoinStatus j = joinParts(session, first, folder);
  if (j != JoinStatus::Ok) return restoreJoinFailed(j);
  const std::optional<int64_t> size = fileSize(joined);
  if (!size) return RestoreStatus::NoArchive;
  notify(session.window, session.pump, kNotifyRestoreZipDone, 0, static_cast<LParam>(*size));
  const ReadStatus x = unzipFiles(st, joined, "*.*", request.destination, true, request.overwriteMode);
  removeFile(joined);
  if (x != ReadStatus::Ok) return restoreExtractFailed(x);
  return RestoreStatus::Ok;
}

}  // namespace vz::engine
