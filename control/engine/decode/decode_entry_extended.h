// The entry decoders with the methods the control does not decode: as
// decodeEntryData (decode_entry.h), plus deflate64 (method 9), streamed
// through its 64 KB history. The control keeps decodeEntryData, for which
// method 9 stays unsupported.
#pragma once

#include <cstdint>

#include "control/engine/decode/decode_entry.h"
#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::engine {

// Methods 0-6 and 8 as decodeEntryData, 9 (deflate64) with the same output
// limit rule; any other method gives UnsupportedMethod without reading.
[[nodiscard]] DecodeStatus decodeEntryDataExtended(int method, uint16_t generalPurposeFlags, uint64_t uncompressedSize,
                                                   DecodeInput& input, DecodeOutput& output,
                                                   const DecodeHooks* hooks = nullptr);

// The methods decodeEntryDataExtended accepts.
constexpr bool isDecodableMethodExtended(int method) { return isDecodableMethod(method) || method == 9; }

}  // namespace vz::engine
