// PAK method 10, crushed: an LZW of up to 8,192 strings whose codes grow
// from 1 to 13 bits, with a flag bit in front of each code while literals
// are common, and with little-used strings given up for new ones once the
// table is full. The decoded bytes are a run-length stream (arc_rle90.h).
// Bits are read least significant first.
//
// Table: 0..255 the bytes, 256 the end code, strings from 257 on. Each
// code after the first adds (or, with the table full, replaces) one string:
// the previous code's string followed by the first byte of the current
// one.
//
// Codes. With the flag on, a 0 bit is followed by an 8-bit byte and a 1 bit
// by a string code of `width` bits, to which 256 is added. With the flag
// off, each code is `width` bits, and a code below 256 is a byte with its
// bits inverted. 256 ends the stream. The flag is on while fewer than 375
// of the last 500 codes were strings (codes of 256 and up); it starts on,
// with no codes seen.
//
// Width: starts at 1, the next widening due when the table holds 2 strings.
// After each code, when (strings in the table) >= due, the width grows by
// one and due becomes 2^width, less 256 while the flag is off; a change of
// the flag recomputes due the same way at the current width.
//
// Use counts. Decoding a code sets the count of its string and of all its
// prefixes to 4; a new string starts at 2. With the table full, the string
// replaced is found by a scan from the slot after the last scan's end
// (257..8191, wrapping): every slot visited is counted down by one, the
// scan stops at the first that reaches 0 or after a whole round, and the
// slot with the lowest count before its countdown (the first of them) is
// replaced.
//
// A code equal to the slot the string is about to be written to is that
// new string (the previous string and its own first byte): the first byte
// is taken once the slot's prefix is set. A string whose prefixes lead back
// to itself (which only a damaged stream can make) is a bad code.
#include <cstdint>
#include <memory>
#include <new>

#include "manager/readers/codecs/arc_bits.h"
#include "manager/readers/codecs/arc_methods.h"
#include "manager/readers/codecs/arc_rle90.h"

namespace vz::readers::codecs {

namespace {

constexpr uint32_t kSize = 8192;
constexpr uint32_t kEnd = 256;
constexpr uint32_t kFirstString = 257;
constexpr unsigned kMaxWidth = 13;
constexpr uint32_t kRing = 500;
constexpr uint32_t kManyStrings = 375;

struct CrushState {
  int16_t prefix[kSize];           // the string's prefix code, -1 for the bytes
  uint8_t last[kSize];             // its last byte
  int32_t uses[kSize];             // use count (strings only)
  uint8_t stack[kSize];            // a string spelled backwards
  bool ring[kRing];                // the last 500 codes: whether each was a string
  uint32_t ringAt = 0;             // where the next code goes in ring
  uint32_t strings = 0;            // strings among the codes in ring
  uint32_t count = kFirstString;   // codes in the table
  uint32_t scanAt = kFirstString;  // where the last replacement scan ended
  unsigned width = 1;              // bits of a string code
  uint32_t due = 2;                // strings in the table at which the width grows
  bool flag = true;                // codes carry the byte-or-string bit

  void recomputeDue() { due = (uint32_t{1} << width) - (flag ? 0 : 256); }

  // The first byte of code's string; false when its prefixes loop.
  bool firstByte(uint32_t code, uint8_t& b) const {
    for (uint32_t steps = 0; steps < kSize; ++steps) {
      if (prefix[code] < 0) {
        b = last[code];
        return true;
      }
      code = static_cast<uint32_t>(prefix[code]);
    }
    return false;
  }

  // The slot a new string replaces once the table is full.
  uint32_t replaceSlot() {
    uint32_t at = scanAt, best = 0;
    int32_t bestUses = INT32_MAX;
    do {
      if (++at == kSize) at = kFirstString;
      if (uses[at] < bestUses) best = at, bestUses = uses[at];
      if (--uses[at] == 0) break;
    } while (at != scanAt);
    scanAt = at;
    return best;
  }
};

engine::DecodeStatus run(ArcBitReader& bits, engine::DecodeWindow& window, CrushState& s) {
  for (uint32_t c = 0; c < 256; ++c) s.prefix[c] = -1, s.last[c] = static_cast<uint8_t>(c);
  s.prefix[kEnd] = -1;
  int32_t previous = -1;  // the previous code, -1 before the first
  for (;;) {
    uint32_t code = 0;
    if (s.flag) {
      uint32_t isString = 0;
      if (!bits.bit(isString)) break;
      if (isString) {
        if (!bits.read(s.width, code)) break;
        code += 256;
      } else if (!bits.read(8, code)) {
        break;
      }
    } else {
      if (!bits.read(s.width, code)) break;
      if (code < 256) code ^= 0xFF;
    }
    if (code == kEnd) return engine::DecodeStatus::Ok;
    // A code is in the table, or (after the first) the string it is about
    // to get; with the table full every code is in it.
    if (code > s.count || (code == s.count && (previous < 0 || s.count == kSize)) || (previous < 0 && code >= 256))
      return engine::DecodeStatus::BadData;

    if (code < s.count) {
      uint32_t c = code;
      for (uint32_t steps = 0; steps < kSize; ++steps) {
        s.uses[c] = 4;
        if (s.prefix[c] < 0) break;
        c = static_cast<uint32_t>(s.prefix[c]);
      }
    }
    if (s.ring[s.ringAt]) --s.strings;
    s.ring[s.ringAt] = code >= 256;
    if (code >= 256) ++s.strings;
    s.ringAt = (s.ringAt + 1) % kRing;
    const bool manyBytes = s.strings < kManyStrings;
    if (manyBytes != s.flag) {
      s.flag = manyBytes;
      s.recomputeDue();
    }

    if (previous >= 0) {
      const uint32_t slot = s.count < kSize ? s.count++ : s.replaceSlot();
      s.prefix[slot] = static_cast<int16_t>(previous);
      uint8_t first = 0;
      if (!s.firstByte(code, first)) return engine::DecodeStatus::BadData;
      s.last[slot] = first;
      s.uses[slot] = 2;
    }

    size_t depth = 0;
    uint32_t c = code;
    for (;;) {
      if (depth == kSize) return engine::DecodeStatus::BadData;
      s.stack[depth++] = s.last[c];
      if (s.prefix[c] < 0) break;
      c = static_cast<uint32_t>(s.prefix[c]);
    }
    while (depth > 0)
      if (!window.put(s.stack[--depth])) return window.stopStatus();
    previous = static_cast<int32_t>(code);

    if (s.count - kFirstString >= s.due && s.width < kMaxWidth) {
      ++s.width;
      s.recomputeDue();
    }
  }
  // The packed bytes ended without the end code: what was decoded stands
  // (the size and CRC decide).
  return engine::DecodeStatus::Ok;
}

}  // namespace

ArcStatus decodeArcCrushed(engine::DecodeInput& input, engine::DecodeOutput& output, const engine::DecodeHooks* hooks) {
  const std::unique_ptr<CrushState> s(new (std::nothrow) CrushState());
  if (!s) return ArcStatus::NoMemory;
  Rle90Output rle(output);
  if (!rle.valid()) return ArcStatus::NoMemory;
  engine::DecodeWindow window(rle, hooks, true);
  if (!window.valid()) return ArcStatus::NoMemory;
  ArcBitReader bits(input);
  const engine::DecodeStatus d = run(bits, window, *s);
  if (d == engine::DecodeStatus::OutputStopped || d == engine::DecodeStatus::Cancelled) return arcStatusOf(d);
  const ArcStatus r = finishRle90(window.close(d), rle);
  return r == ArcStatus::BadData ? ArcStatus::BadCode : r;
}

}  // namespace vz::readers::codecs
