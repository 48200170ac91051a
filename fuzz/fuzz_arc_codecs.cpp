// Fuzz target: the ARC and PAK decoders. Byte 0 picks the method (its
// value modulo 12, so 0 tries the refusal of an unknown method), byte 1
// the input span size; the rest is the entry's packed data. Output is
// limited to 1 MB: a decoder must never deliver past the limit, must end
// with one of its statuses, and must give the same bytes and status again
// with a different span size.
#include <cstdlib>

#include "fuzz/fuzz_decoder_input.h"
#include "manager/readers/codecs/arc_crc16.h"
#include "manager/readers/codecs/arc_methods.h"

using namespace vz::engine;
using namespace vz::readers::codecs;

namespace {

constexpr uint64_t kLimit = 1 << 20;

struct Run {
  ArcStatus status;
  std::vector<uint8_t> bytes;
  uint16_t crc;
};

Run decode(uint8_t method, const uint8_t* data, size_t size, size_t chunk) {
  MemoryInput in(data, size, chunk);
  VectorOutput out;
  out.setLimit(kLimit);
  ArcCrcOutput crc(out);
  const ArcStatus s = decodeArcEntry(method, in, crc);
  return {s, std::move(out.bytes), crc.crc()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t method = data[0] % 12;
  const size_t chunk = 1 + data[1] * 97u;
  const Run a = decode(method, data + 2, size - 2, chunk);
  if (a.bytes.size() > kLimit) std::abort();
  if (a.status >= ArcStatus::Cancelled) std::abort();  // no hooks: never cancelled
  if ((a.status == ArcStatus::UnsupportedMethod) != (method == 0)) std::abort();
  if (a.crc != arcCrc16(0, a.bytes.data(), a.bytes.size())) std::abort();
  const Run b = decode(method, data + 2, size - 2, 1 << 20);
  if (b.status != a.status || b.bytes != a.bytes) std::abort();
  return 0;
}
