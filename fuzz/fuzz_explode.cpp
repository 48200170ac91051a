// Fuzz target: explode. Input: one byte whose bits 1 and 2 are the general
// purpose flags (dictionary, literal tree) and bits 3-5 the input span size,
// 3 bytes of uncompressed size, then the imploded data.
#include <cstdlib>

#include "control/engine/decode/explode.h"
#include "fuzz/fuzz_decoder_input.h"

using namespace vz::engine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vz::fuzz::DecoderInput in;
  if (!vz::fuzz::splitInput(data, size, 4, in)) return 0;
  const uint16_t flags = in.header[0] & 6;
  const uint64_t expected = vz::fuzz::sizeFrom(in.header + 1);
  MemoryInput input(in.data, in.size, vz::fuzz::chunkFrom(in.header[0] >> 3));
  VectorOutput output;
  output.setLimit(expected);
  const DecodeStatus status = explode(input, output, flags, expected);
  if (output.bytes.size() > expected || (status == DecodeStatus::Ok && output.bytes.size() != expected)) std::abort();
  return 0;
}
