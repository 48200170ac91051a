// The adaptive Huffman tree of -lh1- (see lh_adaptive.h).
#include "manager/readers/codecs/lh_adaptive.h"

#include <algorithm>

namespace vz::readers::codecs {

LhAdaptiveTree::LhAdaptiveTree(int symbols)
    : symbols_(symbols),
      nodes_(2 * symbols - 1),
      root_(2 * symbols - 2),
      weight_(static_cast<size_t>(nodes_) + 1),
      parent_(static_cast<size_t>(nodes_ + symbols)),
      child_(static_cast<size_t>(nodes_)) {
  for (int i = 0; i < symbols_; ++i) {
    weight_[i] = 1;
    child_[i] = i + nodes_;
    parent_[i + nodes_] = i;
  }
  for (int i = 0, j = symbols_; j <= root_; i += 2, ++j) {
    weight_[j] = weight_[i] + weight_[i + 1];
    child_[j] = i;
    parent_[i] = parent_[i + 1] = j;
  }
  weight_[nodes_] = 0xFFFFFFFFu;  // sentinel: no node passes it
  parent_[root_] = 0;
}

void LhAdaptiveTree::rebuild() {
  // Gather the leaves at the front with halved weights.
  int j = 0;
  for (int i = 0; i < nodes_; ++i) {
    if (child_[i] >= nodes_) {
      weight_[j] = (weight_[i] + 1) / 2;
      child_[j] = child_[i];
      ++j;
    }
  }
  // Join the two lightest remaining, inserting the parent where its weight
  // keeps the order (behind equal weights).
  for (int i = 0, k = symbols_; k < nodes_; i += 2, ++k) {
    const uint32_t w = weight_[i] + weight_[i + 1];
    int at = k - 1;
    while (w < weight_[at]) --at;
    ++at;
    std::move_backward(weight_.begin() + at, weight_.begin() + k, weight_.begin() + k + 1);
    weight_[at] = w;
    std::move_backward(child_.begin() + at, child_.begin() + k, child_.begin() + k + 1);
    child_[at] = i;
  }
  for (int i = 0; i < nodes_; ++i) {
    const int k = child_[i];
    if (k >= nodes_) {
      parent_[k] = i;
    } else {
      parent_[k] = parent_[k + 1] = i;
    }
  }
}

void LhAdaptiveTree::update(int symbol) {
  if (weight_[root_] == kMaxWeight) rebuild();
  int c = parent_[symbol + nodes_];
  do {
    const uint32_t k = ++weight_[c];
    int l = c + 1;
    if (k > weight_[l]) {
      while (k > weight_[++l]) {
      }
      --l;
      weight_[c] = weight_[l];
      weight_[l] = k;
      const int i = child_[c];
      parent_[i] = l;
      if (i < nodes_) parent_[i + 1] = l;
      const int jj = child_[l];
      child_[l] = i;
      parent_[jj] = c;
      if (jj < nodes_) parent_[jj + 1] = c;
      child_[c] = jj;
      c = l;
    }
    c = parent_[c];
  } while (c != 0);
}

}  // namespace vz::readers::codecs
