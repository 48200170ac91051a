// The 32 KB output window shared by all entry decoders.
//
// Decoded bytes are staged in the window and handed to the DecodeOutput in
// whole-window flushes of 32,768 bytes, plus a final partial flush. Matches
// copy from up to 32,768 bytes back.
//
// Layout: one buffer of history, a run of windows, and slack.
//
//   0          32,768                                    +kRun     +kSlack
//   | history  | window 0 | window 1 | ... | window 7    | slack     |
//   |          |          |   ^ write position           |           |
//
// Bytes are written at the write position, which runs from 32,768 through
// the run of windows; each window is flushed whole as soon as it is full.
// Everything in front of the write position is contiguous history, so a
// match source never wraps around, and a fast copy may write a few bytes
// past its end (into bytes that are written again before they are flushed,
// or into the slack) without touching any history. When the last window of
// the run has been flushed it is moved down into the history part and
// writing starts again at window 0: one 32 KB move per eight windows instead
// of one per window. The history part starts as zeros, which is what the
// legacy methods define for a distance that reaches back before the first
// byte; inflate refuses such a distance instead (historyStart()).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::engine {

class DecodeWindow {
 public:
  static constexpr size_t kSize = 32768;  // window size and longest distance
  static constexpr size_t kWindowsPerRun = 8;
  static constexpr size_t kStart = kSize;                             // first write position
  static constexpr size_t kRunEnd = kStart + kWindowsPerRun * kSize;  // end of the last window
  // Bytes behind the run that fast copies may overshoot into.
  static constexpr size_t kSlack = 64;

  // pumpOnFlush: call the hooks after each whole-window flush (the legacy
  // methods and the stored copy); inflate calls them after each block.
  DecodeWindow(DecodeOutput& out, const DecodeHooks* hooks, bool pumpOnFlush);
  DecodeWindow(const DecodeWindow&) = delete;
  DecodeWindow& operator=(const DecodeWindow&) = delete;

  // False when the buffer could not be allocated (then nothing else may be used).
  bool valid() const { return buf_ != nullptr; }

  uint8_t* buffer() { return buf_.get(); }
  size_t pos() const { return pos_; }
  void setPos(size_t pos) { pos_ = pos; }
  // End of the current window: writing there requires flushFull() first.
  size_t windowEnd() const { return windowStart_ + kSize; }
  // Lowest buffer index a match may read: kStart until a whole window has
  // been decoded (nothing before the first byte), 0 afterwards.
  size_t historyStart() const { return flushed_ != 0 ? 0 : kStart; }
  // Bytes decoded so far, flushed or not.
  uint64_t produced() const { return flushed_ + (pos_ - windowStart_); }

  // Stores one byte; false when decoding must stop (stopStatus()).
  bool put(uint8_t byte) {
    buf_[pos_++] = byte;
    return pos_ < windowEnd() || flushFull();
  }
  // Copies len bytes from dist (1 to kSize) back, byte by byte in effect
  // (a distance below the length repeats the pattern), flushing as needed.
  bool copyMatch(size_t dist, size_t len);
  // Copies literal bytes in, flushing as needed. Whole windows of data that
  // start at a window boundary are flushed straight from data.
  bool write(const uint8_t* data, size_t len);
  // Flushes the full window (pos() == windowEnd()) and moves on to the next.
  bool flushFull();
  // The final flush of the bytes in the current window.
  bool finish();
  // Ends decoding with status: makes the final flush unless the output or
  // the hooks stopped decoding (the bytes decoded before a fault in the data
  // are delivered too) and returns status, or the flush's refusal when
  // status was Ok.
  DecodeStatus close(DecodeStatus status);

  // Calls the pump hook and polls the cancel hook; false when cancelled.
  bool pump();
  // Why the last false came: OutputStopped or Cancelled.
  DecodeStatus stopStatus() const { return stop_; }

 private:
  // Flushes one whole window from p and calls the hooks when due.
  bool emit(const uint8_t* p);
  // Moves the write position to the next window, wrapping the run.
  void advance();

  std::unique_ptr<uint8_t[]> buf_;        // kRunEnd + kSlack bytes; the history part zeroed
  size_t pos_ = kStart;                   // next write position
  size_t windowStart_ = kStart;           // start of the current window
  uint64_t flushed_ = 0;                  // bytes handed to the output
  DecodeOutput& out_;                     // where flushes go
  const DecodeHooks* hooks_;              // pump and cancel callbacks, may be null
  bool pumpOnFlush_;                      // call the hooks after each whole-window flush
  DecodeStatus stop_ = DecodeStatus::Ok;  // reason of the last refusal
};

}  // namespace vz::engine
