// -pm1- against lhasa: streams from the test encoder (pm1_test_encoder.h)
// over text, random, run-heavy, far-echoing and narrow data, at the sizes
// where longer codes become possible, in three start trees, extracted by
// TUnLHA and by lhasa from one level-0 archive; arbitrary streams under
// every one of the 32 start trees (the broken one and the empty one
// included) decoded as lhasa decodes them; damaged streams ending in
// BadData or wrong bytes, never more than the size asked.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <string>

#include "manager/readers/codecs/pm1.h"
#include "manager/readers/lha_extract.h"
#include "tests/manager/readers/codecs/codec_test_data.h"
#include "tests/manager/readers/codecs/lha_level0_entry.h"
#include "tests/manager/readers/codecs/pm1_test_encoder.h"
#include "tests/manager/readers/extract_test_tree.h"
#include "tests/support/test_env.h"

namespace vz::readers::codecs {
namespace {

namespace fs = std::filesystem;
using engine::DecodeStatus;
using engine::MemoryInput;
using engine::VectorOutput;
using vz::test::codecs::DataKind;
using vz::test::codecs::makeData;
using vz::test::codecs::Pm1TestEncoder;
using Bytes = std::vector<uint8_t>;

// Random bytes with copies of 3 to 250 bytes, from up to 10816 bytes back
// spread evenly over the scale of distances or from near the start of the
// data, so that every distance field and width comes up; or (narrow) runs
// of the 16 bytes 20..2F hex, which a stream without a literal tree can
// hold.
Bytes makeEchoes(size_t size, uint32_t seed, bool narrow) {
  std::mt19937 rng(seed);
  Bytes out;
  while (out.size() < size) {
    if (narrow) {
      out.insert(out.end(), 1 + rng() % 40, static_cast<uint8_t>(0x20 + rng() % 16));
      continue;
    }
    for (int i = 0; i < 40; ++i) out.push_back(static_cast<uint8_t>(rng()));
    size_t back = 1 + static_cast<size_t>(std::exp2(std::uniform_real_distribution<double>(0, 13.4)(rng)));
    if (rng() % 2 != 0) back = out.size() - rng() % 64;
    if (back > out.size() || back > 10816) continue;
    const size_t n = 3 + rng() % 248;
    for (size_t i = 0; i < n; ++i) out.push_back(out[out.size() - back]);
  }
  out.resize(size);
  return out;
}

// An LHA level-0 header and data of a -pm1- entry.
void addEntry(Bytes& archive, const std::string& name, const Bytes& packed, const Bytes& data) {
  vz::test::appendLhaLevel0Entry(archive, "-pm1-", name, packed, data);
}

DecodeStatus decode(const Bytes& packed, uint64_t size, Bytes& out, size_t chunk = 4096) {
  MemoryInput in(packed, chunk);
  VectorOutput o;
  const DecodeStatus s = decodePm1(in, o, size);
  out = std::move(o.bytes);
  return s;
}

// Extracts the archive with TUnLHA and, when present, lhasa, and compares
// every entry with the expected bytes.
void expectBothExtract(const Bytes& archive, const std::map<std::string, Bytes>& files) {
  vz::test::ScratchDir dir("pm1");
  vz::test::writeFile(dir.file("a.lzh"), archive);
  const test::RunLog log = test::extract<TUnLHA>(dir.file("a.lzh"), dir.file("ours"));
  EXPECT_TRUE(log.errors.empty()) << log.errors.front();
  EXPECT_EQ(log.extracted, static_cast<int>(files.size()));
  for (const auto& [name, data] : files) {
    EXPECT_TRUE(log.ended.count(name) && log.ended.at(name)) << name;
    EXPECT_EQ(vz::test::readFile(dir.file("ours/" + name)), data) << name;
  }
  if (!vz::test::haveProgram("lhasa")) GTEST_SKIP() << "lhasa missing";
  fs::create_directories(dir.file("peer"));
  ASSERT_EQ(vz::test::run({"lhasa", "x", dir.file("a.lzh")}, nullptr, nullptr, dir.file("peer")), 0);
  for (const auto& [name, data] : files) EXPECT_EQ(vz::test::readFile(dir.file("peer/" + name)), data) << name;
}

TEST(Pm1, EncodedStreamsMatchLhasa) {
  struct Kind {
    const char* name;
    std::function<Bytes(size_t, uint32_t)> make;
    int trees[2];
  };
  const Kind kinds[] = {
      {"text", [](size_t n, uint32_t s) { return makeData(DataKind::Text, n, s); }, {0, 16}},
      {"random", [](size_t n, uint32_t s) { return makeData(DataKind::Random, n, s); }, {16, 0}},
      {"runs", [](size_t n, uint32_t s) { return makeData(DataKind::Repetitive, n, s); }, {0, 16}},
      {"echoes", [](size_t n, uint32_t s) { return makeEchoes(n, s, false); }, {16, 0}},
      {"narrow", [](size_t n, uint32_t s) { return makeEchoes(n, s, true); }, {31, 31}},
  };
  const size_t sizes[] = {0, 1, 63, 64, 65, 576, 2624, 6720, 300000};
  Bytes archive;
  std::map<std::string, Bytes> files;
  Pm1TestEncoder::Stats stats;
  uint32_t seed = 1;
  size_t zerosTrimmed = 0;
  for (const Kind& k : kinds) {
    for (size_t i = 0; i < std::size(sizes); ++i) {
      const std::string name = std::string(k.name) + "-" + std::to_string(sizes[i]);
      SCOPED_TRACE(name);
      const Bytes data = k.make(sizes[i], seed++);
      const Bytes packed = Pm1TestEncoder::encode(data, k.trees[i % 2], &stats);
      ASSERT_FALSE(packed.empty());
      Bytes out;
      // Byte by byte for the small ones, to cross every refill.
      EXPECT_EQ(decode(packed, data.size(), out, data.size() < 10000 ? 1 : 777), DecodeStatus::Ok);
      EXPECT_EQ(out, data);
      // The zero bytes at the end may be missing, as the original extractor
      // reads zeros past the data.
      Bytes trimmed = packed;
      for (int z = 0; z < 4 && !trimmed.empty() && trimmed.back() == 0; ++z) trimmed.pop_back();
      zerosTrimmed += packed.size() - trimmed.size();
      EXPECT_EQ(decode(trimmed, data.size(), out), DecodeStatus::Ok);
      EXPECT_EQ(out, data);
      addEntry(archive, name, packed, data);
      files[name] = data;
    }
  }
  archive.push_back(0);
  EXPECT_GT(zerosTrimmed, 0u);
  // Every class of every code was written.
  for (size_t i = 0; i < stats.blocks.size(); ++i) EXPECT_GT(stats.blocks[i], 0u) << "block length class " << i;
  for (size_t i = 0; i < stats.counts.size(); ++i) EXPECT_GT(stats.counts[i], 0u) << "count class " << i;
  for (size_t i = 0; i < stats.distances.size(); ++i) EXPECT_GT(stats.distances[i], 0u) << "distance field " << i;
  expectBothExtract(archive, files);
}

// Random streams under each start tree, opening with a block of 89 to 216
// literals so that copies have something to reach: decoded without a limit
// each ends at a copy from before the start, at F bytes. The original
// extractor decodes a block and its copy as one, so a size up to F - 216
// stays clear of the failing pair; at such a size lhasa makes our bytes.
TEST(Pm1, ArbitraryStreamsDecodeAsLhasaDoes) {
  std::mt19937 rng(5);
  Bytes archive;
  std::map<std::string, Bytes> files;
  for (int tree = 0; tree < 32; ++tree) {
    int kept = 0;
    for (int attempt = 0; attempt < 200 && kept < 2; ++attempt) {
      Bytes packed(400);
      for (uint8_t& b : packed) b = static_cast<uint8_t>(rng());
      packed[0] = static_cast<uint8_t>(tree << 3 | 7);  // the tree, a block, length code 3
      packed[1] |= 0xFE;                                // length codes 7 and 15: 89 + 7 bits
      Bytes full, out;
      ASSERT_EQ(decode(packed, 1 << 20, full), DecodeStatus::BadData);
      if (full.size() < 236) continue;
      const size_t size = 20 + rng() % (full.size() - 236 + 1);
      ASSERT_EQ(decode(packed, size, out), DecodeStatus::Ok);
      ASSERT_EQ(out, Bytes(full.begin(), full.begin() + static_cast<long>(size)));
      const std::string name = "t" + std::to_string(tree) + "-" + std::to_string(kept++);
      addEntry(archive, name, packed, out);
      files[name] = out;
    }
    EXPECT_GT(kept, 0) << "tree " << tree;
  }
  archive.push_back(0);
  expectBothExtract(archive, files);
}

TEST(Pm1, DamagedStreamsFailCleanly) {
  const Bytes data = makeData(DataKind::Text, 100000, 4);
  const Bytes packed = Pm1TestEncoder::encode(data, 0);
  Bytes out;
  // Cut short: BadData once the few zero bytes granted past the end are used.
  for (size_t keep : {size_t{0}, size_t{1}, packed.size() / 2, packed.size() - 8}) {
    const Bytes cut(packed.begin(), packed.begin() + static_cast<long>(keep));
    EXPECT_EQ(decode(cut, data.size(), out), DecodeStatus::BadData) << keep;
  }
  // Flipped bits: BadData, or bytes that differ (the CRC's to catch); a
  // few flips may turn one copy into another of the same bytes.
  std::mt19937 rng(11);
  int caught = 0;
  for (int i = 0; i < 200; ++i) {
    Bytes bad = packed;
    bad[rng() % (bad.size() - 1)] ^= static_cast<uint8_t>(1 << (rng() % 8));
    const DecodeStatus s = decode(bad, data.size(), out);
    ASSERT_TRUE(s == DecodeStatus::BadData || s == DecodeStatus::Ok) << int(s);
    ASSERT_LE(out.size(), data.size());
    caught += s == DecodeStatus::BadData || out != data;
  }
  EXPECT_GT(caught, 180);
  // The first command a copy: there is nothing to copy from.
  EXPECT_EQ(decode(Bytes{0x00, 0x00, 0x00}, 10, out), DecodeStatus::BadData);
}

}  // namespace
}  // namespace vz::readers::codecs
