// ARJ methods 1, 2 and 3: LZ77 over a 26,624-byte window with the block
// Huffman coding. The three methods differ only in how hard the writer
// searched; the decoder is one.
//
// The stream is a run of blocks, read most significant bit first:
//
//   16 bits   symbols in the block (1..65535; 0 is taken as 65536)
//   T table   code lengths of the 19 length-code symbols (below)
//   C table   code lengths of the 510 main symbols, coded with the T code
//   P table   code lengths of the 17 distance classes
//   symbols   main symbols; a distance class follows each match
//
// T and P tables (read_pt):  n (5 bits, at most 19 resp. 17); n = 0: 5 more
//   bits name the one symbol, every code of it 0 bits long; else n lengths,
//   each 3 bits, where 7 continues in unary (each further 1 bit adds one,
//   a 0 bit ends it). In the T table, after the third length 2 bits give a
//   count of zero lengths that follow.
// C table:  n (9 bits, at most 510); n = 0: 9 more bits name the one
//   symbol; else T symbols: 0 = one zero length, 1 = 3 + 4 bits zero
//   lengths, 2 = 20 + 9 bits zero lengths, 3..18 = the length 1..16.
// Main symbols 0..255 are literals, 256..509 a match of length symbol -
//   253 (3..256).
// Distance class j: 0 for distance 1, else 2^(j-1) + (j-1) more bits, plus
//   one (the window holds 26,624 bytes: a farther distance is damage).
//
// The stream carries no end mark: decoding stops after the entry's original
// size. A distance before the first byte is damage too (the format's writer
// never sends one).
#pragma once

#include <cstdint>

#include "control/engine/decode/decode_io.h"
#include "manager/readers/codecs/arj_bits.h"

namespace vz::readers::codecs {

// The window of methods 1 to 4.
constexpr uint32_t kArjWindow = 26624;

// Decodes originalSize bytes of method 1, 2 or 3 data from input into
// output. The bytes decoded before a fault are delivered.
[[nodiscard]] ArjStatus decodeArjLzh(engine::DecodeInput& input, engine::DecodeOutput& output, uint64_t originalSize,
                                     const engine::DecodeHooks* hooks = nullptr);

}  // namespace vz::readers::codecs
