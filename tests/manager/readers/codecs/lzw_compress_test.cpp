// The compress LZW decoder against ncompress: streams made at test time at
// every code width, decoded byte for byte as `compress -d` does, the corpus's
// .Z files, a table of handmade streams, and damaged streams.
#include "manager/readers/codecs/lzw_compress.h"

#include <gtest/gtest.h>

#include <tuple>

#include "tests/manager/readers/codecs/codec_test_data.h"
#include "tests/support/test_env.h"

namespace vz::readers::codecs {
namespace {

using engine::DecodeStatus;
using engine::MemoryInput;
using engine::VectorOutput;
using test::codecs::DataKind;

std::vector<uint8_t> bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

DecodeStatus decode(const std::vector<uint8_t>& z, std::vector<uint8_t>& out, size_t chunk = SIZE_MAX,
                    uint64_t limit = engine::DecodeOutput::kNoLimit) {
  MemoryInput in(z, chunk);
  VectorOutput o;
  o.setLimit(limit);
  const DecodeStatus s = decodeLzwCompress(in, o);
  out = std::move(o.bytes);
  return s;
}

class LzwPeer : public ::testing::TestWithParam<std::tuple<int, DataKind>> {};

TEST_P(LzwPeer, MatchesCompressByteForByte) {
  if (!test::haveProgram("compress")) GTEST_SKIP() << "ncompress missing";
  const auto [bits, kind] = GetParam();
  test::ScratchDir dir("lzw");
  // Big enough for the 16-bit table to fill and compress to clear it. At
  // -b9 compress numbers one entry 512 and writes it in 9 bits once its
  // table is full, which no decoder (compress -d included) can read back:
  // those streams stay below that point.
  const size_t size = bits == 9 ? 200 : 600000;
  const std::vector<uint8_t> data = test::codecs::makeData(kind, size, static_cast<uint32_t>(bits));
  test::writeFile(dir.file("in"), data);
  std::string z, plain;
  ASSERT_EQ(test::run({"compress", "-c", "-f", "-b", std::to_string(bits), dir.file("in")}, &z), 0);
  test::writeFile(dir.file("in.Z"), z);
  ASSERT_EQ(test::run({"compress", "-d", "-c", dir.file("in.Z")}, &plain), 0);
  ASSERT_EQ(bytesOf(plain), data);

  std::vector<uint8_t> out;
  EXPECT_EQ(decode(bytesOf(z), out), DecodeStatus::Ok);
  EXPECT_TRUE(out == data) << "decoded " << out.size() << " of " << data.size();
  // Input handed over in odd spans crosses every refill edge.
  EXPECT_EQ(decode(bytesOf(z), out, 7), DecodeStatus::Ok);
  EXPECT_TRUE(out == data);
  // A limit cuts the output there and stops.
  EXPECT_EQ(decode(bytesOf(z), out, SIZE_MAX, size / 3), DecodeStatus::OutputStopped);
  EXPECT_EQ(out.size(), size / 3);
  EXPECT_TRUE(std::equal(out.begin(), out.end(), data.begin()));
}

INSTANTIATE_TEST_SUITE_P(Widths, LzwPeer,
                         ::testing::Combine(::testing::Range(9, 17),
                                            ::testing::Values(DataKind::Text, DataKind::Random, DataKind::Repetitive)),
                         [](const auto& info) {
                           return "b" + std::to_string(std::get<0>(info.param)) + "_" +
                                  test::codecs::kindName(std::get<1>(info.param));
                         });

TEST(LzwCorpus, CorpusFilesMatchCompress) {
  if (!test::haveProgram("compress")) GTEST_SKIP() << "ncompress missing";
  int seen = 0;
  for (const std::string& path : test::corpusFiles()) {
    if (path.size() < 2 || path.compare(path.size() - 2, 2, ".Z") != 0) continue;
    std::string plain;
    ASSERT_EQ(test::run({"compress", "-d", "-c", path}, &plain), 0) << path;
    std::vector<uint8_t> out;
    EXPECT_EQ(decode(test::readFile(path), out), DecodeStatus::Ok) << path;
    EXPECT_TRUE(out == bytesOf(plain)) << path;
    ++seen;
  }
  EXPECT_GE(seen, 1);
}

// Packs 9-bit codes least significant bit first behind a header.
std::vector<uint8_t> stream9(uint8_t flags, const std::vector<unsigned>& codes) {
  std::vector<uint8_t> z = {0x1F, 0x9D, flags};
  uint32_t buf = 0;
  unsigned count = 0;
  for (unsigned c : codes) {
    buf |= c << count;
    count += 9;
    while (count >= 8) {
      z.push_back(static_cast<uint8_t>(buf));
      buf >>= 8;
      count -= 8;
    }
  }
  if (count > 0) z.push_back(static_cast<uint8_t>(buf));
  return z;
}

struct HandCase {
  const char* name;
  std::vector<uint8_t> stream;
  DecodeStatus status;
  std::string output;
};

TEST(LzwHandmade, Table) {
  const HandCase cases[] = {
      {"kwkwk", stream9(0x90, {'a', 257, 'b'}), DecodeStatus::Ok, "aaab"},
      {"entry reuse", stream9(0x90, {'a', 'b', 257, 259}), DecodeStatus::Ok,
       "ababab"
       "a"},
      // Without block mode 256 is the first entry, not CLEAR.
      {"no block mode", stream9(0x10, {'a', 'b', 256}), DecodeStatus::Ok, "abab"},
      {"code past the next entry", stream9(0x90, {'a', 259}), DecodeStatus::BadData, "a"},
      {"first code not a byte", stream9(0x90, {300}), DecodeStatus::BadData, ""},
      {"bad magic", {0x1F, 0x9E, 0x90, 0}, DecodeStatus::BadData, ""},
      {"widest code 8", {0x1F, 0x9D, 0x88, 0}, DecodeStatus::BadData, ""},
      {"widest code 17", {0x1F, 0x9D, 0x91, 0}, DecodeStatus::BadData, ""},
      {"header only", {0x1F, 0x9D, 0x90}, DecodeStatus::Ok, ""},
      {"header cut", {0x1F, 0x9D}, DecodeStatus::BadData, ""},
      // A byte and more of bits that do not make a whole code.
      {"cut inside a code", {0x1F, 0x9D, 0x90, 'a', 0x80, 0xFF}, DecodeStatus::BadData, "a"},
  };
  for (const HandCase& c : cases) {
    std::vector<uint8_t> out;
    EXPECT_EQ(decode(c.stream, out), c.status) << c.name;
    EXPECT_EQ(std::string(out.begin(), out.end()), c.output) << c.name;
  }
}

TEST(LzwDamage, TruncatedAndFlippedStreamsEndCleanly) {
  if (!test::haveProgram("compress")) GTEST_SKIP() << "ncompress missing";
  test::ScratchDir dir("lzwd");
  const std::vector<uint8_t> data = test::codecs::makeData(DataKind::Text, 40000);
  test::writeFile(dir.file("in"), data);
  std::string zs;
  ASSERT_EQ(test::run({"compress", "-c", "-f", "-b", "12", dir.file("in")}, &zs), 0);
  const std::vector<uint8_t> z = bytesOf(zs);
  std::mt19937 rng(5);
  for (int i = 0; i < 300; ++i) {
    std::vector<uint8_t> bad = z;
    if (i % 2 == 0) {
      bad.resize(rng() % z.size());
    } else {
      bad[3 + rng() % (z.size() - 3)] ^= static_cast<uint8_t>(1 + rng() % 255);
    }
    std::vector<uint8_t> out;
    const DecodeStatus s = decode(bad, out, 1 + rng() % 64, 2 * data.size());
    // Damage is found (BadData) or goes unseen; a cut stream gives a prefix.
    EXPECT_TRUE(s == DecodeStatus::Ok || s == DecodeStatus::BadData) << i;
    if (i % 2 == 0 && s == DecodeStatus::Ok) EXPECT_TRUE(std::equal(out.begin(), out.end(), data.begin())) << i;
  }
}

}  // namespace
}  // namespace vz::readers::codecs
