// The block Huffman methods of LHA: -lh4- (4 KiB window), -lh5- (8 KiB),
// -lh6- (32 KiB), -lh7- (64 KiB) and -lhx- (512 KiB); ZOO's method 2 is
// -lh5-.
//
// The stream is a run of blocks, bits most significant first:
//
//   16 bits        the number of codes in the block (at least 1)
//   lengths of the 19-symbol "length code" (5-bit count, see below)
//   lengths of the 510 literal/length symbols, coded with the length code
//                  (9-bit count; symbols 0..2 of the length code are runs of
//                  zero lengths: 1, 3 + 4 bits, 20 + 9 bits)
//   lengths of the position code (pbit-bit count: 4 bits for lh4/lh5, 5
//                  for the larger windows; np symbols, np = 14 for lh4 and
//                  lh5, else window bits + 1)
//   then the block's codes: a symbol below 256 is a literal; 256 + k is a
//   match of k + 3 bytes, followed by a position code j and, when j > 1,
//   j - 1 extra bits: the distance is (j ? 2^(j-1) + extra : 0) + 1.
//
// A length list is read as: count n (0: one symbol follows, in a field of
// the same width, which every code stands for); else n lengths, each 3 bits
// where 7 continues in unary (7 + the number of 1 bits before a 0); the
// length code's list has, after its third length, a 2-bit run of zero
// lengths. Lengths beyond n are 0. Codes must be complete.
#pragma once

#include <cstdint>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::readers::codecs {

// Decodes an entry of size bytes whose window is 2^windowBits bytes (12,
// 13, 15, 16 or 19). BadData for a bad length list, an incomplete or
// over-subscribed code, or input that ends before size bytes; NoMemory;
// OutputStopped when output refused bytes; Cancelled through the hooks.
[[nodiscard]] engine::DecodeStatus decodeLhBlock(engine::DecodeInput& input, engine::DecodeOutput& output,
                                                 uint64_t size, int windowBits,
                                                 const engine::DecodeHooks* hooks = nullptr);

}  // namespace vz::readers::codecs
