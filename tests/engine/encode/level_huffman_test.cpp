// The levelled compressor's code-length builder against the control's heap
// builder over a table of frequency shapes: every used symbol gets a length
// within the limit, the code is complete, the highest coded symbol is the
// same, and the coded size equals the heap builder's (both optimal) where
// the limit does not bind and stays within a hair of it where it does.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "control/engine/encode/deflate_trees.h"
#include "control/engine/encode/level_huffman.h"

namespace vz::engine::level {
namespace {

struct Shape {
  std::string name;
  int maxBits;
  std::vector<uint32_t> freq;
};

std::vector<Shape> shapes() {
  std::vector<Shape> t;
  const int n = deflate::kLiteralLengthCodes;
  t.push_back({"none", 15, std::vector<uint32_t>(n, 0)});
  std::vector<uint32_t> v(n, 0);
  v[0] = 9;
  t.push_back({"only symbol 0", 15, v});
  v.assign(n, 0);
  v[200] = 9;
  t.push_back({"only symbol 200", 15, v});
  t.push_back({"all equal", 15, std::vector<uint32_t>(n, 7)});
  // Doubling frequencies: the unlimited tree is a chain 30 deep.
  v.assign(30, 0);
  for (int i = 0; i < 30; ++i) v[i] = 1u << (i < 21 ? i : 21);
  t.push_back({"doubling, 30 codes", 15, v});
  v.assign(19, 0);
  uint32_t a = 1, b = 1;
  for (int i = 0; i < 19; ++i, b += a, a = b - a) v[i] = a;
  t.push_back({"fibonacci, code-length codes", 7, v});
  std::mt19937 rng(5);
  for (int round = 0; round < 40; ++round) {
    // Zipf-like with gaps: a few very common symbols, a long tail of rare
    // ones (which the 15-bit limit cuts when the block is large).
    v.assign(n, 0);
    const uint32_t scale = 1u << (8 + round % 12);
    for (int s = 0; s < n; ++s)
      if (rng() % 4 != 0) v[s] = scale / (1 + rng() % (s + 1)) + rng() % 2;
    t.push_back({"zipf " + std::to_string(round), 15, v});
  }
  return t;
}

uint64_t codedBits(const std::vector<uint32_t>& freq, const uint8_t* lengths) {
  uint64_t bits = 0;
  for (size_t s = 0; s < freq.size(); ++s) bits += uint64_t{freq[s]} * lengths[s];
  return bits;
}

TEST(LevelHuffman, CompleteLimitedAndAsSmallAsTheHeapBuilder) {
  for (const Shape& shape : shapes()) {
    SCOPED_TRACE(shape.name);
    const int n = static_cast<int>(shape.freq.size());
    std::vector<uint8_t> ours(n, 0xEE), heap(n, 0xEE);
    deflate::TreeScratch scratch;
    const int maxOurs = huffmanLengths(shape.freq.data(), n, shape.maxBits, ours.data());
    const int maxHeap = deflate::buildCodeLengths(shape.freq.data(), n, shape.maxBits, heap.data(), scratch);
    EXPECT_EQ(maxOurs, maxHeap);

    uint64_t kraft = 0;  // in units of 2^-maxBits
    int coded = 0;
    bool limitBinds = false;
    for (int s = 0; s < n; ++s) {
      ASSERT_LE(ours[s], shape.maxBits);
      if (shape.freq[s] != 0) EXPECT_NE(ours[s], 0) << "symbol " << s;
      if (ours[s] != 0) {
        kraft += uint64_t{1} << (shape.maxBits - ours[s]);
        ++coded;
      }
      limitBinds = limitBinds || heap[s] == shape.maxBits;
    }
    EXPECT_GE(coded, 2);
    EXPECT_EQ(kraft, uint64_t{1} << shape.maxBits) << "the code is not complete";

    const uint64_t bitsOurs = codedBits(shape.freq, ours.data());
    const uint64_t bitsHeap = codedBits(shape.freq, heap.data());
    if (limitBinds)
      EXPECT_LE(bitsOurs, bitsHeap + bitsHeap / 500);
    else
      EXPECT_EQ(bitsOurs, bitsHeap);
  }
}

}  // namespace
}  // namespace vz::engine::level
