// Block building of the levelled deflate compressor (level_deflate.h).
//
// The parser hands every literal and match to a LevelBlock, which keeps
// them as 32-bit symbols with their frequencies until the block is closed:
//
//   bits 0..8   head: the literal byte (0..255), or 256 + length - 3
//   bits 16..30 the match distance (0 for a literal)
//
// Block splitting. The symbols arrive in segments of kSegmentSymbols. At
// the end of each segment the block's statistics so far (B) and the
// segment's (S) are compared: coding B and S with codes of their own saves
// H(B+S) - H(B) - H(S) bits over coding them together, where H(X) is the
// entropy of X's literal/length and distance symbols times their count,
// sum x log2(|X| / x). When that saving exceeds what a second code table
// costs (kSplitBits), the block ends before the segment and the segment
// starts the next block; otherwise the segment joins the block. A block
// also ends after kMaxSymbols symbols or kMaxInput input bytes. Over text,
// source and mixed files this finds the points where the data changes
// character (a table in a document, a binary file among text files) at
// little cost: a few hundred table look-ups per segment.
//
// Closing a block: the Huffman code lengths of the block's symbols are
// built (level_huffman.h), and the block's exact size is computed three
// ways: with those codes (dynamic, tree header included), with the fixed
// codes, and stored (in pieces of at most 65,535 bytes, with the padding
// the current bit position needs). The smallest goes out; ties go to the
// fixed and then to the dynamic codes.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "control/engine/encode/deflate_bits.h"
#include "control/engine/encode/deflate_trees.h"

namespace vz::engine::level {

class LevelBlock {
 public:
  static constexpr unsigned kSegmentSymbols = 2048;  // symbols per splitting segment
  static constexpr unsigned kMaxSymbols = 1u << 17;  // symbols in one block, at most
  static constexpr unsigned kMinMatchLength = 3;     // shortest match
  static constexpr uint32_t kMaxInput = 1u << 18;    // input bytes a block covers before it is closed
  // What a block's own code table costs, roughly, in bits: the least
  // saving for which a block is split.
  static constexpr uint64_t kSplitBits = 600;

  LevelBlock();

  // Empties the block (a new stream).
  void clear();

  void literal(uint8_t c) {
    symbols_[count_++] = c;
    ++segLit_[c];
  }
  void match(unsigned length, unsigned distance) {
    symbols_[count_++] = matchSymbol(length, distance);
    ++segLit_[deflate::kLiterals + 1 + deflate::kLengthCode[length - kMinMatchLength]];
    ++segDist_[deflate::distanceCode(distance - 1)];
  }

  // Direct access for the parser's loop, which keeps these in registers:
  // the end of the buffered symbols, where the buffer must be checked
  // (segment end or block limit), and the segment's frequencies.
  // Symbols written at the end are taken over with setEnd().
  uint32_t* end() { return symbols_.data() + count_; }
  uint32_t* checkPoint() { return symbols_.data() + std::min(segStart_ + kSegmentSymbols, kMaxSymbols); }
  void setEnd(const uint32_t* end) { count_ = static_cast<unsigned>(end - symbols_.data()); }
  uint32_t* segmentLiteralFrequencies() { return segLit_.data(); }
  uint32_t* segmentDistanceFrequencies() { return segDist_.data(); }
  // The symbol of a match.
  static uint32_t matchSymbol(unsigned length, unsigned distance) {
    return (deflate::kLiterals + length - kMinMatchLength) | (distance << 16);
  }

  // Symbols buffered (the block's and the current segment's).
  unsigned count() const { return count_; }
  // Symbols of the current segment.
  unsigned segmentCount() const { return count_ - segStart_; }
  // True when the segment is complete or the block holds its most symbols.
  bool full() const { return segmentCount() >= kSegmentSymbols || count_ >= kMaxSymbols; }
  // True when the block before the current segment holds symbols.
  bool hasSymbolsBeforeSegment() const { return segStart_ != 0; }

  // At the end of a segment: true when the block should end before it.
  bool splitPays() const;
  // The segment joins the block; a new segment starts.
  void mergeSegment();

  // Emits the symbols before the current segment as one block covering
  // the length input bytes at input; the segment becomes the start of the
  // next block.
  void emitBeforeSegment(deflate::BitOutput& out, const uint8_t* input, size_t length);
  // Emits every buffered symbol as one block covering the length input
  // bytes at input, and empties the block. last marks the final block,
  // after which the output is padded to a byte.
  void emitAll(deflate::BitOutput& out, const uint8_t* input, size_t length, bool last);

 private:
  // Writes symbols [0, n) with the frequencies lit/dist as one block.
  void emit(deflate::BitOutput& out, unsigned n, const uint32_t* lit, const uint32_t* dist, const uint8_t* input,
            size_t length, bool last);
  void writeStored(deflate::BitOutput& out, const uint8_t* input, size_t length, bool last) const;
  void writeSymbols(deflate::BitOutput& out, unsigned n, const uint16_t* litCodes, const uint8_t* litLens,
                    const uint16_t* distCodes, const uint8_t* distLens) const;

  std::vector<uint32_t> symbols_;  // the buffered symbols (kMaxSymbols + slack)
  unsigned count_ = 0;             // symbols buffered
  unsigned segStart_ = 0;          // first symbol of the current segment

  // Frequencies of the block before the segment, and of the segment.
  std::array<uint32_t, deflate::kLiteralLengthCodes> blockLit_{};
  std::array<uint32_t, deflate::kDistanceCodes> blockDist_{};
  std::array<uint32_t, deflate::kLiteralLengthCodes> segLit_{};
  std::array<uint32_t, deflate::kDistanceCodes> segDist_{};

  // Codes of the block being emitted.
  std::array<uint8_t, deflate::kLiteralLengthCodes> litLens_{};
  std::array<uint16_t, deflate::kLiteralLengthCodes> litCodes_{};
  std::array<uint8_t, deflate::kDistanceCodes> distLens_{};
  std::array<uint16_t, deflate::kDistanceCodes> distCodes_{};
  std::array<uint8_t, deflate::kCodeLengthCodes> clLens_{};
  std::array<uint16_t, deflate::kCodeLengthCodes> clCodes_{};
  std::array<uint32_t, deflate::kCodeLengthCodes> clFreq_{};
};

}  // namespace vz::engine::level
