// The run-length stage of ARC methods 3, 4, 6, 7, 8 and 10 (byte 0x90 is
// the marker):
//
//   X 90 n    (n > 0)  X repeated: n bytes of X in all, X written once already
//   90 00              one byte 0x90 itself; the byte a later run repeats
//                      stays the one before it
//   anything else      itself
//
// A run before any byte repeats 0. Rle90Output sits between a decoder and
// the real output: the decoder writes the run-length stream into it, and it
// writes the expanded bytes on, staged in whole 32 KB windows. The state
// carries over between writes, so runs may straddle the decoder's flushes.
#pragma once

#include <cstdint>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_window.h"
#include "manager/readers/codecs/arc_methods.h"

namespace vz::readers::codecs {

class Rle90Output final : public engine::DecodeOutput {
 public:
  explicit Rle90Output(engine::DecodeOutput& out) : window_(out, nullptr, false) {}

  bool valid() const { return window_.valid(); }
  // The final flush of the expanded bytes; false when the output refused them.
  bool finish() { return window_.finish(); }

 protected:
  bool write(const uint8_t* data, size_t count) override;

 private:
  engine::DecodeWindow window_;  // expanded bytes on their way to the output
  uint8_t last_ = 0;             // the byte a run repeats
  bool marker_ = false;          // a 0x90 was read and its count byte is due
};

// Ends a decoder whose output went through rle: the decoder's status (from
// its window's close()), then the final flush of the expanded bytes.
ArcStatus finishRle90(engine::DecodeStatus decoded, Rle90Output& rle);

// The ArcStatus of a window's stop or close status.
ArcStatus arcStatusOf(engine::DecodeStatus s);

}  // namespace vz::readers::codecs
