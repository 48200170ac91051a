// The engine's deflate compressor: one file in, a raw deflate stream (RFC
// 1951, ZIP method 8) out, with the file's length and CRC-32 on the way.
//
// A greedy encoder: at each position it takes the longest match the hash
// chains offer (no lazy evaluation), emits it or a literal, and moves on.
// The window is 65,536 bytes, twice the 32 KB dictionary; matches reach at
// most 32,506 bytes back (the dictionary less the 262 bytes of lookahead a
// position keeps while input remains). Four compression modes:
//
//   mode  chain  stop-at  insert-all  far rule  meaning
//   0     128    64       128         no        normal
//   1     4      8        8           no        fast
//   2     4096   258      258         yes       maximum
//   3     -      -        -           -         store: the writer stores the
//                                               file and never calls compress()
//
// chain: candidates tried per position; stop-at: a match this long ends the
// search; insert-all: matches up to this length have every position they
// cover entered into the hash, longer ones are skipped over; far rule: a
// 3-byte match more than 4,096 bytes back is dropped. Any mode value other
// than 1 and 2 compresses as mode 0 (a value outside 0..3 is taken as 0;
// mode 3 should not reach here, and is treated the same way if it does).
//
// The output is determined by the input and the mode alone: the same bytes
// on every run, whatever was compressed before and however the input is
// read. The file's last 257 bytes never match against bytes past its end.
//
// When the whole file goes into one block that does not shrink, the block
// is not coded: the input itself is copied to the output, so the size
// returned equals the input length and the writer (which stores every file
// whose compressed size is not smaller than its length) rewrites the entry
// stored. An empty file thus produces no output at all.
//
// State: the design keeps the compressor's state process-wide in fixed
// static buffers. Here one DeflateEncoder object holds all of it in fixed
// buffers allocated once by its constructor (about 350 KB), and reuses them
// for every file: no allocation per file. One file is compressed at a time;
// a call made from inside the message pump of a running one is refused
// (busy).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "control/engine/common/notify.h"  // the progress messages (kNotifyZipping, kNotifyZipping2)
#include "control/engine/encode/deflate_io.h"
#include "control/engine/encode/deflate_trees.h"
#include "platform/types.h"

namespace vz::engine {

// Values of iCompressionMode.
constexpr int kDeflateModeNormal = 0;
constexpr int kDeflateModeFast = 1;
constexpr int kDeflateModeMaximum = 2;
constexpr int kDeflateModeStore = 3;  // the writer stores; the compressor is not called

// Where progress goes. Reports are made on every tenth refill of the
// window (each report followed by a pass of the message pump when pump is
// set) and once more at the end: kNotifyZipping with the final size and
// kNotifyZipping2 with 100.
struct DeflateProgress {
  Handle window = 0;          // the control window to report to; 0: no messages
  bool pump = false;          // dispatch waiting messages after each report
  const char* fileName = "";  // the file's name, the reports' text
};

struct DeflateResult {
  uint64_t compressedSize = 0;  // bytes produced (the raw copy's length in the raw-copy case)
  uint64_t bytesRead = 0;       // input bytes read
  uint32_t crc32 = 0;           // CRC-32 of the bytes read
  bool outputError = false;     // a write failed (or the raw copy's input had left the window)
  bool rawCopy = false;         // the output is the input itself, not a deflate stream
  bool busy = false;            // refused: the encoder was already running (nothing done)
};

// What the test hook sees of each block as it is closed.
struct DeflateBlockInfo {
  uint64_t inputOffset = 0;                             // offset of the block's first byte in the input
  uint64_t inputLength = 0;                             // input bytes the block covers
  deflate::BlockKind kind = deflate::BlockKind::Fixed;  // how the block went out
  bool last = false;                                    // the file's final block
  unsigned symbolCount = 0;                             // symbols buffered for the block
  const uint8_t* literalsOrLengths = nullptr;           // per symbol: the literal, or the match length - 3
  const uint16_t* distances = nullptr;                  // per symbol: 0 for a literal, else the distance
};

class DeflateEncoder {
 public:
  // Allocates the fixed buffers; throws std::bad_alloc when that fails.
  DeflateEncoder();
  ~DeflateEncoder();
  DeflateEncoder(const DeflateEncoder&) = delete;
  DeflateEncoder& operator=(const DeflateEncoder&) = delete;

  // Compresses the whole input into output in the given mode (see above).
  // Reads end at the first read that returns nothing (end of file or read
  // error); the CRC and length cover what was read. A failing write sets
  // outputError and stops the compression at the end of the current block.
  DeflateResult compress(int mode, DeflateInput& input, DeflateOutput& output, const DeflateProgress& progress = {});

  // Test hook: called for every block as it is closed (nullptr: none).
  using BlockObserver = std::function<void(const DeflateBlockInfo&)>;
  void setBlockObserver(BlockObserver observer);

  struct State;

 private:
  std::unique_ptr<State> state_;  // all buffers and the running file's state
};

}  // namespace vz::engine
