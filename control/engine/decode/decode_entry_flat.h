// One entry's compressed data decoded straight into a buffer the caller
// owns, whose size is the entry's declared uncompressed size (a memory
// block, or an output file mapped into memory). With the whole output in
// one place there is no 32 KB window to stage and copy through: matches
// copy from the output itself. This is the fast path of extraction and
// testing wherever the size is known; decode_entry.h stays the path for
// output that must be streamed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::engine {

// Decodes the entry (methods as decodeEntryDataExtended: 0-6, 8 and 9) into
// out[0..size). produced is the number of bytes written. Data that would run
// past size gives OutputStopped (nothing is written past out + size); a
// stream that ends before size bytes gives Ok with produced < size (the
// caller's size or CRC check fails the entry). Methods 8 and 9 decode
// straight into the buffer (inflateFlat), which may leave up to 31 bytes
// past produced overwritten when a stream ends early; the others are copied
// out of the windowed decoders.
[[nodiscard]] DecodeStatus decodeEntryToBuffer(int method, uint16_t generalPurposeFlags, DecodeInput& input,
                                               uint8_t* out, size_t size, size_t& produced,
                                               const DecodeHooks* hooks = nullptr);

}  // namespace vz::engine
