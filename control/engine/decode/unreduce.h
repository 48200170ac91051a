// Unreduce: ZIP methods 2 to 5, follower sets and a length/distance
// expansion, as the ZIP application note describes them.
#pragma once

#include <cstdint>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::engine {

// factor = method - 1 (1 to 4). Decodes until uncompressedSize bytes have
// been produced (a match that runs past that size is cut there). BadData for
// a follower set longer than 32, a follower index outside its set, a factor
// outside 1 to 4, or input that ends first; the bytes decoded before a fault
// are still flushed. The hooks are called after each window flush.
[[nodiscard]] DecodeStatus unreduce(DecodeInput& input, DecodeOutput& output, int factor, uint64_t uncompressedSize,
                                    const DecodeHooks* hooks = nullptr);

}  // namespace vz::engine
