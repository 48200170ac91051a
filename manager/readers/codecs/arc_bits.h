// Bit input of the ARC and PAK decoders that read codes least significant
// bit first (squeezed, crushed, distilled): bit 0 of each byte comes first,
// and a value of n bits takes its bit 0 first.
#pragma once

#include <cstdint>

#include "control/engine/decode/decode_io.h"

namespace vz::readers::codecs {

class ArcBitReader {
 public:
  explicit ArcBitReader(engine::DecodeInput& in) : in_(in) {}

  // Reads n (0..24) bits; false when the input ends first.
  bool read(unsigned n, uint32_t& value) {
    if (!fill(n)) return false;
    value = static_cast<uint32_t>(buf_ & ((uint64_t{1} << n) - 1));
    buf_ >>= n;
    count_ -= n;
    return true;
  }
  // Reads one bit; false when the input ends.
  bool bit(uint32_t& value) { return read(1, value); }
  // The next up to 24 bits without taking them (zeros past the end of the
  // input), and how many of them are real.
  uint32_t peek(unsigned n, unsigned& real) {
    fill(n);
    real = count_ < n ? count_ : n;
    return static_cast<uint32_t>(buf_ & ((uint64_t{1} << n) - 1));
  }
  // Drops n bits seen by peek() (at most the real ones).
  void drop(unsigned n) {
    buf_ >>= n;
    count_ -= n;
  }
  // Reads a little-endian value of n bytes straight from the input (before
  // any bits were read); false at the end.
  bool bytes(unsigned n, uint32_t& value) { return read(8 * n, value); }

 private:
  bool fill(unsigned n) {
    while (count_ < n) {
      if (in_.available() == 0 && !in_.refill()) return false;
      buf_ |= static_cast<uint64_t>(*in_.data()) << count_;
      in_.consume(1);
      count_ += 8;
    }
    return true;
  }

  engine::DecodeInput& in_;
  uint64_t buf_ = 0;    // bits held, the next one in bit 0
  unsigned count_ = 0;  // number of bits held
};

}  // namespace vz::readers::codecs
