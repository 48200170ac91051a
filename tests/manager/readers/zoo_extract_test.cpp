// TUnZOO: the corpus's ZOO archive extracted as unar extracts it, and ZOO
// archives built here (Debian has no zoo program) from the format's
// layout: a stored entry, an LZW entry from the encoder below (past a full
// table, so the stream clears it), a deleted entry that is skipped, and an
// lh5 entry whose stream jlha made, under a long name in a folder; the
// CRC-16 of each is the reference one below. Damage to one entry's data
// gives an error for it and keeps the others.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "manager/readers/zoo_extract.h"
#include "tests/manager/readers/codecs/codec_test_data.h"
#include "tests/manager/readers/extract_test_tree.h"

namespace vz::readers {
namespace {

namespace fs = std::filesystem;
using test::extract;
using test::readTree;
using Bytes = std::vector<uint8_t>;
using vz::test::codecs::DataKind;
using vz::test::codecs::makeData;

// CRC-16 bit by bit (polynomial A001, reflected, from 0).
uint16_t crc16(const Bytes& b) {
  uint16_t c = 0;
  for (uint8_t x : b) {
    c ^= x;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : static_cast<uint16_t>(c >> 1);
  }
  return c;
}

// ZOO's LZW from the format's description: codes 9 to 13 bits wide, least
// significant bit first; the width is the decoder's, which adds each
// string one code later than the encoder does; a full table is cleared.
Bytes zooLzw(const Bytes& data) {
  Bytes out;
  uint32_t acc = 0;
  int bits = 0;
  std::map<std::pair<int, int>, int> dict;
  int next = 258;
  bool emitted = false;
  auto emit = [&](int code) {
    const int decoderNext = emitted ? next - 1 : next;
    int width = 9;
    while (width < 13 && decoderNext >= (1 << width)) ++width;
    acc |= static_cast<uint32_t>(code) << bits;
    bits += width;
    while (bits >= 8) out.push_back(static_cast<uint8_t>(acc)), acc >>= 8, bits -= 8;
    emitted = true;
  };
  int w = -1;
  for (uint8_t c : data) {
    if (w < 0) {
      w = c;
      continue;
    }
    const auto it = dict.find({w, c});
    if (it != dict.end()) {
      w = it->second;
      continue;
    }
    emit(w);
    dict[{w, c}] = next++;
    w = c;
    if (next == 8192) {
      emit(256);
      dict.clear();
      next = 258;
      emitted = false;
    }
  }
  if (w >= 0) emit(w);
  emit(257);
  if (bits > 0) out.push_back(static_cast<uint8_t>(acc));
  return out;
}

struct ZooItem {
  std::string shortName;
  std::string longName, folder;  // empty: none (a type-1 entry)
  int method = 0;
  Bytes data, packed;
  bool deleted = false;
};

void put16(Bytes& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v), b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void put32(Bytes& b, size_t at, uint32_t v) { put16(b, at, v & 0xFFFF), put16(b, at + 2, v >> 16); }

//   archive header: text, tag FDC4A7DC at 20, first entry at 24, its
//   negation at 28, version 2.1 at 32
//   entry: see walk_zoo.cpp; each entry's data follows it
Bytes buildZoo(const std::vector<ZooItem>& items) {
  Bytes z(42, 0);
  const std::string text = "ZOO 2.10 Archive.\x1a";
  std::copy(text.begin(), text.end(), z.begin());
  put32(z, 20, 0xFDC4A7DC);
  put32(z, 24, 42);
  put32(z, 28, static_cast<uint32_t>(-42));
  z[32] = 2, z[34] = 1, z[41] = 3;  // version 2.0, header type 1, "vdata" as zoo writes them
  for (const ZooItem& it : items) {
    const size_t at = z.size();
    // The variable part: name and folder lengths and texts, then the
    // system id, attributes, version flag and version (8 bytes of 0).
    Bytes var;
    var.push_back(static_cast<uint8_t>(it.longName.size()));
    var.push_back(static_cast<uint8_t>(it.folder.size()));
    var.insert(var.end(), it.longName.begin(), it.longName.end());
    var.insert(var.end(), it.folder.begin(), it.folder.end());
    var.resize(var.size() + 8, 0);
    Bytes e(56, 0);
    put32(e, 0, 0xFDC4A7DC);
    e[4] = 2;
    e[5] = static_cast<uint8_t>(it.method);
    const size_t dataAt = at + 56 + var.size();
    put32(e, 6, static_cast<uint32_t>(dataAt + it.packed.size()));
    put32(e, 10, static_cast<uint32_t>(dataAt));
    put16(e, 14, (2020 - 1980) << 9 | 6 << 5 | 15);  // 15 June 2020
    put16(e, 16, 12 << 11 | 30 << 5);                // 12:30
    put16(e, 18, crc16(it.data));
    put32(e, 20, static_cast<uint32_t>(it.data.size()));
    put32(e, 24, static_cast<uint32_t>(it.packed.size()));
    e[28] = 2, e[29] = 1;
    e[30] = it.deleted ? 1 : 0;
    std::copy(it.shortName.begin(), it.shortName.end(), e.begin() + 38);
    put16(e, 51, static_cast<uint32_t>(var.size()));
    e[53] = 0x7F;  // time zone unknown
    Bytes whole = e;
    whole.insert(whole.end(), var.begin(), var.end());
    put16(e, 54, crc16(whole));  // the entry's own CRC, its field 0 while counted
    z.insert(z.end(), e.begin(), e.end());
    z.insert(z.end(), var.begin(), var.end());
    z.insert(z.end(), it.packed.begin(), it.packed.end());
  }
  Bytes end(56, 0);  // the list's end: an entry whose next offset is 0
  put32(end, 0, 0xFDC4A7DC);
  z.insert(z.end(), end.begin(), end.end());
  return z;
}

// The -lh5- stream of data, made by jlha (a level-2 archive of one file).
Bytes jlhaLh5(const vz::test::ScratchDir& dir, const Bytes& data) {
  fs::create_directories(dir.file("lh5"));
  vz::test::writeFile(dir.file("lh5/f"), data);
  std::string out;
  if (vz::test::run({"jlha", "a2o5", dir.file("f.lzh"), "f"}, &out, nullptr, dir.file("lh5")) != 0) return {};
  const Bytes a = vz::test::readFile(dir.file("f.lzh"));
  const size_t header = a[0] | a[1] << 8;
  const size_t packed = a[7] | a[8] << 8 | a[9] << 16;
  return Bytes(a.begin() + static_cast<long>(header), a.begin() + static_cast<long>(header + packed));
}

TEST(ZooExtract, CorpusMatchesUnar) {
  if (!vz::test::haveProgram("unar")) GTEST_SKIP() << "unar missing";
  const std::string path = vz::test::corpusDir() + "/ua-zoo-default.zoo";
  if (!fs::exists(path)) GTEST_SKIP() << "corpus missing";
  vz::test::ScratchDir dir("unzoo");
  ASSERT_EQ(vz::test::run({"unar", "-q", "-D", "-o", dir.file("peer"), path}), 0);
  const test::RunLog log = extract<TUnZOO>(path, dir.file("ours"));
  EXPECT_TRUE(log.errors.empty()) << log.errors.front();
  EXPECT_EQ(log.extracted, 1);
  for (const auto& [name, pass] : log.ended) EXPECT_TRUE(pass) << name;
  EXPECT_EQ(readTree(dir.file("ours")), readTree(dir.file("peer")));
}

class ZooBuilt : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!vz::test::haveProgram("jlha")) GTEST_SKIP() << "jlha missing";
    ZooItem stored{"stored.txt", "", "", 0, makeData(DataKind::Text, 5000, 1), {}};
    stored.packed = stored.data;
    // 300 KB of text fills the 8192-entry table several times over.
    ZooItem lzw{"lzw.txt", "", "", 1, makeData(DataKind::Text, 300000, 2), {}};
    lzw.packed = zooLzw(lzw.data);
    ZooItem runs{"runs.dat", "", "", 1, makeData(DataKind::Repetitive, 100000, 3), {}};
    runs.packed = zooLzw(runs.data);
    ZooItem gone{"gone.txt", "", "", 0, makeData(DataKind::Text, 100, 4), {}, true};
    gone.packed = gone.data;
    ZooItem lh5{
        "LONGNA~1.TXT", "long name of the lh5 entry.text", "folder/inner", 2, makeData(DataKind::Text, 200000, 5), {}};
    lh5.packed = jlhaLh5(dir_, lh5.data);
    ASSERT_FALSE(lh5.packed.empty());
    items_ = {stored, lzw, gone, runs, lh5};
  }
  vz::test::ScratchDir dir_{"unzoo"};
  std::vector<ZooItem> items_;
};

TEST_F(ZooBuilt, EveryMethodComesBack) {
  vz::test::writeFile(dir_.file("a.zoo"), buildZoo(items_));
  const test::RunLog log = extract<TUnZOO>(dir_.file("a.zoo"), dir_.file("out"));
  EXPECT_TRUE(log.errors.empty()) << log.errors.front();
  EXPECT_EQ(log.extracted, 4);
  EXPECT_EQ(log.ended.size(), 4u);
  for (const auto& [name, pass] : log.ended) EXPECT_TRUE(pass) << name;
  EXPECT_EQ(vz::test::readFile(dir_.file("out/stored.txt")), items_[0].data);
  EXPECT_EQ(vz::test::readFile(dir_.file("out/lzw.txt")), items_[1].data);
  EXPECT_FALSE(fs::exists(dir_.file("out/gone.txt")));
  EXPECT_EQ(vz::test::readFile(dir_.file("out/runs.dat")), items_[3].data);
  EXPECT_EQ(vz::test::readFile(dir_.file("out/folder/inner/long name of the lh5 entry.text")), items_[4].data);
  // The DOS stamp is kept.
  const auto tree = readTree(dir_.file("out"));
  std::tm tm{};
  tm.tm_year = 120, tm.tm_mon = 5, tm.tm_mday = 15, tm.tm_hour = 12, tm.tm_min = 30, tm.tm_isdst = -1;
  EXPECT_EQ(tree.at("stored.txt").mtime, std::mktime(&tm));
}

TEST_F(ZooBuilt, DamagedEntryKeepsTheRest) {
  // A wrong CRC on the stored entry, garbage in the LZW entry and a cut lh5
  // stream: one error each, the rest extracted.
  std::vector<ZooItem> bad = items_;
  bad[0].packed[100] ^= 1;
  bad[1].packed[5000] ^= 0xFF;
  bad[4].packed.resize(bad[4].packed.size() / 2);
  vz::test::writeFile(dir_.file("bad.zoo"), buildZoo(bad));
  const test::RunLog log = extract<TUnZOO>(dir_.file("bad.zoo"), dir_.file("out"));
  EXPECT_EQ(log.errors.size(), 3u);
  for (int32_t e : log.errors) EXPECT_TRUE(e == E_CRCERROR || e == E_BADBLOCK) << e;
  EXPECT_EQ(log.extracted, 1);
  EXPECT_EQ(vz::test::readFile(dir_.file("out/runs.dat")), items_[3].data);
  int files = 0;
  for (const auto& [name, node] : readTree(dir_.file("out"))) files += node.kind == 'f';
  EXPECT_EQ(files, 1);
}

}  // namespace
}  // namespace vz::readers
