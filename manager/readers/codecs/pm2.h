// -pm2-: PMarc's second method, LZ77 over an 8 KiB history with a code
// tree for literals and copy lengths and a second tree for the length of
// a copy's distance, both sent in the stream and rebuilt at fixed points
// of the output (after 1, 2 and 4 KiB, then every 4 KiB). Literals are
// coded through the byte history (pm_history.h).
#pragma once

#include <cstdint>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::readers::codecs {

// Decodes a -pm2- entry of size bytes. BadData for a tree or code that
// cannot occur or input that ends first; NoMemory; OutputStopped;
// Cancelled.
[[nodiscard]] engine::DecodeStatus decodePm2(engine::DecodeInput& input, engine::DecodeOutput& output, uint64_t size,
                                             const engine::DecodeHooks* hooks = nullptr);

}  // namespace vz::readers::codecs
