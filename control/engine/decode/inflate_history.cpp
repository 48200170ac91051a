// inflateAfterHistory (see inflate_history.h): the resumable core run once,
// its region's history being the caller's preset bytes.
#include "control/engine/decode/inflate_history.h"

#include "control/engine/decode/inflate_core.h"

namespace vz::engine {

DecodeStatus inflateAfterHistory(DecodeInput& input, uint8_t* buffer, size_t historySize, size_t room, size_t& produced,
                                 const DecodeHooks* hooks) {
  produced = 0;
  const auto core = flat::InflateCore::create(input, false, hooks);
  if (!core) return DecodeStatus::NoMemory;
  uint8_t* const start = buffer + historySize;
  core->setOutput(buffer, start, start + room);
  bool paused = false;
  DecodeStatus status = core->run(paused);
  produced = static_cast<size_t>(core->pos() - start);
  // Paused: bytes were due with the room full.
  if (status == DecodeStatus::Ok && paused) status = DecodeStatus::OutputStopped;
  return status;
}

}  // namespace vz::engine
