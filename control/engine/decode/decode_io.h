// The input and output interfaces of the entry decoders.
//
// A decoder reads the entry's compressed bytes through a DecodeInput and
// delivers the decoded bytes through a DecodeOutput; it owns nothing else, so
// it runs the same over an archive file (the extractor's subclasses, which
// read and decrypt 24,576-byte blocks) and over memory (MemoryInput and
// VectorOutput, used by tests, fuzzers and benchmarks).
//
// Input rule: the input is created with the entry's compressed size, the
// remaining compressed count. Each refill takes a span of bytes from the
// source and counts it down; once the count has reached zero no more bytes
// come, whatever the source holds behind them, and a decoder that still needs
// bits ends with DecodeStatus::BadData. Decoders take bytes from the current
// span in bulk (data(), available(), consume()) and call refill() when it is
// used up.
//
// Output rule: decoders stage their output in a 32 KB window and call
// flush(window, count) with count = 32,768 each time the window fills, and
// once at the end with the rest. The output may carry a limit (the declared
// uncompressed size): bytes past it are cut off, overran() becomes true and
// flush() returns false, which ends decoding with OutputStopped. A sink that
// fails to write also makes flush() return false.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

namespace vz::engine {

class DecodeInput {
 public:
  explicit DecodeInput(uint64_t compressedSize) : remaining_(compressedSize) {}
  virtual ~DecodeInput() = default;
  DecodeInput(const DecodeInput&) = delete;
  DecodeInput& operator=(const DecodeInput&) = delete;

  // The bytes fetched and not yet consumed.
  const uint8_t* data() const { return next_; }
  size_t available() const { return static_cast<size_t>(end_ - next_); }
  // Marks n (at most available()) bytes as consumed.
  void consume(size_t n) { next_ += n; }
  // Fetches the next span once the current one is used up. False when the
  // remaining compressed count is zero or the source failed (failed()).
  bool refill();

  // Compressed bytes not yet fetched from the source.
  uint64_t remaining() const { return remaining_; }
  // True when the source could not deliver a byte the count still allowed
  // (a read error or a file that ends early).
  bool failed() const { return failed_; }

 protected:
  // Supplies up to maxBytes (> 0) further bytes of the entry: points *data at
  // them and returns their number, valid until the next call; 0 on failure.
  virtual size_t fetch(const uint8_t** data, size_t maxBytes) = 0;

 private:
  const uint8_t* next_ = nullptr;  // first unconsumed byte of the current span
  const uint8_t* end_ = nullptr;   // end of the current span
  uint64_t remaining_;             // compressed bytes the source may still deliver
  bool failed_ = false;            // the source delivered nothing while bytes were due
};

// Input over bytes in memory. All of them are the entry's compressed data;
// chunk limits the size of each span, so that tests and fuzzers can exercise
// the refill edges (1 delivers the data byte by byte).
class MemoryInput final : public DecodeInput {
 public:
  MemoryInput(const uint8_t* data, size_t size, size_t chunk = std::numeric_limits<size_t>::max())
      : DecodeInput(size), data_(data), size_(size), chunk_(chunk == 0 ? 1 : chunk) {}
  explicit MemoryInput(const std::vector<uint8_t>& bytes, size_t chunk = std::numeric_limits<size_t>::max())
      : MemoryInput(bytes.data(), bytes.size(), chunk) {}

 protected:
  size_t fetch(const uint8_t** data, size_t maxBytes) override;

 private:
  const uint8_t* data_;  // the compressed bytes (not owned)
  size_t size_;          // their number
  size_t chunk_;         // largest span handed out at once
  size_t offset_ = 0;    // bytes handed out so far
};

class DecodeOutput {
 public:
  static constexpr uint64_t kNoLimit = std::numeric_limits<uint64_t>::max();

  DecodeOutput() = default;
  virtual ~DecodeOutput() = default;
  DecodeOutput(const DecodeOutput&) = delete;
  DecodeOutput& operator=(const DecodeOutput&) = delete;

  // Bytes past maxBytes in total are cut off (kNoLimit: none).
  void setLimit(uint64_t maxBytes) { limit_ = maxBytes; }
  uint64_t limit() const { return limit_; }

  // Takes count bytes from the start of the window. False ends decoding:
  // the bytes ran past the limit (they were written up to it) or the sink
  // failed.
  bool flush(const uint8_t* window, size_t count);

  // Bytes accepted so far (never more than the limit).
  uint64_t total() const { return total_; }
  // True once output ran past the limit and was cut there.
  bool overran() const { return overran_; }
  // True once the sink failed to take bytes.
  bool sinkFailed() const { return sinkFailed_; }

 protected:
  // Takes count (> 0) decoded bytes; false when they could not be written.
  virtual bool write(const uint8_t* data, size_t count) = 0;

 private:
  uint64_t limit_ = kNoLimit;  // most bytes accepted in total
  uint64_t total_ = 0;         // bytes accepted so far
  bool overran_ = false;       // output went past limit_
  bool sinkFailed_ = false;    // write() returned false
};

// Output into a byte vector; it also records the size of every flush so that
// tests can check the whole-window rule.
class VectorOutput final : public DecodeOutput {
 public:
  std::vector<uint8_t> bytes;      // everything written, in order
  std::vector<size_t> flushSizes;  // count of each write, in order
  bool recordFlushes = false;      // fill flushSizes

 protected:
  bool write(const uint8_t* data, size_t count) override;
};

// Optional callbacks of a decoder. pump is called after each inflate block
// and after each window flush of the other methods, when it is set (message
// pumping on); cancelled is polled at the same points and ends decoding with
// DecodeStatus::Cancelled when it returns true.
struct DecodeHooks {
  std::function<void()> pump;
  std::function<bool()> cancelled;
};

}  // namespace vz::engine
