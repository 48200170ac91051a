// Fuzz target: inflate against the reference inflater. Both must give the
// same status, the same output and the same cut at the output limit.
// Input: one option byte (bits 0-2 input span size, bits 3-7 an output
// limit: 0 none, else value * 4099 bytes), then the deflate stream.
#include <cstdio>
#include <cstdlib>

#include "control/engine/decode/inflate.h"
#include "tests/support/inflate_reference.h"
#include "fuzz/fuzz_decoder_input.h"

using namespace vz::engine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vz::fuzz::DecoderInput in;
  if (!vz::fuzz::splitInput(data, size, 1, in)) return 0;
  const size_t chunk = vz::fuzz::chunkFrom(in.header[0]);
  const unsigned limitCode = in.header[0] >> 3;
  const uint64_t limit = limitCode == 0 ? DecodeOutput::kNoLimit : uint64_t{limitCode} * 4099;

  MemoryInput fastIn(in.data, in.size, chunk);
  VectorOutput fastOut;
  fastOut.setLimit(limit);
  const DecodeStatus fast = inflate(fastIn, fastOut);

  MemoryInput refIn(in.data, in.size, chunk);
  VectorOutput refOut;
  refOut.setLimit(limit);
  const DecodeStatus ref = inflateReference(refIn, refOut);

  if (fast != ref || fastOut.bytes != refOut.bytes || fastOut.overran() != refOut.overran()) {
    std::fprintf(stderr, "inflate %d (%zu bytes) differs from the reference %d (%zu bytes)\n", toInt(fast),
                 fastOut.bytes.size(), toInt(ref), refOut.bytes.size());
    std::abort();
  }
  return 0;
}
