// Inflate: the deflate format of RFC 1951 (ZIP method 8).
#pragma once

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::engine {

// Decodes blocks until the one marked last and flushes the window. Returns
// Ok, or the status of the failing block: BadData (1), BadBlockType (2, also
// an over-subscribed code), NoMemory (3); OutputStopped when the output
// refused bytes, Cancelled through the hooks. The bytes decoded before a
// fault in the data are still flushed. The hooks are called after each block.
[[nodiscard]] DecodeStatus inflate(DecodeInput& input, DecodeOutput& output, const DecodeHooks* hooks = nullptr);

}  // namespace vz::engine
