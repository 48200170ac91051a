// The adaptive Huffman tree of -lh1- and -lh2- (see lh1.h): leaves for
// symbols 0..n-1, kept sorted by weight, updated after every symbol.
//
// Nodes live in one array ordered by weight (weights never decrease along
// it); node k's children are child[k] and child[k] + 1, a child at or
// above the node count being the leaf of symbol child - nodes.
#pragma once

#include <cstdint>
#include <vector>

#include "manager/readers/codecs/lh_bits.h"

namespace vz::readers::codecs {

class LhAdaptiveTree {
 public:
  static constexpr uint32_t kMaxWeight = 0x8000;  // root weight that triggers a rebuild

  // A tree of symbols leaves, each of weight 1.
  explicit LhAdaptiveTree(int symbols);

  // Decodes one symbol and counts it.
  int decode(LhBits& bits) {
    int c = child_[root_];
    while (c < nodes_) c = child_[c + static_cast<int>(bits.get(1))];
    c -= nodes_;
    update(c);
    return c;
  }

 private:
  void update(int symbol);
  void rebuild();

  int symbols_;                   // leaves
  int nodes_;                     // 2 * symbols - 1
  int root_;                      // nodes - 1
  std::vector<uint32_t> weight_;  // per node, and a sentinel above the root
  std::vector<int> parent_;       // per node and per leaf (leaf s at nodes + s)
  std::vector<int> child_;        // per node: the first child
};

}  // namespace vz::readers::codecs
