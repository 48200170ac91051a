// The stored methods of the LHA family: -lh0-, -lz4-, -pm0- and ZOO's
// method 0. The entry's bytes are its data; exactly size bytes are copied.
#pragma once

#include <cstdint>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::readers::codecs {

// Copies size bytes in 32 KB flushes. BadData when input ends first;
// NoMemory; OutputStopped; Cancelled.
[[nodiscard]] engine::DecodeStatus copyLhStored(engine::DecodeInput& input, engine::DecodeOutput& output, uint64_t size,
                                                const engine::DecodeHooks* hooks = nullptr);

}  // namespace vz::readers::codecs
