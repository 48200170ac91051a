// A -pm1- encoder for the tests (no program at hand writes the method):
// greedy matching over hash chains, literals through a plain move-to-front
// list, one of a few start trees. It records which code classes it used,
// so that a test can tell that every kind of code was exercised.
#pragma once

#include <algorithm>
#include <array>
#include <initializer_list>
#include <cstdint>
#include <utility>
#include <vector>

namespace vz::test::codecs {

class Pm1TestEncoder {
 public:
  // Classes of codes written: literal block lengths (1-3, 4-10, 11-24,
  // 25-88, 89-215, the full 216), copy counts (2, 3-5, 6-10, 11-14, 15-22,
  // 23-84, 85-116, 117-244) and distance fields (range and width: 0, 1,
  // 2, 3 by 8 and 9 bits, 4 by 8 to 11, 5 by 8 to 13).
  struct Stats {
    std::array<uint64_t, 6> blocks{};
    std::array<uint64_t, 8> counts{};
    std::array<uint64_t, 15> distances{};
    void add(const Stats& o) {
      for (size_t i = 0; i < blocks.size(); ++i) blocks[i] += o.blocks[i];
      for (size_t i = 0; i < counts.size(); ++i) counts[i] += o.counts[i];
      for (size_t i = 0; i < distances.size(); ++i) distances[i] += o.distances[i];
    }
  };

  // The start trees this encoder writes: 0, 16 and 31 (no tree: only the 16
  // bytes at the front of the history can be literals).
  static bool canWrite(int tree) { return tree == 0 || tree == 16 || tree == 31; }

  // The stream for data with the given start tree; empty when a literal
  // cannot be written with that tree.
  static std::vector<uint8_t> encode(const std::vector<uint8_t>& data, int tree, Stats* stats = nullptr) {
    Pm1TestEncoder e(data, tree);
    if (!e.run()) return {};
    if (stats != nullptr) stats->add(e.stats_);
    return e.out_;
  }

 private:
  static constexpr size_t kMaxBack = 2624 + 8192;  // farthest source: distance field 10815, plus one
  static constexpr size_t kMaxCount = 244;
  static constexpr size_t kBlockMax = 216;
  static constexpr int kHashBits = 15;
  static constexpr int kChain = 48;

  Pm1TestEncoder(const std::vector<uint8_t>& data, int tree) : d_(data), tree_(tree) {
    // The byte order at the start: 20..7F, 00..1F, A0..DF, 80..9F, E0..FF.
    size_t n = 0;
    for (auto [lo, hi] : {std::pair{0x20, 0x7f}, {0x00, 0x1f}, {0xa0, 0xdf}, {0x80, 0x9f}, {0xe0, 0xff}})
      for (int b = lo; b <= hi; ++b) mtf_[n++] = static_cast<uint8_t>(b);
    head_.assign(size_t{1} << kHashBits, -1);
    prev_.assign(d_.size(), -1);
    last2_.assign(65536, -1);
  }

  void bits(uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) {
      acc_ = static_cast<uint8_t>(acc_ << 1 | ((v >> i) & 1));
      if (++fill_ == 8) out_.push_back(acc_), acc_ = 0, fill_ = 0;
    }
  }

  static int classOf(size_t v, std::initializer_list<size_t> ends) {
    int c = 0;
    for (size_t e : ends) {
      if (v <= e) return c;
      ++c;
    }
    return c;
  }

  // The code of literal range r (a = 0 .. f = 5) in the tree, false when
  // the tree has none.
  bool rangeCode(int r) {
    if (tree_ == 31) return r == 0;
    if (tree_ == 0) {  // ((((ab)c)d)(ef))
      static const uint8_t code[6] = {0b0000, 0b0001, 0b001, 0b01, 0b10, 0b11}, len[6] = {4, 4, 3, 2, 2, 2};
      bits(code[r], len[r]);
    } else {  // (a(b(c(d(ef)))))
      static const uint8_t code[6] = {0b0, 0b10, 0b110, 0b1110, 0b11110, 0b11111}, len[6] = {1, 2, 3, 4, 5, 5};
      bits(code[r], len[r]);
    }
    return true;
  }

  // Writes byte b as its distance in the move-to-front list.
  bool literal(uint8_t b) {
    size_t i = 0;
    while (mtf_[i] != b) ++i;
    static const size_t base[6] = {0, 16, 32, 64, 128, 192};
    static const int width[6] = {4, 4, 5, 6, 6, 6};
    int r = 5;
    while (i < base[r]) --r;
    if (!rangeCode(r)) return false;
    bits(static_cast<uint32_t>(i - base[r]), width[r]);
    return true;
  }

  void blockLength(size_t n) {
    stats_.blocks[classOf(n, {3, 10, 24, 88, 215})]++;
    if (n <= 3) return bits(static_cast<uint32_t>(n - 1), 2);
    bits(3, 2);
    if (n <= 10) return bits(static_cast<uint32_t>(n - 4), 3);
    bits(7, 3);
    if (n <= 24) return bits(static_cast<uint32_t>(n - 11), 4);
    if (n <= 88) return bits(14, 4), bits(static_cast<uint32_t>(n - 25), 6);
    bits(15, 4), bits(static_cast<uint32_t>(n - 89), 7);
  }

  void count(size_t n) {
    stats_.counts[classOf(n, {2, 5, 10, 14, 22, 84, 116})]++;
    if (n <= 5) return bits(static_cast<uint32_t>(n - 3), 2);
    bits(3, 2);
    if (n <= 10) return bits(static_cast<uint32_t>(n - 6), 3);
    if (n <= 14) return bits(5, 3), bits(static_cast<uint32_t>(n - 11), 2);
    if (n <= 22) return bits(6, 3), bits(static_cast<uint32_t>(n - 15), 3);
    bits(7, 3);
    if (n <= 84) return bits(static_cast<uint32_t>(n - 23), 6);
    if (n <= 116) return bits(62, 6), bits(static_cast<uint32_t>(n - 85), 5);
    bits(63, 6), bits(static_cast<uint32_t>(n - 117), 7);
  }

  // The width of a far distance field at output position p.
  static int width(size_t p, size_t base, int widest) {
    int w = 8;
    while (w < widest && p >= base + (size_t{1} << w)) ++w;
    return w;
  }

  // A copy of n bytes from dist + 1 bytes back, at output position p.
  void copy(size_t p, size_t dist, size_t n) {
    // The range code, its bits written only where p allows the branch.
    auto branch = [&](size_t threshold, uint32_t bit) {
      if (p >= threshold) bits(bit, 1);
    };
    if (n == 2) {
      stats_.counts[0]++;
      bits(0, 1);
      if (dist < 64) {
        stats_.distances[0]++;
        branch(576, 0), branch(64, 0), bits(static_cast<uint32_t>(dist), 6);
      } else {
        stats_.distances[1]++;
        branch(576, 0), bits(1, 1), bits(static_cast<uint32_t>(dist - 64), 8);
      }
      return;
    }
    if (dist < 64) {
      stats_.distances[2]++;
      bits(1, 1), branch(64, 1), branch(2624, 1);
      count(n), bits(static_cast<uint32_t>(dist), 6);
    } else if (dist < 576) {
      const int w = width(p, 64, 9);
      stats_.distances[3 + (w - 8)]++;
      bits(1, 1), bits(0, 1);
      count(n), bits(static_cast<uint32_t>(dist - 64), w);
    } else if (dist < 2624) {
      const int w = width(p, 576, 11);
      stats_.distances[5 + (w - 8)]++;
      bits(0, 1), bits(1, 1);
      count(n), bits(static_cast<uint32_t>(dist - 576), w);
    } else {
      const int w = width(p, 2624, 13);
      stats_.distances[9 + (w - 8)]++;
      bits(1, 1), bits(1, 1), bits(0, 1);
      count(n), bits(static_cast<uint32_t>(dist - 2624), w);
    }
  }

  uint32_t hash(size_t p) const {
    return (static_cast<uint32_t>(d_[p]) << 10 ^ static_cast<uint32_t>(d_[p + 1]) << 5 ^ d_[p + 2]) &
           ((1u << kHashBits) - 1);
  }

  void insert(size_t p) {
    if (p + 1 < d_.size()) last2_[d_[p] << 8 | d_[p + 1]] = static_cast<int32_t>(p);
    if (p + 2 >= d_.size()) return;
    const uint32_t h = hash(p);
    prev_[p] = head_[h];
    head_[h] = static_cast<int32_t>(p);
  }

  // The longest earlier match at p as (length, dist); length 0 for none.
  std::pair<size_t, size_t> longest(size_t p) const {
    size_t best = 0, bestDist = 0;
    const size_t limit = std::min(kMaxCount, d_.size() - p);
    if (p + 2 < d_.size()) {
      int32_t c = head_[hash(p)];
      for (int k = 0; k < kChain && c >= 0 && p - static_cast<size_t>(c) <= kMaxBack; ++k) {
        const size_t s = static_cast<size_t>(c);
        size_t n = 0;
        while (n < limit && d_[s + n] == d_[p + n]) ++n;
        if (n > best) best = n, bestDist = p - s - 1;
        c = prev_[s];
      }
    }
    if (best < 3 && limit >= 2) {
      // A two-byte copy reaches 320 bytes back at most (64 before 64 bytes are out).
      best = 0;
      const int32_t s = last2_[d_[p] << 8 | d_[p + 1]];
      if (s >= 0 && p - static_cast<size_t>(s) - 1 < (p >= 64 ? 320u : 64u)) best = 2, bestDist = p - s - 1;
    }
    return {best, bestDist};
  }

  bool run() {
    bits(static_cast<uint32_t>(tree_), 5);
    size_t p = 0;
    std::vector<uint8_t> pending;  // literals of the open block
    auto flushBlock = [&] {
      bits(1, 1), blockLength(pending.size());
      for (uint8_t b : pending) {
        if (!literal(b)) return false;
        use(b);
      }
      pending.clear();
      return true;
    };
    bool blockOpen = false;  // literals were written and a copy must follow
    while (p < d_.size()) {
      auto [n, dist] = longest(p);
      if (n >= 2) {
        if (!pending.empty()) {
          if (!flushBlock()) return false;
          blockOpen = true;
        }
        if (!blockOpen) bits(0, 1);
        blockOpen = false;
        copy(p, dist, n);
        for (size_t i = 0; i < n; ++i) use(d_[p + i]), insert(p + i);
        p += n;
        continue;
      }
      pending.push_back(d_[p]);
      insert(p);
      ++p;
      if (pending.size() == kBlockMax && !flushBlock()) return false;
    }
    if (!pending.empty() && !flushBlock()) return false;
    if (fill_ > 0) bits(0, 8 - fill_);
    return true;
  }

  void use(uint8_t b) {
    size_t i = 0;
    while (mtf_[i] != b) ++i;
    for (; i > 0; --i) mtf_[i] = mtf_[i - 1];
    mtf_[0] = b;
  }

  const std::vector<uint8_t>& d_;
  int tree_;
  std::array<uint8_t, 256> mtf_{};            // byte values, most recent first
  std::vector<int32_t> head_, prev_, last2_;  // hash chains, and the last place of each byte pair
  std::vector<uint8_t> out_;
  uint8_t acc_ = 0;
  int fill_ = 0;
  Stats stats_;
};

}  // namespace vz::test::codecs
