// The CRC-16 counting output and MacBinary unwrapping (see lh_crc_output.h).
#include "manager/readers/lh_crc_output.h"

#include <algorithm>

#include "manager/readers/codecs/lh_crc16.h"
#include "manager/readers/reader_errors.h"

namespace vz::readers {

namespace {

uint32_t be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
         p[3];
}

uint64_t pad128(uint64_t n) { return (n + 127) & ~uint64_t{127}; }

}  // namespace

void LhCrcOutput::decide() {
  unwrap_ = false;
  const uint8_t* h = held_.data();
  const uint64_t data = be32(h + 83), rsrc = be32(h + 87);
  const bool header = h[0] == 0 && h[1] >= 1 && h[1] <= 63 && h[74] == 0 && h[82] == 0;
  // The forks fill the entry: the last may lack its padding.
  const uint64_t padded = kMacHeader + pad128(data) + pad128(rsrc);
  const uint64_t unpaddedLast = rsrc == 0 ? kMacHeader + data : kMacHeader + pad128(data) + rsrc;
  if (header && (total_ == padded || total_ == unpaddedLast)) {
    stripping_ = true;
    forkLeft_ = data;
    held_.clear();
  }
}

bool LhCrcOutput::write(const uint8_t* data, size_t count) {
  crc_ = codecs::lhCrc16(crc_, data, count);
  if (unwrap_) {
    const size_t take = std::min(count, kMacHeader - held_.size());
    held_.insert(held_.end(), data, data + take);
    data += take;
    count -= take;
    if (held_.size() < kMacHeader) return true;
    decide();
    if (!stripping_) {
      const bool ok = next_.flush(held_.data(), held_.size());
      held_.clear();
      if (!ok) return false;
    }
  }
  if (stripping_) {
    const size_t pass = static_cast<size_t>(std::min<uint64_t>(count, forkLeft_));
    forkLeft_ -= pass;
    return pass == 0 || next_.flush(data, pass);
  }
  return count == 0 || next_.flush(data, count);
}

bool LhCrcOutput::finish() {
  if (held_.empty()) return true;
  const bool ok = next_.flush(held_.data(), held_.size());
  held_.clear();
  return ok;
}

int32_t lhDecodeError(engine::DecodeStatus s, const engine::DecodeOutput& file, const engine::DecodeInput& in) {
  using engine::DecodeStatus;
  switch (s) {
    case DecodeStatus::Ok:
      return 0;
    case DecodeStatus::OutputStopped:
      return file.sinkFailed() ? E_WRITE : E_CRCERROR;
    case DecodeStatus::NoMemory:
      return E_OUTOFMEMORY;
    case DecodeStatus::Cancelled:
      return E_USERABORT;
    case DecodeStatus::UnsupportedMethod:
      return E_UNSUPPORTEDMETHOD;
    default:
      return in.failed() ? E_READ : E_BADBLOCK;
  }
}

}  // namespace vz::readers
