// Method 93, Zstandard, through libzstd.
//
// The entry's data is one or more Zstandard frames (skippable frames
// included). The decoder's memory is its window, which each frame names in
// its header; windows above 2^windowLogMax bytes are refused before anything
// is allocated (NoMemory), and the decoder's own checksum, when a frame
// carries one, is checked (a mismatch is BadData).
//
// The end of the data is the end of a frame that is followed by no further
// input: a frame cut short is BadData, and so are bytes after the last frame
// that do not begin another one.
#include <zstd.h>
#include <zstd_errors.h>

#include <memory>

#include "zipwrap/engine/methods/stream_codec.h"

namespace vz::zipwrap {

using engine::DecodeStatus;

namespace {

class ZstdCodec final : public StreamCodec {
 public:
  explicit ZstdCodec(int windowLogMax) : stream_(ZSTD_createDStream()) {
    ready_ = stream_ != nullptr && !ZSTD_isError(ZSTD_DCtx_setParameter(stream_, ZSTD_d_windowLogMax, windowLogMax));
  }
  ~ZstdCodec() override { ZSTD_freeDStream(stream_); }
  ZstdCodec(const ZstdCodec&) = delete;
  ZstdCodec& operator=(const ZstdCodec&) = delete;

  bool ready() const { return ready_; }

  CodecStep step(const uint8_t* in, size_t inLen, bool inputEnded, uint8_t* out, size_t room) override {
    // A finished frame with nothing behind it ends the data. (Calling the
    // decoder again would only ask for the next frame's header.)
    if (inLen == 0 && inputEnded && frameDone_) return CodecStep{0, 0, CodecStep::State::End, DecodeStatus::Ok};
    ZSTD_inBuffer source{in, inLen, 0};
    ZSTD_outBuffer sink{out, room, 0};
    const size_t rc = ZSTD_decompressStream(stream_, &sink, &source);
    CodecStep r;
    r.consumed = source.pos;
    r.produced = sink.pos;
    if (ZSTD_isError(rc)) {
      const ZSTD_ErrorCode code = ZSTD_getErrorCode(rc);
      r.state = CodecStep::State::Failed;
      r.status = (code == ZSTD_error_memory_allocation || code == ZSTD_error_frameParameter_windowTooLarge)
                     ? DecodeStatus::NoMemory
                     : DecodeStatus::BadData;
      return r;
    }
    // 0: the frame is complete and all of its output delivered.
    frameDone_ = rc == 0;
    if (frameDone_ && inputEnded && r.consumed == inLen) r.state = CodecStep::State::End;
    return r;
  }

 private:
  ZSTD_DStream* stream_;    // libzstd's decoder (owned)
  bool ready_ = false;      // created, window limit set
  bool frameDone_ = false;  // the last call completed a frame and flushed it
};

}  // namespace

std::unique_ptr<StreamCodec> makeZstdCodec(int windowLogMax) {
  auto codec = std::make_unique<ZstdCodec>(windowLogMax);
  if (!codec->ready()) return nullptr;
  return codec;
}

}  // namespace vz::zipwrap
