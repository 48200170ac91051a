// Unreduce (ZIP methods 2 to 5, compression factor 1 to 4).
//
// Two layers. The inner one restores a byte stream from follower sets: the
// data starts with 256 sets, S(255) first, each a 6-bit count N (at most 32)
// and N bytes; then, for each byte, if the set of the last byte is empty, 8
// bits are the byte; otherwise a 1 bit means 8 bits follow with the byte and
// a 0 bit means B(N) bits index the set, B(N) being the bits needed for N-1
// (at least 1). The last byte starts as 0.
//
// The outer layer expands that byte stream: DLE (144) starts a match, DLE 0
// stands for the byte 144 itself. A match is DLE V [C] D: the low 8-factor
// bits of V are the length (all ones: the next byte C adds to it), and the
// distance is (V's high factor bits) * 256 + D + 1; length + 3 bytes are
// copied. History before the first byte reads as zeros (the window's
// history starts zeroed).
#include "control/engine/decode/unreduce.h"

#include <algorithm>

#include "control/engine/decode/bit_reader.h"
#include "control/engine/decode/decode_window.h"

namespace vz::engine {

namespace {

constexpr uint8_t kDle = 144;     // escape byte of the outer layer
constexpr unsigned kMaxSet = 32;  // largest follower set

// Bits of a follower index for a set of n bytes (n = 1 to 32).
unsigned indexBits(unsigned n) {
  unsigned bits = 1;
  while ((1u << bits) < n) ++bits;
  return bits;
}

enum class State { Literal, Escape, LengthByte, DistanceByte };

}  // namespace

DecodeStatus unreduce(DecodeInput& input, DecodeOutput& output, int factor, uint64_t uncompressedSize,
                      const DecodeHooks* hooks) {
  if (factor < 1 || factor > 4) return DecodeStatus::BadData;
  DecodeWindow window(output, hooks, true);
  if (!window.valid()) return DecodeStatus::NoMemory;
  BitReader br(input);

  uint8_t sets[256][kMaxSet];
  unsigned setSize[256];
  for (int j = 255; j >= 0; --j) {
    uint32_t n;
    if (!br.take(6, n)) return window.close(DecodeStatus::BadData);
    if (n > kMaxSet) return window.close(DecodeStatus::BadData);
    setSize[j] = n;
    for (unsigned k = 0; k < n; ++k) {
      uint32_t b;
      if (!br.take(8, b)) return window.close(DecodeStatus::BadData);
      sets[j][k] = static_cast<uint8_t>(b);
    }
  }

  const unsigned lengthMask = 0xFFu >> factor;  // the low 8 - factor bits of V
  State state = State::Literal;
  uint8_t last = 0;     // the last byte of the inner layer
  unsigned v = 0;       // the byte after DLE
  unsigned length = 0;  // match length less 3
  while (window.produced() < uncompressedSize) {
    // Inner layer: the next byte.
    uint32_t c;
    const unsigned n = setSize[last];
    if (n == 0) {
      if (!br.take(8, c)) return window.close(DecodeStatus::BadData);
    } else {
      uint32_t flag;
      if (!br.take(1, flag)) return window.close(DecodeStatus::BadData);
      if (flag != 0) {
        if (!br.take(8, c)) return window.close(DecodeStatus::BadData);
      } else {
        uint32_t index;
        if (!br.take(indexBits(n), index)) return window.close(DecodeStatus::BadData);
        if (index >= n) return window.close(DecodeStatus::BadData);
        c = sets[last][index];
      }
    }
    last = static_cast<uint8_t>(c);

    // Outer layer.
    switch (state) {
      case State::Literal:
        if (c == kDle) {
          state = State::Escape;
        } else if (!window.put(static_cast<uint8_t>(c))) {
          return window.stopStatus();
        }
        break;
      case State::Escape:
        if (c == 0) {
          if (!window.put(kDle)) return window.stopStatus();
          state = State::Literal;
        } else {
          v = c;
          length = v & lengthMask;
          state = (length == lengthMask) ? State::LengthByte : State::DistanceByte;
        }
        break;
      case State::LengthByte:
        length += c;
        state = State::DistanceByte;
        break;
      case State::DistanceByte: {
        const size_t distance = ((v >> (8 - factor)) << 8) + c + 1;
        const uint64_t room = uncompressedSize - window.produced();
        const size_t count = static_cast<size_t>(std::min<uint64_t>(length + 3, room));
        if (!window.copyMatch(distance, count)) return window.stopStatus();
        state = State::Literal;
        break;
      }
    }
  }
  return window.close(DecodeStatus::Ok);
}

}  // namespace vz::engine
