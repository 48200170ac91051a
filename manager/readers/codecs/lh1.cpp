// The -lh1- decoder (see lh1.h).
#include "manager/readers/codecs/lh1.h"

#include "manager/readers/codecs/lh_adaptive.h"
#include "manager/readers/codecs/lh_bits.h"
#include "manager/readers/codecs/lh_huffman.h"
#include "manager/readers/codecs/lh_window.h"

namespace vz::readers::codecs {

namespace {

using engine::DecodeStatus;

constexpr int kSymbols = 256 + 60 - 3 + 1;  // literals, then lengths 3..60
constexpr int kPositions = 64;              // upper 6 bits of a 12-bit position

// Lengths of the fixed position code: where each longer length starts.
void fixedPositionLengths(uint8_t* lengths) {
  static const int kStarts[] = {1, 4, 12, 24, 48};  // lengths 4, 5, 6, 7, 8 begin here
  int len = 3, next = 0;
  for (int i = 0; i < kPositions; ++i) {
    while (next < 5 && kStarts[next] == i) ++len, ++next;
    lengths[i] = static_cast<uint8_t>(len);
  }
}

}  // namespace

DecodeStatus decodeLh1(engine::DecodeInput& input, engine::DecodeOutput& output, uint64_t size,
                       const engine::DecodeHooks* hooks) {
  LhWindow w(output, size, 4096, ' ', hooks);
  if (!w.valid()) return DecodeStatus::NoMemory;
  LhBits bits(input);
  LhAdaptiveTree tree(kSymbols);
  uint8_t lengths[kPositions];
  fixedPositionLengths(lengths);
  LhHuffman positions;
  positions.build(lengths, kPositions, 8);
  DecodeStatus s = DecodeStatus::Ok;
  while (!w.done()) {
    const int c = tree.decode(bits);
    if (c < 256) {
      w.put(static_cast<uint8_t>(c));
    } else {
      const size_t p = static_cast<size_t>(positions.decode(bits)) << 6 | bits.get(6);
      w.copy(p + 1, static_cast<size_t>(c - 256 + 3));
    }
    if (bits.pastEnd()) {
      s = DecodeStatus::BadData;
      break;
    }
  }
  const DecodeStatus f = w.finish();
  return f != DecodeStatus::Ok ? f : s;
}

}  // namespace vz::readers::codecs
