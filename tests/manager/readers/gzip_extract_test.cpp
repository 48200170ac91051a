// TUnGZIP against gzip and compress -d: members made with gzip -N and -n
// (the stored name and time, or the file's own name and date), ".tgz"
// named ".tar", compress files at several code widths, and the corpus GZ
// and Z files, extracted byte for byte with the peer's name and time; a
// two-member file reports 25162 and a damaged trailer 25118, neither
// leaving a file behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "manager/readers/gzip_extract.h"
#include "tests/manager/readers/extract_test_tree.h"

namespace vz::readers {
namespace {

namespace fs = std::filesystem;
using test::extract;
using test::readTree;

std::string sample(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += "line " + std::to_string(i * 37 % 1000) + "\n";
  return s;
}

struct GzCase {
  const char* archiveName;        // the file the peer makes, renamed to this
  std::vector<std::string> cmd;   // the compressor run on "orig.data" (its output replaces it)
  const char* suffix;             // what the compressor appends
  std::vector<std::string> peer;  // the decompressor run on the archive's copy (keeps name and time)
};

class GzipExtractPeers : public ::testing::TestWithParam<GzCase> {};

// Our extraction and the peer's decompression (gzip -dN keeps the stored
// name and time, or else the file's own; compress -d the file's) give the
// same tree. (gzip cannot read every compress width, so .Z files go to
// compress -d.)
// gzip also names a ".tgz" file's member ".tar" when it stores no name.
TEST_P(GzipExtractPeers, MatchesPeer) {
  const GzCase& c = GetParam();
  if (!vz::test::haveProgram(c.cmd[0]) || !vz::test::haveProgram(c.peer[0])) GTEST_SKIP() << "peer missing";
  vz::test::ScratchDir dir("ungz");
  vz::test::writeFile(dir.file("orig.data"), sample(20000));
  std::vector<std::string> argv = c.cmd;
  argv.push_back("orig.data");
  ASSERT_EQ(vz::test::run(argv, nullptr, nullptr, dir.path()), 0);
  const std::string archive = dir.file(c.archiveName);
  fs::rename(dir.file(std::string("orig.data") + c.suffix), archive);
  ASSERT_EQ(vz::test::run({"touch", "-d", "2003-04-05 06:07:08", archive}), 0);
  fs::create_directories(dir.file("peer"));
  fs::copy_file(archive, dir.file("peer/") + c.archiveName);
  vz::test::run({"touch", "-d", "2003-04-05 06:07:08", dir.file("peer/") + c.archiveName});
  argv = c.peer;
  argv.push_back(c.archiveName);
  ASSERT_EQ(vz::test::run(argv, nullptr, nullptr, dir.file("peer")), 0);
  const test::RunLog log = extract<TUnGZIP>(archive, dir.file("ours"));
  EXPECT_TRUE(log.errors.empty()) << log.errors.front();
  EXPECT_EQ(log.extracted, 1);
  EXPECT_EQ(readTree(dir.file("ours")), readTree(dir.file("peer")));
  ASSERT_EQ(log.ended.size(), 1u);
  EXPECT_TRUE(log.ended.begin()->second);
  EXPECT_EQ(log.progress.begin()->second.back(), 100);
}

INSTANTIATE_TEST_SUITE_P(Peers, GzipExtractPeers,
                         ::testing::Values(GzCase{"renamed.gz", {"gzip", "-N", "-9"}, ".gz", {"gzip", "-dN"}},
                                           GzCase{"plain.gz", {"gzip", "-n"}, ".gz", {"gzip", "-dN"}},
                                           GzCase{"bundle.tgz", {"gzip", "-n"}, ".gz", {"gzip", "-dN"}},
                                           GzCase{"wide.Z", {"compress", "-f", "-b16"}, ".Z", {"compress", "-d"}},
                                           GzCase{"narrow.Z", {"compress", "-f", "-b12"}, ".Z", {"compress", "-d"}}));

TEST(GzipExtract, CorpusMatchesGzip) {
  if (!vz::test::haveProgram("gzip") || !vz::test::haveProgram("compress")) GTEST_SKIP() << "peer missing";
  int seen = 0;
  for (const std::string& path : vz::test::corpusFiles()) {
    const std::string ext = fs::path(path).extension().string();
    if (ext != ".gz" && ext != ".Z") continue;
    ++seen;
    std::string expected;
    ASSERT_EQ(vz::test::run({ext == ".Z" ? "compress" : "gzip", "-dc", path}, &expected), 0) << path;
    vz::test::ScratchDir dir("ungz");
    const test::RunLog log = extract<TUnGZIP>(path, dir.file("ours"));
    const test::Tree tree = readTree(dir.file("ours"));
    if (log.errors == std::vector<int32_t>{E_MULTIPARTGZIP}) {
      EXPECT_TRUE(tree.empty()) << path;  // several members: refused whole
      continue;
    }
    EXPECT_TRUE(log.errors.empty()) << path;
    ASSERT_EQ(tree.size(), 1u) << path;
    EXPECT_EQ(tree.begin()->second.content, expected) << path;
  }
  EXPECT_GT(seen, 0);
}

TEST(GzipExtract, TwoMembersAndDamageLeaveNothing) {
  if (!vz::test::haveProgram("gzip")) GTEST_SKIP() << "gzip missing";
  vz::test::ScratchDir dir("ungz");
  vz::test::writeFile(dir.file("one"), sample(300));
  vz::test::writeFile(dir.file("two"), sample(500));
  std::string a, b;
  vz::test::run({"gzip", "-c", dir.file("one")}, &a);
  vz::test::run({"gzip", "-c", dir.file("two")}, &b);
  vz::test::writeFile(dir.file("both.gz"), a + b);
  test::RunLog log = extract<TUnGZIP>(dir.file("both.gz"), dir.file("out1"));
  EXPECT_EQ(log.errors, std::vector<int32_t>{E_MULTIPARTGZIP});
  EXPECT_EQ(log.extracted, 0);
  EXPECT_TRUE(readTree(dir.file("out1")).empty());

  std::string bad = a;
  bad[bad.size() - 6] ^= 0x40;  // the CRC in the trailer
  vz::test::writeFile(dir.file("bad.gz"), bad);
  log = extract<TUnGZIP>(dir.file("bad.gz"), dir.file("out2"));
  EXPECT_EQ(log.errors, std::vector<int32_t>{E_CRCERROR});
  ASSERT_EQ(log.ended.size(), 1u);
  EXPECT_FALSE(log.ended.begin()->second);
  EXPECT_TRUE(readTree(dir.file("out2")).empty());

  // Cut inside the deflate data: the entry fails, no partial file stays.
  vz::test::writeFile(dir.file("cut.gz"), a.substr(0, a.size() / 2));
  log = extract<TUnGZIP>(dir.file("cut.gz"), dir.file("out3"));
  EXPECT_EQ(log.errors.size(), 1u);
  EXPECT_TRUE(readTree(dir.file("out3")).empty());
}

}  // namespace
}  // namespace vz::readers
