// The decode loop of the library-backed methods (see stream_codec.h).
#include "zipwrap/engine/methods/stream_codec.h"

#include "control/engine/decode/decode_window.h"

namespace vz::zipwrap {

using engine::DecodeStatus;

namespace {

// Rounds in a row without progress after which the stream counts as cut
// short. A library may need one empty call to notice the end of its input
// (and then says so); a second one means it is waiting for bytes that will
// never come.
constexpr int kMaxIdleRounds = 2;

}  // namespace

DecodeStatus runStreamCodec(StreamCodec& codec, engine::DecodeInput& input, engine::DecodeOutput& output,
                            const engine::DecodeHooks* hooks) {
  engine::DecodeWindow window(output, hooks, true);
  if (!window.valid()) return DecodeStatus::NoMemory;
  bool ended = false;  // the input can give no more bytes
  int idle = 0;        // rounds in a row that took and gave nothing
  DecodeStatus status = DecodeStatus::Ok;
  for (;;) {
    if (input.available() == 0 && !ended && !input.refill()) ended = true;
    const size_t inLen = input.available();
    const size_t room = window.windowEnd() - window.pos();
    const CodecStep r =
        codec.step(inLen > 0 ? input.data() : nullptr, inLen, ended, window.buffer() + window.pos(), room);
    input.consume(r.consumed);
    window.setPos(window.pos() + r.produced);
    if (window.pos() == window.windowEnd() && !window.flushFull()) return window.stopStatus();
    if (r.state == CodecStep::State::End) break;
    if (r.state == CodecStep::State::Failed) {
      status = r.status;
      break;
    }
    idle = (r.consumed == 0 && r.produced == 0) ? idle + 1 : 0;
    if (idle >= kMaxIdleRounds) {
      status = DecodeStatus::BadData;
      break;
    }
  }
  return window.close(status);
}

}  // namespace vz::zipwrap
