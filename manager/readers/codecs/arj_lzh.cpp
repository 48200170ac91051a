// ARJ methods 1 to 3 (see arj_lzh.h).
//
// Entry assumptions of the symbol loop: the bit word holds at least 32 bits
// at the top of each iteration (one fill per symbol covers a 16-bit code, a
// 16-bit distance code and 15 extra bits: 47 bits at most, so a second fill
// comes between the code and its distance); the window's write position has
// room for a whole match before its end or the match takes the careful copy.
#include "manager/readers/codecs/arj_lzh.h"

#include <cstring>
#include <memory>

#include "control/engine/decode/decode_window.h"
#include "manager/readers/codecs/arj_huffman.h"

namespace vz::readers::codecs {

namespace {

using engine::DecodeWindow;

constexpr unsigned kNC = 510;         // main symbols: 256 literals, 254 match lengths
constexpr unsigned kNT = 19;          // length-code symbols of the C table
constexpr unsigned kNP = 17;          // distance classes
constexpr unsigned kMatchBase = 253;  // main symbol - kMatchBase = match length
constexpr unsigned kMaxMatch = 256;

struct Tables {
  ArjHuffman t, c, p;
  uint8_t tLen[kNT] = {};
  uint8_t cLen[kNC] = {};
  uint8_t pLen[kNP] = {};
};

// T or P table: see the header. special: the T table's position of the
// zero-run count (3), or 0 for none.
bool readPt(MsbBitReader& bits, ArjHuffman& code, uint8_t* len, unsigned nn, unsigned nbit, unsigned special) {
  const unsigned n = bits.take(nbit);
  if (n == 0) {
    const unsigned sym = bits.take(nbit);
    if (sym >= nn) return false;
    std::memset(len, 0, nn);
    code.setSingle(static_cast<uint16_t>(sym));
    return bits.intact();
  }
  if (n > nn) return false;
  unsigned i = 0;
  while (i < n) {
    bits.fill();
    unsigned c = bits.peek(3);
    if (c == 7) {
      // Unary continuation: count the 1 bits after the first three.
      uint32_t v = bits.peek(32) << 3;
      while (v & 0x80000000u) {
        ++c;
        v <<= 1;
        if (c > ArjHuffman::kMaxLength) return false;
      }
      bits.drop(3 + (c - 7) + 1);
    } else {
      bits.drop(3);
    }
    len[i++] = static_cast<uint8_t>(c);
    if (i == special) {
      unsigned zeros = bits.take(2);
      if (i + zeros > nn) return false;
      while (zeros-- > 0) len[i++] = 0;
    }
  }
  while (i < nn) len[i++] = 0;
  return bits.intact() && code.build(len, nn, 8);
}

bool readC(MsbBitReader& bits, Tables& tb) {
  const unsigned n = bits.take(9);
  if (n == 0) {
    const unsigned sym = bits.take(9);
    if (sym >= kNC) return false;
    std::memset(tb.cLen, 0, kNC);
    tb.c.setSingle(static_cast<uint16_t>(sym));
    return bits.intact();
  }
  if (n > kNC) return false;
  unsigned i = 0;
  while (i < n) {
    bits.fill();
    const unsigned c = tb.t.decode(bits);
    if (c <= 2) {
      unsigned zeros = c == 0 ? 1 : c == 1 ? bits.take(4) + 3 : bits.take(9) + 20;
      if (i + zeros > n) return false;
      while (zeros-- > 0) tb.cLen[i++] = 0;
    } else {
      tb.cLen[i++] = static_cast<uint8_t>(c - 2);
    }
    if (!bits.intact()) return false;
  }
  while (i < kNC) tb.cLen[i++] = 0;
  return tb.c.build(tb.cLen, kNC, 12);
}

ArjStatus fromWindow(DecodeWindow& w) {
  return w.stopStatus() == engine::DecodeStatus::Cancelled ? ArjStatus::Cancelled : ArjStatus::OutputStopped;
}

ArjStatus closeWith(DecodeWindow& w, ArjStatus status) {
  const engine::DecodeStatus s =
      w.close(status == ArjStatus::Ok ? engine::DecodeStatus::Ok : engine::DecodeStatus::BadData);
  if (status != ArjStatus::Ok) return status;
  return s == engine::DecodeStatus::Ok ? ArjStatus::Ok : fromWindow(w);
}

}  // namespace

ArjStatus decodeArjLzh(engine::DecodeInput& input, engine::DecodeOutput& output, uint64_t originalSize,
                       const engine::DecodeHooks* hooks) {
  DecodeWindow w(output, hooks, true);
  if (!w.valid()) return ArjStatus::NoMemory;
  std::unique_ptr<Tables> tb(new (std::nothrow) Tables);
  if (!tb) return ArjStatus::NoMemory;
  MsbBitReader bits(input);
  uint8_t* const buf = w.buffer();
  uint64_t left = originalSize;  // bytes still to decode
  uint32_t blockLeft = 0;        // symbols left in the current block
  while (left > 0) {
    if (blockLeft == 0) {
      blockLeft = bits.take(16);
      if (blockLeft == 0) blockLeft = 65536;
      if (!readPt(bits, tb->t, tb->tLen, kNT, 5, 3) || !readC(bits, *tb) || !readPt(bits, tb->p, tb->pLen, kNP, 5, 0))
        return closeWith(w, bits.intact() ? ArjStatus::BadTable : ArjStatus::BadData);
    }
    --blockLeft;
    bits.fill();
    const unsigned c = tb->c.decode(bits);
    if (c < 256) {
      if (!bits.intact()) return closeWith(w, ArjStatus::BadData);
      if (!w.put(static_cast<uint8_t>(c))) return fromWindow(w);
      --left;
      continue;
    }
    const unsigned length = c - kMatchBase;
    bits.fill();
    const unsigned j = tb->p.decode(bits);
    uint32_t dist = j == 0 ? 0 : (1u << (j - 1)) + bits.take(j - 1);
    ++dist;
    if (!bits.intact() || dist > kArjWindow || dist > w.produced()) return closeWith(w, ArjStatus::BadData);
    // The last match is cut at the original size, as the format's reader does.
    const size_t n = left < length ? static_cast<size_t>(left) : length;
    const size_t pos = w.pos();
    if (pos + kMaxMatch < w.windowEnd()) {
      uint8_t* dst = buf + pos;
      const uint8_t* src = dst - dist;
      if (dist >= n) {
        std::memcpy(dst, src, n);
      } else {
        for (size_t k = 0; k < n; ++k) dst[k] = src[k];
      }
      w.setPos(pos + n);
    } else if (!w.copyMatch(dist, n)) {
      return fromWindow(w);
    }
    left -= n;
  }
  return closeWith(w, ArjStatus::Ok);
}

}  // namespace vz::readers::codecs
