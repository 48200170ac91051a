// Extraction and testing against the peer: archives made at test time by
// zip (folders, empty files, an empty folder, permissions, symlinks with
// -y, a UTF-8 name, a 3 MB file, -e) and the corpus archives extract to the
// same tree as unzip makes, byte for byte with times and permissions; the
// test operation agrees with the data's state.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>

#include "tests/zipwrap/engine/unzip/reader_test_support.h"
#include "zipwrap/engine/engine_results.h"

namespace vz::zipwrap::test {
namespace {

namespace fs = std::filesystem;
using vz::test::ScratchDir;

bool isUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = s[i];
    const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

bool havePeers() { return vz::test::haveProgram("zip") && vz::test::haveProgram("unzip"); }

// A source tree with every kind of entry the peers make.
void makeSourceTree(const std::string& src) {
  fs::create_directories(src + "/docs/sub");
  fs::create_directories(src + "/emptydir");
  fs::create_directories(src + "/bin");
  vz::test::writeFile(src + "/docs/readme.txt", "read me\n");
  vz::test::writeFile(src + "/docs/sub/deep.txt", std::string(5000, 'd') + "end\n");
  vz::test::writeFile(src + "/empty.txt", "");
  vz::test::writeFile(src + "/bin/run.sh", "#!/bin/sh\necho hi\n");
  vz::test::writeFile(src + "/ro.txt", "read only\n");
  vz::test::writeFile(src + "/na\xc3\xafve-\xc3\xbc.txt", "utf-8 name\n");
  // 3 MB: text-like runs with random stretches, so deflate works on both.
  std::mt19937 rng(7);
  std::string big;
  while (big.size() < 3 * 1024 * 1024) {
    if (rng() % 3 == 0) {
      for (int i = 0; i < 2000; ++i) big += static_cast<char>(rng());
    } else {
      big += "line " + std::to_string(big.size()) + " of the large file\n";
    }
  }
  vz::test::writeFile(src + "/big.bin", big);
  fs::create_symlink("docs/readme.txt", src + "/link");
  fs::permissions(src + "/bin/run.sh", fs::perms(0755));
  fs::permissions(src + "/ro.txt", fs::perms(0444));
  fs::permissions(src + "/docs/sub", fs::perms(0750));
  ASSERT_EQ(
      shell("touch -h -d '2019-03-04 05:06:07' $(find . -mindepth 1) && touch -d '2001-02-03 04:05:07' ro.txt", src),
      0);
}

struct ZipRecipe {
  const char* label;
  const char* zipFlags;  // flags of zip besides -r -y -q
  const char* password;  // "" for none
};

class ZipMadeTree : public ::testing::TestWithParam<ZipRecipe> {};

TEST_P(ZipMadeTree, ExtractsLikeUnzipAndTestsClean) {
  if (!havePeers()) GTEST_SKIP() << "zip/unzip missing";
  const ZipRecipe& r = GetParam();
  ScratchDir dir("zwx");
  const std::string src = dir.file("src"), zip = dir.file("a.zip");
  makeSourceTree(src);
  std::string line = std::string("zip -q -r -y ") + r.zipFlags;
  if (*r.password) line += std::string(" -P ") + r.password;
  ASSERT_EQ(shell(line + " " + zip + " .", src), 0);

  const std::string mine = dir.file("mine"), peer = dir.file("peer");
  RecordingHost host;
  EXPECT_EQ(host.run({r.password, zip, "-d", mine}), 0u);
  ASSERT_EQ(shell(std::string("unzip -q -o ") + (*r.password ? std::string("-P ") + r.password : "") + " " + zip +
                  " -d " + peer),
            0);
  const Tree a = snapshot(mine), b = snapshot(peer);
  EXPECT_EQ(treeDiff(a, b), "");
  EXPECT_EQ(a.size(), 12u);
  // Progress of every entry ends at 100, the large one also passes between.
  bool between = false;
  for (const Seen& s : host.of(kCbExtracting)) between |= s.name == "big.bin" && s.value > 0 && s.value < 100;
  EXPECT_TRUE(between || std::string(r.zipFlags).find("-0") != std::string::npos);

  RecordingHost tester;
  EXPECT_EQ(tester.run({r.password, "-t", zip}), 0u);
  EXPECT_EQ(tester.of(kCbTesting).size(), 12u);
  EXPECT_TRUE(tester.of(kCbSkipping).empty());
}

INSTANTIATE_TEST_SUITE_P(Recipes, ZipMadeTree,
                         ::testing::Values(ZipRecipe{"deflated", "-6", ""}, ZipRecipe{"stored", "-0", ""},
                                           ZipRecipe{"dosTimesOnly", "-9 -X", ""},
                                           ZipRecipe{"encrypted", "-6", "s3cret"}),
                         [](const auto& info) { return std::string(info.param.label); });

// Every corpus archive unzip extracts (cleanly or with warnings) comes out
// the same, except entries of a method the engine does not decode, which
// are reported as such.
TEST(UnzipCorpus, ExtractsLikeUnzip) {
  if (!havePeers()) GTEST_SKIP() << "unzip missing";
  int compared = 0;
  for (const std::string& file : vz::test::corpusFiles()) {
    ScratchDir dir("zwc");
    const std::string peer = dir.file("peer"), mine = dir.file("mine");
    const int rc = vz::test::run({"unzip", "-qq", "-o", file, "-d", peer});
    if (rc != 0 && rc != 1) continue;
    SCOPED_TRACE(file);
    RecordingHost host;
    const uint16_t result = host.run({"", file, "-d", mine}) & 0xFFFF;
    EXPECT_TRUE(resultIsSuccess(result) || result == kResultEmptyArchive) << result;
    Tree a = snapshot(mine), b = snapshot(peer);
    for (auto it = b.begin(); it != b.end();) {
      const bool unknown =
          !a.count(it->first) && host.reasonsFor(it->first.substr(1)) == std::vector<uint32_t>{kSkipUnknownMethod};
      it = unknown ? b.erase(it) : std::next(it);
    }
    // Names unzip keeps as raw bytes, which this engine reads as the
    // application note says ("\\" a separator, bytes that are not UTF-8 in
    // CP437): the same file content must come out under the engine's name.
    std::vector<std::string> deviating;
    for (auto it = b.begin(); it != b.end();) {
      const bool raw = it->first.find('\\') != std::string::npos || !isUtf8(it->first);
      if (raw && it->second.type == 'f') deviating.push_back(it->second.data);
      it = raw ? b.erase(it) : std::next(it);
    }
    for (auto it = a.begin(); it != a.end();) {
      auto same = std::find(deviating.begin(), deviating.end(), it->second.data);
      const bool matched = !b.count(it->first) && it->second.type == 'f' && same != deviating.end();
      if (matched) deviating.erase(same);
      it = matched ? a.erase(it) : std::next(it);
    }
    for (auto it = a.begin(); it != a.end();) {
      const bool extraFolder = !b.count(it->first) && it->second.type == 'd';
      it = extraFolder ? a.erase(it) : std::next(it);
    }
    EXPECT_TRUE(deviating.empty());
    EXPECT_EQ(treeDiff(a, b), "");
    ++compared;
  }
  if (!vz::test::corpusFiles().empty()) EXPECT_GE(compared, 10);
}

// The test operation's verdicts: a damaged CRC and damaged deflate data
// fail (200, reasons 2 and 6), an unknown method is skipped (reason 1),
// patterns that match nothing give 210.
TEST(UnzipTest, ReportsEachKindOfDamage) {
  if (!vz::test::haveProgram("python3")) GTEST_SKIP();
  ScratchDir dir("zwt");
  const std::string zip = dir.file("d.zip");
  ASSERT_EQ(shell("python3 - " + zip + R"( <<'EOF'
import sys, zipfile, struct
p = sys.argv[1]
with zipfile.ZipFile(p, 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('good.txt', 'good ' * 100)
    z.writestr('crc.txt', 'crc ' * 100)
    z.writestr('data.txt', 'data ' * 1000)
    z.writestr('method.txt', 'method')
d = bytearray(open(p, 'rb').read())
def central(name):
    i = d.find(b'PK\x01\x02' + b'')
    while True:
        n = struct.unpack('<H', d[i+28:i+30])[0]
        if d[i+46:i+46+n] == name: return i
        i = d.find(b'PK\x01\x02', i + 4)
c = central(b'crc.txt'); d[c+16] ^= 0xFF
c = central(b'data.txt'); off = struct.unpack('<I', d[c+42:c+46])[0]; d[off+30+8] = 0xFF; d[off+30+9] = 0xFF
c = central(b'method.txt'); d[c+10] = 77
open(p, 'wb').write(bytes(d))
EOF)"),
            0);
  RecordingHost host;
  const uint32_t r = host.run({"", "-t", zip});
  EXPECT_EQ(r & 0xFFFF, kResultArchiveErrors);
  EXPECT_EQ(r >> 16, 3u);  // three entries failed or were skipped
  EXPECT_TRUE(host.reasonsFor("good.txt").empty());
  EXPECT_EQ(host.reasonsFor("crc.txt"), std::vector<uint32_t>{kSkipCrcError});
  EXPECT_EQ(host.reasonsFor("data.txt"), std::vector<uint32_t>{kSkipCorruptData});
  EXPECT_EQ(host.reasonsFor("method.txt"), std::vector<uint32_t>{kSkipUnknownMethod});
  EXPECT_EQ(host.of(kCbTesting).size(), 4u);

  // Extraction of the same archive leaves no file for the failed entries.
  RecordingHost ex;
  EXPECT_EQ(ex.run({"", zip, "-d", dir.file("out")}) & 0xFFFF, kResultArchiveErrors);
  const Tree t = snapshot(dir.file("out"));
  EXPECT_EQ(t.size(), 1u);
  EXPECT_TRUE(t.count("/good.txt"));

  RecordingHost none;
  EXPECT_EQ(none.run({"", "-t", zip, "nothing*"}) & 0xFFFF, kResultNothingTested);
  RecordingHost one;
  EXPECT_EQ(one.run({"", "-t", zip, "GOOD.*"}) & 0xFFFF, kResultOk);
  EXPECT_EQ(one.of(kCbTesting).size(), 1u);
}

// A reply of 1 ends the run with 190: files already extracted stay, the one
// in progress leaves nothing (not even its temporary file).
TEST(UnzipStop, KeepsFinishedFilesAndRemovesTheOneInProgress) {
  if (!havePeers()) GTEST_SKIP();
  ScratchDir dir("zws");
  const std::string src = dir.file("src"), zip = dir.file("a.zip");
  makeSourceTree(src);
  ASSERT_EQ(shell("zip -q " + zip + " docs/readme.txt big.bin empty.txt", src), 0);
  RecordingHost host;
  host.stopCode = kCbExtracting;
  host.stopAt = 4;  // readme 0, readme 100, big 0, big between: stop
  EXPECT_EQ(host.run({"", zip, "-d", dir.file("out")}) & 0xFFFF, kResultAborted);
  const Tree t = snapshot(dir.file("out"));
  EXPECT_EQ(t.size(), 2u) << treeDiff(t, {});
  EXPECT_TRUE(t.count("/docs/readme.txt"));
}

}  // namespace
}  // namespace vz::zipwrap::test
