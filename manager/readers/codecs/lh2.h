// -lh2-: LZSS over an 8 KiB window with two adaptive Huffman codes, one for
// the 286 literal/length symbols (256 literals, lengths 3..31, and 285,
// which takes 8 more bits: the match is then 32 + those bits long) and one
// for the upper 7 bits of a position (the lower 6 follow as they are; the
// distance is the position + 1).
//
// Both codes live in one array of nodes ordered by weight, heaviest first
// (the literal tree's root at 0, the position tree's at 628). Equal weights
// form blocks whose first node leads; a node about to gain weight first
// trades places with its block's leader, so the order holds. Bit 1 goes to
// the lighter child's sibling: a node's children are child and child - 1,
// bit 0 taking child. At weight 8000 hex the tree is rebuilt from its
// leaves with their weights halved (rounded up).
//
// The position tree starts with the one leaf 0 and gains a leaf for each
// further 64 bytes of output, up to the window (leaf k once more than 64k
// bytes were produced), so a position never names history that cannot be
// there.
#pragma once

#include <cstdint>
#include <vector>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::readers::codecs {

class Lh2Model {
 public:
  static constexpr int kChars = 286;      // literal/length symbols
  static constexpr int kPositions = 128;  // upper 7 bits of a 13-bit position

  Lh2Model();

  // The current code of a symbol: its bits from the root down (the
  // encoder of the tests uses it; the decoder walks the same tree).
  std::vector<int> charCode(int symbol) const;
  std::vector<int> positionCode(int symbol) const;
  // Walks one code from the root: next() gives each bit. -1 when the walk
  // is longer than any tree can be.
  template <class NextBit>
  int walkChar(NextBit next) const {
    return walk(kRootC, next, 0);
  }
  template <class NextBit>
  int walkPosition(NextBit next) const {
    return walk(kRootP, next, kCharLeaves);
  }
  // Counts a symbol (after its code was read or written).
  void countChar(int symbol);
  void countPosition(int symbol);
  // Adds the position leaves the output count allows (before each position).
  void growPositions(uint64_t produced);

 private:
  static constexpr int kCharLeaves = 314;  // room for the literal tree's leaves (as the format's tables have it)
  static constexpr int kRootC = 0;
  static constexpr int kRootP = 2 * kCharLeaves;  // 628
  static constexpr int kNodes = kRootP + 2 * kPositions;

  template <class NextBit>
  int walk(int root, NextBit next, int base) const {
    int c = child_[root];
    for (int depth = 0; c > 0; ++depth) {
      if (depth > kNodes) return -1;
      c = child_[c - next()];
    }
    return ~c - base;
  }
  std::vector<int> codeOf(int node, int root) const;
  int swapIncrement(int p);
  void rebuild(int start, int end);
  void newPositionLeaf(int p);

  std::vector<uint16_t> freq_;  // node weights (the position root is held at FFFF)
  std::vector<int> child_;      // per node: the pair (child, child - 1), or ~leaf for a leaf
  std::vector<int> parent_;     // per node
  std::vector<int> block_;      // per node: its block of equal weights
  std::vector<int> edge_;       // per block: its leading (lowest) node
  std::vector<int> stock_;      // free block numbers from avail_ on
  std::vector<int> leafNode_;   // per leaf (literal symbols, then 314 + position symbols): its node
  int avail_ = 0;               // next free block in stock_
  int mostP_ = kRootP;          // the position tree's last node
  uint32_t totalP_ = 0;         // the position tree's real total weight
  uint64_t nextCount_ = 64;     // output count past which the next position leaf is added
};

// Decodes an -lh2- entry of size bytes. BadData when input ends first;
// NoMemory; OutputStopped; Cancelled.
[[nodiscard]] engine::DecodeStatus decodeLh2(engine::DecodeInput& input, engine::DecodeOutput& output, uint64_t size,
                                             const engine::DecodeHooks* hooks = nullptr);

}  // namespace vz::readers::codecs
