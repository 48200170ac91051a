// Explode: ZIP method 6, a sliding dictionary whose output is coded with two
// or three Shannon-Fano trees, as the ZIP application note describes it.
#pragma once

#include <cstdint>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::engine {

// General purpose flag bit 1: 8 KB dictionary (set) or 4 KB (clear); bit 2:
// three trees with a literal tree and minimum match length 3 (set), or two
// trees and minimum match length 2 (clear). Decodes until uncompressedSize
// bytes have been produced (a match that runs past it is cut there).
// BadShannonFano for tree data that does not describe exactly the tree's
// values or whose lengths do not form a complete code; BadData for an
// invalid code or input that ends first; NoMemory when the tables cannot be
// built. The bytes decoded before a fault are still flushed. The hooks are
// called after each window flush.
[[nodiscard]] DecodeStatus explode(DecodeInput& input, DecodeOutput& output, uint16_t generalPurposeFlags,
                                   uint64_t uncompressedSize, const DecodeHooks* hooks = nullptr);

}  // namespace vz::engine
