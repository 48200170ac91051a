// ZOO's method 1: LZW with codes of 9 to 13 bits, least significant bit
// first, packed without gaps.
//
//   256   clear: the table is emptied and codes are 9 bits again; the code
//         after it is a literal
//   257   end of the stream
//   258.. strings: each code after the first adds the previous string plus
//         the first byte of the current one; the width grows by one bit
//         when the next free code reaches 2^width (up to 13 bits), and the
//         table stops growing when it is full (8192 entries)
//
// A code equal to the next free one is the previous string plus its own
// first byte.
#pragma once

#include <cstdint>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::readers::codecs {

// Decodes a method-1 stream into at most size bytes (the entry's declared
// size; output past it stops with OutputStopped). Ok at the end code;
// BadData for a code past the next free one, a string code as the first
// after a clear, or input that ends before the end code; NoMemory;
// Cancelled.
[[nodiscard]] engine::DecodeStatus decodeZooLzw(engine::DecodeInput& input, engine::DecodeOutput& output,
                                                const engine::DecodeHooks* hooks = nullptr);

}  // namespace vz::readers::codecs
