// What the ARJ decoders share: their result enum and the most-significant-
// bit-first reader over a DecodeInput.
//
// ARJ's compressed methods read bits from the top of each byte down, the
// first byte's top bit first. The reader keeps up to 64 bits left-aligned in
// one word and tops it up a byte at a time whenever it holds 32 bits or
// fewer, so every peek of up to 32 bits is a shift. Past the end of the
// entry's compressed bytes it appends zero bytes and counts them as virtual
// bits: looking ahead past the end is harmless (a table lookup peeks 16 bits
// even for the last short code), consuming a virtual bit is not, and
// intact() turns false from then on. The decoders check intact() for every
// symbol they act on, so a stream cut short ends in BadData, never in a run
// over zeros.
#pragma once

#include <cstdint>

#include "control/engine/decode/decode_io.h"

namespace vz::readers::codecs {

enum class ArjStatus : uint8_t {
  Ok = 0,
  BadTable,           // a code-length table that is not a complete prefix code, or out of range
  BadData,            // a distance before the first byte or past the window, or input that ended early
  NoMemory,           // the window could not be allocated
  OutputStopped,      // the output refused bytes (past its limit, or the sink failed)
  Cancelled,          // the cancel hook asked to stop
  UnsupportedMethod,  // a method other than 0 to 4
};

class MsbBitReader {
 public:
  explicit MsbBitReader(engine::DecodeInput& input) : in_(input) { fill(); }

  // Tops the word up so that it holds more than 32 bits.
  void fill() {
    while (count_ <= 56) {
      if (next_ == end_ && !reload()) {
        virtualBits_ += 8;  // a zero byte past the end: nothing to OR in
      } else {
        word_ |= static_cast<uint64_t>(*next_++) << (56 - count_);
      }
      count_ += 8;
    }
  }
  // The next n (1..32) bits, without consuming them; needs fill() since the
  // last drops took more than count - n bits.
  uint32_t peek(unsigned n) const { return static_cast<uint32_t>(word_ >> (64 - n)); }
  void drop(unsigned n) {
    word_ <<= n;
    count_ -= n;
  }
  // Reads n (0..16) bits.
  uint32_t take(unsigned n) {
    if (n == 0) return 0;
    if (count_ < 32) fill();
    const uint32_t v = peek(n);
    drop(n);
    return v;
  }
  // Bits held before the next fill.
  unsigned held() const { return count_; }
  // True while no bit past the end of the input has been consumed.
  bool intact() const { return count_ >= virtualBits_; }

 private:
  bool reload() {
    in_.consume(in_.available());
    if (!in_.refill()) return false;
    next_ = in_.data();
    end_ = next_ + in_.available();
    return next_ != end_;
  }

  engine::DecodeInput& in_;
  const uint8_t* next_ = nullptr;  // next unread byte of the input's current span
  const uint8_t* end_ = nullptr;   // end of that span
  uint64_t word_ = 0;              // the bits held, left-aligned
  unsigned count_ = 0;             // number of bits held
  unsigned virtualBits_ = 0;       // zero bits appended past the input's end (at most 64 held)
};

}  // namespace vz::readers::codecs
