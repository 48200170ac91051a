// The block Huffman decoder of -lh4- to -lh7- and -lhx- (see lh_block.h).
//
// The hot loop decodes one literal/length symbol through a 12-bit table
// (the rare longer codes go the slow way), and for a match one position
// symbol through an 8-bit table; the window copies byte by byte.
#include "manager/readers/codecs/lh_block.h"

#include <cstring>

#include "manager/readers/codecs/lh_bits.h"
#include "manager/readers/codecs/lh_huffman.h"
#include "manager/readers/codecs/lh_window.h"

namespace vz::readers::codecs {

namespace {

using engine::DecodeStatus;

constexpr int kNC = 510;       // literal/length symbols: 256 literals, lengths 3..256
constexpr int kCBits = 9;      // width of the literal/length list's count
constexpr int kNT = 19;        // length-code symbols
constexpr int kTBits = 5;      // width of the length code's count
constexpr int kMaxNP = 24;     // most position symbols of any window
constexpr int kThreshold = 3;  // shortest match

class BlockDecoder {
 public:
  BlockDecoder(engine::DecodeInput& in, int windowBits) : bits_(in) {
    np_ = windowBits <= 13 ? 14 : windowBits + 1;
    pbit_ = windowBits <= 13 ? 4 : 5;
  }

  // Reads one length list into lengths[0..nn) and builds its table. special:
  // the index after which a 2-bit zero run follows (-1: none).
  bool readPtLengths(int nn, int nbit, int special, LhHuffman& table) {
    uint8_t lengths[kMaxNP > kNT ? kMaxNP : kNT] = {};
    const int n = static_cast<int>(bits_.get(nbit));
    if (n == 0) {
      const int c = static_cast<int>(bits_.get(nbit));
      if (c >= nn) return false;
      table.single(c);
      return true;
    }
    if (n > nn) return false;
    int i = 0;
    while (i < n) {
      int c = static_cast<int>(bits_.peek(3));
      if (c == 7) {
        // Unary continuation: count the 1 bits after the first three.
        uint32_t v = bits_.peek(32) << 3;
        while (v & 0x80000000u) {
          ++c;
          v <<= 1;
          if (c > LhHuffman::kMaxLength) return false;
        }
        bits_.skip(c - 3);
      } else {
        bits_.skip(3);
      }
      lengths[i++] = static_cast<uint8_t>(c);
      if (i == special) {
        int run = static_cast<int>(bits_.get(2));
        while (run-- > 0 && i < nn) lengths[i++] = 0;
      }
    }
    return table.build(lengths, nn, 8);
  }

  bool readCLengths() {
    uint8_t lengths[kNC] = {};
    const int n = static_cast<int>(bits_.get(kCBits));
    if (n == 0) {
      const int c = static_cast<int>(bits_.get(kCBits));
      if (c >= kNC) return false;
      c_.single(c);
      return true;
    }
    if (n > kNC) return false;
    int i = 0;
    while (i < n) {
      int c = pt_.decode(bits_);
      if (c <= 2) {
        int run = c == 0 ? 1 : c == 1 ? static_cast<int>(bits_.get(4)) + 3 : static_cast<int>(bits_.get(kCBits)) + 20;
        if (run > n - i) return false;
        while (run-- > 0) lengths[i++] = 0;
      } else {
        lengths[i++] = static_cast<uint8_t>(c - 2);
      }
    }
    return c_.build(lengths, kNC, 12);
  }

  bool readBlockHeader() {
    blockLeft_ = bits_.get(16);
    if (blockLeft_ == 0) return false;
    if (!readPtLengths(kNT, kTBits, 3, pt_)) return false;
    if (!readCLengths()) return false;
    return readPtLengths(np_, pbit_, -1, p_);
  }

  DecodeStatus run(LhWindow& w) {
    while (!w.done()) {
      if (blockLeft_ == 0 && !readBlockHeader()) return DecodeStatus::BadData;
      --blockLeft_;
      const int c = c_.decode(bits_);
      if (c < 256) {
        w.put(static_cast<uint8_t>(c));
      } else {
        const size_t len = static_cast<size_t>(c - 256 + kThreshold);
        int j = p_.decode(bits_);
        size_t dist = static_cast<size_t>(j);
        if (j > 1) dist = (size_t{1} << (j - 1)) + bits_.get(j - 1);
        w.copy(dist + 1, len);
      }
      if (bits_.pastEnd()) return DecodeStatus::BadData;
    }
    return DecodeStatus::Ok;
  }

 private:
  LhBits bits_;             // the compressed stream
  LhHuffman pt_;            // the length code of the current block
  LhHuffman c_;             // its literal/length code
  LhHuffman p_;             // its position code
  uint32_t blockLeft_ = 0;  // codes left in the current block
  int np_;                  // position symbols of the window
  int pbit_;                // width of the position list's count
};

}  // namespace

DecodeStatus decodeLhBlock(engine::DecodeInput& input, engine::DecodeOutput& output, uint64_t size, int windowBits,
                           const engine::DecodeHooks* hooks) {
  if (windowBits < 12 || windowBits > 20) return DecodeStatus::BadData;
  LhWindow window(output, size, size_t{1} << windowBits, ' ', hooks);
  if (!window.valid()) return DecodeStatus::NoMemory;
  BlockDecoder d(input, windowBits);
  const DecodeStatus s = d.run(window);
  const DecodeStatus f = window.finish();
  if (f != DecodeStatus::Ok) return f;
  return s;
}

}  // namespace vz::readers::codecs
