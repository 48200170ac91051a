// The packed data of one ARJ entry (or one volume's part of it), by its
// method: 0 stored, 1 to 3 arj_lzh.h, 4 arj_fastest.h. Garbled data goes
// through ArjGarbledInput (arj_garble.h) first.
#pragma once

#include <cstdint>

#include "control/engine/decode/decode_io.h"
#include "manager/readers/codecs/arj_bits.h"

namespace vz::readers::codecs {

// Decodes originalSize bytes of the method's data from input into output.
[[nodiscard]] ArjStatus decodeArjData(int method, engine::DecodeInput& input, engine::DecodeOutput& output,
                                      uint64_t originalSize, const engine::DecodeHooks* hooks = nullptr);

}  // namespace vz::readers::codecs
