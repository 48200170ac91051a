// The CRC-16 of ARC and PAK entries: polynomial 0x8005 taken bit-reversed
// (0xA001), the low bit first, starting from 0, nothing inverted.
#pragma once

#include <cstddef>
#include <cstdint>

#include "control/engine/decode/decode_io.h"

namespace vz::readers::codecs {

// The CRC of data continued from crc.
uint16_t arcCrc16(uint16_t crc, const uint8_t* data, size_t size);

// An output that keeps the CRC-16 and the count of the bytes it passes on
// to another output (its limit is checked there).
class ArcCrcOutput final : public engine::DecodeOutput {
 public:
  explicit ArcCrcOutput(engine::DecodeOutput& out) : out_(out) {}
  uint16_t crc() const { return crc_; }

 protected:
  bool write(const uint8_t* data, size_t count) override;

 private:
  engine::DecodeOutput& out_;  // where the bytes go
  uint16_t crc_ = 0;           // CRC of the bytes passed on
};

}  // namespace vz::readers::codecs
