// The decrypting input (see zip_crypt_input.h).
#include "manager/readers/codecs/zip_crypt_input.h"

#include <algorithm>

namespace vz::readers::codecs {

size_t ZipCryptInput::fetch(const uint8_t** data, size_t maxBytes) {
  if (inner_.available() == 0 && !inner_.refill()) return 0;
  const size_t n = std::min(maxBytes, inner_.available());
  buffer_.assign(inner_.data(), inner_.data() + n);
  inner_.consume(n);
  engine::decryptBuffer(keys_, buffer_.data(), n);
  *data = buffer_.data();
  return n;
}

}  // namespace vz::readers::codecs
