// ARC methods 1 and 2: the entry's bytes are the file's (method 1 is the
// older header without the unpacked size; the data is the same).
#include "manager/readers/codecs/arc_methods.h"
#include "manager/readers/codecs/arc_rle90.h"

namespace vz::readers::codecs {

ArcStatus decodeArcStored(engine::DecodeInput& input, engine::DecodeOutput& output, const engine::DecodeHooks* hooks) {
  engine::DecodeWindow window(output, hooks, true);
  if (!window.valid()) return ArcStatus::NoMemory;
  while (input.available() != 0 || input.refill()) {
    if (!window.write(input.data(), input.available())) return arcStatusOf(window.stopStatus());
    input.consume(input.available());
  }
  return arcStatusOf(window.close(input.failed() ? engine::DecodeStatus::BadData : engine::DecodeStatus::Ok));
}

}  // namespace vz::readers::codecs
