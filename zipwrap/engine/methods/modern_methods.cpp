// Not built yet: no modern method is decoded.
#include "zipwrap/engine/methods/modern_methods.h"

namespace vz::zipwrap {

bool isModernMethod(int) { return false; }

engine::DecodeStatus decodeModernMethod(int, uint16_t, uint64_t, engine::DecodeInput&, engine::DecodeOutput&,
                                        const engine::DecodeHooks*) {
  return engine::DecodeStatus::UnsupportedMethod;
}

}  // namespace vz::zipwrap
