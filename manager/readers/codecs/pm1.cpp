// -pm1- (see pm1.h).
#include "manager/readers/codecs/pm1.h"

namespace vz::readers::codecs {

engine::DecodeStatus decodePm1(engine::DecodeInput&, engine::DecodeOutput&, uint64_t, const engine::DecodeHooks*) {
  return engine::DecodeStatus::UnsupportedMethod;
}

}  // namespace vz::readers::codecs
