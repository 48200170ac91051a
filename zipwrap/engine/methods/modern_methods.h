// The compression methods of today's ZIP files that the control's engine
// does not know, decoded for the stand-in's extraction and testing: bzip2
// (12), LZMA (14), Zstandard (93, and 20 as early writers numbered it), xz
// (95). They link the reference libraries (libbz2, liblzma, libzstd)
// through one decode loop (stream_codec.h) and keep the rules of the
// engine's decoders (decode_entry.h): whole 32 KB window flushes, the hooks
// after each flush, the output limited to the declared size.
//
// AES encryption (method 99 with its 0x9901 extra field) sits in front of
// any method, the engine's or these: see aes_extra.h for the field and the
// CRC rule, aes_input.h for the decrypting input and the whole-entry decode.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::zipwrap {

// Bounds on what the decoders may allocate for one entry.
struct ModernLimits {
  // Dictionary and tables of LZMA and xz (the LZMA dictionary is first cut
  // to the declared size, which no valid distance exceeds).
  uint64_t memoryBytes = uint64_t{512} << 20;
  // Largest Zstandard window, as a power of two (2^27 = 128 MB).
  int zstdWindowLog = 27;
};

// Whether method is one of those decoded here.
bool isModernMethod(int method);

// Decodes an entry of a modern method (as decodeEntryData: the output is
// limited to uncompressedSize and overrunning it gives OutputStopped).
// Damaged or cut-short data gives BadData, a stream that needs more memory
// than the limits allow gives NoMemory; a stream that ends before
// uncompressedSize bytes gives Ok (the caller's size and CRC checks fail the
// entry). UnsupportedMethod for any other method.
[[nodiscard]] engine::DecodeStatus decodeModernMethod(int method, uint16_t generalPurposeFlags,
                                                      uint64_t uncompressedSize, engine::DecodeInput& input,
                                                      engine::DecodeOutput& output,
                                                      const engine::DecodeHooks* hooks = nullptr);
[[nodiscard]] engine::DecodeStatus decodeModernMethod(int method, uint16_t generalPurposeFlags,
                                                      uint64_t uncompressedSize, engine::DecodeInput& input,
                                                      engine::DecodeOutput& output, const engine::DecodeHooks* hooks,
                                                      const ModernLimits& limits);

}  // namespace vz::zipwrap
