// The decoded-data path TUnLHA and TUnZOO share: an output that counts the
// CRC-16 of every byte and passes the bytes on to the entry's file, and
// the mapping of a decoder's result to the error code of the entry.
//
// For Mac archives (OS id 'm') it can also take the data fork out of a
// MacBinary wrapper: the first 128 bytes are held back and, when they are
// a MacBinary header whose fork lengths add up to the entry's size, only
// the data fork reaches the file (the CRC still covers every byte).
//
//   MacBinary header (128 bytes, big-endian):
//     0   0 (old version)        1   name length 1..63, 2 the name
//     74  0                      82  0
//     83  data fork length (u32) 87  resource fork length (u32)
//   then the data fork and the resource fork, each padded to 128 bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::readers {

class LhCrcOutput final : public engine::DecodeOutput {
 public:
  // next: the entry's file; total: the entry's declared size; unwrap: take
  // the data fork out of a MacBinary wrapper when there is one.
  LhCrcOutput(engine::DecodeOutput& next, uint64_t total, bool unwrap)
      : next_(next), total_(total), unwrap_(unwrap && total >= kMacHeader) {}

  uint16_t crc() const { return crc_; }
  // Passes on what is still held back (a short entry that was no MacBinary
  // file). False when the file refused the bytes.
  bool finish();

 protected:
  bool write(const uint8_t* data, size_t count) override;

 private:
  static constexpr size_t kMacHeader = 128;
  // Decides on the held-back header: sets forkLeft_ when it is MacBinary.
  void decide();

  engine::DecodeOutput& next_;
  uint64_t total_;             // the entry's declared size
  bool unwrap_;                // still looking for a MacBinary header
  uint16_t crc_ = 0;           // CRC-16 of the bytes so far
  std::vector<uint8_t> held_;  // the first bytes, held back while unwrap_
  bool stripping_ = false;     // a MacBinary header was found
  uint64_t forkLeft_ = 0;      // stripping: data fork bytes still to pass on
};

// The error code of an entry whose decoder returned s: 0 for Ok; 25118
// when the output stopped at the declared size, 25114 when the file could
// not be written, 25135 when the archive could not be read, 25109 for bad
// data, 25200 for a method not decoded, 25153, 25300.
int32_t lhDecodeError(engine::DecodeStatus s, const engine::DecodeOutput& file, const engine::DecodeInput& in);

}  // namespace vz::readers
