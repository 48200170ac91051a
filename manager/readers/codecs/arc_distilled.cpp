// PAK method 11, distilled: LZ77 over an 8 KB window, its literals, lengths
// and end code coded with a Huffman tree stored in front, its offsets with
// a fixed code. Bits are read least significant first throughout.
//
//   0      node count N (16 bits, 2..628)
//   2      W, the bits of each node value (1..16)
//   3      N node values of W bits each (bit-packed, continuing into the codes)
//   ...    codes
//
// The tree: node values come in pairs, the value taken for a 0 bit at index
// i and for a 1 bit at i + 1; decoding starts at index N - 2. A value below
// N is the index of the next pair, a value of N or more the leaf of symbol
// value - N.
//
// Symbols: 0..255 a byte; 256 the end; 257 and up a match of
// symbol - 254 bytes (3 and up), followed by its offset: a 6-bit high part
// in the fixed code below, then x low bits, where x grows with the bytes
// written so far (p):
//
//   p < 4: 0    p < 68: 1    p < 196: 2    p < 452: 3    p < 964: 4
//   p < 1988: 5    p < 4036: 6    else 7
//
// and the match starts (high << x) + low + 1 bytes back. Before the first
// byte the window holds zeros.
//
// The fixed offset code gives high parts 0..63 codes of 3 to 8 bits; below,
// each code's bits in the order they are read are the value's bits from
// bit 0 up.
#include <cstdint>

#include "manager/readers/codecs/arc_bits.h"
#include "manager/readers/codecs/arc_methods.h"
#include "manager/readers/codecs/arc_rle90.h"

namespace vz::readers::codecs {

namespace {

constexpr uint32_t kMaxNodes = 0x274;
constexpr uint32_t kEnd = 256;
constexpr unsigned kMaxDepth = 64;

constexpr uint8_t kOffsetLengths[64] = {
    3, 4, 4, 4, 5, 5, 5, 5, 5, 5, 5, 5, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 7, 7, 7, 7, 7, 7, 7, 7,
    7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8,
};
constexpr uint8_t kOffsetCodes[64] = {
    0x00, 0x02, 0x04, 0x0C, 0x01, 0x06, 0x0A, 0x0E, 0x11, 0x16, 0x1A, 0x1E, 0x05, 0x09, 0x0D, 0x15,
    0x19, 0x1D, 0x25, 0x29, 0x2D, 0x35, 0x39, 0x3D, 0x03, 0x07, 0x0B, 0x13, 0x17, 0x1B, 0x23, 0x27,
    0x2B, 0x33, 0x37, 0x3B, 0x43, 0x47, 0x4B, 0x53, 0x57, 0x5B, 0x63, 0x67, 0x6B, 0x73, 0x77, 0x7B,
    0x0F, 0x1F, 0x2F, 0x3F, 0x4F, 0x5F, 0x6F, 0x7F, 0x8F, 0x9F, 0xAF, 0xBF, 0xCF, 0xDF, 0xEF, 0xFF,
};

// The fixed offset code by its next 8 bits: the high part and its length.
struct OffsetTable {
  uint8_t high[256];
  uint8_t length[256];
  constexpr OffsetTable() : high(), length() {
    for (uint32_t s = 0; s < 64; ++s)
      for (uint32_t rest = 0; rest < (1u << (8 - kOffsetLengths[s])); ++rest) {
        const uint32_t i = kOffsetCodes[s] | (rest << kOffsetLengths[s]);
        high[i] = static_cast<uint8_t>(s);
        length[i] = kOffsetLengths[s];
      }
  }
};
constexpr OffsetTable kOffsets;

unsigned lowBits(uint64_t written) {
  static constexpr uint64_t kFrom[7] = {4, 68, 196, 452, 964, 1988, 4036};
  unsigned x = 0;
  while (x < 7 && written >= kFrom[x]) ++x;
  return x;
}

}  // namespace

ArcStatus decodeArcDistilled(engine::DecodeInput& input, engine::DecodeOutput& output,
                             const engine::DecodeHooks* hooks) {
  ArcBitReader bits(input);
  uint32_t count = 0, width = 0;
  if (!bits.bytes(2, count) || !bits.bytes(1, width)) return ArcStatus::BadData;
  if (count < 2 || count > kMaxNodes || width < 1 || width > 16) return ArcStatus::BadTree;
  uint16_t node[kMaxNodes];
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t v = 0;
    if (!bits.read(width, v)) return ArcStatus::BadData;
    node[i] = static_cast<uint16_t>(v);
  }
  engine::DecodeWindow window(output, hooks, true);
  if (!window.valid()) return ArcStatus::NoMemory;
  ArcStatus status = ArcStatus::Ok;
  for (;;) {
    // Down the tree to a leaf.
    uint32_t at = count - 2;
    uint32_t symbol = 0;
    unsigned depth = 0;
    bool ended = false;
    for (;;) {
      uint32_t b = 0;
      if (!bits.bit(b)) {
        ended = true;
        break;
      }
      const uint32_t v = node[at + b];
      if (v >= count) {
        symbol = v - count;
        break;
      }
      if (v + 1 >= count || ++depth > kMaxDepth) {
        status = ArcStatus::BadTree;
        break;
      }
      at = v;
    }
    if (status != ArcStatus::Ok) break;
    if (ended) break;  // no end code: what was decoded stands (the size and CRC decide)
    if (symbol == kEnd) break;
    if (symbol < 256) {
      if (!window.put(static_cast<uint8_t>(symbol))) return arcStatusOf(window.stopStatus());
      continue;
    }
    const size_t length = symbol - 254;
    unsigned real = 0;
    const uint32_t peek = bits.peek(8, real);
    const unsigned len = kOffsets.length[peek];
    if (len > real) {
      status = ArcStatus::BadData;
      break;
    }
    bits.drop(len);
    const unsigned x = lowBits(window.produced());
    uint32_t low = 0;
    if (!bits.read(x, low)) {
      status = ArcStatus::BadData;
      break;
    }
    const size_t distance = (static_cast<size_t>(kOffsets.high[peek]) << x) + low + 1;
    if (!window.copyMatch(distance, length)) return arcStatusOf(window.stopStatus());
  }
  const engine::DecodeStatus closed =
      window.close(status == ArcStatus::Ok ? engine::DecodeStatus::Ok : engine::DecodeStatus::BadData);
  if (closed == engine::DecodeStatus::OutputStopped || closed == engine::DecodeStatus::Cancelled)
    return arcStatusOf(closed);
  return status;
}

}  // namespace vz::readers::codecs
