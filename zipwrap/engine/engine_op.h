// What one engine operation gives back: its result code (engine_results.h)
// and the secondary code, the number of entries or files it failed on.
#pragma once

#include <cstdint>

#include "zipwrap/engine/engine_results.h"

namespace vz::zipwrap {

struct OpResult {
  uint16_t code = kResultOk;
  uint32_t failed = 0;  // entries or files that failed (the high 16 bits of the call's result)
};

}  // namespace vz::zipwrap
