// Helpers of the deflate compressor tests: test data, one-call compression
// from memory, a symbol-level deflate parser (it recovers every block's
// kind and symbols from an emitted stream, independently of the engine's
// inflate), and a slow reference matcher written straight from the
// design's description (rolling hash, byte comparisons) that the fast
// encoder's symbols are compared with.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "control/engine/encode/deflate_encoder.h"
#include "control/engine/encode/deflate_io.h"
#include "tests/support/test_env.h"

namespace vz::test::deflate_util {

// ---- Test data ----

inline std::vector<uint8_t> randomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (uint8_t& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

// English-like text: words of a small vocabulary, drawn unevenly.
inline std::vector<uint8_t> textBytes(size_t n, uint32_t seed) {
  static const char* const kWords[] = {
      "the",     "of",      "and",   "archive", "window",   "compress", "folder", "extract", "table",  "entry",
      "method",  "deflate", "block", "length",  "distance", "literal",  "tree",   "code",    "stream", "buffer",
      "a",       "to",      "in",    "is",      "that",     "for",      "with",   "file",    "size",   "header",
      "central", "record",  "local", "comment", "password", "cancel",   "event",  "message", "report", "window"};
  std::mt19937 rng(seed);
  std::vector<uint8_t> out;
  out.reserve(n + 16);
  while (out.size() < n) {
    const unsigned r = rng();
    // A third of the draws from all 40 words, the rest from the first 12.
    const char* w = kWords[(r >> 8) % 3 == 0 ? r % 40 : (r >> 12) % 12];
    out.insert(out.end(), w, w + std::strlen(w));
    out.push_back((r >> 20) % 11 == 0 ? '\n' : ' ');
    if ((r >> 24) % 37 == 0) {
      const std::string num = std::to_string(rng() % 100000);
      out.insert(out.end(), num.begin(), num.end());
      out.push_back(',');
    }
  }
  out.resize(n);
  return out;
}

// Bytes of the regular files under dir whose names end in suffix (any
// when empty), in sorted order, up to n bytes; empty when there are none.
inline std::vector<uint8_t> filesBytes(const std::string& dir, const std::string& suffix, size_t n) {
  namespace fs = std::filesystem;
  std::vector<fs::path> files;
  std::error_code ec;
  for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (it->is_regular_file(ec) &&
        (suffix.empty() ||
         (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)))
      files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  std::vector<uint8_t> out;
  for (const fs::path& f : files) {
    if (out.size() >= n) break;
    const std::vector<uint8_t> bytes = vz::test::readFile(f.string());
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  if (out.size() > n) out.resize(n);
  return out;
}

// C source text (system headers), or generated text when there are none.
inline std::vector<uint8_t> sourceBytes(size_t n) {
  std::vector<uint8_t> v = filesBytes("/usr/include", ".h", n);
  return v.size() == n ? v : textBytes(n, 7);
}

// Machine code (programs), or a structured binary imitation.
inline std::vector<uint8_t> binaryBytes(size_t n) {
  std::vector<uint8_t> v = filesBytes("/usr/bin", "", n);
  if (v.size() == n) return v;
  v.resize(n);
  std::mt19937 rng(3);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>((i % 16 < 4) ? (i >> 4) & 0xFF : rng() % 24);
  return v;
}

// Long runs: single bytes repeated, a two-byte pattern, a run of zeros.
inline std::vector<uint8_t> runBytes(size_t n) {
  std::vector<uint8_t> v;
  v.reserve(n);
  const size_t part = n / 4;
  v.insert(v.end(), part, 'a');
  for (size_t i = 0; i < part; ++i) v.push_back(i % 2 ? 0x55 : 0xAA);
  v.insert(v.end(), part, 0);
  while (v.size() < n) v.push_back(static_cast<uint8_t>('x' + (v.size() / 1000) % 3));
  return v;
}

// ---- Compression from memory ----

struct Compressed {
  engine::DeflateResult result;
  std::vector<uint8_t> bytes;
};

inline Compressed compress(engine::DeflateEncoder& enc, int mode, const std::vector<uint8_t>& data) {
  engine::MemoryDeflateInput in(data);
  engine::VectorDeflateOutput out;
  Compressed c;
  c.result = enc.compress(mode, in, out);
  c.bytes = std::move(out.bytes);
  return c;
}

// ---- Symbol-level parser ----

// A literal (length 0) or a match.
struct Symbol {
  uint16_t length = 0;    // 0 for a literal, else 3..258
  uint16_t distance = 0;  // the match distance
  uint8_t literal = 0;    // the literal byte
  bool operator==(const Symbol&) const = default;
};

struct ParsedBlock {
  int type = 0;                 // 0 stored, 1 fixed, 2 dynamic
  bool final = false;           // BFINAL
  std::vector<Symbol> symbols;  // fixed and dynamic blocks
  size_t outputStart = 0;       // offset of the block's first byte in the output
  size_t outputLength = 0;      // bytes the block produces
};

struct ParsedStream {
  bool ok = false;  // a complete stream with a final block, every code valid
  std::vector<ParsedBlock> blocks;
  std::vector<uint8_t> output;  // the decoded bytes
  size_t bytesUsed = 0;         // stream bytes up to the end of the final block
};

class StreamParser {
 public:
  explicit StreamParser(const std::vector<uint8_t>& data) : data_(data) {}

  ParsedStream parse() {
    ParsedStream s;
    for (;;) {
      ParsedBlock b;
      b.outputStart = s.output.size();
      b.final = bit() != 0;
      b.type = static_cast<int>(bits(2));
      if (bad_) return s;
      if (b.type == 0) {
        pos_ = (pos_ + 7) & ~size_t{7};
        const unsigned len = bits(16);
        const unsigned nlen = bits(16);
        if (bad_ || (len ^ 0xFFFF) != nlen) return s;
        for (unsigned i = 0; i < len; ++i) s.output.push_back(static_cast<uint8_t>(bits(8)));
      } else if (b.type == 1 || b.type == 2) {
        Code lit, dist;
        if (b.type == 1) {
          std::vector<uint8_t> ll(288), dl(30, 5);
          for (int i = 0; i < 288; ++i) ll[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
          lit = Code(ll);
          dist = Code(dl);
        } else if (!readTrees(lit, dist)) {
          return s;
        }
        for (;;) {
          const int sym = decode(lit);
          if (sym < 0 || sym > 285) return s;
          if (sym < 256) {
            Symbol x;
            x.literal = static_cast<uint8_t>(sym);
            b.symbols.push_back(x);
            s.output.push_back(x.literal);
            continue;
          }
          if (sym == 256) break;
          static const uint16_t lbase[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                           31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
          static const uint8_t lext[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                         2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
          static const uint16_t dbase[] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                           33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                           1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
          static const uint8_t dext[] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                         6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
          Symbol x;
          x.length = static_cast<uint16_t>(lbase[sym - 257] + bits(lext[sym - 257]));
          const int dsym = decode(dist);
          if (dsym < 0 || dsym > 29) return s;
          x.distance = static_cast<uint16_t>(dbase[dsym] + bits(dext[dsym]));
          if (bad_ || x.distance > s.output.size()) return s;
          for (unsigned i = 0; i < x.length; ++i) s.output.push_back(s.output[s.output.size() - x.distance]);
          b.symbols.push_back(x);
        }
      } else {
        return s;
      }
      if (bad_) return s;
      b.outputLength = s.output.size() - b.outputStart;
      const bool final = b.final;
      s.blocks.push_back(std::move(b));
      if (final) break;
    }
    s.bytesUsed = (pos_ + 7) / 8;
    s.ok = true;
    return s;
  }

 private:
  // A canonical code, decoded bit by bit from the count of each length.
  struct Code {
    Code() = default;
    explicit Code(const std::vector<uint8_t>& lengths) {
      for (uint8_t l : lengths) ++count[l];
      for (unsigned len = 1; len <= 15; ++len)
        for (size_t s = 0; s < lengths.size(); ++s)
          if (lengths[s] == len) symbols.push_back(static_cast<int>(s));
    }
    unsigned count[16] = {};
    std::vector<int> symbols;  // by length, then symbol
  };

  unsigned bit() {
    if (pos_ >= data_.size() * 8) {
      bad_ = true;
      return 0;
    }
    const unsigned b = (data_[pos_ / 8] >> (pos_ % 8)) & 1;
    ++pos_;
    return b;
  }
  unsigned bits(unsigned n) {
    unsigned v = 0;
    for (unsigned i = 0; i < n; ++i) v |= bit() << i;
    return v;
  }
  int decode(const Code& c) {
    int code = 0, first = 0, index = 0;
    for (unsigned len = 1; len <= 15; ++len) {
      code |= static_cast<int>(bit());
      const int n = static_cast<int>(c.count[len]);
      if (code - first < n) return c.symbols[static_cast<size_t>(index + code - first)];
      index += n;
      first = (first + n) << 1;
      code <<= 1;
      if (bad_) return -1;
    }
    return -1;
  }
  bool readTrees(Code& lit, Code& dist) {
    const unsigned hlit = bits(5) + 257, hdist = bits(5) + 1, hclen = bits(4) + 4;
    static const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    std::vector<uint8_t> cl(19, 0);
    for (unsigned i = 0; i < hclen; ++i) cl[static_cast<size_t>(order[i])] = static_cast<uint8_t>(bits(3));
    const Code clc(cl);
    std::vector<uint8_t> lens;
    while (lens.size() < hlit + hdist && !bad_) {
      const int sym = decode(clc);
      if (sym < 0) return false;
      if (sym < 16) {
        lens.push_back(static_cast<uint8_t>(sym));
      } else if (sym == 16) {
        if (lens.empty()) return false;
        const uint8_t prev = lens.back();
        for (unsigned i = 3 + bits(2); i > 0; --i) lens.push_back(prev);
      } else {
        for (unsigned i = sym == 17 ? 3 + bits(3) : 11 + bits(7); i > 0; --i) lens.push_back(0);
      }
    }
    if (bad_ || lens.size() != hlit + hdist) return false;
    lit = Code(std::vector<uint8_t>(lens.begin(), lens.begin() + hlit));
    dist = Code(std::vector<uint8_t>(lens.begin() + hlit, lens.end()));
    return true;
  }

  const std::vector<uint8_t>& data_;
  size_t pos_ = 0;    // bit position
  bool bad_ = false;  // ran past the end
};

inline ParsedStream parseStream(const std::vector<uint8_t>& data) { return StreamParser(data).parse(); }

// ---- Reference matcher ----

// One block as the design's flush rule cuts it.
struct ReferenceBlock {
  uint64_t offset = 0;  // input offset of its first byte
  uint64_t length = 0;  // input bytes covered
  std::vector<Symbol> symbols;
};

// The symbols and block boundaries of the design's greedy matcher, written
// as the design reads, one byte at a time: window of 65,536 bytes filled
// 32,768 first and then up to the end, slide at 65,274, rolling hash with
// shift 5, chains tried with the two quick tests and then byte by byte.
// A match is measured up to the end of the input, and the bytes after the
// end read as zero, as in the engine.
inline std::vector<ReferenceBlock> referenceBlocks(const std::vector<uint8_t>& data, int mode) {
  unsigned chainLength = 128, stopAt = 64, insertLimit = 128;
  bool farRule = false;
  if (mode == 1) {
    chainLength = 4;
    stopAt = 8;
    insertLimit = 8;
  } else if (mode == 2) {
    chainLength = 4096;
    stopAt = 258;
    insertLimit = 258;
    farRule = true;
  }
  std::vector<uint8_t> window(65536 + 512, 0);
  std::vector<uint16_t> head(32768, 0), prev(32768, 0);
  size_t readPos = 0;
  bool eof = false;
  unsigned strstart = 0, lookahead = 0;
  long blockStart = 0;
  uint64_t blockOffset = 0;
  auto readSome = [&](unsigned at, unsigned n) {
    const size_t take = std::min<size_t>(n, data.size() - readPos);
    if (take == 0) {
      eof = true;
      for (unsigned i = 0; i < 260 && at + i < window.size(); ++i) window[at + i] = 0;
      return;
    }
    std::memcpy(&window[at], &data[readPos], take);
    readPos += take;
    lookahead += static_cast<unsigned>(take);
  };
  auto fill = [&] {
    unsigned more = 65536 - lookahead - strstart;
    if (strstart >= 65274) {
      std::memcpy(&window[0], &window[32768], 32768);
      strstart -= 32768;
      blockStart -= 32768;
      for (uint16_t& h : head) h = h >= 32768 ? static_cast<uint16_t>(h - 32768) : 0;
      for (uint16_t& h : prev) h = h >= 32768 ? static_cast<uint16_t>(h - 32768) : 0;
      more += 32768;
    }
    readSome(strstart + lookahead, more);
  };

  std::vector<ReferenceBlock> blocks(1);
  unsigned symbols = 0, matches = 0;
  uint32_t distFreq[30] = {};
  auto distCode = [](unsigned d) {
    static const unsigned base[] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                    33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    unsigned c = 0;
    while (c < 29 && base[c + 1] <= d) ++c;
    return c;
  };
  auto closeBlock = [&] {
    blocks.back().offset = blockOffset;
    blocks.back().length = static_cast<uint64_t>(static_cast<long>(strstart) - blockStart);
    blockOffset += blocks.back().length;
    blockStart = strstart;
    blocks.emplace_back();
    symbols = matches = 0;
    std::fill(std::begin(distFreq), std::end(distFreq), 0u);
  };
  auto wantsClose = [&](uint64_t covered) {
    if (symbols == 40959 || matches == 40960) return true;
    if (symbols % 4096 != 0) return false;
    uint64_t est = uint64_t{symbols} * 8;
    static const unsigned extra[] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                     6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
    for (int d = 0; d < 30; ++d) est += uint64_t{distFreq[d]} * (5 + extra[d]);
    est >>= 3;
    return matches < symbols / 2 && est < covered / 2;
  };

  readSome(0, 32768);
  unsigned insH = (static_cast<unsigned>(window[0]) << 5 ^ window[1]) & 0x7FFF;
  while (lookahead < 262 && !eof) fill();
  while (lookahead != 0) {
    insH = ((insH << 5) ^ window[strstart + 2]) & 0x7FFF;
    const unsigned hashHead = head[insH];
    prev[strstart & 0x7FFF] = static_cast<uint16_t>(hashHead);
    head[insH] = static_cast<uint16_t>(strstart);
    unsigned length = 0, matchStart = 0;
    if (hashHead != 0 && strstart - hashHead <= 32506) {
      const unsigned cap = std::min(258u, lookahead);
      const unsigned limit = strstart > 32506 ? strstart - 32506 : 0;
      unsigned best = 2, chain = chainLength, cur = hashHead;
      const uint8_t* scan = &window[strstart];
      do {
        if (best >= cap) break;
        const uint8_t* m = &window[cur];
        if (m[best] != scan[best] || m[best - 1] != scan[best - 1] || m[0] != scan[0] || m[1] != scan[1]) continue;
        unsigned len = 2;
        while (len < cap && m[len] == scan[len]) ++len;
        if (len > best) {
          best = len;
          matchStart = cur;
          if (len >= stopAt) break;
        }
      } while ((cur = prev[cur & 0x7FFF]) > limit && --chain != 0);
      length = std::min(best, lookahead);
      if (farRule && length == 3 && strstart - matchStart > 4096) length = 2;
    }
    Symbol sym;
    if (length >= 3) {
      sym.length = static_cast<uint16_t>(length);
      sym.distance = static_cast<uint16_t>(strstart - matchStart);
      ++matches;
      ++distFreq[distCode(sym.distance)];
      lookahead -= length;
      if (length <= insertLimit) {
        for (unsigned i = 1; i < length; ++i) {
          ++strstart;
          insH = ((insH << 5) ^ window[strstart + 2]) & 0x7FFF;
          prev[strstart & 0x7FFF] = head[insH];
          head[insH] = static_cast<uint16_t>(strstart);
        }
        ++strstart;
      } else {
        strstart += length;
        insH = (static_cast<unsigned>(window[strstart]) << 5 ^ window[strstart + 1]) & 0x7FFF;
      }
    } else {
      sym.literal = window[strstart];
      --lookahead;
      ++strstart;
    }
    blocks.back().symbols.push_back(sym);
    ++symbols;
    if (wantsClose(static_cast<uint64_t>(static_cast<long>(strstart) - blockStart))) closeBlock();
    while (lookahead < 262 && !eof) fill();
  }
  closeBlock();
  blocks.pop_back();
  return blocks;
}

}  // namespace vz::test::deflate_util
