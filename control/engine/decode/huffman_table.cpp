// Builder of the two-level decoding tables (see huffman_table.h).
//
// Steps: count the codes of each length; check the counts against the code
// space (over-subscribed or incomplete); list the symbols in canonical order
// (by length, then symbol); walk that list assigning consecutive codes and
// filling every slot each code reaches. Codes longer than the first level
// come last in canonical order, and the codes that share a first-level
// prefix are consecutive, so each sub-table is opened when its prefix first
// appears, sized for the longest code under it: the shortest width whose
// space the remaining codes, length by length, fill. Slots no code reaches
// stay invalid.
#include "control/engine/decode/huffman_table.h"

#include <algorithm>
#include <array>
#include <new>

namespace vz::engine {

namespace {

// Byte values with their bits in reverse order.
constexpr auto kReversedBytes = [] {
  std::array<uint8_t, 256> t{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned r = 0;
    for (unsigned b = 0; b < 8; ++b) r |= ((i >> b) & 1) << (7 - b);
    t[i] = static_cast<uint8_t>(r);
  }
  return t;
}();

// The low len (1 to 16) bits of code in reverse order.
inline uint32_t reverseBits(uint32_t code, unsigned len) {
  const uint32_t r16 = (uint32_t{kReversedBytes[code & 0xFF]} << 8) | kReversedBytes[(code >> 8) & 0xFF];
  return r16 >> (16 - len);
}

constexpr HuffmanEntry kInvalidEntry{0, kOpInvalid, 0};

// Largest number of table entries: sub-table links keep an index in 16 bits.
constexpr size_t kMaxEntries = 0x10000;

}  // namespace

void HuffmanTable::clear() {
  std::vector<HuffmanEntry>().swap(entries_);
  rootBits_ = 0;
  empty_ = true;
}

HuffmanStatus buildHuffmanTable(const uint8_t* lengths, unsigned n, unsigned plainSymbols, const uint16_t* base,
                                const uint8_t* extra, unsigned requestedRootBits, HuffmanTable& table) {
  // Start over, keeping the vector's storage for the next block's tables.
  std::vector<HuffmanEntry>& entries = table.entries_;
  entries.clear();
  table.rootBits_ = 0;
  table.empty_ = true;

  // The count first: the lengths of a code larger than any alphabet are not
  // read at all.
  if (n > kMaxSymbols) return HuffmanStatus::OverSubscribed;

  // 1. Codes per length.
  unsigned count[kMaxCodeLength + 1] = {};
  for (unsigned s = 0; s < n; ++s) {
    if (lengths[s] > kMaxCodeLength) return HuffmanStatus::OverSubscribed;
    ++count[lengths[s]];
  }
  const unsigned used = n - count[0];
  try {
    if (used == 0) {
      // No symbols: one invalid entry looked up with 0 bits.
      entries.assign(1, kInvalidEntry);
      return HuffmanStatus::Ok;
    }

    // 2. First-level width within the used lengths.
    unsigned minLen = 1;
    while (count[minLen] == 0) ++minLen;
    unsigned maxLen = kMaxCodeLength;
    while (count[maxLen] == 0) --maxLen;
    const unsigned root = std::clamp(requestedRootBits, minLen, maxLen);

    // 3. Code space: left is the number of unused codes of the current length.
    int64_t left = 1;
    for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
      left = 2 * left - count[len];
      if (left < 0) return HuffmanStatus::OverSubscribed;
    }
    const bool incomplete = left > 0 && !(used == 1 && count[1] == 1);

    // 4. Symbols in canonical order, and the first code of each length.
    unsigned offset[kMaxCodeLength + 2] = {};
    for (unsigned len = 1; len <= kMaxCodeLength; ++len) offset[len + 1] = offset[len] + count[len];
    uint16_t sorted[kMaxSymbols];
    for (unsigned s = 0; s < n; ++s) {
      if (lengths[s] != 0) sorted[offset[lengths[s]]++] = static_cast<uint16_t>(s);
    }

    // 5. Fill, code by code.
    const uint32_t rootSize = uint32_t{1} << root;
    entries.assign(rootSize, kInvalidEntry);
    unsigned remaining[kMaxCodeLength + 1];  // codes of each length not placed yet
    std::copy(std::begin(count), std::end(count), std::begin(remaining));
    uint32_t code = 0;  // canonical code of the current symbol, most significant bit first
    unsigned codeLen = minLen;
    uint32_t openPrefix = rootSize;  // first-level slot of the open sub-table (none yet)
    size_t subStart = 0;             // index of the open sub-table
    unsigned subBits = 0;            // its index width
    for (unsigned i = 0; i < used; ++i) {
      const unsigned s = sorted[i];
      const unsigned len = lengths[s];
      code <<= (len - codeLen);
      codeLen = len;
      HuffmanEntry entry;
      if (s < plainSymbols) {
        entry.op = (s == 256) ? kOpEndOfBlock : kOpLiteral;
        entry.value = static_cast<uint16_t>(s);
      } else {
        entry.op = extra[s - plainSymbols];
        entry.value = base[s - plainSymbols];
      }
      const uint32_t rev = reverseBits(code, len);
      if (len <= root) {
        entry.bits = static_cast<uint8_t>(len);
        for (uint32_t k = rev; k < rootSize; k += uint32_t{1} << len) entries[k] = entry;
      } else {
        const uint32_t prefix = rev & (rootSize - 1);
        if (prefix != openPrefix) {
          // A new prefix: its sub-table grows until the codes of this and
          // the following lengths fill it.
          subBits = len - root;
          int64_t space = int64_t{1} << subBits;
          for (unsigned l = len;; ++l) {
            space -= remaining[l];
            if (space <= 0 || l == maxLen) break;
            space <<= 1;
            ++subBits;
          }
          subStart = entries.size();
          if (subStart + (size_t{1} << subBits) > kMaxEntries) {
            table.clear();
            return HuffmanStatus::NoMemory;
          }
          entries.resize(subStart + (size_t{1} << subBits), kInvalidEntry);
          entries[prefix] = HuffmanEntry{static_cast<uint8_t>(root), static_cast<uint8_t>(kOpLiteral + subBits),
                                         static_cast<uint16_t>(subStart)};
          openPrefix = prefix;
        }
        entry.bits = static_cast<uint8_t>(len - root);
        for (uint32_t k = rev >> root; k < (uint32_t{1} << subBits); k += uint32_t{1} << (len - root)) {
          entries[subStart + k] = entry;
        }
      }
      --remaining[len];
      ++code;
    }
    table.rootBits_ = root;
    table.empty_ = false;
    return incomplete ? HuffmanStatus::Incomplete : HuffmanStatus::Ok;
  } catch (const std::bad_alloc&) {
    table.clear();
    return HuffmanStatus::NoMemory;
  }
}

}  // namespace vz::engine
