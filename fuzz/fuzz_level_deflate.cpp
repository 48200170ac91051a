// Fuzz target: the levelled deflate compressor. The first byte chooses the
// level (its value modulo 11 less one, so -1, 0 and 10 exercise the
// clamping), the rest is compressed. The stream must inflate, with the
// engine's decoder and with the reference decoder, to exactly the input,
// and the length and CRC-32 must be the input's. One deflater serves every
// run, as a worker thread's does, so state left over from earlier inputs
// is exercised too.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/inflate.h"
#include "control/engine/encode/deflate_io.h"
#include "control/engine/encode/level_deflate.h"
#include "control/engine/format/crc32.h"
#include "tests/support/inflate_reference.h"

using namespace vz::engine;

namespace {

[[noreturn]] void fail(const char* what, int level, size_t size) {
  std::fprintf(stderr, "level %d, %zu bytes: %s\n", level, size, what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static LevelDeflater* deflater = new LevelDeflater;  // reused for every input, never freed
  const int level = data[0] % 11 - 1;
  const uint8_t* input = data + 1;
  const size_t length = size - 1;

  MemoryDeflateInput in(input, length);
  VectorDeflateOutput out;
  const LevelDeflateResult r = deflater->compress(level, in, out);
  if (r.outputError) fail("error reported", level, length);
  if (r.bytesRead != length || r.crc32 != crc32Update(0, input, length)) fail("wrong length or CRC", level, length);
  if (r.compressedSize != out.bytes.size()) fail("wrong compressed size", level, length);

  const std::vector<uint8_t> original(input, input + length);
  MemoryInput packed(out.bytes);
  VectorOutput unpacked;
  if (inflate(packed, unpacked) != DecodeStatus::Ok || unpacked.bytes != original)
    fail("the stream does not inflate to the input", level, length);
  if (packed.remaining() + packed.available() != 0) fail("bytes after the final block", level, length);
  MemoryInput again(out.bytes);
  VectorOutput reference;
  if (inflateReference(again, reference) != DecodeStatus::Ok || reference.bytes != original)
    fail("the reference decoder disagrees", level, length);
  return 0;
}
