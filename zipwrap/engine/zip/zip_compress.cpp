// EntryCompressor over the engine's levelled deflater (levels 1..9, its
// own progress reports). Where that deflater is not part of the build, the
// control's encoder stands in: fast for levels 1-3, maximum for 9, normal
// for 4-8, its reads counted here for the progress.
#include "zipwrap/engine/zip/zip_compress.h"

#if __has_include("control/engine/encode/level_deflate.h")
#include "control/engine/encode/level_deflate.h"
#define VZ_HAVE_LEVEL_DEFLATE 1
#else
#include "control/engine/encode/deflate_encoder.h"
#define VZ_HAVE_LEVEL_DEFLATE 0
#endif

namespace vz::zipwrap {

#if VZ_HAVE_LEVEL_DEFLATE

struct EntryCompressor::Impl {
  engine::LevelDeflater deflater;  // buffers allocated once, reused per file
};

CompressOutcome EntryCompressor::compress(int level, engine::DeflateInput& input, engine::DeflateOutput& output,
                                          const std::function<void(uint64_t)>& progress) {
  const engine::LevelDeflateResult r = impl_->deflater.compress(level, input, output, progress);
  return {r.compressedSize, r.bytesRead, r.crc32, r.outputError};
}

#else

namespace {

// Passes reads through and reports the running count.
class CountingInput final : public engine::DeflateInput {
 public:
  CountingInput(engine::DeflateInput& inner, const std::function<void(uint64_t)>& progress)
      : inner_(inner), progress_(progress) {}
  size_t read(uint8_t* buf, size_t n) override {
    const size_t got = inner_.read(buf, n);
    total_ += got;
    if (progress_ && got > 0) progress_(total_);
    return got;
  }
  uint64_t length() const override { return inner_.length(); }

 private:
  engine::DeflateInput& inner_;                    // the real input
  const std::function<void(uint64_t)>& progress_;  // receives total_ after each read
  uint64_t total_ = 0;                             // bytes read so far
};

int encoderModeOf(int level) {
  if (level <= 3) return engine::kDeflateModeFast;
  if (level >= 9) return engine::kDeflateModeMaximum;
  return engine::kDeflateModeNormal;
}

}  // namespace

struct EntryCompressor::Impl {
  engine::DeflateEncoder encoder;  // buffers allocated once, reused per file
};

CompressOutcome EntryCompressor::compress(int level, engine::DeflateInput& input, engine::DeflateOutput& output,
                                          const std::function<void(uint64_t)>& progress) {
  CountingInput counted(input, progress);
  const engine::DeflateResult r = impl_->encoder.compress(encoderModeOf(level), counted, output);
  return {r.compressedSize, r.bytesRead, r.crc32, r.outputError || r.busy};
}

#endif

EntryCompressor::EntryCompressor() : impl_(std::make_unique<Impl>()) {}
EntryCompressor::~EntryCompressor() = default;

}  // namespace vz::zipwrap
