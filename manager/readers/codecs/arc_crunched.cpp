// ARC method 8, crunched: the LZW of compress, codes of 9 to 12 bits with
// CLEAR (code 256), least significant bit first, in groups as compress
// writes them; the decoded bytes are a run-length stream (arc_rle90.h).
//
//   0      the widest code: 12 (the only width ARC writes)
//   1      codes
#include "manager/readers/codecs/arc_lzw_input.h"
#include "manager/readers/codecs/arc_methods.h"
#include "manager/readers/codecs/arc_rle90.h"
#include "manager/readers/codecs/lzw_compress.h"

namespace vz::readers::codecs {

namespace {
constexpr uint8_t kWidest = 12;
}

ArcStatus decodeArcCrunched(engine::DecodeInput& input, engine::DecodeOutput& output,
                            const engine::DecodeHooks* hooks) {
  if (input.available() == 0 && !input.refill()) return ArcStatus::BadData;
  const uint8_t widest = *input.data();
  input.consume(1);
  if (widest != kWidest) return ArcStatus::BadData;
  Rle90Output rle(output);
  if (!rle.valid()) return ArcStatus::NoMemory;
  LzwHeaderInput codes(input, kWidest);
  const ArcStatus r = finishRle90(decodeLzwCompress(codes, rle, hooks), rle);
  return r == ArcStatus::BadData ? ArcStatus::BadCode : r;
}

}  // namespace vz::readers::codecs
