// Input and output of the deflate compressor (see deflate_io.h).
#include "control/engine/encode/deflate_io.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/file.h"

namespace vz::engine {

FileDeflateInput::FileDeflateInput(File& file) : file_(file), length_(0) {
  const int64_t size = file.size();
  const int64_t pos = file.tell();
  if (size > 0 && pos >= 0 && size > pos) length_ = static_cast<uint64_t>(size - pos);
}

size_t FileDeflateInput::read(uint8_t* buf, size_t n) {
  // Keep reading until the request is filled or the file ends, so that a
  // short read of the system never looks like the end of the input.
  size_t got = 0;
  while (got < n) {
    const int64_t r = file_.read(buf + got, n - got);
    if (r <= 0) break;
    got += static_cast<size_t>(r);
  }
  return got;
}

size_t MemoryDeflateInput::read(uint8_t* buf, size_t n) {
  const size_t take = std::min(n, size_ - offset_);
  if (take != 0) std::memcpy(buf, data_ + offset_, take);
  offset_ += take;
  return take;
}

bool FileDeflateOutput::write(const uint8_t* data, size_t count) { return file_.write(data, count); }

bool VectorDeflateOutput::write(const uint8_t* data, size_t count) {
  try {
    bytes.insert(bytes.end(), data, data + count);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

}  // namespace vz::engine
