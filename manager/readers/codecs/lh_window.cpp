// The LHA-family output window (see lh_window.h).
#include "manager/readers/codecs/lh_window.h"

#include <cstring>
#include <new>

namespace vz::readers::codecs {

LhWindow::LhWindow(engine::DecodeOutput& out, uint64_t size, size_t history, uint8_t fill,
                   const engine::DecodeHooks* hooks)
    : out_(out), hooks_(hooks), size_(size) {
  size_t ring = kFlush;
  while (ring < history) ring <<= 1;
  ring_.reset(new (std::nothrow) uint8_t[ring]);
  if (!ring_) return;
  std::memset(ring_.get(), fill, ring);
  mask_ = ring - 1;
}

void LhWindow::flushChunk() {
  if (status_ != engine::DecodeStatus::Ok) return;
  const size_t n = static_cast<size_t>(pos_ - flushed_);
  if (n == 0) return;
  if (!out_.flush(ring_.get() + (flushed_ & mask_), n)) {
    status_ = engine::DecodeStatus::OutputStopped;
    return;
  }
  flushed_ = pos_;
  if (hooks_ != nullptr) {
    if (hooks_->pump) hooks_->pump();
    if (hooks_->cancelled && hooks_->cancelled()) status_ = engine::DecodeStatus::Cancelled;
  }
}

engine::DecodeStatus LhWindow::finish() {
  flushChunk();
  return status_;
}

}  // namespace vz::readers::codecs
