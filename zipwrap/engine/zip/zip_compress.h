// The writer's one way into a deflate compressor: a level 1..9 of the
// command line turned into the engine's compressor settings. One
// EntryCompressor per worker thread; it keeps the compressor's buffers
// between files.
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
};

class EntryCompressor {
 public:
  EntryCompressor();
  ~EntryCompressor();
  EntryCompressor(const EntryCompressor&) = delete;
  EntryCompressor& operator=(const EntryCompressor&) = delete;

  // Compresses all of input at level (1..9) into output as one raw deflate
  // stream; progress (when set) receives the input bytes read so far.
  CompressOutcome compress(int level, engine::DeflateInput& input, engine::DeflateOutput& output,
                           const std::function<void(uint64_t)>& progress = {});

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;  // the compressor and its buffers
};

}  // namespace vz::zipwrap
