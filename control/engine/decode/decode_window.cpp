// The decoders' shared 32 KB output window (see decode_window.h).
#include "control/engine/decode/decode_window.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace vz::engine {

DecodeWindow::DecodeWindow(DecodeOutput& out, const DecodeHooks* hooks, bool pumpOnFlush)
    : buf_(new (std::nothrow) uint8_t[kRunEnd + kSlack]), out_(out), hooks_(hooks), pumpOnFlush_(pumpOnFlush) {
  // Only the history needs a value (zeros before the first byte); every
  // other byte is written before it is read or flushed.
  if (buf_) std::memset(buf_.get(), 0, kStart);
}

bool DecodeWindow::emit(const uint8_t* window) {
  if (!out_.flush(window, kSize)) {
    stop_ = DecodeStatus::OutputStopped;
    return false;
  }
  flushed_ += kSize;
  return !pumpOnFlush_ || pump();
}

void DecodeWindow::advance() {
  windowStart_ += kSize;
  if (windowStart_ == kRunEnd) {
    // The last window of the run becomes the history of the next run.
    std::memcpy(buf_.get(), buf_.get() + kRunEnd - kSize, kSize);
    windowStart_ = kStart;
  }
  pos_ = windowStart_;
}

bool DecodeWindow::flushFull() {
  if (!emit(buf_.get() + windowStart_)) return false;
  advance();
  return true;
}

bool DecodeWindow::finish() {
  const size_t n = pos_ - windowStart_;
  if (n == 0) return true;
  if (!out_.flush(buf_.get() + windowStart_, n)) {
    stop_ = DecodeStatus::OutputStopped;
    return false;
  }
  flushed_ += n;
  // Nothing is decoded after the final flush.
  windowStart_ = pos_;
  return true;
}

DecodeStatus DecodeWindow::close(DecodeStatus status) {
  if (status == DecodeStatus::OutputStopped || status == DecodeStatus::Cancelled) return status;
  if (!finish() && status == DecodeStatus::Ok) return stop_;
  return status;
}

bool DecodeWindow::pump() {
  if (hooks_ == nullptr) return true;
  if (hooks_->pump) hooks_->pump();
  if (hooks_->cancelled && hooks_->cancelled()) {
    stop_ = DecodeStatus::Cancelled;
    return false;
  }
  return true;
}

bool DecodeWindow::copyMatch(size_t dist, size_t len) {
  uint8_t* b = buf_.get();
  while (len > 0) {
    // The source is always in the buffer: pos_ >= kStart and dist <= kSize.
    const size_t n = std::min(len, windowEnd() - pos_);
    const uint8_t* src = b + pos_ - dist;
    uint8_t* dst = b + pos_;
    if (dist >= n) {
      std::memcpy(dst, src, n);
    } else {
      for (size_t i = 0; i < n; ++i) dst[i] = src[i];
    }
    pos_ += n;
    len -= n;
    if (pos_ == windowEnd() && !flushFull()) return false;
  }
  return true;
}

bool DecodeWindow::write(const uint8_t* data, size_t len) {
  while (len > 0) {
    if (pos_ == windowStart_ && len >= kSize) {
      // Whole windows of the source are flushed from where they are,
      // without staging them; only the last one is kept as history.
      const uint8_t* last = data;
      do {
        if (!emit(data)) return false;
        last = data;
        data += kSize;
        len -= kSize;
      } while (len >= kSize);
      std::memcpy(buf_.get() + windowStart_, last, kSize);
      advance();
      continue;
    }
    const size_t n = std::min(len, windowEnd() - pos_);
    std::memcpy(buf_.get() + pos_, data, n);
    pos_ += n;
    data += n;
    len -= n;
    if (pos_ == windowEnd() && !flushFull()) return false;
  }
  return true;
}

}  // namespace vz::engine
