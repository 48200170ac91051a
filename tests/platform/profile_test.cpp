// Profile (INI) files: lookups, changes, the file's own text kept, atomic
// and serialised writes, and the value escape.
#include "platform/profile.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/folders.h"
#include "tests/support/test_env.h"

namespace {

using vz::test::ScopedRoot;

std::string readText(const std::string& path) {
  const std::vector<uint8_t> b = vz::test::readFile(path);
  return std::string(b.begin(), b.end());
}

std::vector<std::string> folderEntries(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (const dirent* e = readdir(d))
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
    closedir(d);
  }
  return names;
}

class Profile : public ::testing::Test {
 protected:
  ScopedRoot root_;
  std::string ini_ = root_.path() + "/test.ini";
};

TEST_F(Profile, LookupIgnoresCaseAndKeepsFirstSpelling) {
  vz::test::writeFile(ini_, "; settings\r\n[Main]\r\nTitle = Hello World \r\nEmpty=\r\n[Other]\r\ntitle=x\r\n");
  EXPECT_EQ(vz::getProfileString("main", "TITLE", "def", ini_), "Hello World");
  EXPECT_EQ(vz::getProfileString("MAIN", "empty", "def", ini_), "");
  EXPECT_EQ(vz::getProfileString("Main", "missing", "def", ini_), "def");
  EXPECT_EQ(vz::getProfileString("Nope", "Title", "def", ini_), "def");
  EXPECT_EQ(vz::getProfileString("Main", "Title", "def", root_.path() + "/absent.ini"), "def");

  ASSERT_TRUE(vz::writeProfileString("MAIN", "TITLE", "Changed", ini_));
  ASSERT_TRUE(vz::writeProfileString("main", "NewKey", "1", ini_));
  // CR LF style, the comment and the spelling of section and key survive.
  EXPECT_EQ(readText(ini_), "; settings\r\n[Main]\r\nTitle=Changed\r\nEmpty=\r\nNewKey=1\r\n[Other]\r\ntitle=x\r\n");
  EXPECT_EQ(vz::getProfileSectionNames(ini_), (std::vector<std::string>{"Main", "Other"}));
  const auto pairs = vz::getProfileSection("MAIN", ini_);
  ASSERT_EQ(pairs.size(), 3u);
  EXPECT_EQ(pairs[0], (std::pair<std::string, std::string>{"Title", "Changed"}));
  EXPECT_EQ(pairs[2], (std::pair<std::string, std::string>{"NewKey", "1"}));
}

TEST_F(Profile, BareNamesLiveInTheWindowsFolder) {
  ASSERT_TRUE(vz::writeProfileString("ZipUnzipPasswords", "szExtractPassword", "secret", "QX30.INI"));
  EXPECT_EQ(vz::profilePath("QX30.INI"), vz::windowsFolder() + "/QX30.INI");
  EXPECT_EQ(vz::getProfileString("ZipUnzipPasswords", "szExtractPassword", "", "qx30.ini"), "secret");
  EXPECT_EQ(vz::profilePath("qx30.ini"), vz::windowsFolder() + "/QX30.INI");
}

TEST_F(Profile, Integers) {
  vz::test::writeFile(ini_, "[N]\na=42\nb= -7 \nc=12abc\nd=abc\ne=0x10\nf=99999999999\ng=-99999999999\nh=\n");
  EXPECT_EQ(vz::getProfileInt("N", "a", -1, ini_), 42);
  EXPECT_EQ(vz::getProfileInt("N", "b", -1, ini_), -7);
  EXPECT_EQ(vz::getProfileInt("N", "c", -1, ini_), 12);
  EXPECT_EQ(vz::getProfileInt("N", "d", -1, ini_), -1);
  EXPECT_EQ(vz::getProfileInt("N", "e", -1, ini_), 0);
  EXPECT_EQ(vz::getProfileInt("N", "f", -1, ini_), 2147483647);
  EXPECT_EQ(vz::getProfileInt("N", "g", -1, ini_), -2147483647 - 1);
  EXPECT_EQ(vz::getProfileInt("N", "h", -1, ini_), -1);
  EXPECT_EQ(vz::getProfileInt("N", "missing", 5, ini_), 5);
}

TEST_F(Profile, DeleteKeysAndSections) {
  vz::test::writeFile(ini_, "[A]\nk=1\nK=dup\nother=2\n; about B\n[B]\nx=1\n[a]\nk=3\n");
  ASSERT_TRUE(vz::writeProfileString("a", "K", std::nullopt, ini_));
  // Every occurrence goes, so no older copy shows up afterwards.
  EXPECT_EQ(vz::getProfileString("A", "k", "gone", ini_), "gone");
  EXPECT_EQ(vz::getProfileString("A", "other", "", ini_), "2");
  ASSERT_TRUE(vz::writeProfileString("A", std::nullopt, std::nullopt, ini_));
  EXPECT_EQ(readText(ini_), "[B]\nx=1\n");
  // Deleting what is not there succeeds and creates no file.
  const std::string absent = root_.path() + "/absent.ini";
  EXPECT_TRUE(vz::writeProfileString("A", "k", std::nullopt, absent));
  EXPECT_TRUE(vz::writeProfileString("A", std::nullopt, std::nullopt, absent));
  EXPECT_NE(access(absent.c_str(), F_OK), 0);
}

TEST_F(Profile, ValuesReadBackExactly) {
  const std::vector<std::string> values = {"\"quoted\"",      "  padded  ", "a\"b",        "",     "\"", "x = y",
                                           "; not a comment", "[Section]",  "tab\tinside", "Grüße"};
  for (size_t i = 0; i < values.size(); ++i)
    ASSERT_TRUE(vz::writeProfileString("V", "k" + std::to_string(i), values[i], ini_));
  for (size_t i = 0; i < values.size(); ++i)
    EXPECT_EQ(vz::getProfileString("V", "k" + std::to_string(i), "def", ini_), values[i]) << i;
  // A hand-written quoted value loses its quotes, as the original functions did.
  vz::test::writeFile(ini_, "[Q]\nk=\"  spaced  \"\n");
  EXPECT_EQ(vz::getProfileString("Q", "k", "", ini_), "  spaced  ");
}

TEST_F(Profile, RefusesTextThatWouldBreakTheFile) {
  ASSERT_TRUE(vz::writeProfileString("S", "k", "v", ini_));
  const std::string before = readText(ini_);
  EXPECT_FALSE(vz::writeProfileString("S", "k", "line1\n[Evil]\nx=1", ini_));
  EXPECT_FALSE(vz::writeProfileString("S", "k", "cr\r", ini_));
  EXPECT_FALSE(vz::writeProfileString("S", "a=b", "v", ini_));
  EXPECT_FALSE(vz::writeProfileString("S", "", "v", ini_));
  EXPECT_FALSE(vz::writeProfileString("S]x", "k", "v", ini_));
  EXPECT_EQ(readText(ini_), before);
  // A file that exists but cannot be read is not replaced.
  const std::string dirAsIni = root_.path() + "/folder.ini";
  ASSERT_EQ(mkdir(dirAsIni.c_str(), 0755), 0);
  EXPECT_FALSE(vz::writeProfileString("S", "k", "v", dirAsIni));
}

TEST_F(Profile, AtomicWritesModesAndLinks) {
  const std::string dir = root_.path() + "/inis";
  ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
  const std::string pw = dir + "/QX30.INI";
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(vz::writeProfileString("P", "k" + std::to_string(i), "v", pw, 0600));
  // No temporary or lock file stays behind.
  EXPECT_EQ(folderEntries(dir), std::vector<std::string>{"QX30.INI"});
  struct stat st;
  ASSERT_EQ(stat(pw.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  // An existing file keeps its mode, whatever createMode says.
  ASSERT_EQ(chmod(pw.c_str(), 0640), 0);
  ASSERT_TRUE(vz::writeProfileString("P", "more", "v", pw, 0600));
  ASSERT_EQ(stat(pw.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);

  // Writing through a symbolic link changes the target and keeps the link.
  const std::string link = dir + "/link.ini";
  ASSERT_EQ(symlink(pw.c_str(), link.c_str()), 0);
  ASSERT_TRUE(vz::writeProfileString("P", "vialink", "yes", link));
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(vz::getProfileString("P", "vialink", "", pw), "yes");
}

TEST_F(Profile, ConcurrentWritersLoseNothing) {
  constexpr int kWriters = 2, kKeys = 50;
  std::vector<pid_t> kids;
  for (int w = 0; w < kWriters; ++w) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      bool ok = true;
      for (int k = 0; k < kKeys; ++k)
        ok = vz::writeProfileString("Shared", "w" + std::to_string(w) + "_" + std::to_string(k), "v", ini_) && ok;
      _exit(ok ? 0 : 1);
    }
    kids.push_back(pid);
  }
  for (pid_t pid : kids) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(vz::getProfileSection("Shared", ini_).size(), static_cast<size_t>(kWriters * kKeys));
  for (const std::string& name : folderEntries(root_.path())) EXPECT_NE(name[0], '.') << name;
}

TEST(ProfileEscape, LineFeedsAndBackslashes) {
  ScopedRoot root;
  EXPECT_EQ(vz::iniEscape("line1\nline2"), "line1\\nline2");
  EXPECT_EQ(vz::iniUnescape("line1\\nline2"), "line1\nline2");
  // A literal backslash followed by "n" survives the round trip.
  EXPECT_EQ(vz::iniEscape("C:\\new"), "C:\\\\new");
  EXPECT_EQ(vz::iniUnescape(vz::iniEscape("C:\\new")), "C:\\new");
  // Texts written by hand keep backslashes that start no escape.
  EXPECT_EQ(vz::iniUnescape("C:\\TEMP\\x\\"), "C:\\TEMP\\x\\");
  // Every string over the awkward alphabet round-trips.
  const char alphabet[] = {'\\', 'n', '\n', 'a'};
  for (int len = 0; len <= 6; ++len) {
    int total = 1;
    for (int i = 0; i < len; ++i) total *= 4;
    for (int code = 0; code < total; ++code) {
      std::string s;
      for (int i = 0, c = code; i < len; ++i, c /= 4) s += alphabet[c % 4];
      ASSERT_EQ(vz::iniUnescape(vz::iniEscape(s)), s);
      ASSERT_EQ(vz::iniEscape(s).find('\n'), std::string::npos);
    }
  }
}

}  // namespace
