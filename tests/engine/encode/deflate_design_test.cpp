// Deflate compressor against its design: the fast matcher makes exactly
// the decisions of a slow reference written from the design (same symbols,
// same block boundaries); the emitted stream, parsed symbol by symbol,
// holds exactly the blocks the coder reported; distances stay within
// 32,506; mode 2 never keeps a 3-byte match more than 4,096 back; the
// flush rules; and the length-limited Huffman code builder.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <queue>
#include <random>
#include <string>
#include <vector>

#include "control/engine/encode/deflate_encoder.h"
#include "control/engine/encode/deflate_trees.h"
#include "tests/engine/encode/deflate_test_util.h"

namespace vz::engine {
namespace {

namespace du = test::deflate_util;
using deflate::BlockKind;
using du::Symbol;

// A block as the coder reported it, symbols copied.
struct SeenBlock {
  DeflateBlockInfo info;
  std::vector<Symbol> symbols;
};

struct Observed {
  du::Compressed compressed;
  std::vector<SeenBlock> blocks;
};

Observed compressObserved(DeflateEncoder& enc, int mode, const std::vector<uint8_t>& data) {
  Observed o;
  enc.setBlockObserver([&](const DeflateBlockInfo& info) {
    SeenBlock b;
    b.info = info;
    for (unsigned i = 0; i < info.symbolCount; ++i) {
      Symbol s;
      if (info.distances[i] == 0) {
        s.literal = info.literalsOrLengths[i];
      } else {
        s.length = static_cast<uint16_t>(info.literalsOrLengths[i] + 3);
        s.distance = info.distances[i];
      }
      b.symbols.push_back(s);
    }
    o.blocks.push_back(std::move(b));
  });
  o.compressed = du::compress(enc, mode, data);
  enc.setBlockObserver(nullptr);
  return o;
}

// Data whose 3-byte strings recur often but longer ones seldom: many
// 3-byte matches at every distance.
std::vector<uint8_t> smallAlphabet(size_t n, unsigned letters, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (uint8_t& b : v) b = static_cast<uint8_t>('A' + rng() % letters);
  return v;
}

struct Case {
  std::string name;
  std::vector<uint8_t> data;
};

std::vector<Case> designCases() {
  std::vector<Case> cases;
  cases.push_back({"text 200000", du::textBytes(200000, 31)});
  cases.push_back({"source 150000", du::sourceBytes(150000)});
  cases.push_back({"binary 150000", du::binaryBytes(150000)});
  cases.push_back({"random 70000", du::randomBytes(70000, 32)});
  cases.push_back({"runs 100000", du::runBytes(100000)});
  cases.push_back({"16 letters 120000", smallAlphabet(120000, 16, 33)});
  cases.push_back({"text 65275", du::textBytes(65275, 34)});
  cases.push_back({"text 300", du::textBytes(300, 35)});
  cases.push_back({"2 bytes", {'a', 'b'}});
  std::vector<uint8_t> shortRun(1000, 'a');
  shortRun.insert(shortRun.end(), {'b', 'c', 'd'});
  cases.push_back({"short run", shortRun});
  return cases;
}

TEST(DeflateDesign, MatcherMakesTheReferenceDecisions) {
  DeflateEncoder enc;
  for (const Case& c : designCases()) {
    for (int mode : {0, 1, 2}) {
      SCOPED_TRACE(c.name + " mode " + std::to_string(mode));
      const Observed o = compressObserved(enc, mode, c.data);
      const std::vector<du::ReferenceBlock> ref = du::referenceBlocks(c.data, mode);
      ASSERT_EQ(o.blocks.size(), ref.size());
      for (size_t i = 0; i < ref.size(); ++i) {
        EXPECT_EQ(o.blocks[i].info.inputOffset, ref[i].offset) << "block " << i;
        EXPECT_EQ(o.blocks[i].info.inputLength, ref[i].length) << "block " << i;
        EXPECT_TRUE(o.blocks[i].symbols == ref[i].symbols) << "block " << i;
      }
    }
  }
}

TEST(DeflateDesign, StreamHoldsTheReportedBlocks) {
  DeflateEncoder enc;
  int kinds[4] = {};
  for (const Case& c : designCases()) {
    for (int mode : {0, 1, 2}) {
      SCOPED_TRACE(c.name + " mode " + std::to_string(mode));
      const Observed o = compressObserved(enc, mode, c.data);
      ASSERT_FALSE(o.blocks.empty());
      EXPECT_TRUE(o.blocks.back().info.last);
      if (o.compressed.result.rawCopy) {
        ASSERT_EQ(o.blocks.size(), 1u);
        EXPECT_EQ(o.blocks[0].info.kind, BlockKind::RawCopy);
        EXPECT_EQ(o.compressed.bytes, c.data);
        ++kinds[0];
        continue;
      }
      const du::ParsedStream s = du::parseStream(o.compressed.bytes);
      ASSERT_TRUE(s.ok);
      EXPECT_EQ(s.bytesUsed, o.compressed.bytes.size());
      EXPECT_TRUE(s.output == c.data);
      ASSERT_EQ(s.blocks.size(), o.blocks.size());
      for (size_t i = 0; i < s.blocks.size(); ++i) {
        const SeenBlock& seen = o.blocks[i];
        const du::ParsedBlock& got = s.blocks[i];
        EXPECT_EQ(got.final, seen.info.last);
        EXPECT_EQ(got.outputStart, seen.info.inputOffset);
        EXPECT_EQ(got.outputLength, seen.info.inputLength);
        switch (seen.info.kind) {
          case BlockKind::Stored:
            EXPECT_EQ(got.type, 0);
            ++kinds[1];
            break;
          case BlockKind::Fixed:
            EXPECT_EQ(got.type, 1);
            ++kinds[2];
            break;
          case BlockKind::Dynamic:
            EXPECT_EQ(got.type, 2);
            ++kinds[3];
            break;
          default:
            ADD_FAILURE() << "unexpected block kind";
            break;
        }
        if (got.type != 0) {
          EXPECT_TRUE(got.symbols == seen.symbols) << "block " << i;
        }
      }
    }
  }
  // The cases cover every kind of block.
  for (int k : kinds) EXPECT_GT(k, 0);
}

TEST(DeflateDesign, DistancesStayWithin32506) {
  DeflateEncoder enc;
  for (size_t half : {size_t{32506}, size_t{32507}}) {
    // A random half repeated: the second copy lies exactly `half` back.
    std::vector<uint8_t> data = du::randomBytes(half, 40);
    data.insert(data.end(), data.begin(), data.end());
    for (int mode : {0, 1, 2}) {
      SCOPED_TRACE("half " + std::to_string(half) + " mode " + std::to_string(mode));
      const Observed o = compressObserved(enc, mode, data);
      unsigned longest = 0, farthest = 0;
      for (const SeenBlock& b : o.blocks)
        for (const Symbol& s : b.symbols)
          if (s.length != 0) {
            farthest = std::max<unsigned>(farthest, s.distance);
            longest = std::max<unsigned>(longest, s.length);
          }
      EXPECT_LE(farthest, 32506u);
      if (half == 32506) {
        EXPECT_EQ(farthest, 32506u);
        EXPECT_LT(o.compressed.result.compressedSize, half + half / 10);
      } else {
        EXPECT_LT(longest, 10u) << "the copy 32,507 back is out of reach";
        EXPECT_GE(o.compressed.result.compressedSize, data.size());
      }
    }
  }
}

TEST(DeflateDesign, MaximumModeDropsFarThreeByteMatches) {
  DeflateEncoder enc;
  const std::vector<uint8_t> data = smallAlphabet(200000, 16, 41);
  for (int mode : {0, 1, 2}) {
    const Observed o = compressObserved(enc, mode, data);
    unsigned farThree = 0, nearThree = 0;
    for (const SeenBlock& b : o.blocks)
      for (const Symbol& s : b.symbols) {
        if (s.length == 3 && s.distance > 4096) ++farThree;
        if (s.length == 3 && s.distance <= 4096) ++nearThree;
      }
    if (mode == 2) {
      EXPECT_EQ(farThree, 0u);
      EXPECT_GT(nearThree, 0u);
    } else {
      EXPECT_GT(farThree, 100u) << "mode " << mode << " keeps them";
    }
    // Also on the emitted stream itself.
    const du::ParsedStream s = du::parseStream(o.compressed.bytes);
    ASSERT_TRUE(s.ok);
    for (const du::ParsedBlock& b : s.blocks)
      for (const Symbol& x : b.symbols) {
        EXPECT_LE(x.distance, 32506u);
        if (mode == 2) {
          EXPECT_FALSE(x.length == 3 && x.distance > 4096);
        }
      }
  }
}

TEST(DeflateDesign, BlocksCloseAt40959SymbolsOrEarlyEvery4096) {
  DeflateEncoder enc;
  // Literals only: full blocks of 40,959 symbols.
  const Observed full = compressObserved(enc, 1, du::randomBytes(100000, 50));
  ASSERT_GE(full.blocks.size(), 3u);
  EXPECT_EQ(full.blocks[0].info.symbolCount, 40959u);
  EXPECT_EQ(full.blocks[1].info.symbolCount, 40959u);
  // 4,000 random bytes and then a long run: at 4,096 symbols, few matches
  // covering many bytes, so the block closes early.
  std::vector<uint8_t> data = du::randomBytes(4000, 51);
  data.insert(data.end(), 60000, 'z');
  data.insert(data.end(), 20000, 'y');
  const Observed early = compressObserved(enc, 0, data);
  ASSERT_GE(early.blocks.size(), 2u);
  EXPECT_EQ(early.blocks[0].info.symbolCount, 4096u);
  for (const SeenBlock& b : early.blocks) EXPECT_LE(b.info.symbolCount, 40959u);
}

// ---- Huffman code lengths ----

// Cost of an optimal (unlimited) Huffman code: the sum of all merges.
uint64_t optimalCost(const std::vector<uint32_t>& freq) {
  std::priority_queue<uint64_t, std::vector<uint64_t>, std::greater<>> q;
  for (uint32_t f : freq)
    if (f) q.push(f);
  uint64_t cost = 0;
  while (q.size() > 1) {
    const uint64_t a = q.top();
    q.pop();
    const uint64_t b = q.top();
    q.pop();
    cost += a + b;
    q.push(a + b);
  }
  return cost;
}

// Checks the lengths: every used symbol coded within maxBits, unused ones
// not (but for the added ones), the code complete; returns the cost.
uint64_t checkLengths(const std::vector<uint32_t>& freq, const std::vector<uint8_t>& len, int maxBits, int maxCode) {
  double kraft = 0;
  uint64_t cost = 0;
  int coded = 0, highest = -1;
  for (size_t i = 0; i < freq.size(); ++i) {
    if (freq[i] != 0) {
      EXPECT_NE(len[i], 0) << i;
    }
    EXPECT_LE(len[i], maxBits);
    if (len[i] != 0) {
      kraft += 1.0 / static_cast<double>(1u << len[i]);
      cost += uint64_t{freq[i]} * len[i];
      ++coded;
      highest = static_cast<int>(i);
    }
  }
  EXPECT_GE(coded, 2);
  EXPECT_EQ(kraft, 1.0);
  EXPECT_EQ(highest, maxCode);
  return cost;
}

TEST(DeflateTrees, LengthsAreCompleteLimitedAndOptimalWhenUnconstrained) {
  deflate::TreeScratch scratch;
  std::mt19937 rng(60);
  for (int round = 0; round < 300; ++round) {
    const int n = round % 3 == 0 ? 19 : round % 3 == 1 ? 30 : 286;
    const int maxBits = n == 19 ? 7 : 15;
    std::vector<uint32_t> freq(static_cast<size_t>(n), 0);
    const unsigned used = 2 + rng() % static_cast<unsigned>(n - 1);
    for (unsigned i = 0; i < used; ++i) freq[rng() % static_cast<unsigned>(n)] += 1 + rng() % (round % 2 ? 50 : 5000);
    std::vector<uint8_t> len(static_cast<size_t>(n));
    const int maxCode = deflate::buildCodeLengths(freq.data(), n, maxBits, len.data(), scratch);
    const uint64_t cost = checkLengths(freq, len, maxBits, maxCode);
    EXPECT_GE(cost, optimalCost(freq));
    if (*std::max_element(len.begin(), len.end()) < maxBits) {
      EXPECT_EQ(cost, optimalCost(freq));
    }
  }
}

TEST(DeflateTrees, OverlongCodesAreShortened) {
  deflate::TreeScratch scratch;
  // Fibonacci frequencies give a tree as deep as it has symbols.
  for (int n : {19, 30, 286}) {
    const int maxBits = n == 19 ? 7 : 15;
    std::vector<uint32_t> freq(static_cast<size_t>(n), 0);
    uint32_t a = 1, b = 1;
    for (int i = 0; i < std::min(n, 25); ++i) {
      freq[static_cast<size_t>(i)] = a;
      const uint32_t c = a + b;
      a = b;
      b = c;
    }
    std::vector<uint8_t> len(static_cast<size_t>(n));
    const int maxCode = deflate::buildCodeLengths(freq.data(), n, maxBits, len.data(), scratch);
    checkLengths(freq, len, maxBits, maxCode);
    EXPECT_EQ(*std::max_element(len.begin(), len.end()), maxBits);
  }
}

TEST(DeflateTrees, AtLeastTwoCodesAreGiven) {
  deflate::TreeScratch scratch;
  struct Expect {
    std::vector<uint32_t> freq;
    std::vector<int> coded;
  };
  const Expect cases[] = {
      {std::vector<uint32_t>(30, 0), {0, 1}},
      {{5, 0, 0, 0}, {0, 1}},
      {{0, 5, 0, 0}, {0, 1}},
      {{0, 0, 0, 5}, {0, 3}},
  };
  for (const Expect& e : cases) {
    std::vector<uint8_t> len(e.freq.size());
    const int maxCode =
        deflate::buildCodeLengths(e.freq.data(), static_cast<int>(e.freq.size()), 15, len.data(), scratch);
    std::vector<int> coded;
    for (size_t i = 0; i < len.size(); ++i)
      if (len[i]) {
        EXPECT_EQ(len[i], 1);
        coded.push_back(static_cast<int>(i));
      }
    EXPECT_EQ(coded, e.coded);
    EXPECT_EQ(maxCode, e.coded.back());
  }
}

TEST(DeflateTrees, CanonicalCodesFollowRfc1951) {
  // The example of RFC 1951 3.2.2: lengths (3, 3, 3, 3, 3, 2, 4, 4) give
  // 010, 011, 100, 101, 110, 00, 1110, 1111 (stored bit-reversed).
  const uint8_t lengths[8] = {3, 3, 3, 3, 3, 2, 4, 4};
  uint16_t codes[8];
  deflate::canonicalCodes(lengths, 8, codes);
  const unsigned expected[8] = {0b010, 0b011, 0b100, 0b101, 0b110, 0b00, 0b1110, 0b1111};
  for (int i = 0; i < 8; ++i) {
    unsigned reversed = 0;
    for (unsigned b = 0; b < lengths[i]; ++b) reversed |= ((codes[i] >> b) & 1u) << (lengths[i] - 1 - b);
    EXPECT_EQ(reversed, expected[i]) << i;
  }
}

}  // namespace
}  // namespace vz::engine
