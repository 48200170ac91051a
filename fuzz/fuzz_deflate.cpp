// Fuzz target: the deflate compressor. The first byte chooses the mode (its
// value taken as is, so 3..255 exercise the values that act as mode 0),
// the rest is compressed. The result must inflate, with the engine's
// decoder, to exactly the input (or be the input itself in the raw-copy
// case), the length and CRC-32 must be the input's, and a second run must
// give the same bytes. One encoder serves every run, as in the product, so
// state left over from earlier inputs is exercised too.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "control/engine/format/crc32.h"
#include "control/engine/decode/decode_io.h"
#include "control/engine/encode/deflate_encoder.h"
#include "control/engine/encode/deflate_io.h"
#include "control/engine/decode/inflate.h"

using namespace vz::engine;

namespace {

[[noreturn]] void fail(const char* what, int mode, size_t size) {
  std::fprintf(stderr, "deflate mode %d, %zu bytes: %s\n", mode, size, what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static DeflateEncoder* encoder = new DeflateEncoder;  // reused for every input, never freed
  const int mode = data[0];
  const uint8_t* input = data + 1;
  const size_t length = size - 1;

  MemoryDeflateInput in(input, length);
  VectorDeflateOutput out;
  const DeflateResult r = encoder->compress(mode, in, out);
  if (r.outputError || r.busy) fail("error reported", mode, length);
  if (r.bytesRead != length || r.crc32 != crc32Update(0, input, length)) fail("wrong length or CRC", mode, length);
  if (r.compressedSize != out.bytes.size()) fail("wrong compressed size", mode, length);
  const std::vector<uint8_t> original(input, input + length);
  if (r.rawCopy) {
    if (out.bytes != original) fail("raw copy differs from the input", mode, length);
  } else {
    MemoryInput packed(out.bytes);
    VectorOutput unpacked;
    if (inflate(packed, unpacked) != DecodeStatus::Ok || unpacked.bytes != original)
      fail("the stream does not inflate to the input", mode, length);
    if (packed.remaining() + packed.available() != 0) fail("bytes after the final block", mode, length);
  }

  MemoryDeflateInput again(input, length);
  VectorDeflateOutput out2;
  encoder->compress(mode, again, out2);
  if (out2.bytes != out.bytes) fail("a second run gave other bytes", mode, length);
  return 0;
}
