// The writer's one way into a compressor: deflate (method 8) through the
// engine's levelled deflater, a level 1..9 of the command line turned into
// its settings, and bzip2, LZMA, xz and Zstandard through their libraries
// (methods/modern_encoders.h). One EntryCompressor per worker thread; it
// keeps the deflater's buffers between files.
//
// The output for a given input and level is the same on every run and on
// every thread, which is what makes the archive independent of the number
// of worker threads.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "control/engine/encode/deflate_io.h"

namespace vz::zipwrap {

struct CompressOutcome {
  uint64_t compressedSize = 0;  // bytes written to the output
  uint64_t bytesRead = 0;       // input bytes consumed
  uint32_t crc32 = 0;           // CRC-32 of the bytes read
  bool outputError = false;     // a write to the output failed
  bool failed = false;          // the method's library refused: the output is unusable, store instead
};

class EntryCompressor {
 public:
  EntryCompressor();
  ~EntryCompressor();
  EntryCompressor(const EntryCompressor&) = delete;
  EntryCompressor& operator=(const EntryCompressor&) = delete;

  // Compresses all of input at level (1..9) into output with method (8: one
  // raw deflate stream); progress (when set) receives the input bytes read
  // so far.
  CompressOutcome compress(int method, int level, engine::DeflateInput& input, engine::DeflateOutput& output,
                           const std::function<void(uint64_t)>& progress = {});

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;  // the compressor and its buffers
};

}  // namespace vz::zipwrap
