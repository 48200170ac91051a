// The resumable inflater (see inflate_core.h): block headers, stored blocks,
// and the codes of fixed and dynamic blocks in a fast and a careful loop.
//
// Fast loop. The bit buffer is 64 bits; a refill ORs an unaligned 8-byte
// load in above the bits held, advances the input by the whole bytes that
// fitted and sets the count to 56-63, with no branch. The bytes of the load
// that did not fit stay above the count; they are the input's next bytes,
// so the next load (or BitReader::need) ORs the same bits over them. One
// table lookup decodes a literal (or two, see inflate_tables.h) or a length
// with its extra bits; a second one the distance with its extra bits. The
// buffer is refilled at the top of each iteration and between a length and
// its distance, always after the lookup that comes next, so that the load
// overlaps with the lookup instead of delaying it: up to three literal
// entries of at most 11 bits each, or a length of at most 20 bits (deflate64
// 31) and a distance of at most 28 (29), with the next symbol's entry looked
// up from the bits left before the match is copied.
//
// Match copies go a word at a time and may write up to 31 bytes past the
// match's end, which the loop's room condition keeps inside the region:
// distance 16 or more in 16-byte steps (two at least), 8 to 15 in 8-byte steps, and a
// shorter distance as its pattern repeated in a 64-bit word (then copied
// on in steps of the largest multiple of the distance up to 8).
//
// The careful loop decodes one symbol at a time through the BitReader,
// with exact input accounting and exact output room: at the end of an input
// span, near the end of the region, and past the end of the input, where
// bits read as zeros for lookups but must not be consumed. A decoded
// literal or match waits in pending until it is written, so that a full
// region can pause the decoder between any two bytes.
#include "control/engine/decode/inflate_core.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

namespace vz::engine::flat {

namespace {

// Fast loop entry conditions. Input: at least kFastInput bytes in the
// current span; an iteration refills at most three times, each load 8 bytes
// from a point at most 7 bytes further on, so 32 keeps every load inside.
constexpr size_t kFastInput = 32;
// Room: the loop goes on while kFastRoom bytes are left, enough for two
// literal entries (four bytes), a longest plain match (258) and the copy's
// overshoot (up to 31 bytes), or for six literal bytes with their one-byte
// overshoot. A deflate64 match longer than 258 is copied in the loop only
// when its length plus kCopySlack fits.
constexpr size_t kCopySlack = 32;
constexpr size_t kFastRoom = 4 + 258 + kCopySlack;
constexpr uint64_t kLitMask = (uint64_t{1} << kLitRootBits) - 1;
constexpr uint64_t kDistMask = (uint64_t{1} << kDistRootBits) - 1;

// The order in which a dynamic block sends its code-length code's lengths.
constexpr uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

inline uint64_t load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  return v;
}
inline void store64(uint8_t* p, uint64_t v) {
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  std::memcpy(p, &v, 8);
}
// Copies through a register, so that source and destination may overlap.
inline void copy8(uint8_t* dst, const uint8_t* src) {
  uint64_t v;
  std::memcpy(&v, src, 8);
  std::memcpy(dst, &v, 8);
}
inline void copy16(uint8_t* dst, const uint8_t* src) {
  uint8_t v[16];
  std::memcpy(v, src, 16);
  std::memcpy(dst, v, 16);
}

// The extra bits of a length or distance entry from the bits it was looked
// up with.
inline uint32_t extraOf(uint64_t saved, uint32_t e) {
  return (static_cast<uint32_t>(saved) & ((uint32_t{1} << consumeOf(e)) - 1)) >> lenOf(e);
}

// Short distances: the low distance bytes of a word, the factor that
// repeats them over the word, and the largest multiple of the distance up
// to 8 (the step at which the pattern can be copied on).
constexpr uint64_t kPatternMask[8] = {0,          0xFF,         0xFFFF,         0xFFFFFF,
                                      0xFFFFFFFF, 0xFFFFFFFFFF, 0xFFFFFFFFFFFF, 0xFFFFFFFFFFFFFF};
constexpr uint64_t kPatternRepeat[8] = {0,
                                        0x0101010101010101ULL,
                                        0x0001000100010001ULL,
                                        0x0001000001000001ULL,
                                        0x0000000100000001ULL,
                                        0x0000010000000001ULL,
                                        0x0001000000000001ULL,
                                        0x0100000000000001ULL};
constexpr uint8_t kPatternStep[8] = {0, 8, 8, 6, 8, 5, 6, 7};

// Copies a match of length bytes from distance back (1 or more, all before
// dst); writes up to 31 bytes past the end.
inline void copyMatch(uint8_t* dst, size_t distance, size_t length) {
  const uint8_t* src = dst - distance;
  uint8_t* const end = dst + length;
  if (distance >= 16) {
    // Two steps whatever the length: most matches are 32 bytes or shorter.
    copy16(dst, src);
    copy16(dst + 16, src + 16);
    dst += 32;
    src += 32;
    while (dst < end) {
      copy16(dst, src);
      dst += 16;
      src += 16;
    }
  } else if (distance >= 8) {
    do {
      copy8(dst, src);
      dst += 8;
      src += 8;
    } while (dst < end);
  } else {
    // The word at src holds the pattern's distance bytes, then bytes not
    // written yet (masked off).
    const uint64_t pattern = (load64(src) & kPatternMask[distance]) * kPatternRepeat[distance];
    if (8 % distance == 0) {
      do {
        store64(dst, pattern);
        dst += 8;
      } while (dst < end);
    } else {
      store64(dst, pattern);
      const size_t step = kPatternStep[distance];
      for (dst += step; dst < end; dst += step) copy8(dst, dst - step);
    }
  }
}

inline DecodeStatus tableStatus(TableStatus s) { return static_cast<DecodeStatus>(static_cast<uint8_t>(s)); }

}  // namespace

std::unique_ptr<InflateCore> InflateCore::create(DecodeInput& input, bool deflate64, const DecodeHooks* hooks) {
  return std::unique_ptr<InflateCore>(new (std::nothrow) InflateCore(input, deflate64, hooks));
}

InflateCore::InflateCore(DecodeInput& input, bool deflate64, const DecodeHooks* hooks)
    : in_(input), br_(input), hooks_(hooks), deflate64_(deflate64) {}

bool InflateCore::pump() {
  if (hooks_ == nullptr) return true;
  if (hooks_->pump) hooks_->pump();
  return !(hooks_->cancelled && hooks_->cancelled());
}

DecodeStatus InflateCore::run(bool& paused) {
  paused = false;
  for (;;) {
    bool blockEnded = false;
    DecodeStatus status = DecodeStatus::Ok;
    switch (state_) {
      case State::Done:
        return DecodeStatus::Ok;
      case State::Header:
        status = header();
        break;
      case State::Stored:
        status = stored(blockEnded, paused);
        break;
      case State::Codes:
        status = codes(blockEnded, paused);
        break;
    }
    if (status != DecodeStatus::Ok || paused) return status;
    if (blockEnded) {
      if (!pump()) return DecodeStatus::Cancelled;
      state_ = last_ ? State::Done : State::Header;
    }
  }
}

DecodeStatus InflateCore::header() {
  uint32_t h;
  if (!br_.take(3, h)) return DecodeStatus::BadData;
  last_ = (h & 1) != 0;
  switch (h >> 1) {
    case 0: {
      br_.alignToByte();
      uint32_t len, nlen;
      if (!br_.take(16, len) || !br_.take(16, nlen)) return DecodeStatus::BadData;
      if (len != (~nlen & 0xFFFF)) return DecodeStatus::BadData;
      storedLeft_ = len;
      state_ = State::Stored;
      return DecodeStatus::Ok;
    }
    case 1: {
      const FixedTables& fixed = fixedTables(deflate64_);
      lit_ = fixed.lit;
      dist_ = fixed.dist;
      state_ = State::Codes;
      return DecodeStatus::Ok;
    }
    case 2:
      return dynamicHeader();
    default:
      return DecodeStatus::BadBlockType;
  }
}

DecodeStatus InflateCore::dynamicHeader() {
  uint32_t hlit, hdist, hclen;
  if (!br_.take(5, hlit) || !br_.take(5, hdist) || !br_.take(4, hclen)) return DecodeStatus::BadData;
  const unsigned nlit = hlit + 257, ndist = hdist + 1, ncl = hclen + 4;
  if (nlit > 286 || ndist > (deflate64_ ? 32u : 30u)) return DecodeStatus::BadData;

  uint8_t clLengths[19] = {};
  for (unsigned i = 0; i < ncl; ++i) {
    uint32_t v;
    if (!br_.take(3, v)) return DecodeStatus::BadData;
    clLengths[kCodeLengthOrder[i]] = static_cast<uint8_t>(v);
  }
  TableStatus ts = buildTable(clLengths, 19, TableKind::CodeLength, false, clTable_);
  if (ts != TableStatus::Ok) return tableStatus(ts);

  uint8_t lengths[286 + 32];
  const unsigned n = nlit + ndist;
  unsigned i = 0;
  uint8_t previous = 0;  // the last length sent; a repeat before any length repeats 0
  while (i < n) {
    const uint32_t e = lookup(clTable_, kCodeLengthRootBits);
    if ((e & kLiteral) == 0) return DecodeStatus::BadData;
    br_.drop(lenOf(e));
    if (!br_.intact()) return DecodeStatus::BadData;
    const unsigned symbol = valueOf(e);
    if (symbol < 16) {
      previous = static_cast<uint8_t>(symbol);
      lengths[i++] = previous;
      continue;
    }
    uint32_t extra;
    unsigned repeat;
    uint8_t value = 0;
    if (symbol == 16) {
      if (!br_.take(2, extra)) return DecodeStatus::BadData;
      repeat = 3 + extra;
      value = previous;
    } else if (symbol == 17) {
      if (!br_.take(3, extra)) return DecodeStatus::BadData;
      repeat = 3 + extra;
    } else {
      if (!br_.take(7, extra)) return DecodeStatus::BadData;
      repeat = 11 + extra;
    }
    if (repeat > n - i) return DecodeStatus::BadData;
    std::memset(lengths + i, value, repeat);
    i += repeat;
    previous = value;
  }

  ts = buildTable(lengths, nlit, TableKind::LitLen, deflate64_, litTable_);
  if (ts != TableStatus::Ok) return tableStatus(ts);
  ts = buildTable(lengths + nlit, ndist, TableKind::Distance, deflate64_, distTable_);
  if (ts != TableStatus::Ok) return tableStatus(ts);
  lit_ = litTable_;
  dist_ = distTable_;
  state_ = State::Codes;
  return DecodeStatus::Ok;
}

DecodeStatus InflateCore::stored(bool& blockEnded, bool& paused) {
  // First the whole bytes still held in the bit buffer.
  while (storedLeft_ > 0 && br_.realBits() >= 8) {
    if (pos_ == limit_) {
      paused = true;
      return DecodeStatus::Ok;
    }
    *pos_++ = static_cast<uint8_t>(br_.peek(8));
    br_.drop(8);
    --storedLeft_;
  }
  if (storedLeft_ > 0) {
    if (br_.virtualBits != 0) return DecodeStatus::BadData;  // the input has ended
    // No input bits are held now; clear the bytes a fast load may have left
    // above them, since the copy below bypasses the buffer.
    br_.buf = 0;
    br_.count = 0;
  }
  while (storedLeft_ > 0) {
    // A byte must be there before a full room counts as data running past.
    if (in_.available() == 0 && !in_.refill()) return DecodeStatus::BadData;
    if (pos_ == limit_) {
      paused = true;
      return DecodeStatus::Ok;
    }
    const size_t n = std::min({static_cast<size_t>(storedLeft_), in_.available(), static_cast<size_t>(limit_ - pos_)});
    std::memcpy(pos_, in_.data(), n);
    in_.consume(n);
    pos_ += n;
    storedLeft_ -= static_cast<uint32_t>(n);
  }
  blockEnded = true;
  return DecodeStatus::Ok;
}

void InflateCore::writePending() {
  if (pendingDistance_ == 0) {
    if (pos_ < limit_) {
      *pos_++ = pendingByte_;
      pendingLength_ = 0;
    }
    return;
  }
  const size_t n = std::min(pendingLength_, static_cast<size_t>(limit_ - pos_));
  const uint8_t* src = pos_ - pendingDistance_;
  if (pendingDistance_ >= n) {
    std::memcpy(pos_, src, n);
  } else {
    for (size_t k = 0; k < n; ++k) pos_[k] = src[k];
  }
  pos_ += n;
  pendingLength_ -= n;
}

bool InflateCore::fastReady() const {
  return br_.virtualBits == 0 && in_.available() >= kFastInput && static_cast<size_t>(limit_ - pos_) >= kFastRoom;
}

DecodeStatus InflateCore::codes(bool& blockEnded, bool& paused) {
  for (;;) {
    if (pendingLength_ != 0) {
      writePending();
      if (pendingLength_ != 0) {
        paused = true;
        return DecodeStatus::Ok;
      }
    }
    DecodeStatus status;
    if (fastReady()) {
      status = deflate64_ ? fastLoop<true>(blockEnded) : fastLoop<false>(blockEnded);
    } else {
      status = carefulSymbol(blockEnded);
    }
    if (status != DecodeStatus::Ok || blockEnded) return status;
  }
}

uint32_t InflateCore::lookup(const uint32_t* table, unsigned rootBits) {
  br_.need(rootBits);
  uint32_t e = table[br_.peek(rootBits)];
  if (isLink(e)) {
    br_.drop(rootBits);
    br_.need(lenOf(e));
    e = table[valueOf(e) + br_.peek(lenOf(e))];
  }
  return e;
}

bool InflateCore::takeValue(uint32_t entry, size_t& value) {
  uint32_t bits;
  if (!br_.take(consumeOf(entry), bits)) return false;
  value = valueOf(entry) + (bits >> lenOf(entry));
  return true;
}

// One symbol through the BitReader; a literal or match goes to pending.
DecodeStatus InflateCore::carefulSymbol(bool& blockEnded) {
  const uint32_t e = lookup(lit_, kLitRootBits);
  if (e & kLiteral) {
    br_.drop(lenOf(e));  // the first literal of a pair only
    if (!br_.intact()) return DecodeStatus::BadData;
    pendingByte_ = static_cast<uint8_t>(valueOf(e));
    pendingDistance_ = 0;
    pendingLength_ = 1;
    return DecodeStatus::Ok;
  }
  if (e & kSpecial) {
    if (valueOf(e) != kEndValue) return DecodeStatus::BadData;
    br_.drop(consumeOf(e));
    if (!br_.intact()) return DecodeStatus::BadData;
    blockEnded = true;
    return DecodeStatus::Ok;
  }
  size_t length, distance;
  if (!takeValue(e, length)) return DecodeStatus::BadData;
  const uint32_t d = lookup(dist_, kDistRootBits);
  if ((d & kSpecial) || !takeValue(d, distance)) return DecodeStatus::BadData;
  if (distance > static_cast<size_t>(pos_ - hist_)) return DecodeStatus::BadData;
  pendingLength_ = length;
  pendingDistance_ = distance;
  return DecodeStatus::Ok;
}

// Entry assumptions (fastReady): no virtual bits, so the buffer and count
// are exact and the bits above the count are the input's next bits or
// zeros; at least kFastInput bytes in the current span; at least kFastRoom
// bytes of room; nothing pending.
template <bool kWide>
DecodeStatus InflateCore::fastLoop(bool& blockEnded) {
  const uint32_t* const lit = lit_;
  const uint32_t* const dist = dist_;
  const uint8_t* in = in_.data();
  const uint8_t* const inLimit = in + in_.available() - kFastInput;
  uint64_t bits = br_.buf;
  unsigned count = br_.count;
  uint8_t* out = pos_;
  uint8_t* const outLimit = limit_ - kFastRoom;
  const uint8_t* const hist = hist_;
  DecodeStatus status = DecodeStatus::Ok;

  const auto refill = [&] {
    bits |= load64(in) << count;
    in += (63 - count) >> 3;
    count |= 56;
  };
  const auto drop = [&](unsigned n) {
    bits >>= n;
    count -= n;
  };
  // One or two literal bytes; the second byte is written either way (it is
  // overwritten next when the entry holds one literal).
  const auto putLiterals = [&](uint32_t e) {
    out[0] = static_cast<uint8_t>(e >> 16);
    out[1] = static_cast<uint8_t>(e >> 24);
    out += 1 + ((e & kTwoLiterals) != 0);
  };

  // Every lookup uses bits that are already held: the refills come after
  // the lookups they could have delayed, so that a load's latency overlaps
  // with the table lookup instead of adding to it. The bit counts in the
  // comments are the least held at that point.
  refill();
  uint32_t e = lit[bits & kLitMask];
  for (;;) {
    refill();  // 56
    if (e & kLiteral) {
      drop(consumeOf(e));
      putLiterals(e);
      e = lit[bits & kLitMask];  // 45
      if (e & kLiteral) {
        drop(consumeOf(e));
        putLiterals(e);
        e = lit[bits & kLitMask];  // 34
        if (e & kLiteral) {
          drop(consumeOf(e));
          putLiterals(e);
          e = lit[bits & kLitMask];  // 23
          if (in > inLimit || out > outLimit) break;
          continue;
        }
      }
      refill();  // 56
    }
    if (e & kSpecial) {
      if (isLink(e)) {
        drop(kLitRootBits);
        e = lit[valueOf(e) + (bits & ((uint64_t{1} << lenOf(e)) - 1))];  // 45
        if (e & kLiteral) {
          drop(consumeOf(e));
          *out++ = static_cast<uint8_t>(valueOf(e));
          e = lit[bits & kLitMask];  // 41
          if (in > inLimit || out > outLimit) break;
          continue;
        }
      }
      if (e & kSpecial) {
        if (valueOf(e) == kEndValue) {
          drop(consumeOf(e));
          blockEnded = true;
        } else {
          status = DecodeStatus::BadData;
        }
        break;
      }
    }

    // A length (at most 20 bits with its extra bits, deflate64 31), then
    // its distance (at most 28, deflate64 29).
    uint64_t saved = bits;
    drop(consumeOf(e));
    const size_t length = valueOf(e) + extraOf(saved, e);
    uint32_t d = dist[bits & kDistMask];  // 25
    refill();                             // 56
    if (d & kSpecial) {
      if (!isLink(d)) {
        status = DecodeStatus::BadData;
        break;
      }
      drop(kDistRootBits);
      d = dist[valueOf(d) + (bits & ((uint64_t{1} << lenOf(d)) - 1))];  // 48
      if (d & kSpecial) {
        status = DecodeStatus::BadData;
        break;
      }
    }
    saved = bits;
    drop(consumeOf(d));
    const size_t distance = valueOf(d) + extraOf(saved, d);
    if (distance > static_cast<size_t>(out - hist)) {
      status = DecodeStatus::BadData;  // reaches back before the first byte
      break;
    }
    e = lit[bits & kLitMask];  // 27
    if constexpr (kWide) {
      if (length > 258 && length > static_cast<size_t>(limit_ - out) - kCopySlack) {
        // Too close to the end of the room for a word copy: written exactly.
        pendingLength_ = length;
        pendingDistance_ = distance;
        break;
      }
    }
    copyMatch(out, distance, length);
    out += length;
    if (in > inLimit || out > outLimit) break;
  }

  in_.consume(static_cast<size_t>(in - in_.data()));
  br_.buf = bits;
  br_.count = count;
  pos_ = out;
  return status;
}

}  // namespace vz::engine::flat
