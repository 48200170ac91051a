// ARJ method 4 (see arj_fastest.h).
#include "manager/readers/codecs/arj_fastest.h"

#include "control/engine/decode/decode_window.h"
#include "manager/readers/codecs/arj_lzh.h"

namespace vz::readers::codecs {

namespace {

using engine::DecodeWindow;

// A count of leading one bits, up to most (the 0 bit that ends a shorter
// run is consumed with it), then base + count bits: the number's value.
// Needs at least most + 1 + base + most bits held.
uint32_t readNumber(MsbBitReader& bits, unsigned base, unsigned most) {
  const uint32_t top = bits.peek(most + 1);
  unsigned ones = 0;
  while (ones < most && (top & (1u << (most - ones)))) ++ones;
  bits.drop(ones < most ? ones + 1 : most);
  const unsigned width = base + ones;
  const uint32_t plus = (1u << width) - (1u << base);
  return bits.take(width) + plus;
}

ArjStatus stopped(DecodeWindow& w) {
  return w.stopStatus() == engine::DecodeStatus::Cancelled ? ArjStatus::Cancelled : ArjStatus::OutputStopped;
}

}  // namespace

ArjStatus decodeArjFastest(engine::DecodeInput& input, engine::DecodeOutput& output, uint64_t originalSize,
                           const engine::DecodeHooks* hooks) {
  DecodeWindow w(output, hooks, true);
  if (!w.valid()) return ArjStatus::NoMemory;
  MsbBitReader bits(input);
  uint64_t left = originalSize;
  ArjStatus status = ArjStatus::Ok;
  while (left > 0) {
    bits.fill();
    const uint32_t len = readNumber(bits, 0, 7);
    if (len == 0) {
      const uint8_t literal = static_cast<uint8_t>(bits.take(8));
      if (!bits.intact()) {
        status = ArjStatus::BadData;
        break;
      }
      if (!w.put(literal)) return stopped(w);
      --left;
      continue;
    }
    bits.fill();
    const uint32_t dist = readNumber(bits, 9, 4) + 1;
    if (!bits.intact() || dist > kArjWindow || dist > w.produced()) {
      status = ArjStatus::BadData;
      break;
    }
    const uint32_t n = static_cast<uint32_t>(left < len + 2 ? left : len + 2);
    if (!w.copyMatch(dist, n)) return stopped(w);
    left -= n;
  }
  const engine::DecodeStatus s =
      w.close(status == ArjStatus::Ok ? engine::DecodeStatus::Ok : engine::DecodeStatus::BadData);
  if (status != ArjStatus::Ok) return status;
  return s == engine::DecodeStatus::Ok ? ArjStatus::Ok : stopped(w);
}

}  // namespace vz::readers::codecs
