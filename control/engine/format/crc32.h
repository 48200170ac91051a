// The ZIP CRC-32: reflected polynomial 0xEDB88320, register preset to all
// ones, result complemented. Fast path: slicing-by-8 (see crc32.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vz::engine {

// Continues a CRC over more data. crc is the finished CRC of the data so far
// (0 for none), so crc32Update(crc32Update(0, a), b) == CRC of a then b.
uint32_t crc32Update(uint32_t crc, const void* data, size_t size);
inline uint32_t crc32Update(uint32_t crc, std::span<const uint8_t> data) {
  return crc32Update(crc, data.data(), data.size());
}
inline uint32_t crc32(std::span<const uint8_t> data) { return crc32Update(0, data.data(), data.size()); }

// The 256-entry table of the byte-at-a-time CRC (entry i is the CRC
// register after shifting the byte i through it).
const uint32_t* crc32Table();

// One byte through a raw CRC register (no presetting or complementing), as
// the traditional encryption's key update uses it.
inline uint32_t crc32Step(uint32_t reg, uint8_t byte) { return crc32Table()[(reg ^ byte) & 0xFF] ^ (reg >> 8); }

}  // namespace vz::engine
