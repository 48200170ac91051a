// The stored copy of the LHA family (see lh_stored.h).
#include "manager/readers/codecs/lh_stored.h"

#include <cstring>
#include <memory>
#include <new>

namespace vz::readers::codecs {

engine::DecodeStatus copyLhStored(engine::DecodeInput& input, engine::DecodeOutput& output, uint64_t size,
                                  const engine::DecodeHooks* hooks) {
  using engine::DecodeStatus;
  constexpr size_t kChunk = 32768;
  std::unique_ptr<uint8_t[]> buf(new (std::nothrow) uint8_t[kChunk]);
  if (!buf) return DecodeStatus::NoMemory;
  size_t fill = 0;
  uint64_t left = size;
  while (left > 0) {
    if (input.available() == 0 && !input.refill()) break;
    size_t n = input.available();
    if (n > kChunk - fill) n = kChunk - fill;
    if (n > left) n = static_cast<size_t>(left);
    std::memcpy(buf.get() + fill, input.data(), n);
    input.consume(n);
    fill += n;
    left -= n;
    if (fill == kChunk) {
      if (!output.flush(buf.get(), fill)) return DecodeStatus::OutputStopped;
      fill = 0;
      if (hooks != nullptr) {
        if (hooks->pump) hooks->pump();
        if (hooks->cancelled && hooks->cancelled()) return DecodeStatus::Cancelled;
      }
    }
  }
  if (fill > 0 && !output.flush(buf.get(), fill)) return DecodeStatus::OutputStopped;
  return left == 0 ? DecodeStatus::Ok : DecodeStatus::BadData;
}

}  // namespace vz::readers::codecs
