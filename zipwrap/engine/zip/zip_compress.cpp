// EntryCompressor over the engine's levelled deflater (levels 1..9, its
// own progress reports; encode/level_deflate.h) and the modern methods'
// encoders.
#include "zipwrap/engine/zip/zip_compress.h"

#include "control/engine/encode/level_deflate.h"
#include "zipwrap/engine/methods/modern_encoders.h"

namespace vz::zipwrap {

struct EntryCompressor::Impl {
  engine::LevelDeflater deflater;  // buffers allocated once, reused per file
};

EntryCompressor::EntryCompressor() : impl_(std::make_unique<Impl>()) {}
EntryCompressor::~EntryCompressor() = default;

CompressOutcome EntryCompressor::compress(int method, int level, engine::DeflateInput& input,
                                          engine::DeflateOutput& output,
                                          const std::function<void(uint64_t)>& progress) {
  if (method != 8) {
    const EncodeOutcome e = encodeModernMethod(method, level, input, output, progress);
    return {e.compressedSize, e.bytesRead, e.crc32, e.outputError, e.failed};
  }
  const engine::LevelDeflateResult r = impl_->deflater.compress(level, input, output, progress);
  return {r.compressedSize, r.bytesRead, r.crc32, r.outputError};
}

}  // namespace vz::zipwrap
