// The -lh3- decoder (see lh3.h).
#include "manager/readers/codecs/lh3.h"

#include "manager/readers/codecs/lh_bits.h"
#include "manager/readers/codecs/lh_huffman.h"
#include "manager/readers/codecs/lh_window.h"

namespace vz::readers::codecs {

namespace {

using engine::DecodeStatus;

constexpr int kSymbols = 286;  // literals, lengths 3..31, and the escape
constexpr int kEscape = kSymbols - 1;
constexpr int kPositions = 128;  // upper 7 bits of a 13-bit position

class Lh3Decoder {
 public:
  explicit Lh3Decoder(engine::DecodeInput& in) : bits_(in) {}

  // One list of lengths with the three-ones escape. flagged: each length
  // behind a presence bit and stored less one (the literal/length list).
  bool readList(uint8_t* lengths, int n, bool flagged, int symbolBits, LhHuffman& table, int tableBits) {
    for (int i = 0; i < n;) {
      if (flagged) {
        lengths[i] = bits_.get(1) ? static_cast<uint8_t>(bits_.get(4) + 1) : 0;
      } else {
        lengths[i] = static_cast<uint8_t>(bits_.get(4));
      }
      if (++i == 3 && lengths[0] == 1 && lengths[1] == 1 && lengths[2] == 1) {
        const int c = static_cast<int>(bits_.get(symbolBits));
        if (c >= n) return false;
        table.single(c);
        return true;
      }
    }
    return table.build(lengths, n, tableBits);
  }

  bool readBlockHeader() {
    blockLeft_ = bits_.get(16);
    if (blockLeft_ == 0) return false;
    uint8_t c[kSymbols];
    if (!readList(c, kSymbols, true, 9, c_, 12)) return false;
    uint8_t p[kPositions];
    if (bits_.get(1)) return readList(p, kPositions, false, 7, p_, 8);
    lh3FixedPositionLengths(p);
    return p_.build(p, kPositions, 8);
  }

  DecodeStatus run(LhWindow& w) {
    while (!w.done()) {
      if (blockLeft_ == 0 && !readBlockHeader()) return DecodeStatus::BadData;
      --blockLeft_;
      int c = c_.decode(bits_);
      if (c == kEscape) c += static_cast<int>(bits_.get(8));
      if (c < 256) {
        w.put(static_cast<uint8_t>(c));
      } else {
        const size_t pos = static_cast<size_t>(p_.decode(bits_)) << 6 | bits_.get(6);
        w.copy(pos + 1, static_cast<size_t>(c - 256 + 3));
      }
      if (bits_.pastEnd()) return DecodeStatus::BadData;
    }
    return DecodeStatus::Ok;
  }

 private:
  LhBits bits_;             // the compressed stream
  LhHuffman c_;             // the block's literal/length code
  LhHuffman p_;             // its position code
  uint32_t blockLeft_ = 0;  // codes left in the block
};

}  // namespace

void lh3FixedPositionLengths(uint8_t* lengths) {
  // Where each longer length starts: 2 bits at 0, none of 3, 4 from 1, 5
  // from 3, 6 from 6, 7 from 13, 8 from 31, 9 from 78.
  static const int kStarts[] = {1, 1, 3, 6, 13, 31, 78};
  int len = 2, next = 0;
  for (int i = 0; i < kPositions; ++i) {
    while (next < 7 && kStarts[next] == i) ++len, ++next;
    lengths[i] = static_cast<uint8_t>(len);
  }
}

DecodeStatus decodeLh3(engine::DecodeInput& input, engine::DecodeOutput& output, uint64_t size,
                       const engine::DecodeHooks* hooks) {
  LhWindow w(output, size, 8192, ' ', hooks);
  if (!w.valid()) return DecodeStatus::NoMemory;
  Lh3Decoder d(input);
  const DecodeStatus s = d.run(w);
  const DecodeStatus f = w.finish();
  return f != DecodeStatus::Ok ? f : s;
}

}  // namespace vz::readers::codecs
