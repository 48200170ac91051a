// Fuzz target: the ARJ decoders (methods 0 to 4, and the garbling input).
// Byte 0: the method (low three bits, 5 to 7 taken as 1 to 3 with the
// data garbled by the password "fuzz" and modifier byte 1 of the input);
// byte 1: the input span size; bytes 2-4: the original size (at most
// 16 MB); the rest is the packed data. Each input is decoded twice, with
// the chosen spans and whole: status and bytes must agree, the output never
// passes the original size, and Ok means all of it came out.
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_decoder_input.h"
#include "manager/readers/codecs/arj_data.h"
#include "manager/readers/codecs/arj_garble.h"

using namespace vz::engine;
using namespace vz::readers::codecs;

namespace {

ArjStatus run(int method, bool garbled, uint8_t modifier, const uint8_t* data, size_t size, uint64_t original,
              size_t chunk, VectorOutput& out) {
  MemoryInput raw(data, size, chunk);
  out.setLimit(original);
  if (!garbled) return decodeArjData(method, raw, out, original);
  ArjGarbledInput in(raw, "fuzz", modifier);
  return decodeArjData(method, in, out, original);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vz::fuzz::DecoderInput in;
  if (!vz::fuzz::splitInput(data, size, 5, in)) return 0;
  const int pick = in.header[0] & 7;
  const bool garbled = pick >= 5;
  const int method = garbled ? pick - 4 : pick;
  const uint64_t original = vz::fuzz::sizeFrom(in.header + 2);
  VectorOutput a, b;
  const ArjStatus sa =
      run(method, garbled, in.header[1], in.data, in.size, original, vz::fuzz::chunkFrom(in.header[1]), a);
  const ArjStatus sb = run(method, garbled, in.header[1], in.data, in.size, original, SIZE_MAX, b);
  if (sa != sb || a.bytes != b.bytes) std::abort();
  if (a.bytes.size() > original) std::abort();
  if (sa == ArjStatus::Ok && a.bytes.size() != original) std::abort();
  return 0;
}
