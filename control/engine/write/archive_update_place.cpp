// Putting a new archive in place (see archive_update_place.h).
#include "control/engine/write/archive_update_place.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "control/engine/write/zip_writer.h"
#include "platform/attributes.h"
#include "platform/drives.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/tempname.h"

namespace vz::engine {

namespace {

// Permission bits of a new archive: what a new file gets under the umask.
unsigned defaultMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666u & ~static_cast<unsigned>(mask);
}

// Flushes a folder's entries (a rename in it) to the medium.
void syncFolder(const std::string& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)fsync(fd);
  ::close(fd);
}

std::string folderOf(const std::string& path) {
  std::string d = directoryPart(path);
  if (d.size() > 1 && d.back() == '/') d.pop_back();
  return d.empty() ? "." : d;
}

// Whether the temporary file can be renamed onto the archive's name: the
// same file system, and for a simulated drive the temporary file inside its
// folder (its limits apply to what lands there).
bool sameVolume(const std::string& tempFile, const std::string& archive) {
  struct stat a {
  }, t{};
  if (stat(folderOf(archive).c_str(), &a) != 0 || stat(tempFile.c_str(), &t) != 0) return false;
  if (a.st_dev != t.st_dev) return false;
  const std::optional<DriveInfo> drive = drives::driveOf(archive);
  return !drive || !drive->simulated || isPathInside(drive->root, tempFile);
}

// Copies from to a new file beside the archive; the name of the copy, or
// the status (IoError or DiskFull) in *status.
std::string copyBeside(const std::string& from, const std::string& archive, PlaceStatus* status) {
  *status = PlaceStatus::IoError;
  const std::string beside = getTempFileName(folderOf(archive), kTempFilePrefix);
  if (beside.empty()) return {};
  File in, out;
  bool ok = in.open(from, File::Mode::Read) && out.open(beside, File::Mode::ReadWrite);
  std::vector<uint8_t> buf(kCopyBufferSize * 4);
  while (ok) {
    const int64_t n = in.read(buf.data(), buf.size());
    if (n < 0) ok = false;
    if (n <= 0) break;
    if (!out.write(buf.data(), static_cast<size_t>(n))) {
      if (errno == ENOSPC) *status = PlaceStatus::DiskFull;
      ok = false;
    }
    observeWriteStep(WriteStep::TempWrite);
  }
  ok = ok && out.sync();
  out.close();
  if (!ok) {
    removeFile(beside);
    return {};
  }
  *status = PlaceStatus::Ok;
  return beside;
}

}  // namespace

ArchiveTarget describeTarget(const std::string& zipName) {
  ArchiveTarget t;
  t.native = toNativePath(zipName);
  t.mode = defaultMode();
  struct stat ls {};
  if (lstat(t.native.c_str(), &ls) == 0 && S_ISLNK(ls.st_mode)) {
    std::error_code ec;
    const std::filesystem::path target = std::filesystem::canonical(t.native, ec);
    if (!ec) t.native = target.string();
  }
  struct stat st {};
  if (stat(t.native.c_str(), &st) == 0) {
    t.isFolder = S_ISDIR(st.st_mode);
    t.exists = S_ISREG(st.st_mode);
    if (t.exists) {
      t.mode = static_cast<unsigned>(st.st_mode & 07777);
      t.attributes = getFileAttributes(t.native);
      t.device = static_cast<uint64_t>(st.st_dev);
      t.inode = static_cast<uint64_t>(st.st_ino);
    }
  }
  return t;
}

PlaceStatus removableDiskTest(const std::string& native) {
  if (drives::driveType(native) != DriveType::Removable) return PlaceStatus::Ok;
  if (drives::isWriteProtected(native)) return PlaceStatus::WriteProtected;
  const std::optional<DriveInfo> drive = drives::driveOf(native);
  if (!drive) return PlaceStatus::Ok;
  const std::string labelFile = joinPath(drive->root, ".vzlabel");
  const bool hadLabelFile = fileExists(labelFile);
  const std::string old = drives::volumeLabel(native).value_or("");
  if (!drives::setVolumeLabel(native, "1")) return PlaceStatus::WriteProtected;
  const bool restored = hadLabelFile ? drives::setVolumeLabel(native, old) : removeFile(labelFile);
  return restored ? PlaceStatus::Ok : PlaceStatus::WriteProtected;
}

PlaceStatus checkWritable(const ArchiveTarget& target) {
  if (target.native.empty() || target.isFolder) return PlaceStatus::IoError;
  if (const PlaceStatus s = removableDiskTest(target.native); s != PlaceStatus::Ok) return s;
  File f;
  if (target.exists) return f.open(target.native, File::Mode::ReadWrite) ? PlaceStatus::Ok : PlaceStatus::IoError;
  if (!f.open(target.native, File::Mode::CreateNew, 0600)) return PlaceStatus::IoError;
  f.close();
  removeFile(target.native);
  return PlaceStatus::Ok;
}

PlaceStatus putInPlace(const std::string& tempFile, const ArchiveTarget& target) {
  if (const PlaceStatus s = removableDiskTest(target.native); s != PlaceStatus::Ok) return s;
  const std::optional<int64_t> size = fileSize(tempFile);
  if (!size) return PlaceStatus::IoError;
  observeWriteStep(WriteStep::BeforePlace);

  std::string source = tempFile;  // the file that takes the archive's name
  if (!sameVolume(tempFile, target.native)) {
    const std::optional<uint64_t> free = drives::freeSpace(target.native);
    if (free && *free < static_cast<uint64_t>(*size)) return PlaceStatus::DiskFull;
    PlaceStatus status = PlaceStatus::Ok;
    source = copyBeside(tempFile, target.native, &status);
    if (source.empty()) return status;
    observeWriteStep(WriteStep::CopiedBeside);
  }
  if (chmod(source.c_str(), static_cast<mode_t>(target.mode)) != 0 || !renameFile(source, target.native)) {
    if (source != tempFile) removeFile(source);
    return PlaceStatus::IoError;
  }
  syncFolder(folderOf(target.native));
  if (source != tempFile) removeFile(tempFile);
  observeWriteStep(WriteStep::Renamed);
  if (target.attributes) setFileAttributes(target.native, *target.attributes);
  return PlaceStatus::Ok;
}

}  // namespace vz::engine
