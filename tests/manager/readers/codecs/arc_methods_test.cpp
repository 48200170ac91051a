// The ARC and PAK decoders on streams of the test encoders (run-length,
// hashed crunching, distilled), a hand-made squeezed tree, the run-length
// edge cases, and damaged streams of every method: every byte decoded back
// whatever the input's span size, and a damaged or cut stream ends with a
// status and never more output than the limit.
#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "manager/readers/codecs/arc_crc16.h"
#include "manager/readers/codecs/arc_methods.h"
#include "tests/manager/readers/codecs/arc_test_encoders.h"
#include "tests/manager/readers/codecs/codec_test_data.h"

namespace vz::readers::codecs {
namespace {

using test::arc::Bytes;
using test::codecs::DataKind;

struct Decoded {
  ArcStatus status;
  Bytes bytes;
  uint16_t crc;
};

Decoded decode(uint8_t method, const Bytes& packed, size_t chunk = 1 << 20, uint64_t limit = 1 << 26) {
  engine::MemoryInput in(packed, chunk);
  engine::VectorOutput out;
  out.setLimit(limit);
  ArcCrcOutput crc(out);
  const ArcStatus s = decodeArcEntry(method, in, crc);
  return {s, out.bytes, crc.crc()};
}

// Packed bytes of method for data, from the test encoders.
Bytes encode(uint8_t method, const Bytes& data) {
  switch (method) {
    case 2:
      return data;
    case 3:
      return test::arc::rle90(data);
    case 5:
      return test::arc::crunchHashed(data, false);
    case 6:
      return test::arc::crunchHashed(test::arc::rle90(data), false);
    case 7:
      return test::arc::crunchHashed(test::arc::rle90(data), true);
    case 10:
      return test::arc::crush(test::arc::rle90(data));
    default:
      return test::arc::distill(data);
  }
}

class ArcMethodRoundTrip : public ::testing::TestWithParam<std::tuple<int, DataKind, size_t>> {};

// Big enough for the hashed table to fill (4,096 strings) and for
// distilled's offsets to reach their widest.
TEST_P(ArcMethodRoundTrip, DecodesWhatTheEncoderWrote) {
  const auto [method, kind, chunk] = GetParam();
  const Bytes data = test::codecs::makeData(kind, 24000, 7);
  const Decoded d = decode(static_cast<uint8_t>(method), encode(static_cast<uint8_t>(method), data), chunk);
  ASSERT_EQ(d.status, ArcStatus::Ok);
  EXPECT_TRUE(d.bytes == data);
  EXPECT_EQ(d.crc, test::arc::crc16(data));
}

INSTANTIATE_TEST_SUITE_P(Methods, ArcMethodRoundTrip,
                         ::testing::Combine(::testing::Values(2, 3, 5, 6, 7, 10, 11),
                                            ::testing::Values(DataKind::Text, DataKind::Random, DataKind::Repetitive),
                                            ::testing::Values(size_t{1}, size_t{4093})));

// The run-length stage's rules, one stream each.
TEST(ArcRle90, Rules) {
  const std::vector<std::pair<Bytes, Bytes>> cases = {
      {{'A', 0x90, 4}, {'A', 'A', 'A', 'A'}},
      {{'A', 0x90, 1}, {'A'}},                           // a count of 1 adds nothing
      {{'A', 0x90, 0}, {'A', 0x90}},                     // 90 00 is 0x90 itself
      {{'A', 0x90, 0, 0x90, 3}, {'A', 0x90, 'A', 'A'}},  // a run after it repeats the byte before it
      {{0x90, 3, 'B'}, {0, 0, 'B'}},                     // before any byte a run repeats 0
      {{'C', 0x90}, {'C'}},                              // a marker cut off at the end
      {{'D', 0x90, 255}, Bytes(255, 'D')},
  };
  for (const auto& [in, want] : cases) {
    const Decoded d = decode(3, in);
    EXPECT_EQ(d.status, ArcStatus::Ok);
    EXPECT_TRUE(d.bytes == want) << d.bytes.size();
  }
}

// A three-leaf tree: a = 0, b = 10, end = 11; "aab" then the end code is
// the bits 0 0 1 0 1 1 (0x34), the rest ignored.
TEST(ArcSqueezed, HandMadeTree) {
  const Bytes tree = {2,    0,   static_cast<uint8_t>(-('a' + 1)), 0xFF, 1, 0, static_cast<uint8_t>(-('b' + 1)), 0xFF,
                      0xFF, 0xFE};  // node 1's right child: -(256 + 1) = 0xFEFF
  Bytes s = tree;
  s.push_back(0x34);
  s.push_back(0xFF);
  Decoded d = decode(4, s);
  EXPECT_EQ(d.status, ArcStatus::Ok);
  EXPECT_EQ(std::string(d.bytes.begin(), d.bytes.end()), "aab");
  // No nodes: empty.
  EXPECT_EQ(decode(4, {0, 0}).bytes.size(), 0u);
  // A child beyond the nodes, or more than 256 nodes.
  Bytes bad = tree;
  bad[4] = 5;
  EXPECT_EQ(decode(4, bad).status, ArcStatus::BadTree);
  EXPECT_EQ(decode(4, {1, 1}).status, ArcStatus::BadTree);
}

TEST(ArcMethods, OutputStopsAtTheLimit) {
  const Bytes data = test::codecs::makeData(DataKind::Text, 20000);
  for (int m : {2, 3, 5, 6, 7, 10, 11}) {
    const Decoded d = decode(static_cast<uint8_t>(m), encode(static_cast<uint8_t>(m), data), 1 << 20, 1000);
    EXPECT_EQ(d.status, ArcStatus::OutputStopped) << m;
    EXPECT_EQ(d.bytes.size(), 1000u) << m;
  }
  EXPECT_EQ(decode(12, data).status, ArcStatus::UnsupportedMethod);
  EXPECT_EQ(decode(0, data).status, ArcStatus::UnsupportedMethod);
}

// Flipped bytes and cut streams of every method (those of 4, 8 and 9 are
// random streams behind a plausible start) end with a status and at
// most the limit of output.
TEST(ArcMethods, DamagedStreamsEndBounded) {
  std::mt19937 rng(5);
  const Bytes data = test::codecs::makeData(DataKind::Text, 30000, 3);
  for (int m = 1; m <= 11; ++m) {
    Bytes good;
    if (m == 4) {
      good = {2, 0, 0xBE, 0xFF, 1, 0, 0x9D, 0xFF, 0xFF, 0xFE};
    } else if (m == 8) {
      good = {12};
    } else if (m != 9) {
      good = encode(static_cast<uint8_t>(m == 1 ? 2 : m), data);
    }
    while (good.size() < 30000) good.push_back(static_cast<uint8_t>(rng()));
    for (int round = 0; round < 40; ++round) {
      Bytes s = good;
      for (int k = 0; k < 4; ++k) s[rng() % s.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
      s.resize(rng() % s.size());
      const Decoded d = decode(static_cast<uint8_t>(m), s, 1 + rng() % 5000, 50000);
      EXPECT_LE(d.bytes.size(), 50000u);
    }
  }
}

}  // namespace
}  // namespace vz::readers::codecs
