// Bit output of the deflate compressor.
//
// Deflate packs its codes least significant bit first: the first bit of the
// stream is bit 0 of the first byte. The design collects bits in a 16-bit
// accumulator, stores each full word low byte first into a 24,576-byte
// buffer and writes the buffer out when it cannot take another word. The
// bytes that come out are fixed by the bit sequence alone, so this output
// keeps the same 24,576-byte buffer but collects bits in a 64-bit
// accumulator and moves whole bytes out after each code: it stores all
// eight accumulator bytes at the write position (the buffer has slack for
// that) and advances by the number of complete bytes. The result is the
// same byte stream with one store per code instead of one per 16 bits.
//
// Entry assumptions of the fast path (put + commit): fewer than 8 bits are
// pending before a symbol, and one symbol adds at most 48 bits (a 20-bit
// length code with its extra bits and a 28-bit distance code with its extra
// bits), so the accumulator never holds more than 55 bits.
//
// The buffer is written out in full 24,576-byte chunks as it fills, and the
// rest at the end of the file. A write that fails sets failed(); later
// bytes are dropped (the compressor stops at the next block boundary).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "control/engine/encode/deflate_io.h"

namespace vz::engine::deflate {

class BitOutput {
 public:
  // Size of the output buffer (bytes handed to the output at once).
  static constexpr size_t kBufferSize = 24576;
  // Room behind the buffer for the 8-byte stores of the fast path.
  static constexpr size_t kSlack = 16;

  // Starts a new file's output to sink.
  void start(DeflateOutput* sink) {
    sink_ = sink;
    next_ = buffer_;
    acc_ = 0;
    pending_ = 0;
    written_ = 0;
    failed_ = false;
  }

  // Adds the low n bits of bits (n <= 32, no bits above n) and moves whole
  // bytes into the buffer.
  void put(uint64_t bits, unsigned n) {
    acc_ |= bits << pending_;
    pending_ += n;
    commit();
  }
  // Moves the complete bytes of the accumulator into the buffer, writing
  // the buffer out when it is full.
  void commit() {
    store64(next_, acc_);
    next_ += pending_ >> 3;
    acc_ >>= pending_ & 56;
    pending_ &= 7;
    if (next_ >= buffer_ + kBufferSize) drain();
  }
  // Pads the pending bits with zeros to a byte boundary.
  void alignToByte() {
    if (pending_ != 0) {
      pending_ = 8;  // the padding bits are the zeros above the pending ones
      commit();
    }
  }
  // Copies bytes into the stream; only on a byte boundary.
  void putBytes(const uint8_t* data, size_t count) {
    while (count != 0) {
      const size_t room = static_cast<size_t>(buffer_ + kBufferSize - next_);
      const size_t take = count < room ? count : room;
      std::memcpy(next_, data, take);
      next_ += take;
      data += take;
      count -= take;
      if (next_ >= buffer_ + kBufferSize) drain();
    }
  }
  // Writes out what the buffer holds (pending bits must be aligned first).
  void finish() {
    const size_t n = static_cast<size_t>(next_ - buffer_);
    if (n != 0) writeOut(n);
    next_ = buffer_;
  }

  // Whole bytes produced so far (written out or still in the buffer).
  uint64_t bytesProduced() const { return written_ + static_cast<uint64_t>(next_ - buffer_); }
  // True when nothing at all has been produced, pending bits included.
  bool empty() const { return bytesProduced() == 0 && pending_ == 0; }
  // Bits waiting for their byte to complete (0..7 between codes).
  unsigned pendingBits() const { return pending_; }
  // True once a write to the output failed.
  bool failed() const { return failed_; }

  // The fast path of the block coder keeps the accumulator in registers:
  // it takes the state with save(), works on it with the same steps as
  // put() and commit(), and hands it back with restore().
  struct State {
    uint64_t acc;      // pending bits, first bit in bit 0
    unsigned pending;  // number of pending bits
    uint8_t* next;     // write position in the buffer
  };
  State save() const { return {acc_, pending_, next_}; }
  void restore(const State& s) {
    acc_ = s.acc;
    pending_ = s.pending;
    next_ = s.next;
  }
  // Write position at which the buffer must be drained.
  const uint8_t* drainPoint() const { return buffer_ + kBufferSize; }
  // Writes out the full buffer and keeps the bytes past it (restore() the
  // state first).
  void drain() {
    writeOut(kBufferSize);
    const size_t extra = static_cast<size_t>(next_ - (buffer_ + kBufferSize));
    std::memmove(buffer_, buffer_ + kBufferSize, extra);
    next_ = buffer_ + extra;
  }

  static void store64(uint8_t* p, uint64_t v) {
    // Little-endian byte order on every target this builds for; the memcpy
    // compiles to one unaligned store.
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the bit output assumes a little-endian target");
    std::memcpy(p, &v, sizeof v);
  }

 private:
  void writeOut(size_t n) {
    if (!failed_ && !sink_->write(buffer_, n)) failed_ = true;
    written_ += n;
  }

  DeflateOutput* sink_ = nullptr;              // where full buffers go
  uint8_t* next_ = buffer_;                    // next free byte of buffer_
  uint64_t acc_ = 0;                           // pending bits, first bit in bit 0
  unsigned pending_ = 0;                       // number of pending bits (< 8 between codes)
  uint64_t written_ = 0;                       // bytes handed to the sink (or dropped after a failure)
  bool failed_ = false;                        // a write to the sink failed
  uint8_t buffer_[kBufferSize + kSlack] = {};  // the output buffer, with slack for 8-byte stores
};

}  // namespace vz::engine::deflate
