// Streamed inflate (see inflate64.h): the resumable core decodes into a
// buffer of 64 KB of history and a run of output behind it.
//
//   0          64 KB                                   64 KB + kRun
//   | history  | run: decoded bytes, flushed when full  |
//
// When the run is full the core pauses; the run is flushed in 32 KB pieces,
// its last 64 KB move down into the history and decoding goes on at the
// start of the run. Before the first move nothing lies in front of the run
// (a match reaching there is refused); afterwards the whole history is
// valid, which covers the farthest distance, 65,536.
#include "control/engine/decode/inflate64.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "control/engine/decode/inflate_core.h"

namespace vz::engine {

namespace {

constexpr size_t kHistory = 65536;
constexpr size_t kRun = 4 * kHistory;
constexpr size_t kPiece = 32768;  // flush size
static_assert(kRun % kPiece == 0 && kRun >= kHistory);

// Flushes bytes in whole pieces and a partial last one; false when the
// output refused them.
bool flushPieces(DecodeOutput& output, const uint8_t* data, size_t count) {
  if (count == 0) return output.flush(data, 0);
  for (size_t done = 0; done < count; done += kPiece) {
    if (!output.flush(data + done, std::min(kPiece, count - done))) return false;
  }
  return true;
}

}  // namespace

DecodeStatus inflateStreamed(DecodeInput& input, DecodeOutput& output, DeflateVariant variant,
                             const DecodeHooks* hooks, InflateTail* tail) {
  const std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kHistory + kRun]);
  const auto core = flat::InflateCore::create(input, variant == DeflateVariant::Deflate64, hooks);
  if (!buffer || !core) return DecodeStatus::NoMemory;
  uint8_t* const run = buffer.get() + kHistory;
  core->setOutput(run, run, run + kRun);
  for (;;) {
    bool paused = false;
    const DecodeStatus status = core->run(paused);
    if (status == DecodeStatus::Cancelled) return status;
    const bool flushed = flushPieces(output, run, static_cast<size_t>(core->pos() - run));
    if (status != DecodeStatus::Ok) return status;
    if (!flushed) return DecodeStatus::OutputStopped;
    if (!paused) {
      if (tail != nullptr) tail->count = core->unusedInput(tail->bytes);
      return DecodeStatus::Ok;
    }
    std::memcpy(buffer.get(), run + kRun - kHistory, kHistory);
    core->setOutput(buffer.get(), run, run + kRun);
  }
}

}  // namespace vz::engine
