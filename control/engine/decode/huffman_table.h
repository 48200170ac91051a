// Two-level decoding tables for prefix codes given by their code lengths
// (deflate's Huffman codes and implode's Shannon-Fano trees).
//
// A code of n symbols is described by one length per symbol (0: unused, 1 to
// 16 bits). Codes are canonical: shorter codes come first and, within one
// length, codes increase with the symbol. The stream sends each code's bits
// most significant first while the bit reader delivers bits least
// significant first, so a table is indexed by the bit-reversed code.
//
// The first-level table has 2^rootBits entries. A code no longer than
// rootBits fills every slot whose low bits equal it; a longer code goes to a
// sub-table found through the slot of its first rootBits bits, sized for the
// longest code sharing that prefix. All tables of one code live in one
// vector, so clearing (or destroying) the HuffmanTable frees them at once.
//
// Entry (4 bytes): bits, op, value.
//   op 16      literal: value is the symbol (a byte for deflate's literals)
//   op 15      end of block (symbol 256 of deflate's literal/length code)
//   op 0..14   a base value with op extra bits to read after the code
//              (deflate's lengths and distances)
//   op 17..32  a sub-table follows: index it with (op - 16) further bits; its
//              first entry is at index value
//   op 99      invalid code (no symbol, or a symbol whose extra-bits entry is 99)
// bits is the number of bits the entry's code takes at its level (rootBits
// for a sub-table link, the code's length minus rootBits inside a sub-table).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vz::engine {

struct HuffmanEntry {
  uint8_t bits;    // bits of the code consumed at this level
  uint8_t op;      // see above
  uint16_t value;  // symbol, base value, or index of the sub-table
};

inline constexpr uint8_t kOpEndOfBlock = 15;
inline constexpr uint8_t kOpLiteral = 16;
inline constexpr uint8_t kOpInvalid = 99;
inline constexpr unsigned kMaxCodeLength = 16;
inline constexpr unsigned kMaxSymbols = 288;  // largest alphabet (deflate's fixed literal/length code)

// Results of the builder; the numbers are the decoder statuses they become.
enum class HuffmanStatus : uint8_t {
  Ok = 0,
  Incomplete = 1,      // some bit pattern has no code; the table is still built
  OverSubscribed = 2,  // more codes than the lengths allow; no table
  NoMemory = 3,        // allocation failed; no table
};

class HuffmanTable {
 public:
  // First-level bits actually used (the requested width clamped to the
  // range of the code's lengths); 0 for a code without symbols.
  unsigned rootBits() const { return rootBits_; }
  const HuffmanEntry* entries() const { return entries_.data(); }
  size_t size() const { return entries_.size(); }
  // True for a code without symbols: its one entry is invalid.
  bool empty() const { return empty_; }
  // Frees every table of the code.
  void clear();

 private:
  friend HuffmanStatus buildHuffmanTable(const uint8_t* lengths, unsigned n, unsigned plainSymbols,
                                         const uint16_t* base, const uint8_t* extra, unsigned requestedRootBits,
                                         HuffmanTable& table);
  std::vector<HuffmanEntry> entries_;  // first-level table, then the sub-tables
  unsigned rootBits_ = 0;              // first-level index width
  bool empty_ = true;                  // no symbol has a length
};

// Builds the tables of the code with the given lengths (n symbols, at most
// kMaxSymbols, each length at most 16; more is refused as OverSubscribed). Symbols below plainSymbols become op 16 with the
// symbol as value, except symbol 256 (when below plainSymbols), which becomes
// end of block; symbol s from plainSymbols on takes op extra[s - plainSymbols]
// and value base[s - plainSymbols] (base and extra may be null when every
// symbol is plain). requestedRootBits is clamped to [shortest, longest] used
// length.
//
// All lengths zero: an empty table and Ok. Over-subscribed: OverSubscribed
// and no table. Not every slot reachable: Incomplete together with the
// table, except that a code of one symbol of length 1 counts as complete.
HuffmanStatus buildHuffmanTable(const uint8_t* lengths, unsigned n, unsigned plainSymbols, const uint16_t* base,
                                const uint8_t* extra, unsigned requestedRootBits, HuffmanTable& table);

}  // namespace vz::engine
