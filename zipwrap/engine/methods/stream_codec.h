// One decode loop for the methods that a reference library decodes (bzip2,
// LZMA, xz, Zstandard).
//
// Each library works the same way: it is handed a span of compressed bytes
// and a span of room for output, takes what it can of the one and fills what
// it can of the other. A StreamCodec wraps one library behind that single
// step; runStreamCodec drives it between the entry's DecodeInput and the
// engine's 32 KB DecodeWindow, so that these methods keep the rules of the
// engine's own decoders: whole-window flushes, the hooks after each flush,
// the output cut at the declared size (OutputStopped), and BadData for a
// stream that stops making progress because its input ran out.
//
// The loop, per round:
//   input span empty and input not ended -> refill (a failed refill ends it)
//   step(span, ended, room left in the current window)
//   consume what the codec took, advance the window by what it produced,
//   flush the window when it is full
//   End -> Ok; Failed -> its status; no progress twice -> BadData
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::zipwrap {

// What one step of a codec did.
struct CodecStep {
  enum class State : uint8_t {
    More,    // call again (with more input or more room)
    End,     // the stream ended; the bytes after it are ignored
    Failed,  // decoding failed with status
  };
  size_t consumed = 0;  // compressed bytes taken from the span
  size_t produced = 0;  // decoded bytes written to the room
  State state = State::More;
  engine::DecodeStatus status = engine::DecodeStatus::Ok;  // why, when Failed

  static CodecStep failed(engine::DecodeStatus s) { return CodecStep{0, 0, State::Failed, s}; }
};

class StreamCodec {
 public:
  virtual ~StreamCodec() = default;
  // Takes bytes from in[0..inLen) and writes decoded bytes to out[0..room)
  // (room > 0). inputEnded: no compressed byte follows those in the span,
  // so the codec must finish with what it holds.
  virtual CodecStep step(const uint8_t* in, size_t inLen, bool inputEnded, uint8_t* out, size_t room) = 0;
};

// Decodes input through codec into output (whose limit the caller has set).
[[nodiscard]] engine::DecodeStatus runStreamCodec(StreamCodec& codec, engine::DecodeInput& input,
                                                  engine::DecodeOutput& output, const engine::DecodeHooks* hooks);

// The codecs. memoryLimit bounds what the library may allocate; a stream
// that needs more gives NoMemory. A codec that cannot be set up is null.
std::unique_ptr<StreamCodec> makeBzip2Codec();
// Method 14: the ZIP's LZMA header (version, properties size, properties),
// then a raw LZMA stream; flags bit 1 says it ends with an end marker,
// otherwise it ends after uncompressedSize bytes.
std::unique_ptr<StreamCodec> makeZipLzmaCodec(uint16_t generalPurposeFlags, uint64_t uncompressedSize,
                                              uint64_t memoryLimit);
// Method 95: one or more xz streams.
std::unique_ptr<StreamCodec> makeXzCodec(uint64_t memoryLimit);
// Method 93: one or more Zstandard frames; windows above 2^windowLogMax
// bytes are refused.
std::unique_ptr<StreamCodec> makeZstdCodec(int windowLogMax);

}  // namespace vz::zipwrap
