// Dispatch of the extended methods (see decode_entry_extended.h).
#include "control/engine/decode/decode_entry_extended.h"

#include "control/engine/decode/inflate64.h"

namespace vz::engine {

DecodeStatus decodeEntryDataExtended(int method, uint16_t generalPurposeFlags, uint64_t uncompressedSize,
                                     DecodeInput& input, DecodeOutput& output, const DecodeHooks* hooks) {
  if (method == 9) {
    output.setLimit(uncompressedSize);
    return inflate64(input, output, hooks);
  }
  return decodeEntryData(method, generalPurposeFlags, uncompressedSize, input, output, hooks);
}

}  // namespace vz::engine
