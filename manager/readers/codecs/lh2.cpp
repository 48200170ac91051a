// The -lh2- decoder and its adaptive model (see lh2.h).
#include "manager/readers/codecs/lh2.h"

#include "manager/readers/codecs/lh_bits.h"
#include "manager/readers/codecs/lh_window.h"

namespace vz::readers::codecs {

namespace {

using engine::DecodeStatus;

constexpr uint16_t kMaxWeight = 0x8000;
constexpr uint64_t kWindow = 8192;

}  // namespace

Lh2Model::Lh2Model()
    : freq_(kNodes + 2, 0),
      child_(kNodes + 2, 0),
      parent_(kNodes + 2, 0),
      block_(kNodes + 2, 0),
      edge_(kNodes + 2, 0),
      stock_(kNodes + 2, 0),
      leafNode_(kCharLeaves + kPositions, 0) {
  for (int i = 0; i < kNodes + 2; ++i) stock_[i] = i;
  // The literal tree: leaves at the end, each of weight 1 in block 1, the
  // inner nodes paired from the end up to the root.
  int j = kChars * 2 - 2;
  for (int i = 0; i < kChars; ++i, --j) {
    freq_[j] = 1;
    child_[j] = ~i;
    leafNode_[i] = j;
    block_[j] = 1;
  }
  avail_ = 2;
  edge_[1] = kChars - 1;
  int i = kChars * 2 - 2;
  while (j >= 0) {
    const uint16_t f = freq_[j] = static_cast<uint16_t>(freq_[i] + freq_[i - 1]);
    child_[j] = i;
    parent_[i] = parent_[i - 1] = j;
    if (f == freq_[j + 1]) {
      edge_[block_[j] = block_[j + 1]] = j;
    } else {
      edge_[block_[j] = stock_[avail_++]] = j;
    }
    i -= 2;
    --j;
  }
  // The position tree: the one leaf 0 at its root.
  freq_[kRootP] = 1;
  child_[kRootP] = ~kCharLeaves;
  leafNode_[kCharLeaves] = kRootP;
  edge_[block_[kRootP] = stock_[avail_++]] = kRootP;
}

std::vector<int> Lh2Model::codeOf(int node, int root) const {
  std::vector<int> bits;
  while (node != root) {
    const int p = parent_[node];
    bits.push_back(child_[p] == node ? 0 : 1);
    node = p;
  }
  return {bits.rbegin(), bits.rend()};
}

std::vector<int> Lh2Model::charCode(int symbol) const { return codeOf(leafNode_[symbol], kRootC); }
std::vector<int> Lh2Model::positionCode(int symbol) const { return codeOf(leafNode_[kCharLeaves + symbol], kRootP); }

void Lh2Model::rebuild(int start, int end) {
  int j = start, b = 0;
  // Leaves to the front with halved weights; their blocks freed.
  for (int i = start; i < end; ++i) {
    const int k = child_[i];
    if (k < 0) {
      freq_[j] = static_cast<uint16_t>((freq_[i] + 1) / 2);
      child_[j] = k;
      ++j;
    }
    if (edge_[b = block_[i]] == i) stock_[--avail_] = b;
  }
  // Pair them from the end, each inner node placed after the heavier ones.
  --j;
  int i = end - 1, l = end - 2;
  while (i >= start) {
    while (i >= l) {
      freq_[i] = freq_[j];
      child_[i] = child_[j];
      --i, --j;
    }
    const unsigned f = freq_[l] + freq_[l + 1];
    int k = start;
    while (f < freq_[k]) ++k;
    while (j >= k) {
      freq_[i] = freq_[j];
      child_[i] = child_[j];
      --i, --j;
    }
    freq_[i] = static_cast<uint16_t>(f);
    child_[i] = l + 1;
    --i;
    l -= 2;
  }
  unsigned f = 0;
  for (i = start; i < end; ++i) {
    const int c = child_[i];
    if (c < 0) {
      leafNode_[~c] = i;
    } else {
      parent_[c] = parent_[c - 1] = i;
    }
    const unsigned g = freq_[i];
    if (g == f) {
      block_[i] = b;
    } else {
      edge_[b = block_[i] = stock_[avail_++]] = i;
      f = g;
    }
  }
}

int Lh2Model::swapIncrement(int p) {
  const int b = block_[p];
  const int q = edge_[b];
  bool adjust = false;
  if (q != p) {
    // Trade places with the block's leader.
    const int r = child_[p], s = child_[q];
    child_[p] = s;
    child_[q] = r;
    if (r >= 0) {
      parent_[r] = parent_[r - 1] = q;
    } else {
      leafNode_[~r] = q;
    }
    if (s >= 0) {
      parent_[s] = parent_[s - 1] = p;
    } else {
      leafNode_[~s] = p;
    }
    p = q;
    adjust = true;
  } else if (b == block_[p + 1]) {
    adjust = true;
  }
  if (adjust) {
    ++edge_[b];
    if (++freq_[p] == freq_[p - 1]) {
      block_[p] = block_[p - 1];
    } else {
      edge_[block_[p] = stock_[avail_++]] = p;
    }
  } else if (++freq_[p] == freq_[p - 1]) {
    stock_[--avail_] = b;
    block_[p] = block_[p - 1];
  }
  return parent_[p];
}

void Lh2Model::countChar(int symbol) {
  if (freq_[kRootC] == kMaxWeight) rebuild(0, kChars * 2 - 1);
  ++freq_[kRootC];
  int q = leafNode_[symbol];
  do {
    q = swapIncrement(q);
  } while (q != kRootC);
}

void Lh2Model::countPosition(int symbol) {
  if (totalP_ == kMaxWeight) {
    rebuild(kRootP, mostP_ + 1);
    totalP_ = freq_[kRootP];
    freq_[kRootP] = 0xFFFF;
  }
  int q = leafNode_[kCharLeaves + symbol];
  while (q != kRootP) q = swapIncrement(q);
  ++totalP_;
}

void Lh2Model::newPositionLeaf(int p) {
  const int r = mostP_ + 1, q = r + 1;
  child_[r] = child_[mostP_];
  leafNode_[~child_[r]] = r;
  child_[q] = ~(p + kCharLeaves);
  child_[mostP_] = q;
  freq_[r] = freq_[mostP_];
  freq_[q] = 0;
  block_[r] = block_[mostP_];
  if (mostP_ == kRootP) {
    freq_[kRootP] = 0xFFFF;
    ++edge_[block_[kRootP]];
  }
  parent_[r] = parent_[q] = mostP_;
  edge_[block_[q] = stock_[avail_++]] = q;
  leafNode_[p + kCharLeaves] = q;
  mostP_ = q;
  countPosition(p);
}

void Lh2Model::growPositions(uint64_t produced) {
  while (produced > nextCount_) {
    newPositionLeaf(static_cast<int>(nextCount_ / 64));
    nextCount_ += 64;
    if (nextCount_ >= kWindow) nextCount_ = UINT64_MAX;
  }
}

DecodeStatus decodeLh2(engine::DecodeInput& input, engine::DecodeOutput& output, uint64_t size,
                       const engine::DecodeHooks* hooks) {
  LhWindow w(output, size, kWindow, ' ', hooks);
  if (!w.valid()) return DecodeStatus::NoMemory;
  LhBits bits(input);
  Lh2Model model;
  const auto next = [&bits] { return static_cast<int>(bits.get(1)); };
  DecodeStatus s = DecodeStatus::Ok;
  while (!w.done()) {
    int c = model.walkChar(next);
    if (c < 0 || bits.pastEnd()) {
      s = DecodeStatus::BadData;
      break;
    }
    model.countChar(c);
    if (c == Lh2Model::kChars - 1) c += static_cast<int>(bits.get(8));
    if (c < 256) {
      w.put(static_cast<uint8_t>(c));
    } else {
      model.growPositions(w.produced());
      const int p = model.walkPosition(next);
      if (p < 0 || bits.pastEnd()) {
        s = DecodeStatus::BadData;
        break;
      }
      model.countPosition(p);
      const size_t pos = static_cast<size_t>(p) << 6 | bits.get(6);
      w.copy(pos + 1, static_cast<size_t>(c - 256 + 3));
    }
    if (bits.pastEnd()) {
      s = DecodeStatus::BadData;
      break;
    }
  }
  const DecodeStatus f = w.finish();
  return f != DecodeStatus::Ok ? f : s;
}

}  // namespace vz::readers::codecs
