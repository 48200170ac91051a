// A -pm2- encoder for the tests, the fuzz seeds and the benchmark: greedy
// matching over the 8 KiB history (hash chains for copies of 3 bytes or
// more, a short scan for copies of 2), literals through its own
// move-to-front list of the byte history.
//
// The trees are fixed sets of code lengths: the code tree starts as set A
// and, at every other 4 KiB point from 4 KiB on, is sent again as the next
// of A, B, C (a "new code tree" flag of 1), the points in between keeping
// it (flag 0). An offset tree is sent wherever the stream has one: over the
// offset classes the copies up to the next offset tree use, as a tree of
// that class alone when only one is used, else a fixed complete code.
// literalsOnly sends a code tree of the eight literal classes alone (no
// copies, and so no offset trees at all).
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vz::test::codecs {

class Pm2TestEncoder {
 public:
  static std::vector<uint8_t> encode(const std::vector<uint8_t>& data, bool literalsOnly = false) {
    Pm2TestEncoder e(data, literalsOnly);
    return e.run();
  }

 private:
  struct Token {
    uint32_t length = 0;  // 0: a literal
    uint32_t offset = 0;  // distance - 1, or the literal byte
  };

  Pm2TestEncoder(const std::vector<uint8_t>& data, bool literalsOnly) : d_(data), literalsOnly_(literalsOnly) {}

  // Bits most significant first.
  void put(uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) {
      acc_ = static_cast<uint8_t>(acc_ << 1 | ((v >> i) & 1));
      if (++accBits_ == 8) out_.push_back(acc_), acc_ = 0, accBits_ = 0;
    }
  }

  // Canonical codes of a complete length list (the layout the format's
  // trees have for such lists).
  static void codesOf(const std::vector<int>& lengths, std::vector<uint32_t>& codes) {
    codes.assign(lengths.size(), 0);
    uint32_t code = 0;
    for (int l = 1; l <= 16; ++l) {
      for (size_t s = 0; s < lengths.size(); ++s)
        if (lengths[s] == l) codes[s] = code++;
      code <<= 1;
    }
  }

  // The code tree's length sets (complete codes over 29 symbols, or 8).
  static std::vector<int> codeSet(int which, bool literalsOnly) {
    if (literalsOnly) return std::vector<int>(8, 3);
    std::vector<int> l(29);
    for (int s = 0; s < 29; ++s) {
      if (which == 0) l[s] = (s == 0 || s == 1 || s == 8) ? 4 : 5;  // shortest 4, width 2
      if (which == 1) l[s] = s == 0 ? 2 : s <= 2 ? 3 : s <= 8 ? 5 : 6;
      if (which == 2) l[s] = s <= 8 ? s + 1 : s <= 20 ? 13 : 14;  // reaches past the decoder's table
    }
    return l;
  }

  void sendCodeTree(int which) {
    codeLengths_ = codeSet(which, literalsOnly_);
    codesOf(codeLengths_, codeCodes_);
    int lo = 99, hi = 0;
    for (int l : codeLengths_) lo = l < lo ? l : lo, hi = l > hi ? l : hi;
    int width = 1;
    while ((1 << width) - 1 < hi - lo + 1) ++width;
    put(static_cast<uint32_t>(codeLengths_.size()), 5);
    put(static_cast<uint32_t>(lo), 3);
    put(static_cast<uint32_t>(width), 3);
    for (int l : codeLengths_) put(static_cast<uint32_t>(l - lo + 1), width);
  }

  static int offsetClass(uint32_t offset) {
    if (offset < 64) return 0;
    int b = 6;
    while ((offset >> (b + 1)) != 0) ++b;
    return b - 5;
  }
  static bool usesOffsetTree(const Token& t) { return t.length >= 3 && !(t.length == 256 && t.offset == 0); }

  // The offset tree over n classes for the tokens [from, to).
  void sendOffsetTree(int n, size_t from, size_t to) {
    if (literalsOnly_) return;
    uint32_t used = 0;
    for (size_t i = from; i < to; ++i)
      if (usesOffsetTree(tokens_[i])) used |= 1u << offsetClass(tokens_[i].offset);
    std::vector<int> l(static_cast<size_t>(n), 0);
    if ((used & (used - 1)) == 0) {
      l[used == 0 ? 0 : static_cast<size_t>(__builtin_ctz(used))] = 1;  // a tree of one class, read in no bits
      offsetSingle_ = true;
    } else {
      static const int kSets[4][8] = {
          {2, 2, 2, 3, 3}, {2, 2, 3, 3, 3, 3}, {2, 3, 3, 3, 3, 3, 3}, {3, 3, 3, 3, 3, 3, 3, 3}};
      for (int i = 0; i < n; ++i) l[static_cast<size_t>(i)] = kSets[n - 5][i];
      offsetSingle_ = false;
    }
    for (int v : l) put(static_cast<uint32_t>(v), 3);
    offsetLengths_ = l;
    codesOf(offsetLengths_, offsetCodes_);
  }

  void symbol(int s) { put(codeCodes_[static_cast<size_t>(s)], codeLengths_[static_cast<size_t>(s)]); }

  // Greedy matching over the whole input, then the tokens' bits with the
  // trees at their points.
  void tokenize() {
    std::vector<int32_t> head(1 << 15, -1), prev(d_.size(), -1);
    auto hash = [&](size_t i) { return ((d_[i] << 10) ^ (d_[i + 1] << 5) ^ d_[i + 2]) & 0x7fff; };
    size_t i = 0;
    auto insert = [&](size_t at) {
      if (at + 2 < d_.size()) prev[at] = head[hash(at)], head[hash(at)] = static_cast<int32_t>(at);
    };
    while (i < d_.size()) {
      const size_t left = d_.size() - i;
      uint32_t best = 0, bestDist = 0;
      if (!literalsOnly_ && left >= 3) {
        int chain = 64;
        for (int32_t c = head[hash(i)]; c >= 0 && i - c <= 8192 && chain-- > 0; c = prev[c]) {
          uint32_t n = 0;
          while (n < 256 && n < left && d_[c + n] == d_[i + n]) ++n;
          if (n > best) best = n, bestDist = static_cast<uint32_t>(i - c);
        }
      }
      if (!literalsOnly_ && best < 3 && left >= 2) {
        best = 0;
        for (uint32_t dist = 1; dist <= 64 && dist <= i; ++dist)
          if (d_[i - dist] == d_[i] && d_[i - dist + 1] == d_[i + 1]) {
            best = 2, bestDist = dist;
            break;
          }
      }
      if (best >= 2) {
        tokens_.push_back(Token{best, bestDist - 1});
        for (uint32_t k = 0; k < best; ++k) insert(i + k);
        i += best;
      } else {
        tokens_.push_back(Token{0, d_[i]});
        insert(i);
        ++i;
      }
    }
  }

  // Moves b to the front of the history list; returns its distance from the front.
  int mtf(uint8_t b) {
    int d = 0;
    while (order_[static_cast<size_t>(d)] != b) ++d;
    std::memmove(order_.data() + 1, order_.data(), static_cast<size_t>(d));
    order_[0] = b;
    return d;
  }

  void token(const Token& t, size_t at) {
    if (t.length == 0) {
      const int d = mtf(static_cast<uint8_t>(t.offset));
      static const int kBase[9] = {0, 8, 16, 32, 64, 96, 128, 192, 256};
      static const int kBits[8] = {3, 3, 4, 5, 5, 5, 6, 6};
      int c = 0;
      while (d >= kBase[c + 1]) ++c;
      symbol(c);
      put(static_cast<uint32_t>(d - kBase[c]), kBits[c]);
      return;
    }
    for (uint32_t k = 0; k < t.length; ++k) mtf(d_[at + k]);
    if (t.length <= 16) {
      symbol(static_cast<int>(t.length) + 6);
    } else if (t.length == 256 && t.offset == 0) {
      symbol(28);
      return;
    } else {
      static const uint32_t kBase[6] = {17, 25, 33, 65, 129, 257};
      static const int kBits[5] = {3, 3, 5, 6, 7};
      int c = 0;
      while (t.length >= kBase[c + 1]) ++c;
      symbol(23 + c);
      put(t.length - kBase[c], kBits[c]);
    }
    if (t.length == 2) {
      put(t.offset, 6);
      return;
    }
    const int v = offsetClass(t.offset);
    if (!offsetSingle_) put(offsetCodes_[static_cast<size_t>(v)], offsetLengths_[static_cast<size_t>(v)]);
    if (v == 0) {
      put(t.offset, 6);
    } else {
      put(t.offset - (1u << (v + 5)), v + 5);
    }
  }

  std::vector<uint8_t> run() {
    if (d_.empty()) return {};
    tokenize();
    // Where each token starts, and the index of the first token after each
    // rebuild point (the rebuild follows the token that reaches it).
    std::vector<uint64_t> start(tokens_.size() + 1, 0);
    for (size_t k = 0; k < tokens_.size(); ++k)
      start[k + 1] = start[k] + (tokens_[k].length == 0 ? 1 : tokens_[k].length);
    std::vector<uint64_t> points;
    for (uint64_t p = 1024; p < d_.size(); p = p < 4096 ? p * 2 : p + 4096) points.push_back(p);
    std::vector<size_t> after(points.size());
    {
      size_t k = 0;
      for (size_t j = 0; j < points.size(); ++j) {
        while (start[k] < points[j]) ++k;
        after[j] = k;
      }
    }
    // Whether point j sends the code tree (every other one from the 4 KiB
    // point on), and so where the offset tree sent at a point stops applying.
    auto sendsCode = [&](size_t j) { return j >= 2 && j % 2 == 0; };
    auto sendsOffsets = [&](size_t j) { return j <= 2 || sendsCode(j); };
    auto offsetsUntil = [&](size_t j) {
      for (size_t m = j + 1; m < points.size(); ++m)
        if (sendsOffsets(m)) return after[m];
      return tokens_.size();
    };
    put(0, 1);
    int set = 0;
    sendCodeTree(set);
    sendOffsetTree(5, 0, points.empty() ? tokens_.size() : offsetsUntil(static_cast<size_t>(-1)));
    size_t j = 0;
    for (size_t k = 0; k < tokens_.size(); ++k) {
      token(tokens_[k], static_cast<size_t>(start[k]));
      while (j < points.size() && after[j] == k + 1) {
        if (j >= 2) put(sendsCode(j) ? 1 : 0, 1);
        if (sendsCode(j)) sendCodeTree(set = (set + 1) % 3);
        if (sendsOffsets(j)) sendOffsetTree(j < 3 ? static_cast<int>(j) + 6 : 8, k + 1, offsetsUntil(j));
        ++j;
      }
    }
    if (accBits_ > 0) put(0, 8 - accBits_);
    return out_;
  }

  const std::vector<uint8_t>& d_;
  bool literalsOnly_;
  std::vector<Token> tokens_;
  std::vector<uint8_t> out_;
  uint8_t acc_ = 0;
  int accBits_ = 0;
  std::vector<int> codeLengths_, offsetLengths_;
  std::vector<uint32_t> codeCodes_, offsetCodes_;
  bool offsetSingle_ = false;
  std::array<uint8_t, 256> order_ = [] {
    std::array<uint8_t, 256> o{};
    size_t n = 0;
    for (int b = 0x20; b < 0x80; ++b) o[n++] = static_cast<uint8_t>(b);
    for (int b = 0x00; b < 0x20; ++b) o[n++] = static_cast<uint8_t>(b);
    for (int b = 0xa0; b < 0xe0; ++b) o[n++] = static_cast<uint8_t>(b);
    for (int b = 0x80; b < 0xa0; ++b) o[n++] = static_cast<uint8_t>(b);
    for (int b = 0xe0; b < 0x100; ++b) o[n++] = static_cast<uint8_t>(b);
    return o;
  }();
};

}  // namespace vz::test::codecs
