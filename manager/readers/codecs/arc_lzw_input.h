// The input of ARC methods 8 and 9 as a compress (.Z) stream: the three
// header bytes of a block-mode stream of the method's widest code, then
// the entry's codes, so that both methods decode through the compress LZW
// (lzw_compress.h), whose codes, widths, CLEAR and group padding they share.
#pragma once

#include <cstdint>

#include "control/engine/decode/decode_io.h"

namespace vz::readers::codecs {

class LzwHeaderInput final : public engine::DecodeInput {
 public:
  // codes: the entry's input, positioned at its first code.
  LzwHeaderInput(engine::DecodeInput& codes, unsigned widest)
      : DecodeInput(3 + codes.available() + codes.remaining()),
        codes_(codes),
        header_{0x1F, 0x9D, static_cast<uint8_t>(0x80 | widest)} {}

 protected:
  size_t fetch(const uint8_t** data, size_t maxBytes) override;

 private:
  engine::DecodeInput& codes_;  // the entry's codes
  uint8_t header_[3];           // the compress header handed out first
  bool headerGiven_ = false;    // header_ went out
};

}  // namespace vz::readers::codecs
