// The LArc decoders (see larc_lzss.h). The window counts output from 0;
// ring position m of the format is dist = (start + produced - m) mod N
// bytes back (N back when that is 0), and the initial ring is laid out
// behind the window's start so that early matches read it.
#include "manager/readers/codecs/larc_lzss.h"

#include "manager/readers/codecs/lh_bits.h"
#include "manager/readers/codecs/lh_window.h"

namespace vz::readers::codecs {

namespace {

using engine::DecodeStatus;

size_t distanceTo(uint64_t produced, size_t start, size_t m, size_t n) {
  const size_t d = static_cast<size_t>((start + produced - m) & (n - 1));
  return d == 0 ? n : d;
}

uint8_t lz5Initial(size_t m) {
  if (m < 13 * 256) return static_cast<uint8_t>(m / 13);
  m -= 13 * 256;
  if (m < 256) return static_cast<uint8_t>(m);
  m -= 256;
  if (m < 256) return static_cast<uint8_t>(255 - m);
  m -= 256;
  return m < 128 ? 0 : ' ';
}

}  // namespace

DecodeStatus decodeLzs(engine::DecodeInput& input, engine::DecodeOutput& output, uint64_t size,
                       const engine::DecodeHooks* hooks) {
  constexpr size_t kRing = 2048, kStart = kRing - 17;
  LhWindow w(output, size, kRing, ' ', hooks);
  if (!w.valid()) return DecodeStatus::NoMemory;
  LhBits bits(input);
  DecodeStatus s = DecodeStatus::Ok;
  while (!w.done()) {
    if (bits.get(1)) {
      w.put(bits.byte());
    } else {
      const size_t m = bits.get(11);
      const size_t len = bits.get(4) + 2;
      w.copy(distanceTo(w.produced(), kStart, m, kRing), len);
    }
    if (bits.pastEnd()) {
      s = DecodeStatus::BadData;
      break;
    }
  }
  const DecodeStatus f = w.finish();
  return f != DecodeStatus::Ok ? f : s;
}

DecodeStatus decodeLz5(engine::DecodeInput& input, engine::DecodeOutput& output, uint64_t size,
                       const engine::DecodeHooks* hooks) {
  constexpr size_t kRing = 4096, kStart = kRing - 18;
  LhWindow w(output, size, kRing, ' ', hooks);
  if (!w.valid()) return DecodeStatus::NoMemory;
  for (size_t back = 1; back <= kRing; ++back) w.setInitial(back, lz5Initial((kStart - back) & (kRing - 1)));
  LhBits bits(input);
  DecodeStatus s = DecodeStatus::Ok;
  unsigned flags = 0;  // the current flag byte, shifted; bit 8 marks it used up
  while (!w.done()) {
    if ((flags & 0x100) == 0) flags = bits.byte() | 0xFF00u;
    const bool literal = flags & 1;
    flags >>= 1;
    if (literal) {
      w.put(bits.byte());
    } else {
      const size_t a = bits.byte(), b = bits.byte();
      const size_t m = a | (b & 0xF0) << 4;
      w.copy(distanceTo(w.produced(), kStart, m, kRing), (b & 0x0F) + 3);
    }
    if (bits.pastEnd()) {
      s = DecodeStatus::BadData;
      break;
    }
  }
  const DecodeStatus f = w.finish();
  return f != DecodeStatus::Ok ? f : s;
}

}  // namespace vz::readers::codecs
