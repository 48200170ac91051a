// ARC's password input (see arc_key_input.h).
#include "manager/readers/codecs/arc_key_input.h"

#include <algorithm>

namespace vz::readers::codecs {

size_t ArcKeyInput::fetch(const uint8_t** data, size_t maxBytes) {
  if (key_.empty()) return 0;
  if (inner_.available() == 0 && !inner_.refill()) return 0;
  const size_t n = std::min(maxBytes, inner_.available());
  buffer_.assign(inner_.data(), inner_.data() + n);
  inner_.consume(n);
  for (uint8_t& b : buffer_) {
    b ^= static_cast<uint8_t>(key_[at_]);
    if (++at_ == key_.size()) at_ = 0;
  }
  *data = buffer_.data();
  return n;
}

}  // namespace vz::readers::codecs
