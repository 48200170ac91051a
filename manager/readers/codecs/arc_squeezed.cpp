// ARC method 4, squeezed: a Huffman tree in front of the codes, and the
// decoded bytes are a run-length stream (arc_rle90.h).
//
//   0      node count N (16 bits, 0..256)
//   2      N nodes of two 16-bit signed children each: the child taken for
//          a 0 bit, then for a 1 bit. A child 0..N-1 is another node; a
//          negative child -(v + 1) is the leaf of value v, where 0..255 are
//          bytes and 256 ends the stream.
//   2+4N   codes, least significant bit first, from node 0 down to a leaf
//
// With no nodes the stream is empty. The input ending between codes ends
// the stream as the end code would (the CRC decides).
#include "manager/readers/codecs/arc_bits.h"
#include "manager/readers/codecs/arc_methods.h"
#include "manager/readers/codecs/arc_rle90.h"

namespace vz::readers::codecs {

namespace {
constexpr uint32_t kMaxNodes = 256;
constexpr int kEnd = 256;
}  // namespace

ArcStatus decodeArcSqueezed(engine::DecodeInput& input, engine::DecodeOutput& output,
                            const engine::DecodeHooks* hooks) {
  ArcBitReader bits(input);
  uint32_t count = 0;
  if (!bits.bytes(2, count)) return ArcStatus::BadData;
  if (count > kMaxNodes) return ArcStatus::BadTree;
  int16_t child[kMaxNodes][2];
  for (uint32_t n = 0; n < count; ++n) {
    for (int side = 0; side < 2; ++side) {
      uint32_t v = 0;
      if (!bits.bytes(2, v)) return ArcStatus::BadData;
      const int16_t c = static_cast<int16_t>(v);
      if (c >= static_cast<int32_t>(count) || c < -(kEnd + 1)) return ArcStatus::BadTree;
      child[n][side] = c;
    }
  }
  Rle90Output rle(output);
  if (!rle.valid()) return ArcStatus::NoMemory;
  engine::DecodeWindow window(rle, hooks, true);
  if (!window.valid()) return ArcStatus::NoMemory;
  if (count == 0) return finishRle90(window.close(engine::DecodeStatus::Ok), rle);
  int node = 0;
  uint32_t b = 0;
  while (bits.bit(b)) {
    const int c = child[node][b];
    if (c >= 0) {
      node = c;
      continue;
    }
    const int value = -(c + 1);
    if (value == kEnd) break;
    if (!window.put(static_cast<uint8_t>(value))) return arcStatusOf(window.stopStatus());
    node = 0;
  }
  return finishRle90(window.close(input.failed() ? engine::DecodeStatus::BadData : engine::DecodeStatus::Ok), rle);
}

}  // namespace vz::readers::codecs
