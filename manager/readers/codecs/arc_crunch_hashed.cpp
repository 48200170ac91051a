// ARC methods 5, 6 and 7: the first crunching, a 12-bit LZW whose codes
// are the slots of a 4,096-slot hash table, so the decoder must place every
// string exactly where the encoder did.
//
// Codes are 12 bits, two to three bytes, most significant bits first:
//
//   byte 0    byte 1    byte 2
//   aaaaaaaa  aaaabbbb  bbbbbbbb     a: first code, b: second code
//
// An odd last code leaves half a byte of padding. There is no end code:
// the codes end with the packed bytes.
//
// Table. A string is its prefix's slot and a last byte. The 256 bytes are
// placed first (prefix "none", 0xFFFF), then, for each code after the
// first, the previous code's string followed by the first byte of the
// current one, while fewer than 4,096 slots are used. A string (p, c) goes
// to slot h(p, c); when that is taken, to the end of the chain of slots
// that starts there, and from that slot's number + 101 to the first free
// slot counting up (wrapping from 4095 to 0), which is linked to the
// chain's end. A link of 0 ends a chain (so a string placed in slot 0 is
// linked nowhere). Hashes, in 16-bit arithmetic:
//
//   methods 5, 6:  k = (p + c) | 0x0800, the middle 12 bits of k * k
//                  (bits 6 to 17)
//   method 7:      (p + c) * 15073, its low 12 bits
//
// Method 5 writes the bytes as they are; 6 and 7 write a run-length stream
// (arc_rle90.h). A code whose slot is not yet used is the previous string
// followed by its own first byte (the encoder's newest string).
#include <cstdint>
#include <memory>
#include <new>

#include "manager/readers/codecs/arc_methods.h"
#include "manager/readers/codecs/arc_rle90.h"

namespace vz::readers::codecs {

namespace {

constexpr uint32_t kSlots = 4096;
constexpr uint16_t kNone = 0xFFFF;
constexpr uint32_t kProbe = 101;

struct HashedTable {
  uint16_t prefix[kSlots];  // the string's prefix slot, kNone for the bytes
  uint8_t last[kSlots];     // its last byte
  uint16_t link[kSlots];    // next slot of the chain through this slot, 0 at the end
  bool used[kSlots];        // slot taken
  uint8_t stack[kSlots];    // a string spelled backwards
  uint32_t count = 0;       // slots taken

  uint32_t hash(bool fast, uint16_t p, uint8_t c) const {
    const uint32_t sum = static_cast<uint16_t>(p + c);
    if (fast) return (sum * 15073u) & 0x0FFF;
    const uint32_t k = (sum | 0x0800) & 0xFFFF;
    return ((k * k) >> 6) & 0x0FFF;
  }

  // Places (p, c) where the encoder does.
  void place(bool fast, uint16_t p, uint8_t c) {
    uint32_t slot = hash(fast, p, c);
    if (used[slot]) {
      // Chains only ever link to slots taken later, so the walk ends; the
      // bound is a guard.
      for (uint32_t steps = 0; link[slot] != 0 && steps < kSlots; ++steps) slot = link[slot];
      uint32_t free = (slot + kProbe) & (kSlots - 1);
      while (used[free]) free = (free + 1) & (kSlots - 1);  // count < kSlots: one is free
      link[slot] = static_cast<uint16_t>(free);
      slot = free;
    }
    used[slot] = true;
    link[slot] = 0;
    prefix[slot] = p;
    last[slot] = c;
    ++count;
  }
};

// The next 12-bit code; false at the end of the packed bytes.
class PairReader {
 public:
  explicit PairReader(engine::DecodeInput& in) : in_(in) {}
  bool read(uint32_t& code) {
    uint8_t b = 0;
    if (!half_) {
      uint8_t b1 = 0;
      if (!byte(b) || !byte(b1)) return false;
      code = (static_cast<uint32_t>(b) << 4) | (b1 >> 4);
      rest_ = b1 & 0x0F;
      half_ = true;
    } else {
      if (!byte(b)) return false;
      code = (static_cast<uint32_t>(rest_) << 8) | b;
      half_ = false;
    }
    return true;
  }

 private:
  bool byte(uint8_t& b) {
    if (in_.available() == 0 && !in_.refill()) return false;
    b = *in_.data();
    in_.consume(1);
    return true;
  }
  engine::DecodeInput& in_;
  uint8_t rest_ = 0;   // low half of the middle byte, the second code's top bits
  bool half_ = false;  // a first code was read and its pair's second is due
};

engine::DecodeStatus run(bool fast, engine::DecodeInput& input, engine::DecodeWindow& window, HashedTable& t) {
  for (uint32_t c = 0; c < 256; ++c) t.place(fast, kNone, static_cast<uint8_t>(c));
  PairReader codes(input);
  uint32_t code = 0;
  if (!codes.read(code)) return engine::DecodeStatus::Ok;  // an empty file
  if (!t.used[code] || t.prefix[code] != kNone) return engine::DecodeStatus::BadData;
  uint32_t previous = code;
  uint8_t first = t.last[code];
  if (!window.put(first)) return window.stopStatus();
  while (codes.read(code)) {
    size_t depth = 0;
    uint32_t c = code;
    if (!t.used[code]) {
      t.stack[depth++] = first;  // the previous string and its own first byte
      c = previous;
    }
    while (t.prefix[c] != kNone) {
      if (depth >= kSlots - 1) return engine::DecodeStatus::BadData;
      t.stack[depth++] = t.last[c];
      c = t.prefix[c];
    }
    first = t.last[c];
    t.stack[depth++] = first;
    while (depth > 0)
      if (!window.put(t.stack[--depth])) return window.stopStatus();
    if (t.count < kSlots) t.place(fast, static_cast<uint16_t>(previous), first);
    previous = code;
  }
  return input.failed() ? engine::DecodeStatus::BadData : engine::DecodeStatus::Ok;
}

}  // namespace

ArcStatus decodeArcCrunchHashed(uint8_t method, engine::DecodeInput& input, engine::DecodeOutput& output,
                                const engine::DecodeHooks* hooks) {
  if (method < 5 || method > 7) return ArcStatus::UnsupportedMethod;
  const std::unique_ptr<HashedTable> t(new (std::nothrow) HashedTable());
  if (!t) return ArcStatus::NoMemory;
  const bool fast = method == 7;
  if (method == 5) {
    engine::DecodeWindow window(output, hooks, true);
    if (!window.valid()) return ArcStatus::NoMemory;
    const engine::DecodeStatus s = run(fast, input, window, *t);
    if (s == engine::DecodeStatus::OutputStopped || s == engine::DecodeStatus::Cancelled) return arcStatusOf(s);
    return s == engine::DecodeStatus::BadData ? (window.close(s), ArcStatus::BadCode) : arcStatusOf(window.close(s));
  }
  Rle90Output rle(output);
  if (!rle.valid()) return ArcStatus::NoMemory;
  engine::DecodeWindow window(rle, hooks, true);
  if (!window.valid()) return ArcStatus::NoMemory;
  const engine::DecodeStatus s = run(fast, input, window, *t);
  if (s == engine::DecodeStatus::OutputStopped || s == engine::DecodeStatus::Cancelled) return arcStatusOf(s);
  const ArcStatus r = finishRle90(window.close(s), rle);
  return r == ArcStatus::BadData ? ArcStatus::BadCode : r;
}

}  // namespace vz::readers::codecs
