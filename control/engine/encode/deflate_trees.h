// Symbol buffer, Huffman trees and block closing of the deflate compressor.
//
// The matcher (deflate_encoder.cpp) hands every literal and every match to
// the BlockCoder, which buffers them with their frequencies. When the
// buffer asks for it, or at the end of the file, the block is closed: the
// coder builds length-limited Huffman codes for the literal/length and
// distance alphabets and for the code lengths, estimates the block's size
// coded with those (dynamic) and with the fixed codes (static), and emits
// the block in the cheapest of the three kinds of RFC 1951 -- or, for the
// only block of a file that does not shrink, copies the input unchanged.
//
// Flush rule: the block is closed after 40,959 symbols or 40,960 distances;
// in addition, every 4,096 symbols it is closed early when fewer than half
// of them are matches and a rough size estimate is under half the input
// bytes they cover (the data has turned compressible, so a fresh tree pays).
//
// Huffman trees: built with a binary heap over the symbols' frequencies, in
// which equal frequencies are ordered by the depth of their subtrees (the
// shallower first), so that the trees stay flat. At least two codes always
// get a length. Codes longer than the limit (15 bits, 7 for the code-length
// code) are shortened by the overflow fix-up: the clamped leaves are paid
// for by moving a shorter leaf one level down, as often as needed to make
// the code complete again, and the lengths are then dealt out again to the
// leaves in order of frequency. Codes are assigned canonically (RFC 1951
// 3.2.2) and stored bit-reversed, ready for the LSB-first bit output.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "control/engine/encode/deflate_bits.h"

namespace vz::engine::deflate {

// ---- Alphabets (RFC 1951 3.2.5) ----

constexpr int kLiterals = 256;                           // literal byte values 0..255
constexpr int kEndOfBlock = 256;                         // end-of-block symbol
constexpr int kLengthCodes = 29;                         // length symbols 257..285
constexpr int kLiteralLengthCodes = 286;                 // size of the literal/length alphabet
constexpr int kDistanceCodes = 30;                       // distance symbols 0..29
constexpr int kCodeLengthCodes = 19;                     // code-length symbols 0..18
constexpr int kHeapSlots = 2 * kLiteralLengthCodes + 1;  // nodes of the largest tree, plus slot 0
constexpr int kMaxCodeBits = 15;                         // longest literal/length or distance code
constexpr int kMaxCodeLengthBits = 7;                    // longest code-length code
constexpr unsigned kMinMatch = 3;                        // shortest match
constexpr unsigned kMaxMatch = 258;                      // longest match

// Code-length symbols with a repeat count (RFC 1951 3.2.7).
constexpr int kRepeatPrevious = 16;  // previous length 3..6 times, 2 extra bits
constexpr int kRepeatZero3 = 17;     // zero 3..10 times, 3 extra bits
constexpr int kRepeatZero11 = 18;    // zero 11..138 times, 7 extra bits

// Extra bits and base value of each length code, by length - 3.
constexpr std::array<uint8_t, kLengthCodes> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                            2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<uint8_t, kLengthCodes> kLengthBase = {
    0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 12, 14, 16, 20, 24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 255};
// Extra bits and base value of each distance code, by distance - 1.
constexpr std::array<uint8_t, kDistanceCodes> kDistanceExtra = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                                6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr std::array<uint16_t, kDistanceCodes> kDistanceBase = {
    0,   1,   2,   3,   4,   6,    8,    12,   16,   24,   32,   48,   64,    96,    128,
    192, 256, 384, 512, 768, 1024, 1536, 2048, 3072, 4096, 6144, 8192, 12288, 16384, 24576};
// Order in which the code-length code lengths are sent.
constexpr std::array<uint8_t, kCodeLengthCodes> kCodeLengthOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                                    11, 4,  12, 3, 13, 2, 14, 1, 15};
// Extra bits of each code-length symbol.
constexpr std::array<uint8_t, kCodeLengthCodes> kCodeLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                                    0, 0, 0, 0, 0, 0, 2, 3, 7};

namespace detail {
constexpr std::array<uint8_t, 256> makeLengthCodeTable() {
  std::array<uint8_t, 256> t{};
  for (int code = 0; code < kLengthCodes - 1; ++code) {
    for (int i = 0; i < (1 << kLengthExtra[code]); ++i) t[kLengthBase[code] + i] = static_cast<uint8_t>(code);
  }
  t[255] = kLengthCodes - 1;  // length 258 has a code of its own
  return t;
}
// Entries 0..255: codes of distances 1..256; entries 256..511: codes of
// distances above 256 by (distance - 1) >> 7 (their bases are multiples of
// 128 from code 16 on).
constexpr std::array<uint8_t, 512> makeDistanceCodeTable() {
  std::array<uint8_t, 512> t{};
  for (int code = 0; code < kDistanceCodes; ++code) {
    for (int i = 0; i < (1 << kDistanceExtra[code]); ++i) {
      const int d = kDistanceBase[code] + i;
      if (d < 256)
        t[d] = static_cast<uint8_t>(code);
      else
        t[256 + (d >> 7)] = static_cast<uint8_t>(code);
    }
  }
  return t;
}
}  // namespace detail

// Length code (0..28, symbol 257 + code) of length - 3.
constexpr std::array<uint8_t, 256> kLengthCode = detail::makeLengthCodeTable();
constexpr std::array<uint8_t, 512> kDistanceCodeTable = detail::makeDistanceCodeTable();
// Distance code of distance - 1 (0..32767).
inline unsigned distanceCode(unsigned d) {
  return d < 256 ? kDistanceCodeTable[d] : kDistanceCodeTable[256 + (d >> 7)];
}

// Fixed-code length of a literal/length symbol (RFC 1951 3.2.6); the fixed
// distance codes are all 5 bits.
constexpr unsigned fixedLiteralLength(int symbol) { return symbol < 144 ? 8 : symbol < 256 ? 9 : symbol < 280 ? 7 : 8; }
constexpr unsigned kFixedDistanceLength = 5;

// ---- Huffman trees ----

// Working storage of the tree builder (the heap and the tree's nodes).
struct TreeScratch {
  std::array<int16_t, kHeapSlots> heap;    // 1..heapLen: the heap; heapMax..: nodes in order of removal
  std::array<uint32_t, kHeapSlots> freq;   // frequency of each node (leaves, then inner nodes)
  std::array<uint16_t, kHeapSlots> depth;  // height of each node's subtree
  std::array<int16_t, kHeapSlots> parent;  // parent of each node
  std::array<uint8_t, kHeapSlots> bits;    // code length of each node
};

// Builds the code lengths (at most maxBits) of an alphabet of n symbols
// with the frequencies freq into lengths[0..n-1] (0: no code). At least two
// symbols get a length: code 0, and code 1 when needed, are added with a
// frequency of 1. Returns the highest symbol with a length.
int buildCodeLengths(const uint32_t* freq, int n, int maxBits, uint8_t* lengths, TreeScratch& scratch);

// The canonical codes of the lengths, bit-reversed for LSB-first output.
void canonicalCodes(const uint8_t* lengths, int n, uint16_t* codes);

// Walks a tree's code lengths as RFC 1951 run-length codes them: runs of
// one length as the length followed by repeats of 3..6 (symbol 16), runs
// of zeros as symbols 17 (3..10) or 18 (11..138), short runs as the
// lengths themselves. emit(symbol, extraValue) is called for each
// code-length symbol in order. Shared by both compressors (the block
// coder here and the levelled one in level_block.cpp).
template <class Emit>
void walkLengthRuns(const uint8_t* lengths, int maxCode, Emit&& emit) {
  int previous = -1;  // length of the last run sent (-1: none)
  int next = lengths[0];
  int count = 0;
  int maxCount = 7;  // longest run taken at once
  int minCount = 4;  // shortest run worth a repeat code
  if (next == 0) {
    maxCount = 138;
    minCount = 3;
  }
  for (int n = 0; n <= maxCode; ++n) {
    const int current = next;
    next = n < maxCode ? lengths[n + 1] : -1;
    if (++count < maxCount && current == next) continue;
    if (count < minCount) {
      for (int i = 0; i < count; ++i) emit(current, 0u);
    } else if (current != 0) {
      if (current != previous) {
        emit(current, 0u);
        --count;
      }
      emit(kRepeatPrevious, static_cast<unsigned>(count - 3));
    } else if (count <= 10) {
      emit(kRepeatZero3, static_cast<unsigned>(count - 3));
    } else {
      emit(kRepeatZero11, static_cast<unsigned>(count - 11));
    }
    count = 0;
    previous = current;
    if (next == 0) {
      maxCount = 138;
      minCount = 3;
    } else if (current == next) {
      maxCount = 6;
      minCount = 3;
    } else {
      maxCount = 7;
      minCount = 4;
    }
  }
}

// ---- Block coder ----

// How a block was closed.
enum class BlockKind : uint8_t {
  RawCopy,   // the only block of a file that did not shrink: the input copied, no header
  Stored,    // type 0
  Fixed,     // type 1
  Dynamic,   // type 2
  Vanished,  // the raw copy was due but the block's input had left the window: error
};

class BlockCoder {
 public:
  static constexpr unsigned kSymbolSlots = 40960;    // symbol buffer size
  static constexpr unsigned kSymbolLimit = 40959;    // symbols that close a block
  static constexpr unsigned kDistanceLimit = 40960;  // distances that close a block
  static constexpr unsigned kCheckMask = 4096 - 1;   // the early-close test runs every 4,096 symbols

  // Empties the buffer and the frequencies (the end-of-block symbol counts
  // once in every block).
  void reset();

  // Buffers a literal; true when the symbol count reached a point where
  // shouldClose() must be asked.
  bool literal(uint8_t c) {
    lit_[count_] = c;
    dist_[count_] = 0;
    ++literalFreq_[c];
    ++count_;
    return (count_ & kCheckMask) == 0 || count_ == kSymbolLimit;
  }
  // Buffers a match of length 3..258 at distance 1..32,768; true as for
  // literal() (also when the distance count reached its limit).
  bool match(unsigned distance, unsigned length) {
    const unsigned lc = length - kMinMatch;
    lit_[count_] = static_cast<uint8_t>(lc);
    dist_[count_] = static_cast<uint16_t>(distance);
    ++literalFreq_[kLiterals + 1 + kLengthCode[lc]];
    ++distanceFreq_[distanceCode(distance - 1)];
    ++count_;
    ++distances_;
    return (count_ & kCheckMask) == 0 || count_ == kSymbolLimit || distances_ == kDistanceLimit;
  }
  // After literal() or match() returned true: whether the block is to be
  // closed now. blockBytes: input bytes the buffered symbols cover.
  bool shouldClose(uint64_t blockBytes) const;

  // Closes the block of inputLength bytes: emits it to out, or copies the
  // input raw (see BlockKind; only when out is still empty). The symbols
  // stay buffered until reset(). input points at the block's bytes, nullptr when they are no
  // longer in the window. last marks the file's final block, which is also
  // padded to a byte.
  BlockKind close(BitOutput& out, const uint8_t* input, uint64_t inputLength, bool last);

  // The buffered symbols (for the test hook): for each, lit = the literal
  // or length - 3, dist = 0 for a literal or the distance.
  unsigned count() const { return count_; }
  const uint8_t* literalsOrLengths() const { return lit_.data(); }
  const uint16_t* distances() const { return dist_.data(); }

 private:
  // The code-length frequencies of one tree's lengths (run-length coded).
  void countCodeLengths(const uint8_t* lengths, int maxCode);
  // Sends one tree's lengths with the code-length code.
  void sendCodeLengths(BitOutput& out, const uint8_t* lengths, int maxCode) const;
  // Emits the buffered symbols and the end-of-block code with the given
  // codes.
  void emitSymbols(BitOutput& out, const uint16_t* litCodes, const uint8_t* litLens, const uint16_t* distCodes,
                   const uint8_t* distLens) const;

  // The symbols. The design keeps a flag bit per symbol to tell literals
  // from matches; here a distance of 0 marks a literal.
  std::array<uint8_t, kSymbolSlots> lit_;    // literal, or match length - 3
  std::array<uint16_t, kSymbolSlots> dist_;  // 0 for a literal, else the match distance
  unsigned count_ = 0;                       // symbols buffered
  unsigned distances_ = 0;                   // matches buffered

  std::array<uint32_t, kLiteralLengthCodes> literalFreq_;  // frequencies of the literal/length symbols
  std::array<uint32_t, kDistanceCodes> distanceFreq_;      // frequencies of the distance symbols
  std::array<uint32_t, kCodeLengthCodes> codeLengthFreq_;  // frequencies of the code-length symbols

  // Codes of the block being closed.
  std::array<uint8_t, kLiteralLengthCodes> litLens_;
  std::array<uint16_t, kLiteralLengthCodes> litCodes_;
  std::array<uint8_t, kDistanceCodes> distLens_;
  std::array<uint16_t, kDistanceCodes> distCodes_;
  std::array<uint8_t, kCodeLengthCodes> blLens_;
  std::array<uint16_t, kCodeLengthCodes> blCodes_;
  TreeScratch scratch_;  // the tree builder's heap
};

// The fixed codes (RFC 1951 3.2.6), bit-reversed.
struct FixedCodes {
  std::array<uint8_t, 288> litLens;
  std::array<uint16_t, 288> litCodes;
  std::array<uint8_t, kDistanceCodes> distLens;
  std::array<uint16_t, kDistanceCodes> distCodes;
};
const FixedCodes& fixedCodes();

}  // namespace vz::engine::deflate
