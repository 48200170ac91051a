// Fuzz target: unshrink. Input: 3 bytes of uncompressed size, one byte of
// input span size, then the shrunk data.
#include <cstdlib>

#include "control/engine/decode/unshrink.h"
#include "fuzz/fuzz_decoder_input.h"

using namespace vz::engine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vz::fuzz::DecoderInput in;
  if (!vz::fuzz::splitInput(data, size, 4, in)) return 0;
  const uint64_t expected = vz::fuzz::sizeFrom(in.header);
  MemoryInput input(in.data, in.size, vz::fuzz::chunkFrom(in.header[3]));
  VectorOutput output;
  output.setLimit(expected);
  const DecodeStatus status = unshrink(input, output, expected);
  // The decoder stops at the size: never more, and exactly that on success.
  if (output.bytes.size() > expected || (status == DecodeStatus::Ok && output.bytes.size() != expected)) std::abort();
  return 0;
}
