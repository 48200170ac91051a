// DOS attributes over POSIX files, and local-time conversions.
//
// Read-only, hidden and directory are derived from the file itself (owner's
// write permission, a leading "." in the name, the file type). System and
// archive are kept in the extended attribute "user.dosattrib" as text:
//
//   "1:<attributes>:<mtime seconds>:<mtime nanoseconds>:<size>"
//
// all decimal, where the last three describe the file when the attribute
// was written. A regular file whose modification time or size differs from
// that record has been changed since, and reads with the archive bit set
// again (the size catches changes made within one tick of a coarse file
// system clock). Without the attribute a regular file reads with the archive
// bit set and a directory without it; storing exactly that default state
// removes the attribute, so ordinary files carry none. A malformed attribute
// counts as absent. On a file system without extended attributes (ENOTSUP)
// nothing is stored: the archive bit reads set, and clearing it or setting
// the system bit succeeds without effect.
//
// Directories keep their permissions: the original platform's read-only
// flag on a folder did not stop files being created in it, while removing
// the write permission here would, so setting it on a directory is ignored.
//
// setFileTime is not a modification of the contents: when the file's record
// was current before the time was set, it is renewed for the new time, so
// "extract, clear the archive bit, set the time" in any order leaves the
// bit clear.
#include "platform/attributes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace vz {

namespace {

constexpr const char* kXattrName = "user.dosattrib";
// Version tag at the start of the attribute's text.
constexpr const char* kRecordVersion = "1";
// The bits the extended attribute holds.
constexpr uint32_t kStoredBits = kAttrSystem | kAttrArchive;
// Write permission of owner, group and others.
constexpr mode_t kAllWrite = S_IWUSR | S_IWGRP | S_IWOTH;
// Room for the attribute's text ("1:" and four decimal numbers).
constexpr size_t kRecordMax = 96;

// The contents of "user.dosattrib".
struct Record {
  uint32_t bits = 0;      // system and archive as last set
  long long seconds = 0;  // the file's modification time then
  long nanoseconds = 0;
  long long size = 0;  // the file's size then
};

enum class XattrState { Present, Absent, Unsupported };

bool unsupported(int err) { return err == ENOTSUP || err == EOPNOTSUPP; }

// Reads the record; a malformed one counts as absent.
XattrState readRecord(const std::string& path, Record& rec) {
  char buf[kRecordMax];
  const ssize_t n = getxattr(path.c_str(), kXattrName, buf, sizeof buf - 1);
  if (n < 0) return unsupported(errno) ? XattrState::Unsupported : XattrState::Absent;
  buf[n] = '\0';
  unsigned bits = 0;
  long long sec = 0, size = 0;
  long nsec = 0;
  int used = 0;
  if (std::sscanf(buf, "1:%u:%lld:%ld:%lld%n", &bits, &sec, &nsec, &size, &used) != 4 ||
      static_cast<ssize_t>(used) != n)
    return XattrState::Absent;
  rec.bits = bits & kStoredBits;
  rec.seconds = sec;
  rec.nanoseconds = nsec;
  rec.size = size;
  return XattrState::Present;
}

bool recordMatches(const Record& rec, const struct stat& st) {
  return rec.seconds == static_cast<long long>(st.st_mtim.tv_sec) &&
         rec.nanoseconds == static_cast<long>(st.st_mtim.tv_nsec) && rec.size == static_cast<long long>(st.st_size);
}

// Runs op with the owner's write permission present (user extended
// attributes need it), restoring the mode afterwards.
template <class Op>
bool withOwnerWrite(const std::string& path, const struct stat& st, Op&& op) {
  const mode_t mode = st.st_mode & 07777;
  const bool lend = (mode & S_IWUSR) == 0;
  if (lend && chmod(path.c_str(), mode | S_IWUSR) != 0) return op();  // try anyway (root needs none)
  const bool ok = op();
  const int saved = errno;
  if (lend) chmod(path.c_str(), mode);
  errno = saved;
  return ok;
}

// Stores bits for the file as it is now (st), or removes the record when
// bits are the default of its kind. ENOTSUP counts as success.
bool writeRecord(const std::string& path, const struct stat& st, uint32_t bits) {
  const uint32_t defaultBits = S_ISDIR(st.st_mode) ? 0u : kAttrArchive;
  return withOwnerWrite(path, st, [&] {
    int rc;
    if (bits == defaultBits) {
      rc = removexattr(path.c_str(), kXattrName);
      if (rc != 0 && errno == ENODATA) rc = 0;
    } else {
      char buf[kRecordMax];
      const int len = std::snprintf(buf, sizeof buf, "%s:%u:%lld:%ld:%lld", kRecordVersion, bits,
                                    static_cast<long long>(st.st_mtim.tv_sec), static_cast<long>(st.st_mtim.tv_nsec),
                                    static_cast<long long>(st.st_size));
      rc = setxattr(path.c_str(), kXattrName, buf, static_cast<size_t>(len), 0);
    }
    return rc == 0 || unsupported(errno);
  });
}

// The name part of path, trailing "/" ignored.
std::string lastComponent(const std::string& path) {
  size_t end = path.size();
  while (end > 1 && path[end - 1] == '/') --end;
  const size_t slash = path.rfind('/', end - 1);
  return slash == std::string::npos ? path.substr(0, end) : path.substr(slash + 1, end - slash - 1);
}

int daysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

std::optional<uint32_t> getFileAttributes(const std::string& path) {
  struct stat st;
  if (path.empty()) return std::nullopt;
  if (stat(path.c_str(), &st) != 0 && lstat(path.c_str(), &st) != 0) return std::nullopt;
  uint32_t a = 0;
  if ((st.st_mode & S_IWUSR) == 0) a |= kAttrReadOnly;
  const std::string name = lastComponent(path);
  if (name.size() > 1 && name[0] == '.' && name != "..") a |= kAttrHidden;
  const bool dir = S_ISDIR(st.st_mode);
  if (dir) a |= kAttrDirectory;

  Record rec;
  const XattrState state = readRecord(path, rec);
  if (state == XattrState::Present) {
    a |= rec.bits;
    if (!dir && !recordMatches(rec, st)) a |= kAttrArchive;  // changed since the record
  } else if (!dir) {
    a |= kAttrArchive;
  }
  return a == 0 ? kAttrNormal : a;
}

bool setFileAttributes(const std::string& path, uint32_t attributes) {
  struct stat st;
  if (path.empty() || stat(path.c_str(), &st) != 0) return false;
  if (!writeRecord(path, st, attributes & kStoredBits)) return false;
  if (S_ISDIR(st.st_mode)) return true;
  const mode_t mode = st.st_mode & 07777;
  mode_t wanted = mode;
  if (attributes & kAttrReadOnly)
    wanted &= ~kAllWrite;
  else
    wanted |= S_IWUSR;
  return wanted == mode || chmod(path.c_str(), wanted) == 0;
}

LocalTime toLocalTime(std::time_t t) {
  LocalTime lt;
  std::tm tm{};
  if (!localtime_r(&t, &tm)) return lt;
  lt.year = tm.tm_year + 1900;
  lt.month = tm.tm_mon + 1;
  lt.day = tm.tm_mday;
  lt.hour = tm.tm_hour;
  lt.minute = tm.tm_min;
  lt.second = tm.tm_sec;
  return lt;
}

std::optional<std::time_t> fromLocalTime(const LocalTime& lt) {
  // Fields outside the calendar (a DOS stamp can hold month 13 or second
  // 62) are refused instead of being carried into the next unit.
  constexpr int kMinYear = 1, kMaxYear = 9999;
  if (lt.year < kMinYear || lt.year > kMaxYear || lt.month < 1 || lt.month > 12 || lt.day < 1 ||
      lt.day > daysInMonth(lt.year, lt.month) || lt.hour < 0 || lt.hour > 23 || lt.minute < 0 || lt.minute > 59 ||
      lt.second < 0 || lt.second > 59)
    return std::nullopt;
  std::tm tm{};
  tm.tm_year = lt.year - 1900;
  tm.tm_mon = lt.month - 1;
  tm.tm_mday = lt.day;
  tm.tm_hour = lt.hour;
  tm.tm_min = lt.minute;
  tm.tm_sec = lt.second;
  tm.tm_isdst = -1;  // daylight saving as it was on that date
  errno = 0;
  const std::time_t t = std::mktime(&tm);
  if (t == static_cast<std::time_t>(-1) && errno != 0) return std::nullopt;
  return t;
}

std::optional<std::time_t> getFileTime(const std::string& path) {
  struct stat st;
  if (path.empty() || stat(path.c_str(), &st) != 0) return std::nullopt;
  return st.st_mtim.tv_sec;
}

bool setFileTime(const std::string& path, std::time_t modified) {
  struct stat before;
  if (path.empty() || stat(path.c_str(), &before) != 0) return false;
  Record rec;
  const bool renew = readRecord(path, rec) == XattrState::Present && recordMatches(rec, before);
  const timespec times[2] = {{0, UTIME_OMIT}, {modified, 0}};
  if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) return false;
  struct stat after;
  // Renewing the record is best effort: should it fail, the archive bit
  // reads set, the safe side (the file counts as changed).
  if (renew && stat(path.c_str(), &after) == 0) (void)writeRecord(path, after, rec.bits);
  return true;
}

}  // namespace vz
