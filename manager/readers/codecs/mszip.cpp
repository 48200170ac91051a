// MszipDecoder (see mszip.h): each block is inflated behind the history
// through the engine's inflateAfterHistory; afterwards the last 32 KB of
// history and block move to the front of the buffer for the next block.
#include "manager/readers/codecs/mszip.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "control/engine/decode/inflate_history.h"

namespace vz::readers::codecs {

using engine::DecodeStatus;

MszipDecoder::MszipDecoder() : buf_(new (std::nothrow) uint8_t[kHistory + kMaxBlock]) {}

DecodeStatus MszipDecoder::decodeBlock(const uint8_t* data, size_t size, size_t uncompressed,
                                       engine::DecodeOutput& output) {
  if (!buf_) return DecodeStatus::NoMemory;
  if (uncompressed > kMaxBlock || size < 2 || data[0] != 'C' || data[1] != 'K') return DecodeStatus::BadData;
  engine::MemoryInput in(data + 2, size - 2);
  size_t produced = 0;
  const DecodeStatus s = engine::inflateAfterHistory(in, buf_.get(), historySize_, uncompressed, produced);
  if (s == DecodeStatus::NoMemory) return s;
  // Too many bytes (the room ran out) or too few: the block is damaged.
  if (s != DecodeStatus::Ok || produced != uncompressed) return DecodeStatus::BadData;
  uint8_t* const block = buf_.get() + historySize_;
  if (!output.flush(block, produced)) return DecodeStatus::OutputStopped;
  const size_t total = historySize_ + produced;
  const size_t keep = std::min(total, kHistory);
  std::memmove(buf_.get(), buf_.get() + total - keep, keep);
  historySize_ = keep;
  return DecodeStatus::Ok;
}

}  // namespace vz::readers::codecs
