// Least-significant-bit-first reader over a DecodeInput, shared by the
// decoders' careful paths (inflate's slow path and block headers, and the
// legacy methods).
//
// Bits are consumed least significant first: needing n bits fetches whole
// bytes and ORs each one in above the bits already held; dropping n bits
// shifts the buffer right. When the input has ended (the remaining compressed
// count reached zero) need() appends zero bytes instead and counts them as
// virtual bits. Looking ahead past the end is therefore harmless, as a
// table lookup must (the code at the very end of a stream is usually shorter
// than the lookup width); consuming a virtual bit is not, and intact() turns
// false from then on. A decoder checks intact() before it acts on what it
// decoded and ends with BadData if it is false.
//
// Inflate's fast loop works on copies of buf and count and loads 8 bytes at a
// time; the bits it loads above count are always the input's next bytes, so
// a later need() ORs identical bits over them (see inflate.cpp).
#pragma once

#include <cstdint>

#include "control/engine/decode/decode_io.h"

namespace vz::engine {

struct BitReader {
  explicit BitReader(DecodeInput& input) : in(input) {}

  // Holds at least n (at most 32) bits afterwards.
  void need(unsigned n) {
    while (count < n) {
      if (in.available() == 0 && !in.refill()) {
        virtualBits += 8;  // zero bits past the end of the input
      } else {
        buf |= static_cast<uint64_t>(*in.data()) << count;
        in.consume(1);
      }
      count += 8;
    }
  }
  // The low n (at most 32) bits held.
  uint32_t peek(unsigned n) const { return static_cast<uint32_t>(buf & ((uint64_t{1} << n) - 1)); }
  void drop(unsigned n) {
    buf >>= n;
    count -= n;
  }
  // True while no bit past the end of the input has been consumed.
  bool intact() const { return count >= virtualBits; }
  // Bits held that came from the input.
  unsigned realBits() const { return count - virtualBits; }
  // Reads n bits into v; false when they ran past the end of the input.
  bool take(unsigned n, uint32_t& v) {
    need(n);
    v = peek(n);
    drop(n);
    return intact();
  }
  // Drops the bits up to the next byte boundary (virtual bits come in whole bytes).
  void alignToByte() { drop(count & 7); }

  DecodeInput& in;           // the compressed bytes
  uint64_t buf = 0;          // bits held, next bit in bit 0
  unsigned count = 0;        // number of bits held (the top virtualBits of them are virtual)
  unsigned virtualBits = 0;  // zero bits appended after the input ended
};

}  // namespace vz::engine
