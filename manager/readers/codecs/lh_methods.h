// The LHA family's methods by their five-character id ("-lh5-"), one
// decoder each (lh_stored, lh1, lh2, lh3, lh_block, larc_lzss, pm1, pm2), so that the
// extractors of LHA/LZH, PMarc and ZOO pick a decoder in one place.
#pragma once

#include <cstdint>
#include <string_view>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::readers::codecs {

// Whether the id names a method decoded here (lhd, the folder mark, is
// none).
bool lhMethodKnown(std::string_view id);

// Decodes an entry of size bytes with the method id. UnsupportedMethod for
// an id not decoded here; otherwise the decoder's result.
[[nodiscard]] engine::DecodeStatus decodeLhMethod(std::string_view id, engine::DecodeInput& input,
                                                  engine::DecodeOutput& output, uint64_t size,
                                                  const engine::DecodeHooks* hooks = nullptr);

}  // namespace vz::readers::codecs
