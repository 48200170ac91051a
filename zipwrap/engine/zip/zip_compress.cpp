// EntryCompressor over the engine's levelled deflater (levels 1..9, its
// own progress reports; encode/level_deflate.h).
#include "zipwrap/engine/zip/zip_compress.h"

#include "control/engine/encode/level_deflate.h"

namespace vz::zipwrap {

struct EntryCompressor::Impl {
  engine::LevelDeflater deflater;  // buffers allocated once, reused per file
};

EntryCompressor::EntryCompressor() : impl_(std::make_unique<Impl>()) {}
EntryCompressor::~EntryCompressor() = default;

CompressOutcome EntryCompressor::compress(int level, engine::DeflateInput& input, engine::DeflateOutput& output,
                                          const std::function<void(uint64_t)>& progress) {
  const engine::LevelDeflateResult r = impl_->deflater.compress(level, input, output, progress);
  return {r.compressedSize, r.bytesRead, r.crc32, r.outputError};
}

}  // namespace vz::zipwrap
