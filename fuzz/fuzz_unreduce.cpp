// Fuzz target: unreduce. Input: one byte whose low 2 bits give the factor
// (1 to 4) and bits 2-4 the input span size, 3 bytes of uncompressed size,
// then the reduced data.
#include <cstdlib>

#include "control/engine/decode/unreduce.h"
#include "fuzz/fuzz_decoder_input.h"

using namespace vz::engine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vz::fuzz::DecoderInput in;
  if (!vz::fuzz::splitInput(data, size, 4, in)) return 0;
  const int factor = (in.header[0] & 3) + 1;
  const uint64_t expected = vz::fuzz::sizeFrom(in.header + 1);
  MemoryInput input(in.data, in.size, vz::fuzz::chunkFrom(in.header[0] >> 2));
  VectorOutput output;
  output.setLimit(expected);
  const DecodeStatus status = unreduce(input, output, factor, expected);
  if (output.bytes.size() > expected || (status == DecodeStatus::Ok && output.bytes.size() != expected)) std::abort();
  return 0;
}
