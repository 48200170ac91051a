// -lh1-: LZSS over a 4 KiB window with an adaptive Huffman code for
// literals and match lengths and a fixed code for positions.
//
// The 314 literal/length symbols (256 literals, then lengths 3..60) start
// with equal weights in a tree that is updated after every symbol: the
// symbol's leaf and its ancestors gain one, and a node whose weight passes
// the next node's trades places with the last node of the lower weight, so
// the nodes stay sorted by weight. When the root's weight reaches 8000 hex
// every leaf's weight is halved (rounded up) and the tree rebuilt.
//
// A bit 0 goes to a node's first child, 1 to its second. A match is
// followed by a position: its upper 6 bits in a fixed code of 3 to 8 bits
// (1 code of 3 bits, 3 of 4, 8 of 5, 12 of 6, 24 of 7, 16 of 8, assigned
// in order), its lower 6 bits as they are; the distance is the position + 1.
#pragma once

#include <cstdint>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::readers::codecs {

// Decodes an -lh1- entry of size bytes. BadData when input ends first;
// NoMemory; OutputStopped; Cancelled.
[[nodiscard]] engine::DecodeStatus decodeLh1(engine::DecodeInput& input, engine::DecodeOutput& output, uint64_t size,
                                             const engine::DecodeHooks* hooks = nullptr);

}  // namespace vz::readers::codecs
