// ArchiveInput: positioned reads of an archive range (see archive_input.h).
#include "manager/readers/archive_input.h"

#include <algorithm>

namespace vz::readers {

size_t ArchiveInput::fetch(const uint8_t** data, size_t maxBytes) {
  const size_t want = std::min(maxBytes, buffer_.size());
  const int64_t got = file_.readAt(offset_, buffer_.data(), want);
  if (got <= 0) return 0;
  offset_ += got;
  *data = buffer_.data();
  return static_cast<size_t>(got);
}

}  // namespace vz::readers
