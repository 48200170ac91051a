// Dispatch of the modern methods to their codecs (see modern_methods.h).
#include "zipwrap/engine/methods/modern_methods.h"

#include <memory>

#include "zipwrap/engine/methods/stream_codec.h"

namespace vz::zipwrap {

namespace {

// The ZIP method numbers decoded here.
constexpr int kMethodBzip2 = 12;
constexpr int kMethodLzma = 14;
constexpr int kMethodZstd = 93;
constexpr int kMethodZstdOld = 20;  // the number Zstandard had before 93 was given to it
constexpr int kMethodXz = 95;

}  // namespace

bool isModernMethod(int method) {
  return method == kMethodBzip2 || method == kMethodLzma || method == kMethodZstd || method == kMethodZstdOld ||
         method == kMethodXz;
}

engine::DecodeStatus decodeModernMethod(int method, uint16_t generalPurposeFlags, uint64_t uncompressedSize,
                                        engine::DecodeInput& input, engine::DecodeOutput& output,
                                        const engine::DecodeHooks* hooks) {
  return decodeModernMethod(method, generalPurposeFlags, uncompressedSize, input, output, hooks, ModernLimits{});
}

engine::DecodeStatus decodeModernMethod(int method, uint16_t generalPurposeFlags, uint64_t uncompressedSize,
                                        engine::DecodeInput& input, engine::DecodeOutput& output,
                                        const engine::DecodeHooks* hooks, const ModernLimits& limits) {
  std::unique_ptr<StreamCodec> codec;
  switch (method) {
    case kMethodBzip2:
      codec = makeBzip2Codec();
      break;
    case kMethodLzma:
      codec = makeZipLzmaCodec(generalPurposeFlags, uncompressedSize, limits.memoryBytes);
      break;
    case kMethodZstd:
    case kMethodZstdOld:
      codec = makeZstdCodec(limits.zstdWindowLog);
      break;
    case kMethodXz:
      codec = makeXzCodec(limits.memoryBytes);
      break;
    default:
      return engine::DecodeStatus::UnsupportedMethod;
  }
  if (!codec) return engine::DecodeStatus::NoMemory;
  output.setLimit(uncompressedSize);
  return runStreamCodec(*codec, input, output, hooks);
}

}  // namespace vz::zipwrap
