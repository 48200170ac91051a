// The LHA/ZOO CRC-16 (see lh_crc16.h), a byte at a time from a table made
// once from the polynomial.
#include "manager/readers/codecs/lh_crc16.h"

#include <array>

namespace vz::readers::codecs {

namespace {

constexpr std::array<uint16_t, 256> makeTable() {
  std::array<uint16_t, 256> t{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xA001 : c >> 1;
    t[i] = static_cast<uint16_t>(c);
  }
  return t;
}

constexpr std::array<uint16_t, 256> kTable = makeTable();

}  // namespace

uint16_t lhCrc16(uint16_t crc, const uint8_t* data, size_t count) {
  for (size_t i = 0; i < count; ++i) crc = static_cast<uint16_t>(kTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8));
  return crc;
}

}  // namespace vz::readers::codecs
