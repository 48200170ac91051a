// ARC method 3, packed: the entry's bytes are the run-length stream of
// arc_rle90.h.
#include "manager/readers/codecs/arc_methods.h"
#include "manager/readers/codecs/arc_rle90.h"

namespace vz::readers::codecs {

ArcStatus decodeArcPacked(engine::DecodeInput& input, engine::DecodeOutput& output, const engine::DecodeHooks* hooks) {
  Rle90Output rle(output);
  if (!rle.valid()) return ArcStatus::NoMemory;
  engine::DecodeWindow window(rle, hooks, true);
  if (!window.valid()) return ArcStatus::NoMemory;
  while (input.available() != 0 || input.refill()) {
    if (!window.write(input.data(), input.available())) return arcStatusOf(window.stopStatus());
    input.consume(input.available());
  }
  return finishRle90(window.close(input.failed() ? engine::DecodeStatus::BadData : engine::DecodeStatus::Ok), rle);
}

}  // namespace vz::readers::codecs
