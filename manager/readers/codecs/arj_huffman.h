// The canonical prefix codes of ARJ's methods 1 to 3, from a table of code
// lengths (1..16 bits, 0 = symbol unused).
//
// Codes are assigned as usual: shorter codes first, and within one length in
// the order of the symbols, each code the next binary number. The lengths
// must make a complete code (the Kraft sum exactly 1): the format's own
// writer never sends anything else, and a table with a gap or an overlap is
// a damaged stream. A table may instead name a single symbol that every
// lookup gives without consuming a bit (single()).
//
// Decoding: the first `bits` bits of the stream index a direct table; an
// entry holds the symbol and its length, or 0 for a code longer than the
// table, which decode() then finishes one length at a time from the
// per-length first codes (longer codes are rare: they belong to rare
// symbols).
#pragma once

#include <cstdint>

#include "manager/readers/codecs/arj_bits.h"

namespace vz::readers::codecs {

class ArjHuffman {
 public:
  static constexpr unsigned kMaxLength = 16;
  static constexpr unsigned kMaxSymbols = 512;
  static constexpr unsigned kMaxTableBits = 12;

  // Builds the code of n (<= kMaxSymbols) symbols from their lengths, with a
  // direct table of tableBits (<= kMaxTableBits). False when the lengths do
  // not make a complete code.
  [[nodiscard]] bool build(const uint8_t* lengths, unsigned n, unsigned tableBits);
  // A code of one symbol, zero bits long.
  void setSingle(uint16_t symbol);

  // The next symbol; needs at least 16 bits held (bits.fill()).
  uint16_t decode(MsbBitReader& bits) const {
    if (single_) return singleSymbol_;
    const uint16_t e = fast_[bits.peek(tableBits_)];
    if (e & 0x1F) {
      bits.drop(e & 0x1F);
      return static_cast<uint16_t>(e >> 5);
    }
    return decodeLong(bits);
  }

 private:
  uint16_t decodeLong(MsbBitReader& bits) const;

  bool single_ = false;                      // every lookup gives singleSymbol_
  uint16_t singleSymbol_ = 0;                // the one symbol of a single code
  unsigned tableBits_ = 0;                   // width of the direct table
  uint16_t fast_[1u << kMaxTableBits] = {};  // symbol << 5 | length, 0 for longer codes
  uint16_t first_[kMaxLength + 1] = {};      // first code of each length
  uint16_t count_[kMaxLength + 1] = {};      // codes of each length
  uint16_t index_[kMaxLength + 1] = {};      // where each length's symbols start in sorted_
  uint16_t sorted_[kMaxSymbols] = {};        // symbols by length, then by value
};

}  // namespace vz::readers::codecs
