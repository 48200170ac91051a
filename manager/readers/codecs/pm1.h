// -pm1-: PMarc's first method, LZ77 over a 16 KiB history with fixed
// (static) prefix codes whose reach grows with the output: copy distances
// and literal runs use shorter codes early in the stream, while no longer
// distance can occur yet. Literals are coded through the byte history
// (pm_history.h), their distance from its front picked from six ranges by
// one of 32 small code trees that the stream's first five bits select (the
// last selects none: every literal is then among the 16 nearest).
#pragma once

#include <cstdint>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::readers::codecs {

// Decodes a -pm1- entry of size bytes. BadData for a copy from before the
// start or input that ends first (past the few zero bytes granted behind
// it); NoMemory; OutputStopped; Cancelled.
[[nodiscard]] engine::DecodeStatus decodePm1(engine::DecodeInput& input, engine::DecodeOutput& output, uint64_t size,
                                             const engine::DecodeHooks* hooks = nullptr);

}  // namespace vz::readers::codecs
