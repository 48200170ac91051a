// Temporary file names: the format, reservation by exclusive creation and
// uniqueness across processes.
#include "platform/tempname.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "platform/folders.h"
#include "tests/support/test_env.h"

namespace {

class TempName : public ::testing::Test {
 protected:
  vz::test::ScopedRoot root_;
  std::string dir_ = vz::tempPath();
};

TEST_F(TempName, GivenNumberMakesTheNameOnly) {
  EXPECT_EQ(vz::getTempFileName(dir_, "ZIPPER", 0x1A2B), dir_ + "/ZIP1A2B.TMP");
  EXPECT_EQ(vz::getTempFileName(dir_, "ZIP", 0x12345), dir_ + "/ZIP2345.TMP");  // low 16 bits
  EXPECT_EQ(vz::getTempFileName(dir_, "A", 1), dir_ + "/A1.TMP");
  EXPECT_EQ(vz::getTempFileName(dir_, "", 0xBEEF), dir_ + "/BEEF.TMP");
  EXPECT_EQ(vz::getTempFileName(dir_, "ÄÖÜX", 0xF), dir_ + "/ÄÖÜF.TMP");  // characters, not bytes
  EXPECT_EQ(vz::getTempFileName(dir_ + "\\", "ZIP", 0xA), dir_ + "/ZIPA.TMP");
  EXPECT_EQ(vz::getTempFileName(dir_, "a/b", 2), dir_ + "/a_b2.TMP");  // never leaves the folder
  EXPECT_NE(access((dir_ + "/ZIP1A2B.TMP").c_str(), F_OK), 0);
  EXPECT_EQ(vz::getTempFileName(dir_ + "/missing", "ZIP", 1), "");
}

TEST_F(TempName, GeneratedNamesAreReservedAndDistinct) {
  const std::regex format(std::regex_replace(dir_, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)") +
                          R"(/ZIP[0-9A-F]{1,4}\.TMP)");
  std::set<std::string> names;
  for (int i = 0; i < 300; ++i) {
    const std::string name = vz::getTempFileName(dir_, "ZIP");
    ASSERT_TRUE(std::regex_match(name, format)) << name;
    struct stat st;
    ASSERT_EQ(stat(name.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_TRUE(names.insert(name).second) << name;
  }
  EXPECT_EQ(vz::getTempFileName(dir_ + "/missing", "ZIP"), "");
}

TEST_F(TempName, ProcessesNeverShareAName) {
  constexpr int kProcs = 3, kEach = 100;
  std::vector<pid_t> kids;
  for (int p = 0; p < kProcs; ++p) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int made = 0;
      for (int i = 0; i < kEach; ++i) made += vz::getTempFileName(dir_, "PAR").empty() ? 0 : 1;
      _exit(made == kEach ? 0 : 1);
    }
    kids.push_back(pid);
  }
  for (pid_t pid : kids) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  // Every successful call created its own file: a shared name would leave fewer.
  int files = 0;
  if (DIR* d = opendir(dir_.c_str())) {
    while (const dirent* e = readdir(d)) files += std::string(e->d_name).rfind("PAR", 0) == 0 ? 1 : 0;
    closedir(d);
  }
  EXPECT_EQ(files, kProcs * kEach);
}

}  // namespace
