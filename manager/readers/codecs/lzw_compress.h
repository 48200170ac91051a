// The LZW of the Unix compress program (.Z files).
//
//   byte 0   1F
//   byte 1   9D
//   byte 2   flags: bits 0-4 the widest code (9 to 16 bits), bit 7 block
//            mode (code 256 is CLEAR), bits 5-6 unused
//   byte 3.. codes, least significant bit first
//
// Codes start 9 bits wide and widen by one bit each time the table's next
// free entry would not fit, up to the widest. The codes of one width come
// in groups of as many bytes as the width has bits (eight codes); when the
// width changes, or after a CLEAR, the rest of the current group is padding.
#pragma once

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::readers::codecs {

// Decodes a whole .Z stream, header included, from input into output.
// Returns Ok; BadData for a wrong header, a widest code outside 9..16, a
// code past the table's next free entry, a first code above 255, or input
// that ends inside a code (bits that are not the zero padding of the last
// byte); NoMemory; OutputStopped when output refused bytes (past its limit);
// Cancelled through the hooks, which are called after each 32 KB of output.
// The bytes decoded before a fault are still delivered.
[[nodiscard]] engine::DecodeStatus decodeLzwCompress(engine::DecodeInput& input, engine::DecodeOutput& output,
                                                     const engine::DecodeHooks* hooks = nullptr);

}  // namespace vz::readers::codecs
