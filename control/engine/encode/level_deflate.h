// The levelled deflate compressor: levels 1 to 9 of the ZIP engine's add
// operation, one input in, one complete raw deflate stream (RFC 1951) out,
// with the input's length and CRC-32 on the way.
//
//   level  finder          parse   what it is for
//   1      hash buckets    greedy  fastest
//   2, 3   hash chains     greedy  fast, short chains
//   4..6   hash chains     lazy    the usual trade-off (6 is the default)
//   7..9   hash chains     lazy2   smallest output, long chains
//
// Lazy: a match found at a position is kept only when the next position
// offers no longer one; lazy2 also looks two positions ahead. After 256
// lookups in a row that found nothing (compressed or random data) every
// level steps over a few positions after each further miss, which halves
// the time on such data for a few bytes per megabyte. Blocks are
// split where the symbol statistics change and each block goes out with
// its own codes, the fixed codes or stored, whichever is smallest (see
// level_block.h; the finders are in level_match.h).
//
// The input is read in pieces into a buffer of about 1 MB that slides
// along it, so inputs of any length are compressed in bounded memory
// (about 3 MB per deflater in all, allocated once by the constructor).
// The output depends only on the input bytes and the level: not on how the
// input's reads are split, nor on what the deflater compressed before.
// A deflater holds no global state; use one per thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "control/engine/encode/deflate_io.h"

namespace vz::engine {

struct LevelDeflateResult {
  uint64_t compressedSize = 0;  // bytes written to the output
  uint64_t bytesRead = 0;       // input bytes read
  uint32_t crc32 = 0;           // CRC-32 of the bytes read
  bool outputError = false;     // a write failed (compression stopped)
};

class LevelDeflater {
 public:
  LevelDeflater();  // allocates its buffers once (reused for every call)
  ~LevelDeflater();
  LevelDeflater(const LevelDeflater&) = delete;
  LevelDeflater& operator=(const LevelDeflater&) = delete;

  // Compresses the input to its end into output as one complete raw
  // deflate stream (RFC 1951), level 1..9 (values outside are clamped).
  // The output depends only on the input bytes and the level.
  // progress, when set, is called now and then with bytesRead so far.
  LevelDeflateResult compress(int level, DeflateInput& input, DeflateOutput& output,
                              const std::function<void(uint64_t)>& progress = {});

  struct State;

 private:
  std::unique_ptr<State> state_;  // buffers, finders and the running input's position
};

}  // namespace vz::engine
