// The CRC-16 of LHA and ZOO entries: polynomial 8005 taken bit-reversed
// (A001), starting from 0, no final inversion, bytes least significant bit
// first.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vz::readers::codecs {

// The CRC-16 of count bytes continued from crc (0 to start).
uint16_t lhCrc16(uint16_t crc, const uint8_t* data, size_t count);

}  // namespace vz::readers::codecs
