// Inflate straight into the caller's buffer: the output of one entry whose
// uncompressed size is known, decoded with no window (matches copy from the
// buffer itself). Both deflate variants: plain deflate (ZIP method 8) and
// deflate64 (method 9: a 64 KB reach, length symbol 285 with 16 extra bits,
// distance symbols 30 and 31).
#pragma once

#include <cstddef>
#include <cstdint>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::engine {

enum class DeflateVariant : uint8_t {
  Deflate,    // RFC 1951, method 8
  Deflate64,  // the 64 KB variant, method 9
};

// Decodes blocks until the one marked last into out[0..size); produced is
// the number of bytes written. Statuses as inflate() (inflate.h): BadData,
// BadBlockType (also an over-subscribed code), NoMemory, Cancelled through
// the hooks (called after each block). Data that would run past size gives
// OutputStopped at once, with the buffer filled up to size; a stream that
// ends before size bytes gives Ok with produced < size. Nothing is written
// outside out[0..size), but up to 31 bytes past produced may be
// overwritten when decoding ends early.
[[nodiscard]] DecodeStatus inflateFlat(DecodeInput& input, uint8_t* out, size_t size, size_t& produced,
                                       DeflateVariant variant = DeflateVariant::Deflate,
                                       const DecodeHooks* hooks = nullptr);

}  // namespace vz::engine
