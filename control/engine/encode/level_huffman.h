// Huffman code lengths for the levelled deflate compressor's blocks
// (level_block.h), built in time linear in the symbols used after one sort.
//
// The symbols in use are sorted by frequency (ties by symbol), and the tree
// is built with two queues: the sorted leaves, and the inner nodes, which
// are made in order of weight, so the two lightest nodes are always at the
// fronts of the queues (a leaf goes first on a tie, which keeps the tree
// flat). The depths of the inner nodes follow from the root down; only the
// number of leaves at each depth is kept, since handing the longest lengths
// to the least frequent symbols is never worse than the tree's own order.
//
// Lengths over the limit (15 bits, 7 for the code-length code) are clamped
// to it, which over-fills the code; each fix-up step then moves the deepest
// leaf above the limit one level down and lifts a clamped leaf up beside it,
// taking exactly one unit (2^-limit) off the Kraft sum, until the code is
// complete again. As in the control's builder, at least two symbols get a
// length: code 0, and code 1 when needed, are added with a frequency of 1.
#pragma once

#include <cstdint>

namespace vz::engine::level {

// Builds the code lengths (at most maxBits, 7..15) of an alphabet of n
// symbols, n <= 2^maxBits and n <= 512, with the frequencies freq (each
// under 2^22, their sum under 2^32) into
// lengths[0..n-1] (0: no code). Returns the highest symbol with a length.
int huffmanLengths(const uint32_t* freq, int n, int maxBits, uint8_t* lengths);

}  // namespace vz::engine::level
