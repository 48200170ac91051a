// The canonical Huffman tables of the LHA-family decoders: codes are
// assigned from the shortest length up and, within a length, in symbol
// order (the rule every encoder of the family follows), at most 16 bits.
//
// A table of 2^tableBits entries resolves every code of up to tableBits
// bits in one lookup; the rare longer codes are resolved from the count of
// codes per length. A table may also stand for one symbol that takes no
// bits at all (the formats' "only one code" escape).
#pragma once

#include <cstdint>
#include <vector>

#include "manager/readers/codecs/lh_bits.h"

namespace vz::readers::codecs {

class LhHuffman {
 public:
  static constexpr int kMaxLength = 16;

  // Builds the table from lengths[0..n) (0 = unused, 1..16). False when the
  // code is over-subscribed, incomplete or empty: the family's decoders
  // refuse such tables.
  bool build(const uint8_t* lengths, int n, int tableBits);
  // Every lookup gives symbol and takes no bits.
  void single(int symbol);

  int decode(LhBits& bits) const {
    if (singleSymbol_ >= 0) return singleSymbol_;
    const uint32_t e = table_[bits.peek(tableBits_)];
    if ((e & 0xFF) != 0xFF) {
      bits.skip(static_cast<int>(e & 0xFF));
      return static_cast<int>(e >> 8);
    }
    return decodeLong(bits);
  }

 private:
  int decodeLong(LhBits& bits) const;

  std::vector<uint32_t> table_;           // symbol << 8 | length; length FF: a code longer than tableBits_
  int tableBits_ = 0;                     // bits resolved by table_
  int singleSymbol_ = -1;                 // >= 0: the table stands for this one symbol
  uint32_t first_[kMaxLength + 2] = {};   // first code of each length
  uint16_t count_[kMaxLength + 2] = {};   // codes of each length
  uint16_t offset_[kMaxLength + 2] = {};  // index in sorted_ of each length's first symbol
  std::vector<uint16_t> sorted_;          // symbols by length, then by value
};

}  // namespace vz::readers::codecs
