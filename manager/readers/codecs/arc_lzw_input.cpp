// LzwHeaderInput (see arc_lzw_input.h).
#include "manager/readers/codecs/arc_lzw_input.h"

namespace vz::readers::codecs {

size_t LzwHeaderInput::fetch(const uint8_t** data, size_t maxBytes) {
  if (!headerGiven_) {
    headerGiven_ = true;
    *data = header_;
    return maxBytes < 3 ? maxBytes : 3;  // the count asks for all three first
  }
  if (codes_.available() == 0 && !codes_.refill()) return 0;
  size_t n = codes_.available();
  if (n > maxBytes) n = maxBytes;
  *data = codes_.data();
  codes_.consume(n);
  return n;
}

}  // namespace vz::readers::codecs
