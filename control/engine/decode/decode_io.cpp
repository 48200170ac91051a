// Input and output of the entry decoders (see decode_io.h).
#include "control/engine/decode/decode_io.h"

#include <algorithm>

namespace vz::engine {

bool DecodeInput::refill() {
  if (next_ != end_) return true;
  if (remaining_ == 0 || failed_) return false;
  const size_t want = static_cast<size_t>(std::min<uint64_t>(remaining_, std::numeric_limits<size_t>::max()));
  const uint8_t* span = nullptr;
  size_t got = fetch(&span, want);
  if (got == 0 || span == nullptr) {
    failed_ = true;
    return false;
  }
  got = std::min(got, want);  // a source may not hand out more than the count allows
  remaining_ -= got;
  next_ = span;
  end_ = span + got;
  return true;
}

size_t MemoryInput::fetch(const uint8_t** data, size_t maxBytes) {
  const size_t n = std::min({maxBytes, chunk_, size_ - offset_});
  *data = data_ + offset_;
  offset_ += n;
  return n;
}

bool DecodeOutput::flush(const uint8_t* window, size_t count) {
  if (count == 0) return !overran_ && !sinkFailed_;
  if (overran_ || sinkFailed_) return false;
  size_t take = count;
  if (limit_ - total_ < count) {
    take = static_cast<size_t>(limit_ - total_);
    overran_ = true;
  }
  if (take > 0) {
    if (!write(window, take)) {
      sinkFailed_ = true;
      return false;
    }
    total_ += take;
  }
  return !overran_;
}

bool VectorOutput::write(const uint8_t* data, size_t count) {
  bytes.insert(bytes.end(), data, data + count);
  if (recordFlushes) flushSizes.push_back(count);
  return true;
}

}  // namespace vz::engine
