// Buffered archive input (see archive_input.h).
#include "control/engine/read/archive_input.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace vz::engine {

bool ArchiveInput::open(const std::string& path) {
  close();
  buffer_.reset(new (std::nothrow) uint8_t[kBlockSize + kSpare]());
  if (!buffer_) return false;
  if (!file_.open(path, File::Mode::Read)) return false;
  size_ = file_.size();
  if (size_ < 0) {
    close();
    return false;
  }
  return true;
}

void ArchiveInput::close() {
  file_.close();
  bufferOffset_ = -1;
  bufferFill_ = 0;
  pos_ = 0;
}

bool ArchiveInput::seek(int64_t pos) {
  if (pos < 0 || !file_.isOpen()) return false;
  pos_ = pos;  // inside the buffered block this is all a seek does
  return true;
}

bool ArchiveInput::fillBlockAt(int64_t pos) {
  const int64_t block = pos - pos % static_cast<int64_t>(kBlockSize);
  bufferOffset_ = -1;
  bufferFill_ = 0;
  if (block >= size_) return false;
  const int64_t got = file_.readAt(block, buffer_.get(), kBlockSize);
  ++blockReads_;
  if (got <= 0) return false;
  bufferOffset_ = block;
  bufferFill_ = static_cast<size_t>(got);
  return pos < bufferOffset_ + static_cast<int64_t>(bufferFill_);
}

bool ArchiveInput::read(void* dst, size_t n) {
  if (!file_.isOpen()) return false;
  if (n == 0) return true;
  // Checked once against the size so that a length from the file can never
  // make us read past the end.
  if (pos_ > size_ || static_cast<uint64_t>(size_ - pos_) < n) return false;
  uint8_t* out = static_cast<uint8_t*>(dst);
  while (n > 0) {
    if (bufferOffset_ < 0 || pos_ < bufferOffset_ || pos_ >= bufferOffset_ + static_cast<int64_t>(bufferFill_)) {
      if (!fillBlockAt(pos_)) return false;
    }
    const size_t at = static_cast<size_t>(pos_ - bufferOffset_);
    const size_t take = std::min(n, bufferFill_ - at);
    std::memcpy(out, buffer_.get() + at, take);
    out += take;
    n -= take;
    pos_ += static_cast<int64_t>(take);
  }
  return true;
}

int64_t ArchiveInput::readAt(int64_t offset, void* dst, size_t n) {
  if (!file_.isOpen() || offset < 0) return -1;
  return file_.readAt(offset, dst, n);
}

}  // namespace vz::engine
