// Decoding tables of the flat inflater (inflate_core.h): one 32-bit entry
// per table slot that tells everything a symbol needs in one lookup.
//
// Both deflate variants share the tables; they differ in two rows. Plain
// deflate (method 8): length symbol 285 is 258 with no extra bits, distance
// symbols 30 and 31 are invalid. Deflate64 (method 9): symbol 285 is 3 plus
// 16 extra bits (3 to 65,538) and distance symbols 30 and 31 take 14 extra
// bits from 32,769 and 49,153 (the farthest reach is 65,536).
//
// A table is indexed by the next rootBits bits of the stream, least
// significant first (codes are sent most significant bit first, so a slot
// index is the bit-reversed code). A code longer than rootBits goes through
// a link entry to a sub-table indexed by the bits that follow.
//
// Entry layout:
//
//   31            16 15 14 13 12 11    8 7          0
//   +---------------+--+--+--+--+-------+------------+
//   |     value     |L |L2|S |T |  len  |  consume   |
//   +---------------+--+--+--+--+-------+------------+
//
//   consume  bits the entry takes from the stream in all: the code, plus a
//            length's or distance's extra bits, plus a second literal's code
//   len      bits of the (first) code alone at this level: the extra bits
//            start above it; a link's sub-table index width
//   L        literal: value's low byte is the byte
//   L2       with L, a second literal follows in the same slot: value's
//            high byte; consume covers both codes, len the first
//   S        special: with T a link (value: index of the sub-table),
//            otherwise end of block (value 1) or an invalid code (value 0)
//   none     a length or a distance: base value + the extra bits
//            ((bits & mask(consume)) >> len)
//
// Literal pairs: a root slot whose literal code leaves room for a whole
// second literal code in the same rootBits gets both, so that text with
// short codes writes two bytes per lookup.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vz::engine::flat {

inline constexpr uint32_t kLiteral = 0x8000;
inline constexpr uint32_t kTwoLiterals = 0x4000;
inline constexpr uint32_t kSpecial = 0x2000;
inline constexpr uint32_t kLink = 0x1000;
inline constexpr uint32_t kEndValue = 1;  // value of the end-of-block entry

inline constexpr unsigned kLitRootBits = 11;  // literal/length first level
inline constexpr unsigned kDistRootBits = 8;  // distance first level
inline constexpr unsigned kCodeLengthRootBits = 7;
inline constexpr unsigned kMaxCodeBits = 15;

// Capacities: the first level plus, at most, a sub-table of the widest
// possible size (2^(15 - root)) for each symbol that could open one.
inline constexpr size_t kLitTableSize = (size_t{1} << kLitRootBits) + 288 * (size_t{1} << (15 - kLitRootBits));
inline constexpr size_t kDistTableSize = (size_t{1} << kDistRootBits) + 32 * (size_t{1} << (15 - kDistRootBits));
inline constexpr size_t kCodeLengthTableSize = size_t{1} << kCodeLengthRootBits;

inline constexpr unsigned consumeOf(uint32_t e) { return e & 0xFF; }
inline constexpr unsigned lenOf(uint32_t e) { return (e >> 8) & 0xF; }
inline constexpr unsigned valueOf(uint32_t e) { return e >> 16; }
inline constexpr bool isLink(uint32_t e) { return (e & (kSpecial | kLink)) == (kSpecial | kLink); }

// What a table holds.
enum class TableKind : uint8_t {
  LitLen,      // literal/length symbols 0-287
  Distance,    // distance symbols 0-31
  CodeLength,  // code-length symbols 0-18 (as literals; every code at most 7 bits)
};

// The builder's verdict; the numbers are the decoder statuses they become.
enum class TableStatus : uint8_t {
  Ok = 0,
  Incomplete = 1,      // some bit pattern has no code (the table is built)
  OverSubscribed = 2,  // more codes than the lengths allow (no table)
};

// Builds the table of n code lengths (0: unused, at most 15) into table
// (capacity entries of the kind's size). All lengths zero: a table of
// invalid entries and Ok. A code of one symbol of length 1 counts as
// complete. deflate64 picks the rows of the 64 KB variant.
TableStatus buildTable(const uint8_t* lengths, unsigned n, TableKind kind, bool deflate64, uint32_t* table);

// The fixed codes' tables of each variant, built once per process.
struct FixedTables {
  uint32_t lit[size_t{1} << kLitRootBits];
  uint32_t dist[size_t{1} << kDistRootBits];
};
const FixedTables& fixedTables(bool deflate64);

}  // namespace vz::engine::flat
