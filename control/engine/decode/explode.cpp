// Explode (ZIP method 6).
//
// The data starts with the trees: the literal tree (256 values, only with
// flag bit 2), the length tree (64 values) and the distance tree (64 values).
// Each is a byte holding the number of bytes that follow less one, then
// bytes of run-length coded bit lengths: the high nibble is the number of
// values less one, the low nibble the bit length less one, given for values
// 0, 1, 2, ... in order. The lengths must describe exactly the tree's values
// and form a complete code; anything else is BadShannonFano.
//
// The Shannon-Fano codes of the application note give the longest codes the
// smallest values, so each code is the bit complement of the canonical code
// of the same lengths (shortest codes smallest). The tables are therefore
// the ordinary canonical tables, looked up with the complement of the input
// bits (literal table 9 first-level bits, length and distance tables 7).
//
// Then, until the uncompressed size is reached: a 1 bit is a literal (coded
// with the literal tree, or 8 plain bits without it); a 0 bit is a match: 6
// plain bits (4 KB dictionary) or 7 (8 KB) are the low bits of the distance,
// the distance tree gives its high 6 bits, the length tree gives the length
// less the minimum match (3 with a literal tree, 2 without), and the tree's
// last value 63 is followed by 8 plain bits added to the length. The copy
// starts distance + 1 bytes back; history before the first byte reads as
// zeros. The four combinations of the two flag bits share this one loop.
#include "control/engine/decode/explode.h"

#include <algorithm>

#include "control/engine/decode/bit_reader.h"
#include "control/engine/decode/decode_window.h"
#include "control/engine/decode/huffman_table.h"

namespace vz::engine {

namespace {

constexpr uint16_t kFlag8kDictionary = 0x0002;  // general purpose bit 1
constexpr uint16_t kFlagLiteralTree = 0x0004;   // general purpose bit 2
constexpr unsigned kLiteralRootBits = 9;
constexpr unsigned kTreeRootBits = 7;

class Exploder {
 public:
  Exploder(DecodeInput& input, DecodeWindow& window) : br_(input), win_(window) {}

  // Reads one tree of n values and builds its table.
  DecodeStatus readTree(unsigned n, unsigned rootBits, HuffmanTable& table) {
    uint32_t bytes;
    if (!br_.take(8, bytes)) return DecodeStatus::BadData;
    uint8_t lengths[256];
    unsigned filled = 0;
    for (uint32_t i = 0; i <= bytes; ++i) {
      uint32_t b;
      if (!br_.take(8, b)) return DecodeStatus::BadData;
      const unsigned run = (b >> 4) + 1;
      const uint8_t len = static_cast<uint8_t>((b & 0x0F) + 1);
      if (run > n - filled) return DecodeStatus::BadShannonFano;
      std::fill(lengths + filled, lengths + filled + run, len);
      filled += run;
    }
    if (filled != n) return DecodeStatus::BadShannonFano;
    switch (buildHuffmanTable(lengths, n, n, nullptr, nullptr, rootBits, table)) {
      case HuffmanStatus::Ok:
        return DecodeStatus::Ok;
      case HuffmanStatus::NoMemory:
        return DecodeStatus::NoMemory;
      default:
        return DecodeStatus::BadShannonFano;
    }
  }

  // Decodes one value; false for an invalid code or bits past the input.
  bool decode(const HuffmanTable& table, unsigned& value) {
    const HuffmanEntry* t = table.entries();
    br_.need(table.rootBits());
    HuffmanEntry e = t[~br_.peek(table.rootBits()) & ((1u << table.rootBits()) - 1)];
    if (e.op > kOpLiteral && e.op != kOpInvalid) {
      br_.drop(e.bits);
      const unsigned subBits = e.op - kOpLiteral;
      br_.need(subBits);
      e = t[e.value + (~br_.peek(subBits) & ((1u << subBits) - 1))];
    }
    if (e.op == kOpInvalid) return false;
    br_.drop(e.bits);
    value = e.value;
    return br_.intact();
  }

  DecodeStatus run(uint16_t flags, uint64_t size) {
    const bool literalTree = (flags & kFlagLiteralTree) != 0;
    const unsigned lowDistanceBits = (flags & kFlag8kDictionary) ? 7 : 6;
    const unsigned minMatch = literalTree ? 3 : 2;
    DecodeStatus status;
    if (literalTree && (status = readTree(256, kLiteralRootBits, literals_)) != DecodeStatus::Ok) return status;
    if ((status = readTree(64, kTreeRootBits, lengths_)) != DecodeStatus::Ok) return status;
    if ((status = readTree(64, kTreeRootBits, distances_)) != DecodeStatus::Ok) return status;

    while (win_.produced() < size) {
      uint32_t flag;
      if (!br_.take(1, flag)) return DecodeStatus::BadData;
      if (flag != 0) {
        unsigned byte;
        if (literalTree) {
          if (!decode(literals_, byte)) return DecodeStatus::BadData;
        } else {
          uint32_t b;
          if (!br_.take(8, b)) return DecodeStatus::BadData;
          byte = b;
        }
        if (!win_.put(static_cast<uint8_t>(byte))) return win_.stopStatus();
        continue;
      }
      uint32_t low;
      if (!br_.take(lowDistanceBits, low)) return DecodeStatus::BadData;
      unsigned high, lengthCode;
      if (!decode(distances_, high)) return DecodeStatus::BadData;
      if (!decode(lengths_, lengthCode)) return DecodeStatus::BadData;
      size_t length = lengthCode + minMatch;
      if (lengthCode == 63) {
        uint32_t more;
        if (!br_.take(8, more)) return DecodeStatus::BadData;
        length += more;
      }
      const size_t distance = ((static_cast<size_t>(high) << lowDistanceBits) | low) + 1;
      const uint64_t room = size - win_.produced();
      if (!win_.copyMatch(distance, static_cast<size_t>(std::min<uint64_t>(length, room)))) {
        return win_.stopStatus();
      }
    }
    return DecodeStatus::Ok;
  }

 private:
  BitReader br_;            // the compressed bits
  DecodeWindow& win_;       // output window
  HuffmanTable literals_;   // literal tree (flag bit 2 only)
  HuffmanTable lengths_;    // length tree
  HuffmanTable distances_;  // distance tree
};

}  // namespace

DecodeStatus explode(DecodeInput& input, DecodeOutput& output, uint16_t generalPurposeFlags, uint64_t uncompressedSize,
                     const DecodeHooks* hooks) {
  DecodeWindow window(output, hooks, true);
  if (!window.valid()) return DecodeStatus::NoMemory;
  Exploder exploder(input, window);
  return window.close(exploder.run(generalPurposeFlags, uncompressedSize));
}

}  // namespace vz::engine
