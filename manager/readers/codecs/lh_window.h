// The output window of the LHA-family decoders: a ring of history that
// matches copy from, staged to the DecodeOutput in 32 KB flushes (the
// decoders' output rule), and the count of the entry's declared size, at
// which decoding stops.
//
// The ring is a power of two of at least 32 KB and at least the method's
// dictionary, so every 32 KB stretch of output lies in one piece of it.
// Before the first byte the ring holds a fill the format defines (spaces
// for the lh methods and lzs, a pattern for lz5): a match reaching back
// before the start reads it, as the format's own decoders do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::readers::codecs {

class LhWindow {
 public:
  static constexpr size_t kFlush = 32768;  // the output rule's flush size

  // history: the farthest a match reaches (the dictionary size); size: the
  // bytes to produce; fill: the ring's content before the first byte.
  LhWindow(engine::DecodeOutput& out, uint64_t size, size_t history, uint8_t fill, const engine::DecodeHooks* hooks);

  // False when the ring could not be allocated.
  bool valid() const { return ring_ != nullptr; }
  // The ring's byte that lies back bytes (1..history) before the first
  // output byte: for formats whose initial history is a pattern.
  void setInitial(size_t back, uint8_t value) { ring_[(0 - back) & mask_] = value; }

  // True once the declared size is reached, or output stopped.
  bool done() const { return pos_ >= size_ || status_ != engine::DecodeStatus::Ok; }
  uint64_t produced() const { return pos_; }

  void put(uint8_t b) {
    ring_[pos_ & mask_] = b;
    if ((++pos_ & (kFlush - 1)) == 0) flushChunk();
  }
  // Copies len bytes from dist (1..ring size) bytes back, byte by byte so
  // that an overlapping match repeats; stops at the declared size.
  void copy(size_t dist, size_t len) {
    if (len > size_ - pos_) len = static_cast<size_t>(size_ - pos_);
    while (len-- > 0) {
      ring_[pos_ & mask_] = ring_[(pos_ - dist) & mask_];
      if ((++pos_ & (kFlush - 1)) == 0) {
        flushChunk();
        if (status_ != engine::DecodeStatus::Ok) return;
      }
    }
  }

  // Flushes the rest. Returns Ok, or the status that stopped output.
  engine::DecodeStatus finish();
  engine::DecodeStatus status() const { return status_; }

 private:
  void flushChunk();

  engine::DecodeOutput& out_;
  const engine::DecodeHooks* hooks_;                        // pump and cancel, polled after each flush (may be null)
  std::unique_ptr<uint8_t[]> ring_;                         // the history and the staged output
  size_t mask_ = 0;                                         // ring size - 1
  uint64_t pos_ = 0;                                        // bytes produced so far
  uint64_t flushed_ = 0;                                    // bytes handed to out_
  uint64_t size_;                                           // bytes to produce
  engine::DecodeStatus status_ = engine::DecodeStatus::Ok;  // OutputStopped or Cancelled once output ended
};

}  // namespace vz::readers::codecs
