// Encoders for the ARC and PAK decoder tests, written from the formats'
// descriptions (arc_methods.h and the decoders' file headers) for the
// methods no installed program writes: the hashed 12-bit crunching
// (methods 5 to 7), crushed (10), distilled (11), and the run-length
// stage. What they write is checked against the peers (nomarch reads 5 and
// 6, unar reads 7, 10 and 11) in arc_extract_test.cpp, so they are test
// vectors, not restatements.
// Also the layout of one ARC entry header.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vz::test::arc {

using Bytes = std::vector<uint8_t>;

// Run-length stream: runs of 3 to 255 equal bytes as X 90 n, 0x90 as 90 00
// (which a run cannot repeat).
inline Bytes rle90(const Bytes& in) {
  Bytes out;
  for (size_t i = 0; i < in.size();) {
    const uint8_t b = in[i];
    if (b == 0x90) {
      out.insert(out.end(), {0x90, 0x00});
      ++i;
      continue;
    }
    size_t run = 1;
    while (i + run < in.size() && in[i + run] == b && run < 255) ++run;
    if (run >= 3) {
      out.insert(out.end(), {b, 0x90, static_cast<uint8_t>(run)});
    } else {
      out.insert(out.end(), in.begin() + static_cast<long>(i), in.begin() + static_cast<long>(i + run));
    }
    i += run;
  }
  return out;
}

// The hashed 12-bit LZW of methods 5 to 7 (fast: method 7's hash).
inline Bytes crunchHashed(const Bytes& in, bool fast) {
  constexpr uint32_t kSlots = 4096;
  constexpr uint16_t kNone = 0xFFFF;
  std::vector<uint16_t> prefix(kSlots), link(kSlots, 0);
  std::vector<uint8_t> last(kSlots);
  std::vector<bool> used(kSlots, false);
  uint32_t count = 0;
  auto hash = [&](uint16_t p, uint8_t c) -> uint32_t {
    const uint32_t sum = static_cast<uint16_t>(p + c);
    if (fast) return (sum * 15073u) & 0xFFF;
    const uint32_t k = (sum | 0x800) & 0xFFFF;
    return ((k * k) >> 6) & 0xFFF;
  };
  auto place = [&](uint16_t p, uint8_t c) {
    uint32_t s = hash(p, c);
    if (used[s]) {
      while (link[s] != 0) s = link[s];
      uint32_t f = (s + 101) & 0xFFF;
      while (used[f]) f = (f + 1) & 0xFFF;
      link[s] = static_cast<uint16_t>(f);
      s = f;
    }
    used[s] = true, link[s] = 0, prefix[s] = p, last[s] = c, ++count;
  };
  // The slot of (p, c) by the chain from its hash, -1 when absent.
  auto find = [&](uint16_t p, uint8_t c) -> int32_t {
    uint32_t s = hash(p, c);
    if (!used[s]) return -1;
    for (;;) {
      if (prefix[s] == p && last[s] == c) return static_cast<int32_t>(s);
      if (link[s] == 0) return -1;
      s = link[s];
    }
  };
  for (uint32_t c = 0; c < 256; ++c) place(kNone, static_cast<uint8_t>(c));
  Bytes out;
  bool half = false;
  uint8_t rest = 0;
  auto emit = [&](uint32_t code) {
    if (!half) {
      out.push_back(static_cast<uint8_t>(code >> 4));
      rest = static_cast<uint8_t>(code & 0xF);
    } else {
      out.push_back(static_cast<uint8_t>((rest << 4) | (code >> 8)));
      out.push_back(static_cast<uint8_t>(code));
    }
    half = !half;
  };
  if (in.empty()) return out;
  int32_t pred = find(kNone, in[0]);
  for (size_t i = 1; i < in.size(); ++i) {
    const int32_t s = find(static_cast<uint16_t>(pred), in[i]);
    if (s >= 0) {
      pred = s;
      continue;
    }
    emit(static_cast<uint32_t>(pred));
    if (count < kSlots) place(static_cast<uint16_t>(pred), in[i]);
    pred = find(kNone, in[i]);
  }
  emit(static_cast<uint32_t>(pred));
  if (half) out.push_back(static_cast<uint8_t>(rest << 4));
  return out;
}

// Bits least significant first.
class LsbWriter {
 public:
  void put(uint32_t value, unsigned n) {
    for (unsigned i = 0; i < n; ++i) {
      if (count_ == 0) out.push_back(0);
      if ((value >> i) & 1) out.back() |= static_cast<uint8_t>(1u << count_);
      count_ = (count_ + 1) & 7;
    }
  }
  Bytes out;

 private:
  unsigned count_ = 0;
};

// Distilled (method 11) with matches of 3 to 3 + lengths - 1 bytes, a
// balanced tree over every symbol, and a greedy match search.
inline Bytes distill(const Bytes& in, unsigned lengths = 40) {
  static constexpr uint8_t kLen[64] = {3, 4, 4, 4, 5, 5, 5, 5, 5, 5, 5, 5, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6,
                                       6, 6, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7,
                                       7, 7, 7, 7, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8};
  static constexpr uint8_t kCode[64] = {0x00, 0x02, 0x04, 0x0C, 0x01, 0x06, 0x0A, 0x0E, 0x11, 0x16, 0x1A, 0x1E, 0x05,
                                        0x09, 0x0D, 0x15, 0x19, 0x1D, 0x25, 0x29, 0x2D, 0x35, 0x39, 0x3D, 0x03, 0x07,
                                        0x0B, 0x13, 0x17, 0x1B, 0x23, 0x27, 0x2B, 0x33, 0x37, 0x3B, 0x43, 0x47, 0x4B,
                                        0x53, 0x57, 0x5B, 0x63, 0x67, 0x6B, 0x73, 0x77, 0x7B, 0x0F, 0x1F, 0x2F, 0x3F,
                                        0x4F, 0x5F, 0x6F, 0x7F, 0x8F, 0x9F, 0xAF, 0xBF, 0xCF, 0xDF, 0xEF, 0xFF};
  const uint32_t symbols = 257 + lengths;
  const uint32_t nodes = 2 * (symbols - 1);
  // Pairs made from a queue of items, the root last (at nodes - 2).
  std::vector<uint32_t> tree;
  std::vector<uint32_t> queue;
  for (uint32_t s = 0; s < symbols; ++s) queue.push_back(nodes + s);
  for (size_t head = 0; queue.size() - head > 1; head += 2) {
    tree.push_back(queue[head]);
    tree.push_back(queue[head + 1]);
    queue.push_back(static_cast<uint32_t>(tree.size() - 2));
  }
  // Each symbol's code, bits in reading order.
  std::vector<std::vector<int>> code(symbols);
  std::vector<std::pair<uint32_t, std::vector<int>>> walk{{nodes - 2, {}}};
  while (!walk.empty()) {
    auto [at, path] = walk.back();
    walk.pop_back();
    for (int b = 0; b < 2; ++b) {
      std::vector<int> p = path;
      p.push_back(b);
      const uint32_t v = tree[at + b];
      if (v >= nodes) {
        code[v - nodes] = p;
      } else {
        walk.push_back({v, p});
      }
    }
  }
  unsigned width = 1;
  while ((1u << width) <= nodes + symbols) ++width;
  LsbWriter w;
  w.put(nodes, 16);
  w.put(width, 8);
  for (uint32_t v : tree) w.put(v, width);
  auto symbol = [&](uint32_t s) {
    for (int b : code[s]) w.put(static_cast<uint32_t>(b), 1);
  };
  std::map<uint32_t, std::vector<size_t>> seen;  // 3-byte prefix -> positions
  for (size_t i = 0; i < in.size();) {
    unsigned x = 0;
    for (uint64_t from : {4, 68, 196, 452, 964, 1988, 4036})
      if (i >= from) ++x;
    const size_t far = size_t{64} << x;
    size_t bestLen = 0, bestDist = 0;
    if (i + 3 <= in.size()) {
      const uint32_t key = in[i] | (in[i + 1] << 8) | (in[i + 2] << 16);
      auto it = seen.find(key);
      if (it != seen.end()) {
        for (auto p = it->second.rbegin(); p != it->second.rend() && i - *p <= far; ++p) {
          size_t len = 0;
          while (len < 2 + lengths && i + len < in.size() && in[*p + len] == in[i + len]) ++len;
          if (len > bestLen) bestLen = len, bestDist = i - *p;
        }
      }
    }
    const size_t step = bestLen >= 3 ? bestLen : 1;
    if (bestLen >= 3) {
      symbol(static_cast<uint32_t>(254 + bestLen));
      const size_t off = bestDist - 1;
      const uint32_t high = static_cast<uint32_t>(off >> x);
      w.put(kCode[high], kLen[high]);
      w.put(static_cast<uint32_t>(off & ((size_t{1} << x) - 1)), x);
    } else {
      symbol(in[i]);
    }
    for (size_t k = i; k < i + step; ++k)
      if (k + 3 <= in.size()) seen[in[k] | (in[k + 1] << 8) | (in[k + 2] << 16)].push_back(k);
    i += step;
  }
  symbol(256);
  return w.out;
}

// Crushed (method 10) before its run-length stage: a greedy encoder that
// keeps the decoder's table, use counts, flag and width as
// arc_crushed.cpp's header describes them (one code behind, as the decoder
// is), so that every code it writes is one the decoder holds at that
// point. Empty when a replaced string would change the string just
// written (the encoder gives up rather than work around it).
inline Bytes crush(const Bytes& in) {
  constexpr uint32_t kSize = 8192, kFirst = 257;
  std::vector<int32_t> prefix(kSize, -1), uses(kSize, 0);
  std::vector<uint8_t> last(kSize, 0);
  for (uint32_t c = 0; c < 256; ++c) last[c] = static_cast<uint8_t>(c);
  std::map<std::pair<int32_t, uint8_t>, uint32_t> child;  // (prefix, byte) -> string
  std::vector<bool> ring(500, false);
  uint32_t ringAt = 0, strings = 0, count = kFirst, scanAt = kFirst, width = 1, due = 2;
  bool flag = true;
  int32_t previous = -1;
  LsbWriter w;
  auto firstOf = [&](uint32_t c) {
    while (prefix[c] >= 0) c = static_cast<uint32_t>(prefix[c]);
    return last[c];
  };
  auto spell = [&](uint32_t c) {
    Bytes s;
    for (;;) {
      s.push_back(last[c]);
      if (prefix[c] < 0) break;
      c = static_cast<uint32_t>(prefix[c]);
    }
    std::reverse(s.begin(), s.end());
    return s;
  };
  auto put = [&](uint32_t code) {
    if (flag) {
      if (code >= 256) {
        w.put(1, 1);
        w.put(code - 256, width);
      } else {
        w.put(0, 1);
        w.put(code, 8);
      }
    } else {
      w.put(code < 256 ? code ^ 0xFF : code, width);
    }
  };
  for (size_t i = 0; i < in.size();) {
    // The longest string the decoder holds that the input goes on with.
    uint32_t code = in[i];
    size_t len = 1;
    for (;;) {
      if (i + len >= in.size()) break;
      auto it = child.find({static_cast<int32_t>(code), in[i + len]});
      if (it == child.end()) break;
      code = it->second;
      ++len;
    }
    if (previous < 0 || (flag ? code >= 256 && code - 256 >= (1u << width) : code >= (1u << width)))
      code = in[i], len = 1;
    put(code);
    // The decoder's step, as it takes this code.
    for (uint32_t c = code;;) {
      uses[c] = 4;
      if (prefix[c] < 0) break;
      c = static_cast<uint32_t>(prefix[c]);
    }
    if (ring[ringAt]) --strings;
    ring[ringAt] = code >= 256;
    if (code >= 256) ++strings;
    ringAt = (ringAt + 1) % 500;
    if ((strings < 375) != flag) {
      flag = strings < 375;
      due = (1u << width) - (flag ? 0 : 256);
    }
    if (previous >= 0) {
      uint32_t slot;
      if (count < kSize) {
        slot = count++;
      } else {
        uint32_t at = scanAt, best = 0;
        int32_t bestUses = INT32_MAX;
        do {
          if (++at == kSize) at = kFirst;
          if (uses[at] < bestUses) best = at, bestUses = uses[at];
          if (--uses[at] == 0) break;
        } while (at != scanAt);
        scanAt = at;
        slot = best;
        auto old = child.find({prefix[slot], last[slot]});
        if (old != child.end() && old->second == slot) child.erase(old);
      }
      prefix[slot] = previous;
      last[slot] = firstOf(code);
      uses[slot] = 2;
      child[{previous, last[slot]}] = slot;
    }
    if (spell(code) != Bytes(in.begin() + static_cast<long>(i), in.begin() + static_cast<long>(i + len))) return {};
    previous = static_cast<int32_t>(code);
    if (count - kFirst >= due && width < 13) {
      ++width;
      due = (1u << width) - (flag ? 0 : 256);
    }
    i += len;
  }
  put(256);
  return w.out;
}

// The CRC-16 of the entries, bit by bit.
inline uint16_t crc16(const Bytes& data) {
  uint16_t crc = 0;
  for (uint8_t b : data) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
  }
  return crc;
}

// One entry: header (29 bytes, 25 for method 1) and packed data.
inline Bytes entry(uint8_t method, const std::string& name, const Bytes& packed, const Bytes& original,
                   uint16_t dosDate = 0x3A85, uint16_t dosTime = 0x6000) {
  Bytes h = {0x1A, method};
  std::string n = name.substr(0, 12);
  for (size_t i = 0; i < 13; ++i) h.push_back(i < n.size() ? static_cast<uint8_t>(n[i]) : 0);
  auto le = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) h.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  le(static_cast<uint32_t>(packed.size()), 4);
  le(dosDate, 2);
  le(dosTime, 2);
  le(crc16(original), 2);
  if (method != 1) le(static_cast<uint32_t>(original.size()), 4);
  h.insert(h.end(), packed.begin(), packed.end());
  return h;
}

}  // namespace vz::test::arc
