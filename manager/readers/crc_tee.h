// A decoder output that sums the CRC-32 of the bytes passing through it on
// their way to another output (the entry's file), or only sums them (a
// password check that decodes without writing).
#pragma once

#include <cstdint>

#include "control/engine/decode/decode_io.h"
#include "control/engine/format/crc32.h"

namespace vz::readers {

class CrcTee final : public engine::DecodeOutput {
 public:
  explicit CrcTee(engine::DecodeOutput* next) : next_(next) {}
  uint32_t crc() const { return crc_; }

 protected:
  bool write(const uint8_t* data, size_t count) override {
    crc_ = engine::crc32Update(crc_, data, count);
    return next_ == nullptr || next_->flush(data, count);
  }

 private:
  engine::DecodeOutput* next_;  // where the bytes go on, or null
  uint32_t crc_ = 0;            // CRC-32 of the bytes so far
};

}  // namespace vz::readers
