// One ARJ entry's data by its method (see arj_data.h).
#include "manager/readers/codecs/arj_data.h"

#include <algorithm>

#include "control/engine/decode/decode_window.h"
#include "manager/readers/codecs/arj_fastest.h"
#include "manager/readers/codecs/arj_lzh.h"

namespace vz::readers::codecs {

namespace {

// Stored data: the original size's bytes, copied through the window (which
// keeps the whole-window flushes and the hooks of the other methods).
ArjStatus copyStored(engine::DecodeInput& input, engine::DecodeOutput& output, uint64_t size,
                     const engine::DecodeHooks* hooks) {
  engine::DecodeWindow w(output, hooks, true);
  if (!w.valid()) return ArjStatus::NoMemory;
  while (size > 0) {
    if (input.available() == 0 && !input.refill()) {
      w.close(engine::DecodeStatus::BadData);
      return ArjStatus::BadData;
    }
    const size_t n = static_cast<size_t>(std::min<uint64_t>(size, input.available()));
    if (!w.write(input.data(), n))
      return w.stopStatus() == engine::DecodeStatus::Cancelled ? ArjStatus::Cancelled : ArjStatus::OutputStopped;
    input.consume(n);
    size -= n;
  }
  if (w.close(engine::DecodeStatus::Ok) != engine::DecodeStatus::Ok)
    return w.stopStatus() == engine::DecodeStatus::Cancelled ? ArjStatus::Cancelled : ArjStatus::OutputStopped;
  return ArjStatus::Ok;
}

}  // namespace

ArjStatus decodeArjData(int method, engine::DecodeInput& input, engine::DecodeOutput& output, uint64_t originalSize,
                        const engine::DecodeHooks* hooks) {
  switch (method) {
    case 0:
      return copyStored(input, output, originalSize, hooks);
    case 1:
    case 2:
    case 3:
      return decodeArjLzh(input, output, originalSize, hooks);
    case 4:
      return decodeArjFastest(input, output, originalSize, hooks);
    default:
      return ArjStatus::UnsupportedMethod;
  }
}

}  // namespace vz::readers::codecs
