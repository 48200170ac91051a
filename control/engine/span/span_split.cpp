// Split and Join (span_split.h).
#include "control/engine/span/span_split.h"

#include <algorithm>
#include <new>
#include <optional>
#include <vector>

#include "control/engine/common/notify.h"
#include "control/engine/span/span_names.h"
#include "platform/drives.h"
#include "platform/file.h"
#include "platform/paths.h"

namespace vz::engine {

namespace {


// Whether the drive of path has room for size bytes (an unknown free space
// is not held against it).
bool hasRoom(const std::string& path, int64_t size) {
  const std::optional<uint64_t> free = drives::freeSpace(path);
  return !free || *free >= static_cast<uint64_t>(std::max<int64_t>(size, 0));
}

// Makes the destination ready for one part: Ok, NoRoom or WriteProtected
// (span_split.h, step 3).
[[nodiscard]] SplitStatus prepareDisk(const SpanSession& session, bool removable, const std::string& folder,
                                      const std::string& part, int64_t partSize, int diskNumber, int diskCount) {
  SplitStatus refusal = SplitStatus::NoRoom;  // the answer "No" gives, after the last refusal
  for (;;) {
    if (removable && !askForDisk(session, diskNumber, diskCount)) return refusal;
    if (isWriteProtectedMedium(folder)) {
      if (!removable) return SplitStatus::WriteProtected;
      refusal = SplitStatus::WriteProtected;
      continue;
    }
    if (isRegularFile(part)) removeFile(part);
    if (!hasRoom(folder, partSize)) {
      if (!removable) return SplitStatus::NoRoom;
      refusal = SplitStatus::NoRoom;
      continue;
    }
    return SplitStatus::Ok;
  }
}

}  // namespace

int lastPartIndex(int64_t size, int64_t firstSize, int64_t nextSize) {
  if (firstSize < 0) firstSize = 0;
  if (nextSize <= 0) nextSize = 1;
  if (size < firstSize) return 0;
  const int64_t more = (size - firstSize) / nextSize;
  if (more + 1 >= kMaxSpanParts) return -1;
  return static_cast<int>(more + 1);
}

SplitStatus splitArchive(const SpanSession& session, const std::string& zipName, const std::string& destDir,
                         int64_t firstSize, int64_t nextSize) {
  const std::string native = toNativePath(zipName);
  if (zipName.empty() || !isRegularFile(native)) return SplitStatus::NoArchive;
  const std::optional<int64_t> size = fileSize(native);
  if (!size) return SplitStatus::CannotRead;
  if (firstSize < 0) firstSize = 0;
  if (nextSize <= 0) nextSize = 1;
  const int last = lastPartIndex(*size, firstSize, nextSize);
  if (last < 0) return SplitStatus::TooManyParts;

  std::vector<char> buffer;
  try {
    buffer.resize(kSplitBufferSize);
  } catch (const std::bad_alloc&) {
    return SplitStatus::NoMemory;
  }
  File src;
  if (!src.open(native, File::Mode::Read)) return SplitStatus::CannotRead;

  const std::string folder = toNativePath(destDir.empty() ? std::string(".") : destDir);
  const bool removable = isRemovableDrive(folder);
  const std::string base = shortBaseName(baseNameOf(zipName));
  int64_t offset = 0;
  for (int i = 0; i <= last; ++i) {
    const int64_t want = i == 0 ? firstSize : nextSize;
    const int64_t partSize = std::min(want, *size - offset);
    const std::string path = joinPath(folder, partFileName(base, i, last));
    if (const SplitStatus s = prepareDisk(session, removable, folder, path, partSize, i + 1, last + 1);
        s != SplitStatus::Ok)
      return s;
    makeDirectories(folder);
    File part;
    if (!part.open(path, File::Mode::Create)) return SplitStatus::CannotCreate;
    int64_t written = 0;
    SplitStatus failure = SplitStatus::Ok;
    while (written < partSize) {
      const size_t n = static_cast<size_t>(std::min<int64_t>(kSpanCopyBlock, partSize - written));
      if (!src.readExact(buffer.data(), n)) {
        failure = SplitStatus::CannotRead;
        break;
      }
      if (!part.write(buffer.data(), n)) {
        failure = SplitStatus::ShortWrite;
        break;
      }
      written += static_cast<int64_t>(n);
      notify(session.window, session.pump, kNotifySplitting, static_cast<WParam>(written / 1024),
             reinterpret_cast<LParam>(path.c_str()));
    }
    if (failure == SplitStatus::Ok && !part.sync()) failure = SplitStatus::ShortWrite;
    part.close();
    if (failure != SplitStatus::Ok) {
      removeFile(path);
      return failure;
    }
    offset += partSize;
    notify(session.window, session.pump, kNotifySplitted, static_cast<WParam>(i + 1), static_cast<LParam>(partSize));
  }
  return SplitStatus::Ok;
}

JoinStatus joinParts(const SpanSession& session, const std::string& partName, const std::string& destDir,
                     std::string* joinedPath) {
  const std::optional<int> lastIndex = lastIndexOfPartName(partName);
  if (!lastIndex || partName.size() < 4 || partName[partName.size() - 4] != '.') return JoinStatus::BadName;
  const int last = *lastIndex;
  const std::string native = toNativePath(partName);
  const std::string sourceFolder = directoryPart(native).empty() ? std::string(".") : directoryPart(native);
  const std::string givenBase = baseNameOf(native);
  const char lastDigit = partName.back();

  const std::string folder = toNativePath(destDir.empty() ? std::string(".") : destDir);
  const std::string joined = joinPath(folder, shortBaseName(givenBase) + ".ZIP");
  if (joinedPath) *joinedPath = joined;
  std::vector<char> buffer;
  try {
    buffer.resize(kSpanCopyBlock);
  } catch (const std::bad_alloc&) {
    return JoinStatus::CannotRead;
  }
  File out;
  if (!out.open(joined, File::Mode::Create)) return JoinStatus::CannotCreate;
  auto fail = [&](JoinStatus status) {
    out.close();
    removeFile(joined);
    return status;
  };

  int64_t total = 0;
  for (int i = 0; i <= last; ++i) {
    std::string name = givenBase + '.' + spanDigit(i) + '_' + lastDigit;
    std::string path;
    for (;;) {
      path = findFileNoCase(sourceFolder, name);
      if (!path.empty() && isRegularFile(path)) break;
      if (!askForDisk(session, i + 1, last + 1)) return fail(JoinStatus::Stopped);
    }
    File part;
    if (!part.open(path, File::Mode::Read)) return fail(JoinStatus::CannotRead);
    const int64_t partSize = part.size();
    if (partSize < 0) return fail(JoinStatus::CannotRead);
    if (!hasRoom(folder, partSize)) return fail(JoinStatus::NoRoom);
    int64_t done = 0;
    while (done < partSize) {
      const size_t n = static_cast<size_t>(std::min<int64_t>(kSpanCopyBlock, partSize - done));
      if (!part.readExact(buffer.data(), n) || !out.write(buffer.data(), n)) return fail(JoinStatus::CannotRead);
      done += static_cast<int64_t>(n);
      notify(session.window, session.pump, kNotifyJoining, static_cast<WParam>(done / 1024),
             reinterpret_cast<LParam>(path.c_str()));
    }
    total += partSize;
  }
  if (!out.sync()) return fail(JoinStatus::CannotRead);
  out.close();
  notify(session.window, session.pump, kNotifyJoinDoneName, 0, reinterpret_cast<LParam>(joined.c_str()));
  notify(session.window, session.pump, kNotifyJoinDoneSize, 0, static_cast<LParam>(total));
  return JoinStatus::Ok;
}

}  // namespace vz::engine
