// DOS attributes over permissions, names and "user.dosattrib", and the
// local-time conversions across a daylight-saving change.
#include "platform/attributes.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "tests/support/test_env.h"

namespace {

using vz::kAttrArchive;
using vz::kAttrDirectory;
using vz::kAttrHidden;
using vz::kAttrNormal;
using vz::kAttrReadOnly;
using vz::kAttrSystem;

mode_t modeOf(const std::string& p) {
  struct stat st;
  return stat(p.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

class Attributes : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = root_.path() + "/file.txt";
    vz::test::writeFile(file_, "data");
    ASSERT_EQ(chmod(file_.c_str(), 0644), 0);
    // The attribute needs a file system with user extended attributes.
    if (setxattr(file_.c_str(), "user.vztest", "1", 1, 0) != 0) GTEST_SKIP() << "no user xattrs here";
    removexattr(file_.c_str(), "user.vztest");
  }
  vz::test::ScopedRoot root_;
  std::string file_;
};

TEST_F(Attributes, DerivedBits) {
  EXPECT_EQ(vz::getFileAttributes(file_), kAttrArchive);  // a plain file has the archive bit
  ASSERT_EQ(chmod(file_.c_str(), 0444), 0);
  EXPECT_EQ(vz::getFileAttributes(file_), kAttrReadOnly | kAttrArchive);

  const std::string hidden = root_.path() + "/.hidden";
  vz::test::writeFile(hidden, "x");
  EXPECT_EQ(vz::getFileAttributes(hidden), kAttrHidden | kAttrArchive);
  const std::string dotDir = root_.path() + "/.config";
  ASSERT_EQ(mkdir(dotDir.c_str(), 0755), 0);
  EXPECT_EQ(vz::getFileAttributes(dotDir + "/"), kAttrHidden | kAttrDirectory);
  EXPECT_EQ(vz::getFileAttributes(root_.path() + "/."), kAttrDirectory);
  EXPECT_EQ(vz::getFileAttributes(root_.path() + "/missing"), std::nullopt);
  EXPECT_FALSE(vz::setFileAttributes(root_.path() + "/missing", 0));
}

TEST_F(Attributes, ReadOnlyGoesThroughPermissions) {
  ASSERT_TRUE(vz::setFileAttributes(file_, kAttrReadOnly | kAttrArchive));
  EXPECT_EQ(modeOf(file_), 0444u);
  EXPECT_EQ(vz::getFileAttributes(file_), kAttrReadOnly | kAttrArchive);
  // System and archive can still be changed on a read-only file.
  ASSERT_TRUE(vz::setFileAttributes(file_, kAttrReadOnly | kAttrSystem));
  EXPECT_EQ(vz::getFileAttributes(file_), kAttrReadOnly | kAttrSystem);
  ASSERT_TRUE(vz::setFileAttributes(file_, kAttrNormal));
  EXPECT_EQ(modeOf(file_), 0644u);
  EXPECT_EQ(vz::getFileAttributes(file_), kAttrNormal);

  // A folder keeps its write permission: files must still go into it.
  const std::string dir = root_.path() + "/folder";
  ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
  ASSERT_TRUE(vz::setFileAttributes(dir, kAttrReadOnly | kAttrArchive));
  EXPECT_EQ(modeOf(dir), 0755u);
  EXPECT_EQ(vz::getFileAttributes(dir), kAttrDirectory | kAttrArchive);
}

TEST_F(Attributes, ArchiveBitReturnsAfterAModification) {
  ASSERT_TRUE(vz::setFileAttributes(file_, kAttrSystem));
  EXPECT_EQ(vz::getFileAttributes(file_), kAttrSystem);
  // Appending changes size and time.
  vz::test::writeFile(file_, "longer data");
  EXPECT_EQ(vz::getFileAttributes(file_), kAttrSystem | kAttrArchive);

  // A change of the same size shows through the modification time.
  ASSERT_TRUE(vz::setFileAttributes(file_, 0));
  EXPECT_EQ(vz::getFileAttributes(file_), kAttrNormal);
  const timespec later[2] = {{0, UTIME_OMIT}, {time(nullptr) + 100, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, file_.c_str(), later, 0), 0);
  EXPECT_EQ(vz::getFileAttributes(file_), kAttrArchive);

  // Setting the time is no modification: the cleared bit stays cleared,
  // whichever of the two is done first.
  ASSERT_TRUE(vz::setFileAttributes(file_, 0));
  ASSERT_TRUE(vz::setFileTime(file_, 1000000000));
  EXPECT_EQ(vz::getFileTime(file_), 1000000000);
  EXPECT_EQ(vz::getFileAttributes(file_), kAttrNormal);

  // A damaged record counts as absent.
  ASSERT_EQ(setxattr(file_.c_str(), "user.dosattrib", "junk", 4, 0), 0);
  EXPECT_EQ(vz::getFileAttributes(file_), kAttrArchive);
  // Storing the default state leaves no attribute behind.
  ASSERT_TRUE(vz::setFileAttributes(file_, kAttrArchive));
  EXPECT_LT(getxattr(file_.c_str(), "user.dosattrib", nullptr, 0), 0);
}

TEST_F(Attributes, FileTimesHaveWholeSeconds) {
  ASSERT_TRUE(vz::setFileTime(file_, 1700000000));
  struct stat st;
  ASSERT_EQ(stat(file_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1700000000);
  EXPECT_EQ(st.st_mtim.tv_nsec, 0);
  EXPECT_EQ(vz::getFileTime(root_.path() + "/missing"), std::nullopt);
  EXPECT_FALSE(vz::setFileTime(root_.path() + "/missing", 1));
}

// A file system without extended attributes: a private mount of ramfs in a
// child process (skipped where mounting is not allowed).
TEST(AttributesNoXattr, ArchiveReadsSetAndClearingSucceeds) {
  vz::test::ScopedRoot root;
  // /proc has no extended attributes either; reading must not fail there.
  if (auto a = vz::getFileAttributes("/proc/self/status")) {
    EXPECT_TRUE(*a & kAttrArchive);
  }

  const std::string mnt = root.path() + "/ramfs";
  ASSERT_EQ(mkdir(mnt.c_str(), 0755), 0);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (unshare(CLONE_NEWNS) != 0) _exit(77);
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) _exit(77);
    if (mount("none", mnt.c_str(), "ramfs", 0, nullptr) != 0) _exit(77);
    const std::string f = mnt + "/file";
    vz::test::writeFile(f, "x");
    if (setxattr(f.c_str(), "user.x", "1", 1, 0) == 0) _exit(77);  // it does support them after all
    int bad = 0;
    if (vz::getFileAttributes(f) != kAttrArchive) bad |= 1;
    if (!vz::setFileAttributes(f, kAttrSystem)) bad |= 2;    // clearing archive succeeds silently
    if (vz::getFileAttributes(f) != kAttrArchive) bad |= 4;  // and the bit still reads set
    if (!vz::setFileAttributes(f, kAttrReadOnly)) bad |= 8;  // permissions still work
    if (vz::getFileAttributes(f) != (kAttrReadOnly | kAttrArchive)) bad |= 16;
    _exit(bad);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "cannot mount a file system without xattrs here";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Local time with the rules of Europe/Berlin, whose clocks went forward on
// 2024-03-31 at 02:00 and back on 2024-10-27 at 03:00.
class BerlinTime : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access("/usr/share/zoneinfo/Europe/Berlin", R_OK) != 0) GTEST_SKIP() << "no time zone data";
    const char* old = std::getenv("TZ");
    hadTz_ = old != nullptr;
    if (old) oldTz_ = old;
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
  }
  void TearDown() override {
    if (hadTz_)
      setenv("TZ", oldTz_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
  vz::test::ScopedRoot root_;
  bool hadTz_ = false;
  std::string oldTz_;
};

TEST_F(BerlinTime, EachStampUsesItsOwnDaylightSaving) {
  struct Case {
    vz::LocalTime local;
    std::time_t utc;
  } cases[] = {
      {{2024, 3, 30, 12, 0, 0}, 1711796400},   // 11:00 UTC, winter time
      {{2024, 3, 31, 12, 0, 0}, 1711879200},   // 10:00 UTC, summer time
      {{2024, 3, 31, 1, 59, 59}, 1711846799},  // last second before the change
      {{2024, 3, 31, 3, 0, 0}, 1711846800},    // first second after it
      {{2024, 10, 26, 12, 0, 0}, 1729936800},  // summer time
      {{2024, 10, 27, 12, 0, 0}, 1730026800},  // winter time again
  };
  for (const Case& c : cases) {
    EXPECT_EQ(vz::fromLocalTime(c.local), c.utc) << c.local.month << "-" << c.local.day << " " << c.local.hour;
    const vz::LocalTime back = vz::toLocalTime(c.utc);
    EXPECT_EQ(back.year, c.local.year);
    EXPECT_EQ(back.month, c.local.month);
    EXPECT_EQ(back.day, c.local.day);
    EXPECT_EQ(back.hour, c.local.hour);
    EXPECT_EQ(back.minute, c.local.minute);
    EXPECT_EQ(back.second, c.local.second);
  }
  // 02:30 on the day of the change does not exist; it still converts to a
  // time within the hour around the gap.
  const auto gap = vz::fromLocalTime({2024, 3, 31, 2, 30, 0});
  ASSERT_TRUE(gap);
  EXPECT_GE(*gap, 1711846800 - 3600);
  EXPECT_LE(*gap, 1711846800 + 3600);
}

TEST_F(BerlinTime, FieldsOutsideTheCalendarAreRefused) {
  EXPECT_TRUE(vz::fromLocalTime({2024, 2, 29, 0, 0, 0}));
  EXPECT_FALSE(vz::fromLocalTime({2023, 2, 29, 0, 0, 0}));
  EXPECT_FALSE(vz::fromLocalTime({2100, 2, 29, 0, 0, 0}));
  EXPECT_TRUE(vz::fromLocalTime({2000, 2, 29, 0, 0, 0}));
  EXPECT_FALSE(vz::fromLocalTime({1980, 13, 1, 0, 0, 0}));
  EXPECT_FALSE(vz::fromLocalTime({1980, 0, 1, 0, 0, 0}));
  EXPECT_FALSE(vz::fromLocalTime({1980, 4, 31, 0, 0, 0}));
  EXPECT_FALSE(vz::fromLocalTime({1980, 1, 1, 24, 0, 0}));
  EXPECT_FALSE(vz::fromLocalTime({1980, 1, 1, 0, 60, 0}));
  EXPECT_FALSE(vz::fromLocalTime({1980, 1, 1, 0, 0, 62}));
  EXPECT_EQ(vz::fromLocalTime({1980, 1, 1, 0, 0, 0}), 315529200);  // DOS epoch, 23:00 UTC the day before
}

}  // namespace
