// Fuzz target: the stand-in engine's modern methods and AES. Input: one
// byte choosing the method (below), one byte of general-purpose flags (bit 1:
// LZMA end marker), 3 bytes of uncompressed size (at most 1 MB is used), one
// byte of input span size, then the entry's stored bytes. The method byte:
//   0 bzip2, 1 LZMA, 2 Zstandard, 3 xz, 4 and above: AES (method 99) with
//   the strength (byte / 5) % 3 + 1 around the method byte % 5 of the same
//   list, or deflate for 4; the password is "fuzz".
// The decoders run with small memory limits, so that a header asking for a
// large dictionary or window is refused instead of allocated.
#include <cstdlib>

#include "fuzz/fuzz_decoder_input.h"
#include "zipwrap/engine/methods/aes_input.h"
#include "zipwrap/engine/methods/modern_methods.h"

using namespace vz::engine;
using namespace vz::zipwrap;

namespace {

constexpr int kMethods[5] = {12, 14, 93, 95, 8};
constexpr uint64_t kMaxSize = (1u << 20) - 1;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vz::fuzz::DecoderInput in;
  if (!vz::fuzz::splitInput(data, size, 6, in)) return 0;
  const uint8_t choice = in.header[0];
  const uint16_t flags = in.header[1];
  const uint64_t expected = vz::fuzz::sizeFrom(in.header + 2) & kMaxSize;
  const ModernLimits limits{uint64_t{32} << 20, 23};
  MemoryInput input(in.data, in.size, vz::fuzz::chunkFrom(in.header[5]));
  VectorOutput output;
  DecodeStatus status;
  if (choice < 4) {
    status = decodeModernMethod(kMethods[choice], flags, expected, input, output, nullptr, limits);
  } else {
    AesEntryInfo info;
    info.version = 2;
    info.strength = static_cast<uint8_t>((choice / 5) % 3 + 1);
    info.method = static_cast<uint16_t>(kMethods[choice % 5]);
    const AesDecodeResult r = decodeAesEntry(info, "fuzz", flags, expected, input, output, nullptr, limits);
    status = r.status;
    if (r.wrongPassword && !output.bytes.empty()) std::abort();
  }
  // The decoders stop at the declared size, and know every method here.
  if (output.bytes.size() > expected || status == DecodeStatus::UnsupportedMethod) std::abort();
  return 0;
}
