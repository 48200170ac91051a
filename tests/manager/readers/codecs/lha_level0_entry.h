// Test helper: one LHA level-0 entry (header and data) of the given method,
// for streams that no installed program writes. The header carries a DOS
// time in 2025, attribute 20 hex, the original's CRC-16 and a right
// checksum; an archive is such entries followed by a 0 byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "manager/readers/codecs/lh_crc16.h"

namespace vz::test {

inline void appendLhaLevel0Entry(std::vector<uint8_t>& archive, const char* method, const std::string& name,
                                 const std::vector<uint8_t>& packed, const std::vector<uint8_t>& original) {
  std::vector<uint8_t> h(method, method + 5);
  auto le = [&](uint64_t v, int n) {
    for (int i = 0; i < n; ++i) h.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  le(packed.size(), 4), le(original.size(), 4), le(0x5a210000, 4);
  h.push_back(0x20), h.push_back(0), h.push_back(static_cast<uint8_t>(name.size()));
  h.insert(h.end(), name.begin(), name.end());
  le(readers::codecs::lhCrc16(0, original.data(), original.size()), 2);
  uint8_t sum = 0;
  for (uint8_t b : h) sum = static_cast<uint8_t>(sum + b);
  archive.push_back(static_cast<uint8_t>(h.size())), archive.push_back(sum);
  archive.insert(archive.end(), h.begin(), h.end());
  archive.insert(archive.end(), packed.begin(), packed.end());
}

}  // namespace vz::test
