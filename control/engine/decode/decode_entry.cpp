// Dispatch of an entry's data to its decoder (see decode_entry.h).
#include "control/engine/decode/decode_entry.h"

#include "control/engine/decode/decode_window.h"
#include "control/engine/decode/explode.h"
#include "control/engine/decode/inflate.h"
#include "control/engine/decode/unreduce.h"
#include "control/engine/decode/unshrink.h"

namespace vz::engine {

namespace {

// Method 0: the compressed bytes are the data. They go through the window
// like every method's output, so the output sees the same whole-window
// flushes, and the hooks run after each one.
DecodeStatus copyStored(DecodeInput& input, DecodeOutput& output, uint64_t size, const DecodeHooks* hooks) {
  DecodeWindow window(output, hooks, true);
  if (!window.valid()) return DecodeStatus::NoMemory;
  while (input.available() > 0 || input.refill()) {
    const size_t n = input.available();
    if (!window.write(input.data(), n)) return window.stopStatus();
    input.consume(n);
  }
  DecodeStatus status = window.close(DecodeStatus::Ok);
  if (status == DecodeStatus::Ok && (input.failed() || output.total() < size)) status = DecodeStatus::BadData;
  return status;
}

}  // namespace

DecodeStatus decodeEntryData(int method, uint16_t generalPurposeFlags, uint64_t uncompressedSize, DecodeInput& input,
                             DecodeOutput& output, const DecodeHooks* hooks) {
  if (!isDecodableMethod(method)) return DecodeStatus::UnsupportedMethod;
  output.setLimit(uncompressedSize);
  switch (method) {
    case 0:
      return copyStored(input, output, uncompressedSize, hooks);
    case 1:
      return unshrink(input, output, uncompressedSize, hooks);
    case 6:
      return explode(input, output, generalPurposeFlags, uncompressedSize, hooks);
    case 8:
      return inflate(input, output, hooks);
    default:
      return unreduce(input, output, method - 1, uncompressedSize, hooks);
  }
}

}  // namespace vz::engine
