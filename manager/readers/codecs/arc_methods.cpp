// decodeArcEntry (see arc_methods.h): the method number picks the decoder.
#include "manager/readers/codecs/arc_methods.h"

namespace vz::readers::codecs {

ArcStatus decodeArcEntry(uint8_t method, engine::DecodeInput& input, engine::DecodeOutput& output,
                         const engine::DecodeHooks* hooks) {
  switch (method) {
    case 1:
    case 2:
      return decodeArcStored(input, output, hooks);
    case 3:
      return decodeArcPacked(input, output, hooks);
    case 4:
      return decodeArcSqueezed(input, output, hooks);
    case 5:
    case 6:
    case 7:
      return decodeArcCrunchHashed(method, input, output, hooks);
    case 8:
      return decodeArcCrunched(input, output, hooks);
    case 9:
      return decodeArcSquashed(input, output, hooks);
    case 10:
      return decodeArcCrushed(input, output, hooks);
    case 11:
      return decodeArcDistilled(input, output, hooks);
    default:
      return ArcStatus::UnsupportedMethod;
  }
}

}  // namespace vz::readers::codecs
