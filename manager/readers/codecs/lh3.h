// -lh3-: LZSS over an 8 KiB window with static Huffman codes sent per block.
//
// Each block, bits most significant first:
//
//   16 bits      the number of codes in the block
//   286 entries  the literal/length code: per symbol a bit 0 (unused) or
//                a bit 1 and 4 bits of length - 1. When the first three
//                symbols all have length 1 the list stops there and 9 bits
//                name the one symbol every code stands for.
//   1 bit        1: the position code follows, 128 entries of 4-bit
//                lengths (0 unused; the same three-ones escape with a
//                7-bit symbol); 0: the fixed position code (1 code of 2
//                bits, 2 of 4, 3 of 5, 7 of 6, 18 of 7, 47 of 8, 50 of 9,
//                assigned in order)
//   codes        a symbol below 256 is a literal; 256..284 a match of
//                symbol - 253 bytes; 285 takes 8 more bits, the match then
//                being 32 + those bits long. A match is followed by a
//                position code (the upper 7 bits) and 6 bits (the lower);
//                the distance is the position + 1.
#pragma once

#include <cstdint>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::readers::codecs {

// Decodes an -lh3- entry of size bytes. BadData for a bad code list or
// input that ends first; NoMemory; OutputStopped; Cancelled.
[[nodiscard]] engine::DecodeStatus decodeLh3(engine::DecodeInput& input, engine::DecodeOutput& output, uint64_t size,
                                             const engine::DecodeHooks* hooks = nullptr);

// The lengths of the fixed position code (128 entries), for the tests'
// encoder.
void lh3FixedPositionLengths(uint8_t* lengths);

}  // namespace vz::readers::codecs
