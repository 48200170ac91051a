// arcCrc16 (see arc_crc16.h): one table of the 256 byte steps.
#include "manager/readers/codecs/arc_crc16.h"

#include <array>

namespace vz::readers::codecs {

namespace {

constexpr std::array<uint16_t, 256> makeTable() {
  std::array<uint16_t, 256> t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xA001 : c >> 1;
    t[i] = static_cast<uint16_t>(c);
  }
  return t;
}
constexpr std::array<uint16_t, 256> kTable = makeTable();

}  // namespace

uint16_t arcCrc16(uint16_t crc, const uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i) crc = static_cast<uint16_t>((crc >> 8) ^ kTable[(crc ^ data[i]) & 0xFF]);
  return crc;
}

bool ArcCrcOutput::write(const uint8_t* data, size_t count) {
  // Only the bytes the output takes count (up to its limit).
  const uint64_t before = out_.total();
  const bool ok = out_.flush(data, count);
  crc_ = arcCrc16(crc_, data, static_cast<size_t>(out_.total() - before));
  return ok;
}

}  // namespace vz::readers::codecs
