// The extractor's decoder input and output (see extract_io.h).
#include "control/engine/extract/extract_io.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "control/engine/format/crc32.h"

namespace vz::engine {

EntryInput::EntryInput(ArchiveInput& archive, int64_t position, uint64_t compressedSize, ZipKeys* keys)
    : DecodeInput(compressedSize),
      archive_(archive),
      position_(position),
      keys_(keys),
      buffer_(new (std::nothrow) uint8_t[kBlockSize]) {}

size_t EntryInput::fetch(const uint8_t** data, size_t maxBytes) {
  if (!buffer_) return 0;
  const size_t n = std::min(maxBytes, kBlockSize);
  if (!archive_.seek(position_) || !archive_.read(buffer_.get(), n)) return 0;
  position_ += static_cast<int64_t>(n);
  if (keys_) decryptBuffer(*keys_, buffer_.get(), n);
  *data = buffer_.get();
  return n;
}

EntryOutput::EntryOutput(File& file, BlockWritten blockWritten)
    : file_(file), blockWritten_(std::move(blockWritten)), buffer_(new (std::nothrow) uint8_t[kBufferSize]) {
  if (buffer_) std::memset(buffer_.get(), kFreshBufferByte, kBufferSize);
}

bool EntryOutput::writeBuffer(bool last) {
  if (fill_ == 0) return true;
  if (!file_.write(buffer_.get(), fill_)) {
    writeFailed_ = true;
    return false;
  }
  const uint64_t before = written_;
  written_ += fill_;
  fill_ = 0;
  if (blockWritten_) blockWritten_(before, written_, last);
  return true;
}

bool EntryOutput::write(const uint8_t* data, size_t count) {
  if (writeFailed_ || !buffer_) return false;
  crc_ = crc32Update(crc_, data, count);
  while (count > 0) {
    const size_t take = std::min(count, kBufferSize - fill_);
    std::memcpy(buffer_.get() + fill_, data, take);
    fill_ += take;
    data += take;
    count -= take;
    if (fill_ == kBufferSize && !writeBuffer(false)) return false;
  }
  return true;
}

bool EntryOutput::finish() {
  if (writeFailed_ || !buffer_) return false;
  return writeBuffer(true);
}

}  // namespace vz::engine
