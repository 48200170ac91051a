// Path helpers: Windows-style paths, case-insensitive lookups and the
// containment check that keeps extracted files inside their destination.
#include "platform/paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "tests/support/test_env.h"

namespace {

using vz::test::ScopedRoot;

TEST(Paths, NativePathsAndDriveLetters) {
  ScopedRoot root;
  EXPECT_EQ(vz::toNativePath("SUB\\DIR\\NAME.TXT"), "SUB/DIR/NAME.TXT");
  EXPECT_EQ(vz::toNativePath("/already/native"), "/already/native");
  // Without simulated drives C: is the file-system root; other letters name nothing.
  EXPECT_EQ(vz::absolutePath(vz::toNativePath("C:\\X\\Y")), "/X/Y");
  EXPECT_EQ(vz::toNativePath("Q:\\X"), "Q:/X");

  // A simulated drive maps its letter to its Root folder.
  const std::string media = root.path() + "/floppy";
  ASSERT_EQ(mkdir(media.c_str(), 0755), 0);
  const std::string ini = root.path() + "/drives.ini";
  vz::test::writeFile(ini, "[A:]\nRoot=" + media + "\nType=removable\n");
  setenv("VZ_DRIVES", ini.c_str(), 1);
  EXPECT_EQ(vz::absolutePath(vz::toNativePath("A:\\DISK1\\PART.ZIP")), media + "/DISK1/PART.ZIP");
}

TEST(Paths, TextParts) {
  ScopedRoot root;
  EXPECT_EQ(vz::joinPath("/a", "b"), "/a/b");
  EXPECT_EQ(vz::joinPath("/a/", "b"), "/a/b");
  EXPECT_EQ(vz::joinPath("C:\\DIR\\", "b"), "C:\\DIR\\b");
  EXPECT_EQ(vz::joinPath("/a", "/abs"), "/abs");
  EXPECT_EQ(vz::joinPath("", "b"), "b");
  EXPECT_EQ(vz::joinPath("/a", ""), "/a");

  EXPECT_EQ(vz::fileNamePart("C:\\DIR\\FILE.ZIP"), "FILE.ZIP");
  EXPECT_EQ(vz::fileNamePart("dir/sub/"), "");
  EXPECT_EQ(vz::directoryPart("dir\\sub/file"), "dir\\sub/");
  EXPECT_EQ(vz::directoryPart("file"), "");
  EXPECT_EQ(vz::extensionPart("/a.b/ARCHIVE.ZIP"), ".ZIP");
  EXPECT_EQ(vz::extensionPart("/a.b/README"), "");
  EXPECT_EQ(vz::extensionPart("x.tar.gz"), ".gz");

  EXPECT_EQ(vz::absolutePath("/a/./b/../c//"), "/a/c");
  EXPECT_EQ(vz::absolutePath("/../../x/.."), "/");
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  EXPECT_EQ(vz::absolutePath("sub/./f"), std::string(cwd == std::string("/") ? "" : cwd) + "/sub/f");
}

TEST(Paths, IsPathInsideIsLexicalAndStrict) {
  ScopedRoot root;
  struct Case {
    const char* parent;
    const char* child;
    bool inside;
  } cases[] = {
      {"/dest", "/dest/a", true},
      {"/dest", "/dest", true},
      {"/dest/", "/dest//a//b/", true},
      {"/dest//", "/dest", true},
      {"/dest", "/destination/a", false},
      {"/dest", "/dest/../etc/passwd", false},
      {"/dest", "/dest/a/../../etc", false},
      {"/dest", "/dest/a/../..", false},
      {"/dest", "/dest/a/../../dest/b", true},
      {"/dest", "/dest/./..hidden", true},  // a name that merely starts with ".."
      {"/dest/x/..", "/dest/y", true},
      {"/dest", "/", false},
      {"/", "/anything/at/all", true},
      {"/dest", "/dest/..", false},
      {"rel", "rel/x", true},
      {"rel", "rel/../other", false},
      {"rel/", "./rel/x/../y", true},
  };
  for (const Case& c : cases) EXPECT_EQ(vz::isPathInside(c.parent, c.child), c.inside) << c.parent << " | " << c.child;
}

TEST(Paths, FindFileNoCase) {
  ScopedRoot root;
  const std::string dir = root.path() + "/look";
  ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
  vz::test::writeFile(dir + "/QX30.INI", "x");
  vz::test::writeFile(dir + "/Änderung.txt", "x");
  vz::test::writeFile(dir + "/Setup", "x");
  vz::test::writeFile(dir + "/SETUP", "x");
  ASSERT_EQ(mkdir((dir + "/Sub").c_str(), 0755), 0);
  vz::test::writeFile(dir + "/Sub/File.Txt", "x");

  EXPECT_EQ(vz::findFileNoCase(dir, "qx30.ini"), dir + "/QX30.INI");
  EXPECT_EQ(vz::findFileNoCase(dir + "/", "QX30.INI"), dir + "/QX30.INI");
  EXPECT_EQ(vz::findFileNoCase(dir, "äNDERUNG.TXT"), dir + "/Änderung.txt");
  // An exact match wins; among case variants the choice does not depend on
  // the directory's order.
  EXPECT_EQ(vz::findFileNoCase(dir, "Setup"), dir + "/Setup");
  EXPECT_EQ(vz::findFileNoCase(dir, "setup"), dir + "/SETUP");
  EXPECT_EQ(vz::findFileNoCase(dir, "SUB\\FILE.TXT"), dir + "/Sub/File.Txt");
  EXPECT_EQ(vz::findFileNoCase(dir, "missing.ini"), "");
  EXPECT_EQ(vz::findFileNoCase(dir + "/nofolder", "QX30.INI"), "");
  EXPECT_EQ(vz::findFileNoCase(dir, ""), "");
}

}  // namespace
