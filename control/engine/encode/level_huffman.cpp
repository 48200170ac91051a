// Huffman code lengths of the levelled deflate compressor (see
// level_huffman.h).
#include "control/engine/encode/level_huffman.h"

#include <algorithm>
#include <cstring>

namespace vz::engine::level {

namespace {

constexpr int kMaxSymbols = 512;      // largest alphabet
constexpr unsigned kSymbolBits = 10;  // low bits of a sort key: the symbol
constexpr uint32_t kSymbolMask = (1u << kSymbolBits) - 1;
constexpr int kMaxDepth = 15;  // longest limit

}  // namespace

int huffmanLengths(const uint32_t* freq, int n, int maxBits, uint8_t* lengths) {
  // The leaves, as frequency << kSymbolBits | symbol, sorted ascending.
  uint32_t leaf[kMaxSymbols];
  int count = 0;
  int maxCode = -1;
  for (int s = 0; s < n; ++s) {
    lengths[s] = 0;
    if (freq[s] != 0) {
      leaf[count++] = (freq[s] << kSymbolBits) | static_cast<uint32_t>(s);
      maxCode = s;
    }
  }
  // A code needs two symbols: add code 0, or code 1 when 0 is in use.
  while (count < 2) {
    const int add = (count == 1 && (leaf[0] & kSymbolMask) == 0) ? 1 : 0;
    leaf[count++] = (1u << kSymbolBits) | static_cast<uint32_t>(add);
    maxCode = std::max(maxCode, add);
  }
  std::sort(leaf, leaf + count);

  // Two queues: leaves [nextLeaf, count), inner nodes [nextInner, made).
  // weight and parent of inner node k; parent of each leaf.
  uint32_t weight[kMaxSymbols];
  uint16_t innerParent[kMaxSymbols];
  uint16_t leafParent[kMaxSymbols];
  int nextLeaf = 0;
  int nextInner = 0;
  for (int made = 0; made < count - 1; ++made) {
    uint32_t sum = 0;
    for (int pick = 0; pick < 2; ++pick) {
      if (nextLeaf < count && (nextInner == made || (leaf[nextLeaf] >> kSymbolBits) <= weight[nextInner])) {
        sum += leaf[nextLeaf] >> kSymbolBits;
        leafParent[nextLeaf++] = static_cast<uint16_t>(made);
      } else {
        sum += weight[nextInner];
        innerParent[nextInner++] = static_cast<uint16_t>(made);
      }
    }
    weight[made] = sum;
  }

  // Depths from the root (the last inner node) down, reusing weight; the
  // leaves counted by depth, clamped at maxBits.
  uint32_t* depth = weight;
  const int root = count - 2;
  depth[root] = 0;
  for (int k = root - 1; k >= 0; --k) depth[k] = depth[innerParent[k]] + 1;
  int atDepth[kMaxDepth + 2] = {};
  for (int i = 0; i < count; ++i) ++atDepth[std::min<uint32_t>(depth[leafParent[i]] + 1, maxBits)];

  // Kraft sum in units of 2^-maxBits; over 2^maxBits when lengths were
  // clamped. Each step takes exactly one unit off.
  uint32_t kraft = 0;
  for (int d = 1; d <= maxBits; ++d) kraft += static_cast<uint32_t>(atDepth[d]) << (maxBits - d);
  for (; kraft > (1u << maxBits); --kraft) {
    int d = maxBits - 1;
    while (d > 1 && atDepth[d] == 0) --d;
    --atDepth[d];
    atDepth[d + 1] += 2;
    --atDepth[maxBits];
  }

  // The longest lengths to the least frequent leaves.
  int i = 0;
  for (int d = maxBits; d >= 1; --d)
    for (int k = atDepth[d]; k != 0; --k) lengths[leaf[i++] & kSymbolMask] = static_cast<uint8_t>(d);
  return maxCode;
}

}  // namespace vz::engine::level
