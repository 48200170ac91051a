// Streamed inflate for output that cannot be held in one buffer, in
// particular deflate64 (ZIP method 9), whose matches reach back 64 KB, too
// far for the 32 KB window of the other decoders.
#pragma once

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"
#include "control/engine/decode/inflate_flat.h"

namespace vz::engine {

// Decodes blocks until the one marked last and delivers the bytes through
// output, in flushes of 32,768 bytes and a final partial one (as the other
// decoders do). Statuses as inflate(): the bytes decoded before a fault in
// the data are still flushed; OutputStopped when the output refused bytes;
// Cancelled through the hooks, which are called after each block.
//
// tail, when given, receives after a stream that ended Ok the input bytes the
// decoder took in behind its last block (what follows the stream starts with
// them, then goes on with the input's unconsumed bytes): gzip members and
// their trailers.
struct InflateTail {
  uint8_t bytes[8] = {};  // the bytes, in order
  size_t count = 0;       // their number
};
[[nodiscard]] DecodeStatus inflateStreamed(DecodeInput& input, DecodeOutput& output, DeflateVariant variant,
                                           const DecodeHooks* hooks = nullptr, InflateTail* tail = nullptr);

// Method 9.
[[nodiscard]] inline DecodeStatus inflate64(DecodeInput& input, DecodeOutput& output,
                                            const DecodeHooks* hooks = nullptr) {
  return inflateStreamed(input, output, DeflateVariant::Deflate64, hooks);
}

}  // namespace vz::engine
