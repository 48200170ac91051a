// Files: short reads, positioned reads, the open modes, and the atomic
// replacement that profile and registry writes rely on.
#include "platform/file.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "tests/support/test_env.h"

namespace {

class FileTest : public ::testing::Test {
 protected:
  vz::test::ScopedRoot root_;
  vz::test::ScratchDir dir_{"vzfile"};
};

mode_t modeOf(const std::string& path) {
  struct stat st;
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

std::vector<std::string> namesIn(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* e = ::readdir(d))
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
    ::closedir(d);
  }
  return names;
}

TEST_F(FileTest, ShortReadsReportTheCountAndReadExactFails) {
  std::string p = dir_.file("ten");
  vz::test::writeFile(p, std::string_view("0123456789"));
  vz::File f;
  ASSERT_TRUE(f.open(p, vz::File::Mode::Read));
  char buf[32];
  EXPECT_EQ(f.read(buf, 4), 4);
  EXPECT_EQ(f.read(buf, sizeof buf), 6);  // only six left
  EXPECT_EQ(std::string(buf, 6), "456789");
  EXPECT_EQ(f.read(buf, sizeof buf), 0);  // at the end
  ASSERT_TRUE(f.seek(8));
  EXPECT_FALSE(f.readExact(buf, 3));  // two bytes left: a short read fails
  ASSERT_TRUE(f.seek(0));
  EXPECT_TRUE(f.readExact(buf, 10));
  EXPECT_FALSE(f.seek(-1));
  EXPECT_EQ(f.size(), 10);
}

TEST_F(FileTest, ReadAtLeavesThePositionAlone) {
  std::string p = dir_.file("data");
  vz::test::writeFile(p, std::string_view("abcdefgh"));
  vz::File f;
  ASSERT_TRUE(f.open(p, vz::File::Mode::Read));
  ASSERT_TRUE(f.seek(2));
  char buf[8];
  EXPECT_EQ(f.readAt(5, buf, 8), 3);  // "fgh", short at the end
  EXPECT_EQ(std::string(buf, 3), "fgh");
  EXPECT_EQ(f.readAt(100, buf, 8), 0);
  EXPECT_EQ(f.readAt(-1, buf, 1), -1);
  EXPECT_EQ(f.tell(), 2);
  EXPECT_EQ(f.read(buf, 1), 1);
  EXPECT_EQ(buf[0], 'c');
}

TEST_F(FileTest, OpenModesCreateTruncateOrKeep) {
  std::string p = dir_.file("m");
  vz::File f;
  EXPECT_FALSE(f.open(p, vz::File::Mode::Read));
  EXPECT_EQ(errno, ENOENT);
  EXPECT_FALSE(f.open(p, vz::File::Mode::ReadWrite));
  ASSERT_TRUE(f.open(p, vz::File::Mode::CreateNew));
  ASSERT_TRUE(f.write("hello", 5));
  f.close();
  EXPECT_FALSE(f.open(p, vz::File::Mode::CreateNew));
  EXPECT_EQ(errno, EEXIST);

  ASSERT_TRUE(f.open(p, vz::File::Mode::ReadWrite));  // not truncated
  EXPECT_EQ(f.size(), 5);
  ASSERT_TRUE(f.seek(5));
  ASSERT_TRUE(f.write("!", 1));
  ASSERT_TRUE(f.truncate(3));
  f.close();
  EXPECT_EQ(vz::readWholeFile(p).value(), "hel");

  ASSERT_TRUE(f.open(p, vz::File::Mode::Create));  // truncated
  EXPECT_EQ(f.size(), 0);
  EXPECT_TRUE(f.sync());
  // Descriptors never leak into programs we start.
  EXPECT_NE(::fcntl(f.fd(), F_GETFD) & FD_CLOEXEC, 0);

  vz::File moved(std::move(f));
  EXPECT_FALSE(f.isOpen());
  EXPECT_TRUE(moved.isOpen());
  EXPECT_FALSE(f.write("x", 1));
  EXPECT_EQ(errno, EBADF);
}

TEST_F(FileTest, AtomicWriteKeepsTheModeAndLeavesNoTemporaryFile) {
  std::string p = dir_.file("settings.ini");
  vz::test::writeFile(p, std::string_view("old"));
  ASSERT_EQ(::chmod(p.c_str(), 0640), 0);
  ASSERT_TRUE(vz::writeFileAtomic(p, "new content", 0600));
  EXPECT_EQ(vz::readWholeFile(p).value(), "new content");
  EXPECT_EQ(modeOf(p), 0640u);  // the existing mode wins over createMode

  std::string fresh = dir_.file("secret.ini");
  ASSERT_TRUE(vz::writeFileAtomic(fresh, "pw", 0600));
  EXPECT_EQ(modeOf(fresh), 0600u);

  ASSERT_TRUE(vz::writeFileAtomic(fresh, "", 0600));  // empty content is a content
  EXPECT_EQ(vz::readWholeFile(fresh).value(), "");

  auto names = namesIn(dir_.path());
  EXPECT_EQ(names.size(), 2u) << "temporary files left behind";
}

TEST_F(FileTest, AtomicWriteThroughALinkReplacesTheTarget) {
  std::string target = dir_.file("real.txt"), link = dir_.file("link.txt");
  vz::test::writeFile(target, std::string_view("a"));
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  ASSERT_TRUE(vz::writeFileAtomic(link, "b"));
  struct stat st;
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(vz::readWholeFile(target).value(), "b");
}

TEST_F(FileTest, AtomicWriteFailsCleanlyOnAFolderOrMissingParent) {
  EXPECT_FALSE(vz::writeFileAtomic(dir_.path(), "x"));
  EXPECT_FALSE(vz::writeFileAtomic(dir_.file("no/such/folder/f"), "x"));
  EXPECT_TRUE(namesIn(dir_.path()).empty());
}

TEST_F(FileTest, WholeFileHelpers) {
  std::string deep = dir_.file("a/b/c");
  EXPECT_TRUE(vz::makeDirectories(deep));
  EXPECT_TRUE(vz::makeDirectories(deep));  // already there
  EXPECT_TRUE(vz::isDirectory(deep));
  std::string f = deep + "/f";
  vz::test::writeFile(f, std::string_view("xyz"));
  EXPECT_FALSE(vz::makeDirectories(f + "/sub"));  // a file is in the way
  EXPECT_TRUE(vz::isRegularFile(f));
  EXPECT_FALSE(vz::isRegularFile(deep));
  EXPECT_EQ(vz::fileSize(f).value(), 3);
  EXPECT_FALSE(vz::fileSize(f + ".missing").has_value());
  EXPECT_FALSE(vz::readWholeFile(f + ".missing").has_value());
  EXPECT_FALSE(vz::removeDirectory(deep));  // not empty
  EXPECT_TRUE(vz::renameFile(f, deep + "/g"));
  EXPECT_FALSE(vz::fileExists(f));
  EXPECT_TRUE(vz::removeFile(deep + "/g"));
  EXPECT_TRUE(vz::removeDirectory(deep));
  EXPECT_FALSE(vz::fileExists(deep));
}

}  // namespace
