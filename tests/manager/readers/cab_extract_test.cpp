// TUnCAB against cabextract: cabinets made with gcab, stored (-c) and MSZIP
// (-c -z), with files past one 32 KB block, an empty file and folders, and
// the corpus cabinets, extracted byte for byte with the same times; a
// two-cabinet set built here with a file spanning both, through
// OnNextCabinet, and its failures (next cabinet missing, cancelled) ending
// only the spanning file; LZX and Quantum folders refused with their codes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "manager/readers/cab_extract.h"
#include "tests/manager/readers/extract_test_tree.h"

namespace vz::readers {
namespace {

namespace fs = std::filesystem;
using test::extract;
using test::readTree;
using Bytes = std::vector<uint8_t>;

class CabExtractPeers : public ::testing::TestWithParam<bool> {};

TEST_P(CabExtractPeers, GcabMatchesCabextract) {
  if (!vz::test::haveProgram("gcab") || !vz::test::haveProgram("cabextract")) GTEST_SKIP() << "peer missing";
  vz::test::ScratchDir dir("uncab");
  fs::create_directories(dir.file("src/sub"));
  std::string big;
  for (int i = 0; i < 150000; ++i) big += static_cast<char>("abcdefgh"[(i * 31) % 8] + (i % 977 == 0));
  vz::test::writeFile(dir.file("src/big.txt"), big);
  vz::test::writeFile(dir.file("src/empty"), "");
  vz::test::writeFile(dir.file("src/sub/small"), "small file");
  std::vector<std::string> argv = {"gcab", "-c"};
  if (GetParam()) argv.push_back("-z");
  argv.push_back(dir.file("a.cab"));
  for (const char* f : {"big.txt", "empty", "sub/small"}) argv.push_back(f);
  ASSERT_EQ(vz::test::run(argv, nullptr, nullptr, dir.file("src")), 0);
  ASSERT_EQ(vz::test::run({"cabextract", "-q", "-d", dir.file("peer"), dir.file("a.cab")}), 0);
  const test::RunLog log = extract<TUnCAB>(dir.file("a.cab"), dir.file("ours"));
  EXPECT_TRUE(log.errors.empty()) << log.errors.front();
  EXPECT_EQ(log.extracted, 3);
  EXPECT_EQ(readTree(dir.file("ours")), readTree(dir.file("peer")));
  EXPECT_EQ(log.progress.at("big.txt"), (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
}

INSTANTIATE_TEST_SUITE_P(StoredAndMszip, CabExtractPeers, ::testing::Bool());

TEST(CabExtract, CorpusMatchesCabextract) {
  if (!vz::test::haveProgram("cabextract")) GTEST_SKIP() << "cabextract missing";
  int seen = 0;
  for (const std::string& path : vz::test::corpusFiles()) {
    if (fs::path(path).extension() != ".cab") continue;
    ++seen;
    vz::test::ScratchDir dir("uncab");
    vz::test::run({"cabextract", "-q", "-d", dir.file("peer"), path});
    const test::RunLog log = extract<TUnCAB>(path, dir.file("ours"));
    EXPECT_TRUE(log.errors.empty()) << path;
    EXPECT_EQ(readTree(dir.file("ours")), readTree(dir.file("peer"))) << path;
  }
  EXPECT_GT(seen, 0);
}

void put16(Bytes& b, uint32_t v) { b.push_back(v & 0xFF), b.push_back((v >> 8) & 0xFF); }
void put32(Bytes& b, uint32_t v) { put16(b, v & 0xFFFF), put16(b, v >> 16); }
void putz(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()), b.push_back(0); }

struct Rec {
  std::string name;
  uint32_t size, offset;
  uint16_t folder;
};

// One cabinet of set 77 with one folder of the given method holding data
// in one stored block (checksum 0), and the file records.
Bytes cabinet(uint16_t index, const std::string& prev, const std::string& next, const std::vector<Rec>& recs,
              const std::string& data, uint16_t method = 0) {
  Bytes names, files;
  if (!prev.empty()) putz(names, prev), putz(names, "disk");
  if (!next.empty()) putz(names, next), putz(names, "disk 2");
  for (const Rec& r : recs) {
    put32(files, r.size), put32(files, r.offset), put16(files, r.folder);
    put16(files, (21 << 9) | (3 << 5) | 4), put16(files, (10 << 11) | (20 << 5)), put16(files, 0x20);
    putz(files, r.name);
  }
  const uint32_t filesAt = 36 + static_cast<uint32_t>(names.size()) + 8;
  const uint32_t dataAt = filesAt + static_cast<uint32_t>(files.size());
  Bytes b;
  for (char c : std::string("MSCF")) b.push_back(static_cast<uint8_t>(c));
  put32(b, 0), put32(b, dataAt + 8 + static_cast<uint32_t>(data.size())), put32(b, 0), put32(b, filesAt), put32(b, 0);
  b.push_back(3), b.push_back(1);
  put16(b, 1), put16(b, static_cast<uint32_t>(recs.size()));
  put16(b, (prev.empty() ? 0 : 1) | (next.empty() ? 0 : 2)), put16(b, 77), put16(b, index);
  b.insert(b.end(), names.begin(), names.end());
  put32(b, dataAt), put16(b, 1), put16(b, method);
  b.insert(b.end(), files.begin(), files.end());
  put32(b, 0), put16(b, static_cast<uint32_t>(data.size())), put16(b, static_cast<uint32_t>(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

class CabSet : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 350; ++i) data_ += static_cast<char>('A' + i % 26);
    // "span" runs from the first cabinet's folder into the second's.
    vz::test::writeFile(
        dir_.file("one.cab"),
        cabinet(0, "", "TWO.CAB", {{"first", 100, 0, 0}, {"span", 200, 100, 0xFFFE}}, data_.substr(0, 250)));
    two_ = cabinet(1, "one.cab", "", {{"span", 200, 100, 0xFFFD}, {"last", 50, 300, 0}}, data_.substr(250));
  }
  vz::test::ScratchDir dir_{"cabset"};
  std::string data_;
  Bytes two_;
};

TEST_F(CabSet, SpanningFileJoinedThroughNextCabinet) {
  vz::test::writeFile(dir_.file("two.cab"), two_);  // found ignoring case
  TUnCAB x;
  std::vector<std::string> asked;
  x.OnNextCabinet = [&](TUnCAB&, const std::string& fn, const std::string& volume, bool&) {
    asked.push_back(fs::path(fn).filename().string() + "|" + volume);
  };
  const test::RunLog log = extract(dir_.file("one.cab"), dir_.file("out"), &x);
  EXPECT_TRUE(log.errors.empty());
  EXPECT_EQ(asked, std::vector<std::string>{"two.cab|disk 2"});
  EXPECT_EQ(log.begun, (std::vector<std::string>{"first", "span", "last"}));
  const test::Tree tree = readTree(dir_.file("out"));
  EXPECT_EQ(tree.at("first").content, data_.substr(0, 100));
  EXPECT_EQ(tree.at("span").content, data_.substr(100, 200));
  EXPECT_EQ(tree.at("last").content, data_.substr(300));
  const auto when = vz::fromLocalTime(vz::LocalTime{2001, 3, 4, 10, 20, 0});
  EXPECT_EQ(tree.at("first").mtime, *when);
}

TEST_F(CabSet, MissingOrCancelledNextEndsOnlyTheSpanningFile) {
  test::RunLog log = extract<TUnCAB>(dir_.file("one.cab"), dir_.file("out1"));
  EXPECT_EQ(log.errors, (std::vector<int32_t>{E_OPEN, E_OPEN}));  // the cabinet, then the file
  EXPECT_EQ(log.extracted, 1);
  EXPECT_EQ(readTree(dir_.file("out1")).size(), 1u);  // no partial "span"

  vz::test::writeFile(dir_.file("two.cab"), two_);
  TUnCAB x;
  x.OnNextCabinet = [](TUnCAB&, const std::string&, const std::string&, bool& cancel) { cancel = true; };
  log = extract(dir_.file("one.cab"), dir_.file("out2"), &x);
  EXPECT_EQ(log.errors, std::vector<int32_t>{E_USERABORT});
  EXPECT_EQ(readTree(dir_.file("out2")).size(), 1u);

  // Started from the second cabinet: the continued file cannot be made.
  log = extract<TUnCAB>(dir_.file("two.cab"), dir_.file("out3"));
  EXPECT_EQ(log.errors, (std::vector<int32_t>{E_CABFIRSTDISK, E_CABFIRSTDISK}));
  EXPECT_TRUE(readTree(dir_.file("out3")).empty());
}

TEST(CabExtract, LzxAndQuantumRefused) {
  vz::test::ScratchDir dir("uncab");
  for (const auto& [method, code] :
       {std::pair<uint16_t, int32_t>{0x1503, E_LZXUNSUPPORTED}, {0x0F02, E_UNSUPPORTEDMETHOD}}) {
    vz::test::writeFile(dir.file("m.cab"), cabinet(0, "", "", {{"a", 5, 0, 0}, {"b", 5, 5, 0}}, "0123456789", method));
    const test::RunLog log = extract<TUnCAB>(dir.file("m.cab"), dir.file("out"));
    EXPECT_EQ(log.errors, (std::vector<int32_t>{code, code}));
    EXPECT_TRUE(readTree(dir.file("out")).empty());
  }
}

}  // namespace
}  // namespace vz::readers
