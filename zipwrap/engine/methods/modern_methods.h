// The compression methods of today's ZIP files that the control's engine
// does not know, decoded for the stand-in's extraction and testing: bzip2
// (12), LZMA (14), Zstandard (93), xz (95), and AES encryption (method 99
// with its 0x9901 extra field) in front of any of them. They link the
// reference libraries (libbz2, liblzma, libzstd, libcrypto).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::zipwrap {

// Whether method is one of those decoded here.
bool isModernMethod(int method);

// Decodes an entry of a modern method (as decodeEntryData: the output is
// limited to uncompressedSize and overrunning it gives OutputStopped).
// UnsupportedMethod for any other method.
[[nodiscard]] engine::DecodeStatus decodeModernMethod(int method, uint16_t generalPurposeFlags,
                                                      uint64_t uncompressedSize, engine::DecodeInput& input,
                                                      engine::DecodeOutput& output,
                                                      const engine::DecodeHooks* hooks = nullptr);

}  // namespace vz::zipwrap
