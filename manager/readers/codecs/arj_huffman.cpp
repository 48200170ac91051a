// ARJ's canonical prefix codes (see arj_huffman.h).
#include "manager/readers/codecs/arj_huffman.h"

#include <cstring>

namespace vz::readers::codecs {

bool ArjHuffman::build(const uint8_t* lengths, unsigned n, unsigned tableBits) {
  single_ = false;
  tableBits_ = tableBits;
  std::memset(count_, 0, sizeof count_);
  for (unsigned s = 0; s < n; ++s) {
    if (lengths[s] > kMaxLength) return false;
    ++count_[lengths[s]];
  }
  count_[0] = 0;
  // Kraft sum in units of 2^-16: a complete code fills exactly 2^16.
  uint32_t room = 0;
  for (unsigned len = 1; len <= kMaxLength; ++len) room += static_cast<uint32_t>(count_[len]) << (kMaxLength - len);
  if (room != (1u << kMaxLength)) return false;
  uint16_t code = 0, index = 0;
  for (unsigned len = 1; len <= kMaxLength; ++len) {
    first_[len] = code;
    index_[len] = index;
    code = static_cast<uint16_t>((code + count_[len]) << 1);
    index = static_cast<uint16_t>(index + count_[len]);
  }
  uint16_t next[kMaxLength + 1];
  std::memcpy(next, index_, sizeof next);
  for (unsigned s = 0; s < n; ++s)
    if (lengths[s]) sorted_[next[lengths[s]]++] = static_cast<uint16_t>(s);
  std::memset(fast_, 0, sizeof(fast_[0]) << tableBits);
  // Codes that fit the direct table fill every entry they prefix.
  for (unsigned len = 1; len <= tableBits; ++len) {
    for (unsigned k = 0; k < count_[len]; ++k) {
      const uint16_t sym = sorted_[index_[len] + k];
      const unsigned c = static_cast<unsigned>(first_[len] + k) << (tableBits - len);
      const uint16_t e = static_cast<uint16_t>(sym << 5 | len);
      for (unsigned j = 0; j < (1u << (tableBits - len)); ++j) fast_[c + j] = e;
    }
  }
  return true;
}

void ArjHuffman::setSingle(uint16_t symbol) {
  single_ = true;
  singleSymbol_ = symbol;
}

uint16_t ArjHuffman::decodeLong(MsbBitReader& bits) const {
  const uint32_t v = bits.peek(kMaxLength);
  for (unsigned len = tableBits_ + 1; len <= kMaxLength; ++len) {
    const uint32_t code = v >> (kMaxLength - len);
    if (code - first_[len] < count_[len]) {
      bits.drop(len);
      return sorted_[index_[len] + code - first_[len]];
    }
  }
  // Not reached with a complete code: every 16-bit prefix belongs to a code.
  bits.drop(kMaxLength);
  return 0;
}

}  // namespace vz::readers::codecs
