// The decoders of ARC and PAK entries, one file per method:
//
//   1, 2   stored           arc_stored.cpp      the bytes as they are
//   3      packed           arc_packed.cpp      run-length (arc_rle90.h)
//   4      squeezed         arc_squeezed.cpp    Huffman tree in front, then run-length
//   5..7   crunched, hashed arc_crunch_hashed.cpp  12-bit LZW whose codes are hash slots
//                                               (5 without run-length, 6 with it, 7 the
//                                               faster hash, with run-length)
//   8      crunched         arc_crunched.cpp    9 to 12-bit LZW with CLEAR, then run-length
//   9      squashed         arc_squashed.cpp    9 to 13-bit LZW with CLEAR, no run-length
//   10     crushed (PAK)    arc_crushed.cpp     LZW of 1 to 13-bit codes with a literal flag
//                                               and reuse of little-used strings, then run-length
//   11     distilled (PAK)  arc_distilled.cpp   LZ77 over 8 KB with a stored Huffman tree
//
// Every decoder reads the entry's packed bytes from a DecodeInput (created
// with the packed size) and writes through a DecodeOutput whose limit is
// the declared size; its memory is fixed by the method, never by the data.
// A stream ends where its method ends it (an end code, or the end of the
// packed bytes for the methods that have none); the caller checks the size
// and the CRC-16 of what came out.
#pragma once

#include <cstdint>

#include "control/engine/decode/decode_io.h"

namespace vz::readers::codecs {

enum class ArcStatus : uint8_t {
  Ok = 0,
  BadData,            // the stream ended inside a code or a header
  BadTree,            // squeezed or distilled: a decode tree that is not one
  BadCode,            // LZW: a code that is not in the table; distilled: a match before the window
  UnsupportedMethod,  // a method number without a decoder (0, 12 and up)
  OutputStopped,      // the output refused bytes (past its limit, or the sink failed)
  NoMemory,
  Cancelled,
};

// Decodes one entry of method (1..11) from input into output.
[[nodiscard]] ArcStatus decodeArcEntry(uint8_t method, engine::DecodeInput& input, engine::DecodeOutput& output,
                                       const engine::DecodeHooks* hooks = nullptr);

// The methods one by one (decodeArcEntry picks among them).
[[nodiscard]] ArcStatus decodeArcStored(engine::DecodeInput& input, engine::DecodeOutput& output,
                                        const engine::DecodeHooks* hooks);
[[nodiscard]] ArcStatus decodeArcPacked(engine::DecodeInput& input, engine::DecodeOutput& output,
                                        const engine::DecodeHooks* hooks);
[[nodiscard]] ArcStatus decodeArcSqueezed(engine::DecodeInput& input, engine::DecodeOutput& output,
                                          const engine::DecodeHooks* hooks);
// method 5, 6 or 7.
[[nodiscard]] ArcStatus decodeArcCrunchHashed(uint8_t method, engine::DecodeInput& input, engine::DecodeOutput& output,
                                              const engine::DecodeHooks* hooks);
[[nodiscard]] ArcStatus decodeArcCrunched(engine::DecodeInput& input, engine::DecodeOutput& output,
                                          const engine::DecodeHooks* hooks);
[[nodiscard]] ArcStatus decodeArcSquashed(engine::DecodeInput& input, engine::DecodeOutput& output,
                                          const engine::DecodeHooks* hooks);
[[nodiscard]] ArcStatus decodeArcCrushed(engine::DecodeInput& input, engine::DecodeOutput& output,
                                         const engine::DecodeHooks* hooks);
[[nodiscard]] ArcStatus decodeArcDistilled(engine::DecodeInput& input, engine::DecodeOutput& output,
                                           const engine::DecodeHooks* hooks);

}  // namespace vz::readers::codecs
