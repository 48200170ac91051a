// The ARJ decoders from memory: two method 1-3 streams and one method 4
// stream built bit by bit from the format's description (single-symbol
// tables, a two-symbol code sent through the T code, the longest length
// and the farthest distance of method 4), arj-made data of every method
// decoded the same whatever the input's span size, every cut of a stream
// failing with BadData (never Ok, never more than the original size), and
// the garbling undone by its own inverse.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "control/engine/format/crc32.h"
#include "manager/readers/codecs/arj_data.h"
#include "manager/readers/codecs/arj_garble.h"
#include "tests/manager/readers/codecs/codec_test_data.h"
#include "tests/support/test_env.h"

namespace vz::readers::codecs {
namespace {

namespace fs = std::filesystem;

// Most significant bit first, as the format reads.
struct BitWriter {
  std::vector<uint8_t> bytes;
  unsigned used = 0;  // bits used in the last byte
  void put(uint32_t value, unsigned n) {
    for (unsigned i = n; i-- > 0;) {
      if (used == 0) bytes.push_back(0);
      if ((value >> i) & 1) bytes.back() |= static_cast<uint8_t>(0x80 >> used);
      used = (used + 1) & 7;
    }
  }
};

std::string decode(int method, const std::vector<uint8_t>& in, uint64_t size, ArjStatus* status,
                   size_t chunk = SIZE_MAX) {
  engine::MemoryInput input(in, chunk);
  engine::VectorOutput out;
  *status = decodeArjData(method, input, out, size);
  return std::string(out.bytes.begin(), out.bytes.end());
}

TEST(ArjCodec, SingleSymbolTablesRepeatTheirSymbol) {
  BitWriter w;
  w.put(2, 16);                // two symbols in the block
  w.put(0, 5), w.put(7, 5);    // T: one symbol (any), no bits per code
  w.put(0, 9), w.put('A', 9);  // C: 'A' only
  w.put(0, 5), w.put(0, 5);    // P: distance class 0 only
  ArjStatus s;
  EXPECT_EQ(decode(1, w.bytes, 2, &s), "AA");
  EXPECT_EQ(s, ArjStatus::Ok);
}

TEST(ArjCodec, TwoSymbolCodeThroughTheTCode) {
  BitWriter w;
  w.put(3, 16);  // 'a', a match, 'a'
  // T: four lengths 0, 0, 1, then the zero-run count 0 after the third,
  // then 1: symbols 2 ("0") and 3 ("1").
  w.put(4, 5);
  w.put(0, 3), w.put(0, 3), w.put(1, 3), w.put(0, 2), w.put(1, 3);
  // C: 257 lengths: 97 zeros (T 2 + 9 bits: 20 + 77), length 1 (T 3),
  // 158 zeros (20 + 138), length 1 for symbol 256 (a match of 3).
  w.put(257, 9);
  w.put(0, 1), w.put(77, 9), w.put(1, 1), w.put(0, 1), w.put(138, 9), w.put(1, 1);
  w.put(0, 5), w.put(0, 5);               // P: class 0, distance 1
  w.put(0, 1), w.put(1, 1), w.put(0, 1);  // 'a' (code 0), match (code 1), 'a'
  ArjStatus s;
  EXPECT_EQ(decode(2, w.bytes, 5, &s), "aaaaa");
  EXPECT_EQ(s, ArjStatus::Ok);
  // An original size that needs more symbols than the stream has.
  EXPECT_EQ(decode(2, w.bytes, 6, &s).substr(0, 5), "aaaaa");
  EXPECT_NE(s, ArjStatus::Ok);
}

TEST(ArjCodec, FastestLengthsAndDistances) {
  BitWriter w;
  w.put(0, 1), w.put('q', 8);                             // literal
  w.put(0b10, 2), w.put(0, 1), w.put(0, 1), w.put(0, 9);  // length 1 + 2 = 3, distance 1
  // Length 256: seven ones, then 7 bits 127 (value 127 + 127 = 254); distance 1.
  w.put(0x7F, 7), w.put(127, 7), w.put(0, 1), w.put(0, 9);
  // Distance 15,872: four ones, 13 bits of 2^13 - 1 (15,871 + 1); length 3.
  // The window holds 260 bytes by then: too far, damage.
  std::string want = "q" + std::string(259, 'q');
  ArjStatus s;
  EXPECT_EQ(decode(4, w.bytes, want.size(), &s), want);
  EXPECT_EQ(s, ArjStatus::Ok);
  w.put(0b10, 2), w.put(0, 1), w.put(0xF, 4), w.put(0x1FFF, 13);
  decode(4, w.bytes, want.size() + 3, &s);
  EXPECT_EQ(s, ArjStatus::BadData);
}

TEST(ArjCodec, IncompleteCodeIsABadTable) {
  BitWriter w;
  w.put(1, 16);
  w.put(3, 5), w.put(1, 3), w.put(2, 3), w.put(0, 3), w.put(0, 2);  // T lengths 1, 2: not complete
  w.put(0, 32);
  ArjStatus s;
  decode(1, w.bytes, 1, &s);
  EXPECT_EQ(s, ArjStatus::BadTable);
}

// The packed data of the first entry of an arj-made archive.
std::vector<uint8_t> firstEntryData(const std::vector<uint8_t>& a, uint32_t* original) {
  auto le16 = [&](size_t p) { return static_cast<size_t>(a[p] | (a[p + 1] << 8)); };
  auto le32 = [&](size_t p) { return static_cast<uint32_t>(le16(p) | (le16(p + 2) << 16)); };
  size_t p = 0;
  for (int header = 0; header < 2; ++header) {
    const size_t basic = le16(p + 2);
    const size_t fields = p + 4;
    p = fields + basic + 4;
    while (const size_t ext = le16(p)) p += 2 + ext + 4;
    p += 2;
    if (header == 1) {
      *original = le32(fields + 16);
      return std::vector<uint8_t>(a.begin() + static_cast<long>(p),
                                  a.begin() + static_cast<long>(p + le32(fields + 12)));
    }
  }
  return {};
}

class ArjCodecPeer : public ::testing::TestWithParam<int> {};

TEST_P(ArjCodecPeer, SpansAndCuts) {
  if (!vz::test::haveProgram("arj")) GTEST_SKIP() << "arj missing";
  vz::test::ScratchDir dir("arjcodec");
  std::vector<uint8_t> data = vz::test::codecs::makeData(vz::test::codecs::DataKind::Text, 120000);
  const std::vector<uint8_t> rep = vz::test::codecs::makeData(vz::test::codecs::DataKind::Repetitive, 60000);
  data.insert(data.end(), rep.begin(), rep.end());
  vz::test::writeFile(dir.file("in.dat"), data);
  std::string out;
  ASSERT_EQ(
      vz::test::run({"arj", "a", "-m" + std::to_string(GetParam()), "-y", "x.arj", "in.dat"}, &out, &out, dir.path()),
      0);
  uint32_t original = 0;
  const std::vector<uint8_t> packed = firstEntryData(vz::test::readFile(dir.file("x.arj")), &original);
  ASSERT_EQ(original, data.size());
  const std::string want(data.begin(), data.end());
  for (size_t chunk : {size_t{1}, size_t{7}, size_t{4096}, SIZE_MAX}) {
    ArjStatus s;
    EXPECT_EQ(decode(GetParam(), packed, original, &s, chunk), want) << chunk;
    EXPECT_EQ(s, ArjStatus::Ok);
  }
  for (size_t cut = 0; cut < packed.size(); cut += 1 + packed.size() / 97) {
    ArjStatus s;
    const std::string got =
        decode(GetParam(), std::vector<uint8_t>(packed.begin(), packed.begin() + cut), original, &s);
    EXPECT_NE(s, ArjStatus::Ok) << cut;
    EXPECT_LT(got.size(), want.size());
    EXPECT_EQ(got, want.substr(0, got.size())) << cut;
  }
}

INSTANTIATE_TEST_SUITE_P(Methods, ArjCodecPeer, ::testing::Values(1, 2, 3, 4));

TEST(ArjCodec, GarblingIsItsOwnInverseAcrossSpans) {
  const std::vector<uint8_t> plain = vz::test::codecs::makeData(vz::test::codecs::DataKind::Random, 1000);
  std::vector<uint8_t> garbled = plain;
  arjGarble(garbled.data(), garbled.size(), "key", 0xFB);
  EXPECT_NE(garbled, plain);
  // Known bytes: 'k' + FB = 66 hex, 'e' + FB = 60, 'y' + FB = 74.
  EXPECT_EQ(garbled[0] ^ plain[0], 0x66);
  EXPECT_EQ(garbled[4] ^ plain[4], 0x60);
  EXPECT_EQ(garbled[5] ^ plain[5], 0x74);
  engine::MemoryInput raw(garbled, 7);
  ArjGarbledInput in(raw, "key", 0xFB);
  engine::VectorOutput out;
  EXPECT_EQ(decodeArjData(0, in, out, plain.size()), ArjStatus::Ok);
  EXPECT_EQ(out.bytes, plain);
}

}  // namespace
}  // namespace vz::readers::codecs
