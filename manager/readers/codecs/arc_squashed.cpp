// ARC method 9, squashed: the LZW of compress with codes of 9 to 13 bits
// and CLEAR (code 256), least significant bit first, in groups as compress
// writes them; no width byte in front and no run-length stage.
#include "manager/readers/codecs/arc_lzw_input.h"
#include "manager/readers/codecs/arc_methods.h"
#include "manager/readers/codecs/arc_rle90.h"
#include "manager/readers/codecs/lzw_compress.h"

namespace vz::readers::codecs {

namespace {
constexpr unsigned kWidest = 13;
}

ArcStatus decodeArcSquashed(engine::DecodeInput& input, engine::DecodeOutput& output,
                            const engine::DecodeHooks* hooks) {
  LzwHeaderInput codes(input, kWidest);
  const ArcStatus r = arcStatusOf(decodeLzwCompress(codes, output, hooks));
  return r == ArcStatus::BadData ? ArcStatus::BadCode : r;
}

}  // namespace vz::readers::codecs
