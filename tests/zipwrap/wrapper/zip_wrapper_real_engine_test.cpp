// TZipWrapper end to end over the built engine libraries (bin/ZWZIP32.so,
// bin/ZWUNZ32.so), with the peer tools as the judges: what the wrapper
// writes, unzip and python's zipfile read; what it lists and extracts is
// what python says the archive holds.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/test_env.h"
#include "zipwrap/zip_wrapper.h"

namespace vz::zipwrap {
namespace {

class ZipWrapperRealEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("VZ_ENGINE_DIR", test::binDir().c_str(), 1);
    std::filesystem::create_directories(scratch_.file("src/sub"));
    test::writeFile(scratch_.file("src/one.txt"), std::string(5000, 'a') + "one");
    test::writeFile(scratch_.file("src/sub/two.bin"), std::string("two\0bytes", 9));
    test::writeFile(scratch_.file("src/sub/skip.bak"), "excluded");
  }
  void TearDown() override { unsetenv("VZ_ENGINE_DIR"); }

  // name -> size, as python's zipfile reads the archive.
  std::map<std::string, std::string> pythonListing(const std::string& zip) {
    std::string out;
    EXPECT_EQ(test::run({"python3", "-c",
                         "import sys,zipfile\nfor i in zipfile.ZipFile(sys.argv[1]).infolist(): "
                         "print(i.filename, i.file_size)",
                         zip},
                        &out),
              0);
    std::map<std::string, std::string> m;
    size_t start = 0;
    while (start < out.size()) {
      size_t end = out.find('\n', start);
      const std::string line = out.substr(start, end - start);
      const size_t blank = line.rfind(' ');
      if (blank != std::string::npos) m[line.substr(0, blank)] = line.substr(blank + 1);
      start = end == std::string::npos ? out.size() : end + 1;
    }
    return m;
  }

  test::ScopedRoot root_;
  test::ScratchDir scratch_{"zwreal"};
};

TEST_F(ZipWrapperRealEngine, AddListTestExtractAndCommentAgreeWithPeers) {
  if (!test::haveProgram("python3") || !test::haveProgram("unzip")) GTEST_SKIP() << "python3 and unzip needed";
  const std::string zip = scratch_.file("out.zip");
  TZipWrapper w;
  w.ZipFileName = zip;
  w.Recurse = true;
  w.FilesToProcess = {scratch_.file("src/*"), "<*.bak"};
  std::vector<std::string> added;
  w.OnAdding = [&](TZipWrapper&, const TZwFileStats& s) {
    if (s.PercentDone == 100) added.push_back(s.FileName);
  };
  ASSERT_EQ(w.AddFiles(0), 0);
  EXPECT_TRUE(w.FilesToProcess.empty());
  const auto peer = pythonListing(zip);
  ASSERT_EQ(peer.size(), 2u);
  EXPECT_EQ(added.size(), 2u);

  EXPECT_EQ(w.GetEntryCount(), 2);
  std::map<std::string, std::string> listed;
  w.OnListing = [&](TZipWrapper&, const TZwFileStats& s) { listed[s.FileName] = std::to_string(s.Size); };
  EXPECT_EQ(w.ListArchive(), 0);
  EXPECT_EQ(listed, peer);
  EXPECT_EQ(w.TestArchive(), 0);

  EXPECT_EQ(w.WriteArchiveComment("made by the wrapper"), 0);
  std::string out;
  EXPECT_EQ(test::run({"unzip", "-z", zip}, &out), 0);
  EXPECT_NE(out.find("made by the wrapper"), std::string::npos);
  TZipWrapper::ArchiveComment.clear();
  EXPECT_EQ(w.ReadArchiveComment(), "made by the wrapper");

  w.ExtractDirectory = scratch_.file("dest");
  w.UsePaths = false;
  EXPECT_EQ(w.ExtractFiles(0), 0);
  EXPECT_EQ(test::readFile(scratch_.file("dest/one.txt")), test::readFile(scratch_.file("src/one.txt")));
  EXPECT_EQ(test::readFile(scratch_.file("dest/two.bin")), test::readFile(scratch_.file("src/sub/two.bin")));
  EXPECT_FALSE(std::filesystem::exists(scratch_.file("dest/skip.bak")));

  // A second extraction asks about the existing file; keeping it leaves it.
  int asked = 0;
  w.OnReplace = [&](TZipWrapper&, TZwReplace& r) {
    ++asked;
    r.Answer = 0;
  };
  w.ExtractDirectory = scratch_.file("dest");
  w.UsePaths = false;
  w.FilesToProcess = {"*one.txt"};
  test::writeFile(scratch_.file("dest/one.txt"), "changed");
  EXPECT_EQ(w.ExtractFiles(0), 0);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(test::readFile(scratch_.file("dest/one.txt")).size(), 7u);
}

TEST_F(ZipWrapperRealEngine, EncryptedAddIsReadByUnzipAndAskedForOnExtract) {
  if (!test::haveProgram("unzip")) GTEST_SKIP() << "unzip needed";
  const std::string zip = scratch_.file("enc.zip");
  TZipWrapper w;
  w.ZipFileName = zip;
  w.UsePaths = false;
  w.Password = "s3cret";
  w.FilesToProcess = {scratch_.file("src/one.txt")};
  ASSERT_EQ(w.AddFiles(0), 0);
  std::string out;
  EXPECT_EQ(test::run({"unzip", "-P", "s3cret", "-p", zip, "one.txt"}, &out), 0);
  EXPECT_EQ(out, std::string(5000, 'a') + "one");

  // Without Password the query goes to OnPwdQuery; a wrong answer is asked
  // again, then the right one extracts.
  w.Password.clear();
  std::vector<std::string> tries = {"wrong", "s3cret"};
  size_t next = 0;
  w.OnPwdQuery = [&](TZipWrapper&, TZwPwdQuery& q) {
    EXPECT_EQ(q.FileName, "one.txt");
    if (next < tries.size()) {
      q.Password = tries[next++];
      q.Answer = 2;
    }
  };
  w.ExtractDirectory = scratch_.file("dest");
  EXPECT_EQ(w.ExtractFiles(0), 0);
  EXPECT_EQ(next, 2u);
  EXPECT_EQ(test::readFile(scratch_.file("dest/one.txt")), test::readFile(scratch_.file("src/one.txt")));
}

}  // namespace
}  // namespace vz::zipwrap
