// AES entries (method 99) through the reader: archives made at test time by
// 7zz (AE-2 around deflate, bzip2, LZMA and store at 128 and 256 bits) and
// by bsdtar (AE-1, whose CRC is checked too) extract byte for byte with the
// right password and test clean; the listing reports the method under the
// encryption; the password questions behave as for traditional encryption;
// a flipped byte in the encrypted data or in the code fails the entry as
// damaged; the corpus's AES-128 sample agrees with 7zz.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/zipwrap/engine/unzip/reader_test_support.h"
#include "zipwrap/engine/engine_results.h"

namespace vz::zipwrap::test {
namespace {

namespace fs = std::filesystem;
using vz::test::ScratchDir;

std::string contentOf(const std::string& path) {
  const auto b = vz::test::readFile(path);
  return std::string(b.begin(), b.end());
}

// The files every archive holds: a 1.5 MB one (past the size decoded into
// memory, so the mapped output is used), a small one, one in a folder.
void makeSource(const std::string& src) {
  fs::create_directories(src + "/sub");
  std::string big;
  for (uint32_t i = 0; big.size() < 1536 * 1024; ++i) big += "row " + std::to_string(i * 2654435761u) + "\n";
  vz::test::writeFile(src + "/big.txt", big);
  vz::test::writeFile(src + "/small.txt", "small\n");
  vz::test::writeFile(src + "/sub/inner.txt", std::string(3000, 'i') + "\n");
}
const char* const kFiles[] = {"big.txt", "small.txt", "sub/inner.txt"};

// The first stored byte of an entry's data, from its local header.
size_t dataOffset(const std::vector<uint8_t>& zip, size_t localOffset) {
  const auto u16 = [&](size_t at) { return static_cast<size_t>(zip[at] | zip[at + 1] << 8); };
  return localOffset + 30 + u16(localOffset + 26) + u16(localOffset + 28);
}

struct Maker {
  const char* label;
  const char* tool;     // program that must be installed
  const char* command;  // run in the source folder; makes ../a.zip with the password SECRET
  uint8_t bigMethod;    // the method the listing gives big.txt
};

const Maker kMakers[] = {
    {"7zz AES-256 deflate", "7zz", "7zz a -tzip -mem=AES256 -pSECRET ../a.zip big.txt small.txt sub", 8},
    {"7zz AES-128 deflate", "7zz", "7zz a -tzip -mem=AES128 -pSECRET ../a.zip big.txt small.txt sub", 8},
    {"7zz AES-128 bzip2", "7zz", "7zz a -tzip -mem=AES128 -mm=BZip2 -pSECRET ../a.zip big.txt small.txt sub", 12},
    {"7zz AES-256 LZMA", "7zz", "7zz a -tzip -mem=AES256 -mm=LZMA -pSECRET ../a.zip big.txt small.txt sub", 14},
    {"7zz AES-192 store", "7zz", "7zz a -tzip -mem=AES192 -mm=Copy -pSECRET ../a.zip big.txt small.txt sub", 0},
    {"bsdtar AE-1 AES-256", "bsdtar",
     "bsdtar --format zip --options zip:encryption=aes256 --passphrase SECRET -cf ../a.zip big.txt small.txt sub", 8},
};

class UnzipAes : public ::testing::TestWithParam<Maker> {
 protected:
  void SetUp() override {
    if (!vz::test::haveProgram(GetParam().tool)) GTEST_SKIP();
    makeSource(dir_.file("src"));
    ASSERT_EQ(shell(std::string(GetParam().command) + " >/dev/null", dir_.file("src")), 0);
  }
  std::string zip() const { return dir_.file("a.zip"); }
  std::string out() const { return dir_.file("out"); }
  void expectExtracted() const {
    for (const char* f : kFiles) EXPECT_EQ(contentOf(out() + "/" + f), contentOf(dir_.file("src/") + f)) << f;
  }

  ScratchDir dir_{"zwaes"};
};

TEST_P(UnzipAes, ExtractsTestsAndListsWithThePassword) {
  RecordingHost host;
  EXPECT_EQ(host.run({"SECRET", zip(), "-d", out()}), 0u);
  expectExtracted();
  EXPECT_EQ(snapshot(out()).size(), 4u);  // the three files and sub/, nothing left over

  RecordingHost tester;
  EXPECT_EQ(tester.run({"SECRET", "-t", zip()}), 0u);
  EXPECT_TRUE(tester.of(kCbSkipping).empty());

  RecordingHost lister;
  ASSERT_EQ(lister.run({"", "-v", zip()}), 0u);
  for (const Seen& s : lister.of(kCbListing)) {
    if (s.name.back() == '/') continue;
    EXPECT_EQ(s.file.flagA, 1) << s.name;
    if (s.name == "big.txt") EXPECT_EQ(s.file.byteA, GetParam().bigMethod);
  }
}

TEST_P(UnzipAes, WrongPasswordIsAskedAgainAndSkipAllLeavesNothing) {
  RecordingHost host;
  host.passwordReplies = {{2, "wrong"}, {2, "SECRET"}};
  EXPECT_EQ(host.run({"", zip(), "-d", out()}) & 0xFFFF, kResultOk);
  EXPECT_EQ(host.of(kCbPassword).size(), 2u);  // the good one is remembered for the others
  expectExtracted();

  fs::remove_all(out());
  RecordingHost skipper;
  skipper.passwordReplies = {{1, ""}};
  EXPECT_EQ(skipper.run({"wrong", zip(), "-d", out()}) & 0xFFFF, kResultSkipped);
  EXPECT_EQ(skipper.of(kCbPassword).size(), 1u);
  for (const char* f : kFiles) EXPECT_EQ(skipper.reasonsFor(f), std::vector<uint32_t>{kSkipBadPassword}) << f;
  EXPECT_EQ(snapshot(out()).size(), 1u);  // sub/ alone
}

TEST_P(UnzipAes, FlippedByteFailsTheEntryAsDamaged) {
  const std::vector<uint8_t> good = vz::test::readFile(zip());
  // big.txt is the first entry in every archive made here.
  ASSERT_EQ(std::string(good.begin() + 30, good.begin() + 37), "big.txt");
  const size_t start = dataOffset(good, 0);
  // The code is the entry's last 10 stored bytes; its stored size comes
  // from the central record (a data descriptor may leave the local one 0).
  size_t stored = 0;
  for (size_t i = 0; i + 53 <= good.size(); ++i) {
    if (good[i] == 'P' && good[i + 1] == 'K' && good[i + 2] == 1 && good[i + 3] == 2 &&
        std::string(good.begin() + i + 46, good.begin() + i + 53) == "big.txt") {
      stored = good[i + 20] | good[i + 21] << 8 | good[i + 22] << 16 | size_t{good[i + 23]} << 24;
      break;
    }
  }
  ASSERT_GT(stored, 5000u);
  struct Spot {
    const char* label;
    size_t at;
  } spots[] = {{"encrypted data", start + 4000}, {"authentication code", start + stored - 3}};
  for (const Spot& spot : spots) {
    SCOPED_TRACE(spot.label);
    std::vector<uint8_t> bad = good;
    bad[spot.at] ^= 0x40;
    const std::string damaged = dir_.file("bad.zip");
    vz::test::writeFile(damaged, bad);

    RecordingHost tester;
    EXPECT_EQ(tester.run({"SECRET", "-t", damaged}) & 0xFFFF, kResultArchiveErrors);
    EXPECT_EQ(tester.reasonsFor("big.txt"), std::vector<uint32_t>{kSkipCorruptData});
    EXPECT_TRUE(tester.of(kCbPassword).empty());

    fs::remove_all(out());
    RecordingHost host;
    EXPECT_EQ(host.run({"SECRET", damaged, "-d", out()}) & 0xFFFF, kResultArchiveErrors);
    EXPECT_EQ(host.reasonsFor("big.txt"), std::vector<uint32_t>{kSkipCorruptData});
    EXPECT_FALSE(fs::exists(out() + "/big.txt"));
    EXPECT_EQ(contentOf(out() + "/small.txt"), "small\n");
    EXPECT_EQ(snapshot(out()).size(), 3u);  // no temporary file left behind
  }
}

INSTANTIATE_TEST_SUITE_P(Makers, UnzipAes, ::testing::ValuesIn(kMakers), [](const auto& info) {
  std::string name = info.param.label;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
});

// The corpus's AES-128 sample (stored data, password from the corpus notes)
// comes out as 7zz extracts it.
TEST(UnzipAesCorpus, Aes128SampleMatchesThePeer) {
  const std::string sample = vz::test::corpusDir() + "/lz-encrypt-aes128.zip";
  if (!fs::exists(sample) || !vz::test::haveProgram("7zz")) GTEST_SKIP();
  ScratchDir dir("zwaesc");
  ASSERT_EQ(shell("7zz x -pfoofoofoo -o" + dir.file("peer") + " " + sample + " >/dev/null"), 0);
  RecordingHost host;
  EXPECT_EQ(host.run({"foofoofoo", sample, "-d", dir.file("mine")}), 0u);
  // Bytes and kinds; the peer's choice of permission bits is not at issue.
  auto contents = [](const std::string& root) {
    Tree t = snapshot(root);
    for (auto& [path, item] : t) item.mode = 0, item.mtime = 0;
    return t;
  };
  EXPECT_EQ(treeDiff(contents(dir.file("peer")), contents(dir.file("mine"))), "");
  EXPECT_FALSE(contents(dir.file("mine")).empty());
  RecordingHost tester;
  EXPECT_EQ(tester.run({"foofoofoo", "-t", sample}), 0u);
}

}  // namespace
}  // namespace vz::zipwrap::test
