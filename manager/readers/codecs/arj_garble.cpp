// ARJ's password garbling (see arj_garble.h).
#include "manager/readers/codecs/arj_garble.h"

#include <algorithm>
#include <cstring>

namespace vz::readers::codecs {

void arjGarble(uint8_t* data, size_t size, const std::string& password, uint8_t modifier, size_t index) {
  if (password.empty()) return;
  const size_t n = password.size();
  index %= n;
  for (size_t i = 0; i < size; ++i) {
    data[i] ^= static_cast<uint8_t>(static_cast<uint8_t>(password[index]) + modifier);
    if (++index == n) index = 0;
  }
}

size_t ArjGarbledInput::fetch(const uint8_t** data, size_t maxBytes) {
  if (inner_.available() == 0 && !inner_.refill()) return 0;
  const size_t n = std::min(maxBytes, inner_.available());
  buffer_.assign(inner_.data(), inner_.data() + n);
  inner_.consume(n);
  arjGarble(buffer_.data(), n, password_, modifier_, index_);
  index_ = (index_ + n) % password_.size();
  *data = buffer_.data();
  return n;
}

}  // namespace vz::readers::codecs
