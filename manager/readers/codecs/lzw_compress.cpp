// decodeLzwCompress (see lzw_compress.h).
//
// Table: entry c (256 and up) is a prefix code and a last byte; the codes
// below 256 are the bytes themselves. A string is spelled backwards through
// its prefixes onto a stack and written out reversed. The tables are sized
// for 16-bit codes (65,536 entries), whatever the header says, so that
// memory never depends on the data.
//
// Widths: the codes grow by one bit when the decoder's next free entry
// passes 2^width - 1 (the encoder, one entry ahead, has used the last
// code of the width); at the widest width the table stops growing when
// full and the width stays. With 9 as the widest that means the codes stay
// 9 bits wide once the 512 entries are used, which is what compress -b9
// writes (some decoders widen to 10 bits there and reject such files).
//
// Padding. The codes are read in groups of `width` bytes counted from where
// the current width began (the end of the header, a width change or a
// CLEAR); a width change or a CLEAR skips to the end of the current group.
// The KwKwK case: a code equal to the next free entry stands for the
// previous string followed by its own first byte.
#include "manager/readers/codecs/lzw_compress.h"

#include <cstdint>
#include <memory>
#include <new>

#include "control/engine/decode/decode_window.h"

namespace vz::readers::codecs {

using engine::DecodeStatus;

namespace {

constexpr unsigned kFirstWidth = 9;
constexpr unsigned kMaxWidth = 16;
constexpr uint32_t kTableSize = 1u << kMaxWidth;
constexpr uint32_t kClear = 256;
constexpr uint8_t kBlockMode = 0x80;
constexpr uint8_t kWidthMask = 0x1F;

// Codes of a growing width from the input, with the group padding rule.
class CodeReader {
 public:
  explicit CodeReader(engine::DecodeInput& in) : in_(in) {}

  // Reads one code of `width` bits; false at the end of the input (fewer
  // bits left than the width).
  bool read(unsigned width, uint32_t& code) {
    while (count_ < width) {
      if (in_.available() == 0 && !in_.refill()) return false;
      buf_ |= static_cast<uint64_t>(*in_.data()) << count_;
      in_.consume(1);
      count_ += 8;
    }
    code = static_cast<uint32_t>(buf_ & ((uint64_t{1} << width) - 1));
    buf_ >>= width;
    count_ -= width;
    used_ += width;
    return true;
  }

  // Skips to the end of the current group of `width`-bit codes and starts
  // counting a new group run.
  void skipGroup(unsigned width) {
    const uint64_t group = uint64_t{8} * width;
    uint64_t skip = (group - used_ % group) % group;
    used_ = 0;
    // The bits held first, then whole bytes of the input.
    const unsigned fromBuffer = static_cast<unsigned>(skip < count_ ? skip : count_);
    buf_ = fromBuffer >= 64 ? 0 : buf_ >> fromBuffer;
    count_ -= fromBuffer;
    skip -= fromBuffer;
    while (skip >= 8) {
      if (in_.available() == 0 && !in_.refill()) return;
      const size_t take = static_cast<size_t>(std::min<uint64_t>(skip / 8, in_.available()));
      in_.consume(take);
      skip -= uint64_t{8} * take;
    }
  }

  // True when the bits left over at the end are no more than the zero
  // padding of the last byte.
  bool cleanEnd() const { return count_ < 8 && buf_ == 0; }

 private:
  engine::DecodeInput& in_;
  uint64_t buf_ = 0;    // bits held, next bit in bit 0
  unsigned count_ = 0;  // number of bits held
  uint64_t used_ = 0;   // bits of codes read since the current group run began
};

struct Tables {
  uint16_t prefix[kTableSize];  // entry's prefix code (entries 256 and up)
  uint8_t suffix[kTableSize];   // entry's last byte; entries 0-255 are the bytes
  uint8_t stack[kTableSize];    // a string spelled backwards
};

bool readByte(engine::DecodeInput& in, uint8_t& b) {
  if (in.available() == 0 && !in.refill()) return false;
  b = *in.data();
  in.consume(1);
  return true;
}

}  // namespace

DecodeStatus decodeLzwCompress(engine::DecodeInput& input, engine::DecodeOutput& output,
                               const engine::DecodeHooks* hooks) {
  uint8_t magic0 = 0, magic1 = 0, flags = 0;
  if (!readByte(input, magic0) || !readByte(input, magic1) || !readByte(input, flags)) return DecodeStatus::BadData;
  if (magic0 != 0x1F || magic1 != 0x9D) return DecodeStatus::BadData;
  const unsigned maxWidth = flags & kWidthMask;
  if (maxWidth < kFirstWidth || maxWidth > kMaxWidth) return DecodeStatus::BadData;
  const bool blockMode = (flags & kBlockMode) != 0;
  const uint32_t tableEnd = 1u << maxWidth;  // entries stop below this
  const uint32_t firstFree = blockMode ? kClear + 1 : kClear;

  const std::unique_ptr<Tables> t(new (std::nothrow) Tables);
  engine::DecodeWindow window(output, hooks, true);
  if (!t || !window.valid()) return DecodeStatus::NoMemory;
  for (uint32_t c = 0; c < 256; ++c) t->suffix[c] = static_cast<uint8_t>(c);

  CodeReader codes(input);
  unsigned width = kFirstWidth;
  // Growth threshold: the width grows when the next free entry passes it.
  auto threshold = [&](unsigned w) { return w == maxWidth ? tableEnd : (1u << w) - 1; };
  uint32_t limit = threshold(width);
  uint32_t nextFree = firstFree;  // the decoder's next free entry
  bool havePrevious = false;      // a code has been seen since the start or the last CLEAR
  uint32_t previous = 0;          // that code
  uint8_t firstByte = 0;          // first byte of the previous code's string

  DecodeStatus status = DecodeStatus::Ok;
  for (;;) {
    if (nextFree > limit) {
      codes.skipGroup(width);
      ++width;
      limit = threshold(width);
    }
    uint32_t code = 0;
    if (!codes.read(width, code)) {
      if (!codes.cleanEnd()) status = DecodeStatus::BadData;
      break;
    }
    if (blockMode && code == kClear) {
      codes.skipGroup(width);
      width = kFirstWidth;
      limit = threshold(width);
      nextFree = firstFree;
      havePrevious = false;
      continue;
    }
    if (!havePrevious) {
      if (code > 255) {
        status = DecodeStatus::BadData;
        break;
      }
      havePrevious = true;
      previous = code;
      firstByte = static_cast<uint8_t>(code);
      if (!window.put(firstByte)) return window.stopStatus();
      continue;
    }
    // Spell the string backwards onto the stack.
    size_t depth = 0;
    uint32_t c = code;
    if (code >= nextFree) {
      if (code > nextFree) {
        status = DecodeStatus::BadData;
        break;
      }
      t->stack[depth++] = firstByte;  // KwKwK: the previous string and its first byte
      c = previous;
    }
    while (c >= 256) {
      t->stack[depth++] = t->suffix[c];
      c = t->prefix[c];
    }
    firstByte = static_cast<uint8_t>(c);
    t->stack[depth++] = firstByte;
    while (depth > 0) {
      if (!window.put(t->stack[--depth])) return window.stopStatus();
    }
    if (nextFree < tableEnd) {
      t->prefix[nextFree] = static_cast<uint16_t>(previous);
      t->suffix[nextFree] = firstByte;
      ++nextFree;
    }
    previous = code;
  }
  return window.close(status);
}

}  // namespace vz::readers::codecs
