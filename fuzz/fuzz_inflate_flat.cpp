// Fuzz target: the flat inflater, both variants. Plain deflate must match
// inflate() given the same buffer size: inflate() decoded without a limit
// tells the bytes and status, and data past the buffer's end must stop the
// flat decoder there with OutputStopped. Deflate64 must match the streamed
// decoder the same way. Nothing may be written outside the buffer (guard
// bytes on both sides).
// Input: one option byte (bits 0-2 input span size, bit 3 deflate64,
// bits 4-7 a buffer size: 0 the unlimited decode's size, else value * 4099
// bytes), then the stream.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "control/engine/decode/inflate.h"
#include "control/engine/decode/inflate64.h"
#include "control/engine/decode/inflate_flat.h"
#include "fuzz/fuzz_decoder_input.h"

using namespace vz::engine;

namespace {

constexpr size_t kGuard = 32;
constexpr size_t kMaxOutput = 1 << 24;  // damage that repeats long matches stops here

[[noreturn]] void fail(const char* what, int flat, int other, size_t flatSize, size_t otherSize) {
  std::fprintf(stderr, "%s: flat %d (%zu bytes), other %d (%zu bytes)\n", what, flat, flatSize, other, otherSize);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vz::fuzz::DecoderInput in;
  if (!vz::fuzz::splitInput(data, size, 1, in)) return 0;
  const size_t chunk = vz::fuzz::chunkFrom(in.header[0]);
  const bool wide = (in.header[0] & 8) != 0;
  const unsigned sizeCode = in.header[0] >> 4;

  // The other decoder, limited only against runaway output.
  MemoryInput otherIn(in.data, in.size, chunk);
  VectorOutput otherOut;
  otherOut.setLimit(kMaxOutput);
  const DecodeStatus other = wide ? inflate64(otherIn, otherOut) : inflate(otherIn, otherOut);
  if (otherOut.overran()) return 0;

  const size_t bufferSize = sizeCode == 0 ? otherOut.bytes.size() : size_t{sizeCode} * 4099;
  std::vector<uint8_t> buffer(bufferSize + 2 * kGuard, 0x5A);
  MemoryInput flatIn(in.data, in.size, chunk);
  size_t produced = 0;
  const DecodeStatus flat = inflateFlat(flatIn, buffer.data() + kGuard, bufferSize, produced,
                                        wide ? DeflateVariant::Deflate64 : DeflateVariant::Deflate);
  for (size_t i = 0; i < kGuard; ++i) {
    if (buffer[i] != 0x5A || buffer[kGuard + bufferSize + i] != 0x5A) {
      fail("written outside the buffer", toInt(flat), toInt(other), produced, otherOut.bytes.size());
    }
  }
  const bool runsPast = otherOut.bytes.size() > bufferSize;
  const DecodeStatus expected = runsPast ? DecodeStatus::OutputStopped : other;
  const size_t expectedSize = runsPast ? bufferSize : otherOut.bytes.size();
  if (flat != expected || produced != expectedSize ||
      !std::equal(otherOut.bytes.begin(), otherOut.bytes.begin() + static_cast<ptrdiff_t>(expectedSize),
                  buffer.begin() + kGuard)) {
    fail(wide ? "differs from the streamed decoder" : "differs from inflate()", toInt(flat), toInt(other), produced,
         otherOut.bytes.size());
  }
  return 0;
}
