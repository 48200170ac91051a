// Unshrink: ZIP method 1, the dynamic LZW of the ZIP application note.
#pragma once

#include <cstdint>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::engine {

// Decodes until uncompressedSize bytes have been produced (a string that
// runs past that size is cut there). BadData for a code that is neither
// defined nor the next one to be defined, an unknown control code, a code
// size beyond 13 bits, or input that ends first; the bytes decoded before a
// fault are still flushed. The hooks are called after each window flush.
[[nodiscard]] DecodeStatus unshrink(DecodeInput& input, DecodeOutput& output, uint64_t uncompressedSize,
                                    const DecodeHooks* hooks = nullptr);

}  // namespace vz::engine
