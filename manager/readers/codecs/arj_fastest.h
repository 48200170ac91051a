// ARJ method 4 ("fastest"): LZ77 over the 26,624-byte window with no
// Huffman coding, only variable-length numbers, read most significant bit
// first:
//
//   length   unary prefix of up to 7 one bits (ended by a 0 bit unless all
//            7 are ones), then as many bits as there were ones: the value
//            is 2^w - 1 + those bits, w the count of ones (0..7, so
//            0..254). 0 is a literal: 8 bits follow. Otherwise a match of
//            value + 2 bytes (3..256).
//   distance the same scheme with a 9-bit base: up to 4 one bits, then
//            9 + w bits; the distance is 2^(9+w) - 2^9 + those bits + 1
//            (1..15,872).
//
// No end mark: decoding stops after the entry's original size.
#pragma once

#include <cstdint>

#include "control/engine/decode/decode_io.h"
#include "manager/readers/codecs/arj_bits.h"

namespace vz::readers::codecs {

// Decodes originalSize bytes of method 4 data from input into output. The
// bytes decoded before a fault are delivered.
[[nodiscard]] ArjStatus decodeArjFastest(engine::DecodeInput& input, engine::DecodeOutput& output,
                                         uint64_t originalSize, const engine::DecodeHooks* hooks = nullptr);

}  // namespace vz::readers::codecs
