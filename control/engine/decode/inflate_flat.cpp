// inflateFlat (see inflate_flat.h): the resumable core run once over the
// caller's buffer, whose end is the end of its room.
#include "control/engine/decode/inflate_flat.h"

#include "control/engine/decode/inflate_core.h"

namespace vz::engine {

DecodeStatus inflateFlat(DecodeInput& input, uint8_t* out, size_t size, size_t& produced, DeflateVariant variant,
                         const DecodeHooks* hooks) {
  produced = 0;
  const auto core = flat::InflateCore::create(input, variant == DeflateVariant::Deflate64, hooks);
  if (!core) return DecodeStatus::NoMemory;
  core->setOutput(out, out, out + size);
  bool paused = false;
  DecodeStatus status = core->run(paused);
  produced = static_cast<size_t>(core->pos() - out);
  // Paused: bytes were due with the buffer full.
  if (status == DecodeStatus::Ok && paused) status = DecodeStatus::OutputStopped;
  return status;
}

}  // namespace vz::engine
