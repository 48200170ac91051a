// One entry's compressed data to its bytes, by compression method: the
// extractor's single entry point into the decoders.
#pragma once

#include <cstdint>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::engine {

// Decodes an entry of method 0 (stored: the compressed bytes are copied), 1
// (unshrink), 2 to 5 (unreduce with factor method - 1), 6 (explode; flags
// bits 1 and 2 choose the dictionary and the trees) or 8 (inflate); any other
// method gives UnsupportedMethod without reading anything.
//
// The output is limited to uncompressedSize: data that runs past it is cut
// there, output.overran() turns true and the result is OutputStopped, so the
// extractor can fail the entry. The legacy methods stop at that size by
// their nature. A stored entry whose compressed bytes end before the size is
// reached, or whose input fails, gives BadData.
[[nodiscard]] DecodeStatus decodeEntryData(int method, uint16_t generalPurposeFlags, uint64_t uncompressedSize,
                                           DecodeInput& input, DecodeOutput& output,
                                           const DecodeHooks* hooks = nullptr);

// The methods decodeEntryData accepts.
constexpr bool isDecodableMethod(int method) { return (method >= 0 && method <= 6) || method == 8; }

}  // namespace vz::engine
