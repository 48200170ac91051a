// -pm2- (see pm2.h).
#include "manager/readers/codecs/pm2.h"

namespace vz::readers::codecs {

engine::DecodeStatus decodePm2(engine::DecodeInput&, engine::DecodeOutput&, uint64_t, const engine::DecodeHooks*) {
  return engine::DecodeStatus::UnsupportedMethod;
}

}  // namespace vz::readers::codecs
