// Fuzz target: the LHA-family decoders (lh0..lh7, lhx, lzs, lz4, lz5,
// pm0, pm1, pm2) and ZOO's LZW. Byte 0 picks the method (modulo 16: 12 is
// ZOO's LZW, 13 -lh2-, 14 -pm1-, 15 -pm2-), byte 1 the input span size, bytes 2 to 4 the declared size (up to
// 1 MB, little-endian, high bits dropped); the rest is the entry's packed
// data. A decoder must end with Ok or BadData, never deliver more than the
// declared size (exactly it with Ok), and give the same bytes and result
// again with a different span size.
#include <cstdlib>
#include <string_view>

#include "control/engine/decode/decode_io.h"
#include "manager/readers/codecs/lh_methods.h"
#include "manager/readers/codecs/zoo_lzw.h"

using namespace vz::engine;
using namespace vz::readers::codecs;

namespace {

constexpr std::string_view kIds[] = {"-lh0-", "-lh1-", "-lh3-", "-lh4-", "-lh5-", "-lh6-",
                                     "-lh7-", "-lhx-", "-lzs-", "-lz4-", "-lz5-", "-pm0-"};
// Methods 13 and on (12 is ZOO's LZW).
constexpr std::string_view kLaterIds[] = {"-lh2-", "-pm1-", "-pm2-"};
constexpr uint64_t kMaxSize = 1 << 20;

struct Run {
  DecodeStatus status;
  std::vector<uint8_t> bytes;
};

Run decode(unsigned method, uint64_t size, const uint8_t* data, size_t n, size_t chunk) {
  MemoryInput in(data, n, chunk);
  VectorOutput out;
  if (method == 12) {
    out.setLimit(size);
    const DecodeStatus s = decodeZooLzw(in, out);
    return {s, std::move(out.bytes)};
  }
  const DecodeStatus s = decodeLhMethod(method < 12 ? kIds[method] : kLaterIds[method - 13], in, out, size);
  return {s, std::move(out.bytes)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  const unsigned method = data[0] % 16;
  const size_t chunk = 1 + data[1] * 97u;
  const uint64_t declared = (data[2] | data[3] << 8 | static_cast<uint64_t>(data[4]) << 16) % (kMaxSize + 1);
  const Run a = decode(method, declared, data + 5, size - 5, chunk);
  if (a.bytes.size() > declared) std::abort();
  if (method != 12) {
    if (a.status != DecodeStatus::Ok && a.status != DecodeStatus::BadData) std::abort();
    if (a.status == DecodeStatus::Ok && a.bytes.size() != declared) std::abort();
  } else if (a.status != DecodeStatus::Ok && a.status != DecodeStatus::BadData &&
             a.status != DecodeStatus::OutputStopped) {
    std::abort();
  }
  const Run b = decode(method, declared, data + 5, size - 5, 1 << 20);
  if (b.status != a.status || b.bytes != a.bytes) std::abort();
  return 0;
}
