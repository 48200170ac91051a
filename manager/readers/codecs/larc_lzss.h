// The LArc methods: -lzs- (2 KiB window) and -lz5- (4 KiB window), LZSS
// with plain fields. -lz4- is stored (lh_stored.h).
//
// Both address the history by absolute position in a ring that starts
// 17 (lzs) or 18 (lz5) bytes before its end; a match copies from that
// position on, the bytes it has just written included.
//
//   -lzs-, bits most significant first:
//     1 + 8 bits          a literal
//     0 + 11 + 4 bits     a match: ring position, length - 2
//   The ring starts as spaces.
//
//   -lz5-, bytes: a flag byte, least significant bit first for the next
//   eight items; a 1 flag is a literal byte, a 0 flag two bytes a, b: the
//   ring position a | (b & F0) << 4 and the length (b & 0F) + 3.
//   The ring starts as a pattern: each byte value 13 times over (0 up to
//   255), then 0..255, 255..0, 128 zeros and spaces to the end.
#pragma once

#include <cstdint>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::readers::codecs {

// Decode an entry of size bytes. BadData when input ends first; NoMemory;
// OutputStopped; Cancelled.
[[nodiscard]] engine::DecodeStatus decodeLzs(engine::DecodeInput& input, engine::DecodeOutput& output, uint64_t size,
                                             const engine::DecodeHooks* hooks = nullptr);
[[nodiscard]] engine::DecodeStatus decodeLz5(engine::DecodeInput& input, engine::DecodeOutput& output, uint64_t size,
                                             const engine::DecodeHooks* hooks = nullptr);

}  // namespace vz::readers::codecs
