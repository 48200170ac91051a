// Builder of the flat inflater's tables (see inflate_tables.h).
//
// Steps: count the codes of each length and check them against the code
// space; list the symbols in canonical order (by length, then symbol) with
// their codes; fill the first level length by length, doubling the filled
// part before each new length, so that every shorter code is already
// repeated over the slots it covers; give each run of long codes that share
// their first rootBits bits one sub-table, as wide as the longest of them;
// last, pair literals in the first level.
#include "control/engine/decode/inflate_tables.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace vz::engine::flat {

namespace {

// Length symbols 257-285: base and extra bits. The last row is the one the
// variants disagree on (see fixLength285 below).
constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
// Distance symbols 0-31; 30 and 31 exist in deflate64 only.
constexpr uint16_t kDistBase[32] = {1,    2,    3,    4,    5,    7,     9,     13,    17,    25,   33,
                                    49,   65,   97,   129,  193,  257,   385,   513,   769,   1025, 1537,
                                    2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
constexpr uint8_t kDistExtra[32] = {0, 0, 0, 0, 1, 1, 2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                    7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};

constexpr uint32_t kInvalid = kSpecial;

// Byte values with their bits in reverse order.
constexpr auto kReversedBytes = [] {
  std::array<uint8_t, 256> t{};
  for (unsigned i = 0; i < 256; ++i) {
    for (unsigned b = 0; b < 8; ++b) t[i] |= static_cast<uint8_t>(((i >> b) & 1) << (7 - b));
  }
  return t;
}();

// The low len (1 to 15) bits of code in reverse order.
inline uint32_t reverseBits(uint32_t code, unsigned len) {
  const uint32_t r16 = (uint32_t{kReversedBytes[code & 0xFF]} << 8) | kReversedBytes[(code >> 8) & 0xFF];
  return r16 >> (16 - len);
}

inline uint32_t valueEntry(uint32_t flags, uint32_t value, unsigned len, unsigned consume) {
  return (value << 16) | flags | (len << 8) | consume;
}

// The entry of symbol s whose code takes len bits at its level.
uint32_t symbolEntry(TableKind kind, bool deflate64, unsigned s, unsigned len) {
  switch (kind) {
    case TableKind::CodeLength:
      return valueEntry(kLiteral, s, len, len);
    case TableKind::LitLen:
      if (s < 256) return valueEntry(kLiteral, s, len, len);
      if (s == 256) return valueEntry(kSpecial, kEndValue, len, len);
      if (s == 285 && deflate64) return valueEntry(0, 3, len, len + 16);
      if (s < 286) return valueEntry(0, kLengthBase[s - 257], len, len + kLengthExtra[s - 257]);
      return valueEntry(kInvalid, 0, len, len);  // 286 and 287: codes without a meaning
    case TableKind::Distance:
      if (s < 30 || (deflate64 && s < 32)) return valueEntry(0, kDistBase[s], len, len + kDistExtra[s]);
      return valueEntry(kInvalid, 0, len, len);
  }
  return kInvalid;
}

unsigned rootBitsOf(TableKind kind) {
  switch (kind) {
    case TableKind::LitLen:
      return kLitRootBits;
    case TableKind::Distance:
      return kDistRootBits;
    case TableKind::CodeLength:
      return kCodeLengthRootBits;
  }
  return 0;
}

// Pairs each first-level literal with the literal that its leftover bits
// decode to, when that one's whole code fits in them. Slots go downwards:
// the partner slot (i >> l1) is lower, so it still holds its single entry.
void pairLiterals(uint32_t* table, unsigned root) {
  for (size_t i = size_t{1} << root; i-- > 0;) {
    const uint32_t first = table[i];
    if ((first & kLiteral) == 0) continue;
    const unsigned l1 = consumeOf(first);
    if (l1 >= root) continue;
    const uint32_t second = table[i >> l1];
    if ((second & kLiteral) == 0 || (second & kTwoLiterals) != 0) continue;
    const unsigned l2 = consumeOf(second);
    if (l1 + l2 > root) continue;
    const uint32_t bytes = (valueOf(first) & 0xFF) | ((valueOf(second) & 0xFF) << 8);
    table[i] = valueEntry(kLiteral | kTwoLiterals, bytes, l1, l1 + l2);
  }
}

}  // namespace

TableStatus buildTable(const uint8_t* lengths, unsigned n, TableKind kind, bool deflate64, uint32_t* table) {
  const unsigned root = rootBitsOf(kind);
  const size_t rootSize = size_t{1} << root;

  unsigned count[kMaxCodeBits + 1] = {};
  for (unsigned s = 0; s < n; ++s) {
    if (lengths[s] > kMaxCodeBits) return TableStatus::OverSubscribed;
    ++count[lengths[s]];
  }
  const unsigned used = n - count[0];
  if (used == 0) {
    std::fill(table, table + rootSize, kInvalid);
    return TableStatus::Ok;
  }
  int left = 1;  // codes of the current length still free
  for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
    left = 2 * left - static_cast<int>(count[len]);
    if (left < 0) return TableStatus::OverSubscribed;
  }
  const bool incomplete = left > 0 && !(used == 1 && count[1] == 1);

  // Symbols in canonical order with their codes (most significant bit first).
  unsigned offset[kMaxCodeBits + 2] = {};
  for (unsigned len = 1; len <= kMaxCodeBits; ++len) offset[len + 1] = offset[len] + count[len];
  uint16_t sorted[288];
  for (unsigned s = 0; s < n; ++s) {
    if (lengths[s] != 0) sorted[offset[lengths[s]]++] = static_cast<uint16_t>(s);
  }
  uint16_t codes[288];
  uint32_t code = 0;
  unsigned codeLen = lengths[sorted[0]];
  for (unsigned i = 0; i < used; ++i) {
    const unsigned len = lengths[sorted[i]];
    code <<= (len - codeLen);
    codeLen = len;
    codes[i] = static_cast<uint16_t>(code++);
  }

  // First level: double the filled part, then place the codes of this length.
  table[0] = kInvalid;
  size_t filled = 1;
  unsigned i = 0;
  for (unsigned len = 1; len <= root; ++len) {
    std::memcpy(table + filled, table, filled * sizeof(uint32_t));
    filled *= 2;
    for (; i < used && lengths[sorted[i]] == len; ++i) {
      table[reverseBits(codes[i], len)] = symbolEntry(kind, deflate64, sorted[i], len);
    }
  }

  // Longer codes: one sub-table per shared first-level prefix.
  size_t next = rootSize;  // first free entry behind the tables built so far
  while (i < used) {
    const unsigned len = lengths[sorted[i]];
    const uint32_t prefix = codes[i] >> (len - root);
    unsigned groupEnd = i;
    while (groupEnd < used && uint32_t{codes[groupEnd]} >> (lengths[sorted[groupEnd]] - root) == prefix) ++groupEnd;
    const unsigned width = lengths[sorted[groupEnd - 1]] - root;  // the last code of the run is the longest
    const size_t subSize = size_t{1} << width;
    std::fill(table + next, table + next + subSize, kInvalid);
    table[reverseBits(prefix, root)] = valueEntry(kSpecial | kLink, static_cast<uint32_t>(next), width, root);
    for (; i < groupEnd; ++i) {
      const unsigned l = lengths[sorted[i]];
      const uint32_t low = reverseBits(codes[i], l) >> root;
      const uint32_t entry = symbolEntry(kind, deflate64, sorted[i], l - root);
      for (size_t k = low; k < subSize; k += size_t{1} << (l - root)) table[next + k] = entry;
    }
    next += subSize;
  }

  if (kind == TableKind::LitLen) pairLiterals(table, root);
  return incomplete ? TableStatus::Incomplete : TableStatus::Ok;
}

const FixedTables& fixedTables(bool deflate64) {
  auto build = [](bool variant64) {
    FixedTables t;
    uint8_t lengths[288];
    std::fill(lengths, lengths + 144, 8);
    std::fill(lengths + 144, lengths + 256, 9);
    std::fill(lengths + 256, lengths + 280, 7);
    std::fill(lengths + 280, lengths + 288, 8);
    // The fixed codes are at most 9 bits: the first level holds them all.
    std::vector<uint32_t> lit(kLitTableSize), dist(kDistTableSize);
    (void)buildTable(lengths, 288, TableKind::LitLen, variant64, lit.data());
    std::fill(lengths, lengths + 32, 5);
    (void)buildTable(lengths, 32, TableKind::Distance, variant64, dist.data());
    std::copy(lit.begin(), lit.begin() + (size_t{1} << kLitRootBits), t.lit);
    std::copy(dist.begin(), dist.begin() + (size_t{1} << kDistRootBits), t.dist);
    return t;
  };
  static const FixedTables plain = build(false);
  static const FixedTables wide = build(true);
  return deflate64 ? wide : plain;
}

}  // namespace vz::engine::flat
