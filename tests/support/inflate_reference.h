// A slow, plainly written inflater for tests and fuzzing only: it reads the
// input bit by bit, decodes each code by walking the canonical code one bit
// at a time, and keeps a 32 KB circular window copied byte by byte. It
// shares no code with inflate() beyond the input and output interfaces, and
// must give the same output and the same status for every input.
#pragma once

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::engine {

[[nodiscard]] DecodeStatus inflateReference(DecodeInput& input, DecodeOutput& output);

}  // namespace vz::engine
