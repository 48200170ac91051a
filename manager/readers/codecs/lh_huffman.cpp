// The LHA-family canonical Huffman tables (see lh_huffman.h).
#include "manager/readers/codecs/lh_huffman.h"

namespace vz::readers::codecs {

bool LhHuffman::build(const uint8_t* lengths, int n, int tableBits) {
  singleSymbol_ = -1;
  tableBits_ = tableBits;
  for (int l = 0; l <= kMaxLength + 1; ++l) count_[l] = 0;
  for (int i = 0; i < n; ++i) {
    if (lengths[i] > kMaxLength) return false;
    ++count_[lengths[i]];
  }
  count_[0] = 0;
  // Kraft: the code must fill the space exactly.
  int64_t left = 1;
  for (int l = 1; l <= kMaxLength; ++l) {
    left = (left << 1) - count_[l];
    if (left < 0) return false;
  }
  if (left != 0) return false;
  uint32_t code = 0;
  uint16_t at = 0;
  for (int l = 1; l <= kMaxLength; ++l) {
    code = (code + count_[l - 1]) << 1;
    first_[l] = code;
    offset_[l] = at;
    at = static_cast<uint16_t>(at + count_[l]);
  }
  sorted_.assign(at, 0);
  uint16_t fillAt[kMaxLength + 1];
  for (int l = 1; l <= kMaxLength; ++l) fillAt[l] = offset_[l];
  for (int i = 0; i < n; ++i)
    if (lengths[i] != 0) sorted_[fillAt[lengths[i]]++] = static_cast<uint16_t>(i);
  table_.assign(size_t{1} << tableBits, 0xFF);
  for (int l = 1; l <= kMaxLength; ++l) {
    for (uint32_t k = 0; k < count_[l]; ++k) {
      const uint32_t c = first_[l] + k;
      const uint32_t sym = sorted_[offset_[l] + k];
      if (l <= tableBits) {
        const uint32_t from = c << (tableBits - l), to = (c + 1) << (tableBits - l);
        for (uint32_t j = from; j < to; ++j) table_[j] = sym << 8 | static_cast<uint32_t>(l);
      }
    }
  }
  return true;
}

void LhHuffman::single(int symbol) { singleSymbol_ = symbol; }

int LhHuffman::decodeLong(LhBits& bits) const {
  const uint32_t v = bits.peek(kMaxLength);
  for (int l = tableBits_ + 1; l <= kMaxLength; ++l) {
    const uint32_t c = v >> (kMaxLength - l);
    if (c - first_[l] < count_[l]) {
      bits.skip(l);
      return sorted_[offset_[l] + (c - first_[l])];
    }
  }
  return 0;  // unreachable for a complete code
}

}  // namespace vz::readers::codecs
