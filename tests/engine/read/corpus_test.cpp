// Every sample archive made by other programs goes through the read methods
// and the catalogue loader (normal and rebuild mode): whatever a file holds,
// the answer is a status, never a crash, a hang or an out-of-bounds read
// (run this under the sanitizer build too). Where the peer tools agree on a
// ZIP archive's entry count (MANIFEST.tsv), the end record must say the same.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "control/engine/read/catalogue.h"
#include "control/engine/read/read_methods.h"
#include "platform/file.h"
#include "tests/support/test_env.h"

namespace vz::engine {
namespace {

// file name -> the row's columns.
std::map<std::string, std::vector<std::string>> manifest() {
  std::map<std::string, std::vector<std::string>> rows;
  std::ifstream in(test::corpusDir() + "/MANIFEST.tsv");
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> cols;
    std::stringstream ss(line);
    std::string col;
    while (std::getline(ss, col, '\t')) cols.push_back(col);
    if (cols.size() > 7) rows[cols[1]] = cols;
  }
  return rows;
}

class CorpusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (test::corpusFiles().empty()) GTEST_SKIP() << "no sample archives";
  }
  test::ScopedRoot root_;
  UnzipState st_;
};

TEST_F(CorpusTest, EveryFileThroughEveryReadMethod) {
  for (const std::string& path : test::corpusFiles()) {
    SCOPED_TRACE(path);
    const ReadStatus quick = isZipFileQuick(st_, path);
    EXPECT_NE(quick, ReadStatus::CannotOpen);
    getCount(st_, path);  // a count above 32,767 (zip64 end records say 65,535) reads as negative
    EXPECT_EQ(isReadable(st_.status), quick == ReadStatus::Ok || quick == ReadStatus::PrefixData);
    getTotalSize(st_, path, true);
    getTotalSize(st_, path, false);
    getGlobalCommentSize(st_, path);
    EXPECT_LE(getGlobalComment(st_, path, 30000).size(), 30000u);
    EXPECT_LE(getGlobalComment(st_, path, 10).size(), 10u);
    getMadeUnder(st_, path);
    getVersionMajor(st_, path);
    getDiskId(st_, path);
    isFileInZip(st_, path, "*.*");
    isFileInZip(st_, path, "NO\\SUCH.FILE");
    getLocalCommentSize(st_, path, "README");
    getLocalComment(st_, path, "README", 100);
  }
}

TEST_F(CorpusTest, EveryFileThroughTheCatalogueLoader) {
  for (const std::string& path : test::corpusFiles()) {
    SCOPED_TRACE(path);
    LoadedCatalogue cat;
    const CatalogueStatus s = loadCatalogue(path, {}, cat);
    EXPECT_TRUE(s == CatalogueStatus::Ok || s == CatalogueStatus::NotArchive);
    if (s == CatalogueStatus::Ok) {
      EXPECT_EQ(cat.byName.size(), cat.count());
    }
    CatalogueOptions rebuild;
    rebuild.rebuild = true;
    EXPECT_NE(loadCatalogue(path, rebuild, cat), CatalogueStatus::NoMemory);
  }
}

TEST_F(CorpusTest, EntryCountsAgreeWithThePeers) {
  const auto rows = manifest();
  int checked = 0;
  for (const auto& [name, cols] : rows) {
    if (cols[2] != "ZIP") continue;
    const std::string& flags = cols[6];
    if (flags.find("zip64") != std::string::npos || flags.find("multidisk") != std::string::npos ||
        flags.find("no-EOCD") != std::string::npos || flags.find("bad-cd-offset") != std::string::npos)
      continue;
    const std::string& unzipZ = cols[7];
    if (unzipZ.rfind("rc=0 ", 0) != 0 && unzipZ.rfind("rc=1 ", 0) != 0) continue;
    const size_t n = unzipZ.find(" n=");
    if (n == std::string::npos) continue;
    const int expected = std::stoi(unzipZ.substr(n + 3));
    const std::string path = test::corpusDir() + "/" + name;
    SCOPED_TRACE(path);
    EXPECT_TRUE(isReadable(isZipFileQuick(st_, path)));
    EXPECT_EQ(getCount(st_, path), expected);
    EXPECT_EQ(isFileInZip(st_, path, "*.*"), expected > 0);
    ++checked;
  }
  EXPECT_GT(checked, 10);
}

TEST_F(CorpusTest, KnownShapes) {
  const std::string dir = test::corpusDir() + "/";
  auto have = [&](const char* f) { return vz::fileExists(dir + f); };
  if (have("lz-testempty.zip")) {
    EXPECT_EQ(isZipFileQuick(st_, dir + "lz-testempty.zip"), ReadStatus::Ok);
    EXPECT_EQ(getCount(st_, dir + "lz-testempty.zip"), 0);
  }
  for (const char* prefixed : {"gz-test-prefix.zip", "lz-junk-at-start.zip", "la-read_format_zip_sfx"}) {
    if (!have(prefixed)) continue;
    EXPECT_EQ(isZipFileQuick(st_, dir + prefixed), ReadStatus::PrefixData) << prefixed;
    LoadedCatalogue cat;
    EXPECT_EQ(loadCatalogue(dir + prefixed, {}, cat), CatalogueStatus::NotArchive) << prefixed;
  }
  if (have("lz-incons-cdoffset.zip")) {
    // The directory offset lies 2 MiB past the end: readable for the quick
    // test, unreadable as soon as the directory is read.
    EXPECT_EQ(isZipFileQuick(st_, dir + "lz-incons-cdoffset.zip"), ReadStatus::Ok);
    EXPECT_FALSE(isFileInZip(st_, dir + "lz-incons-cdoffset.zip", "*.*"));
  }
  if (have("gz-dd.zip")) {
    LoadedCatalogue cat;
    ASSERT_EQ(loadCatalogue(dir + "gz-dd.zip", {}, cat), CatalogueStatus::Ok);
    ASSERT_EQ(cat.count(), 1u);
    EXPECT_EQ(cat.entries.first()->descriptorSize, 16u);
  }
  if (have("lz-testcomment.zip")) {
    LoadedCatalogue cat;
    ASSERT_EQ(loadCatalogue(dir + "lz-testcomment.zip", {}, cat), CatalogueStatus::Ok);
    EXPECT_EQ(cat.count(), 4u);
    EXPECT_GT(getGlobalCommentSize(st_, dir + "lz-testcomment.zip"), 0);
  }
}

}  // namespace
}  // namespace vz::engine
