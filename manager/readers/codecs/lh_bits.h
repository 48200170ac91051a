// The bit reader of the LHA-family decoders (lh1 to lhx, lzs, PMarc and
// ZOO's method 2): bits are taken most significant first, as the encoders
// of this family pack them.
//
// The reader keeps up to 64 bits, left-aligned, in one word and refills it
// a byte at a time from the DecodeInput's current span. Once the input has
// ended it appends zero bits, so that a decoder may always peek 32 bits
// ahead of what it consumes (the table lookups look past the last code);
// consuming any of those padding bits marks the stream as having run past
// its end (pastEnd()), which the decoders report as BadData.
#pragma once

#include <cstdint>

#include "control/engine/decode/decode_io.h"

namespace vz::readers::codecs {

class LhBits {
 public:
  explicit LhBits(engine::DecodeInput& in) : in_(in) {}

  // The next n (1..32) bits, not consumed.
  uint32_t peek(int n) {
    if (count_ < n) fill();
    return static_cast<uint32_t>(buf_ >> (64 - n));
  }
  // Consumes n (0..32) bits that peek() made present.
  void skip(int n) {
    if (count_ < n) fill();
    buf_ <<= n;
    count_ -= n;
    if (count_ < pad_) pastEnd_ = true;
  }
  // Takes n (0..32) bits.
  uint32_t get(int n) {
    if (n == 0) return 0;
    const uint32_t v = peek(n);
    skip(n);
    return v;
  }
  // Takes 8 bits aligned or not (the byte-oriented LZSS formats use get(8)).
  uint8_t byte() { return static_cast<uint8_t>(get(8)); }

  // True once a consumed bit lay past the end of the input.
  bool pastEnd() const { return pastEnd_; }
  // True when the source failed while bytes were still due.
  bool failed() const { return in_.failed(); }

 private:
  // Tops the word up to at least 57 bits.
  void fill() {
    while (count_ <= 56) {
      if (in_.available() == 0 && (ended_ || !in_.refill())) {
        ended_ = true;
        count_ += 8;  // zero bits: buf_ already holds zeros below the valid ones
        pad_ += 8;
        continue;
      }
      const uint8_t* p = in_.data();
      const size_t avail = in_.available();
      size_t used = 0;
      while (count_ <= 56 && used < avail) {
        buf_ |= static_cast<uint64_t>(p[used++]) << (56 - count_);
        count_ += 8;
      }
      in_.consume(used);
    }
  }

  engine::DecodeInput& in_;  // the compressed bytes
  uint64_t buf_ = 0;         // the bits not yet consumed, left-aligned
  int count_ = 0;            // valid bits in buf_ (padding included)
  int pad_ = 0;              // of those, the zero bits appended past the input's end (the lowest ones)
  bool ended_ = false;       // the input has no more bytes
  bool pastEnd_ = false;     // a consumed bit was padding
};

}  // namespace vz::readers::codecs
