// Inflate (RFC 1951), table driven, with a fast loop for the common case.
//
// Blocks are decoded in order: a 3-bit header (last-block flag, type), then
// a stored block (byte-aligned LEN, NLEN and LEN raw bytes), a block with
// the fixed codes, or a block with dynamic codes sent as code lengths. Type 3
// is refused with BadBlockType. Output goes through the shared DecodeWindow
// (whole 32 KB flushes, then a final partial one), and every match reads
// from the contiguous history in front of the write position.
//
// Speed. The bit buffer is 64 bits wide and the fast loop refills it with one
// unaligned 8-byte load per symbol: the bits go in above the ones held, the
// input pointer advances by the whole bytes that fit, and the count becomes
// 56 to 63. The bytes of the load that did not fit stay in the buffer above
// the count; they are the input's next bytes, so the next load ORs the same
// bits over them. 56 bits cover the longest symbol: a 15-bit length code, 5
// extra bits, a 15-bit distance code and 13 extra bits (48 bits). Lookups
// take the first-level entry (9 bits literal/length, 6 bits distance) and at
// most one sub-table entry. Matches are copied 8 bytes at a time, which may
// write up to 7 bytes past the match into the part of the window not yet
// written. The careful slow path decodes one symbol at a time at the edges:
// near the end of an input span, near the end of the window, and at the end
// of the input, where bits past the end read as zeros for table lookups but
// must not be consumed (see bit_reader.h). Both paths give the same
// result and the same status for every input; the fuzz target checks them
// against the bit-at-a-time reference decoder (tests/support/inflate_reference.cpp).
//
// Tables: the fixed codes are constant, so their tables are built once per
// process and shared by every fixed block; a dynamic block's tables are
// rebuilt per block into storage that the inflater keeps for the next block.
#include "control/engine/decode/inflate.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "control/engine/decode/bit_reader.h"
#include "control/engine/decode/decode_window.h"
#include "control/engine/decode/huffman_table.h"

namespace vz::engine {

namespace {

// Length base and extra bits for literal/length symbols 257 to 287; the two
// symbols that never occur (286, 287) have extra bits 99 and decode as invalid.
constexpr uint16_t kLengthBase[31] = {3,  4,  5,  6,  7,  8,  9,  10,  11,  13,  15,  17,  19,  23, 27, 31,
                                      35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258, 0,  0};
constexpr uint8_t kLengthExtra[31] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,  2, 2,
                                      3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0, 99, 99};
// Distance base and extra bits for distance symbols 0 to 29.
constexpr uint16_t kDistBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                    33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// Order in which the code-length code's lengths are sent.
constexpr uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

constexpr unsigned kMaxLitLenCodes = 286;  // HLIT + 257 may not exceed this
constexpr unsigned kMaxDistCodes = 30;     // HDIST + 1 may not exceed this
constexpr unsigned kLitRootBits = 9;       // first-level width, literal/length tables
constexpr unsigned kDistRootBits = 6;      // first-level width, distance tables
constexpr unsigned kCodeLengthRootBits = 7;
constexpr size_t kMaxMatch = 258;

// Fast loop entry conditions. Input: at least kFastInput bytes in the current
// span, so that the 8-byte load at the top of an iteration stays inside it.
constexpr size_t kFastInput = 16;
// Window: the loop goes on while a whole match, a few literals and the
// 8-byte copy overshoot fit before the end of the current window.
constexpr size_t kFastOutMargin = kMaxMatch + 16;
static_assert(DecodeWindow::kSlack >= 8);

inline uint64_t load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  return v;
}
inline void copy8(uint8_t* dst, const uint8_t* src) { std::memcpy(dst, src, 8); }
inline uint32_t lowBits(uint64_t v, unsigned n) { return static_cast<uint32_t>(v & ((uint64_t{1} << n) - 1)); }

inline DecodeStatus toDecodeStatus(HuffmanStatus s) { return static_cast<DecodeStatus>(static_cast<uint8_t>(s)); }

// The fixed codes' tables, built on first use and shared.
struct FixedTables {
  HuffmanTable lit;
  HuffmanTable dist;
  bool ok = false;
};

const FixedTables& fixedTables() {
  static const FixedTables tables = [] {
    FixedTables t;
    uint8_t lengths[288];
    for (unsigned i = 0; i < 144; ++i) lengths[i] = 8;
    for (unsigned i = 144; i < 256; ++i) lengths[i] = 9;
    for (unsigned i = 256; i < 280; ++i) lengths[i] = 7;
    for (unsigned i = 280; i < 288; ++i) lengths[i] = 8;
    // The whole literal/length code in the first level (its longest code is
    // 9 bits): no sub-tables for fixed blocks.
    const HuffmanStatus litStatus = buildHuffmanTable(lengths, 288, 257, kLengthBase, kLengthExtra, 9, t.lit);
    uint8_t distLengths[30];
    std::memset(distLengths, 5, sizeof distLengths);
    // 30 codes of 5 bits leave codes 30 and 31 unused: incomplete by design.
    const HuffmanStatus distStatus = buildHuffmanTable(distLengths, 30, 0, kDistBase, kDistExtra, 5, t.dist);
    t.ok = litStatus == HuffmanStatus::Ok && distStatus == HuffmanStatus::Incomplete;
    return t;
  }();
  return tables;
}

class Inflater {
 public:
  Inflater(DecodeInput& input, DecodeWindow& window) : in_(input), br_(input), win_(window) {}
  DecodeStatus run();

 private:
  DecodeStatus block(bool& last);
  DecodeStatus stored();
  DecodeStatus dynamic();
  DecodeStatus codes(const HuffmanTable& lit, const HuffmanTable& dist);
  bool fastReady() const;
  DecodeStatus codesFast(const HuffmanTable& lit, const HuffmanTable& dist, bool& endOfBlock);
  DecodeStatus codesCareful(const HuffmanTable& lit, const HuffmanTable& dist, bool& endOfBlock);
  bool decodeSlow(const HuffmanTable& table, HuffmanEntry& entry);

  DecodeInput& in_;           // compressed bytes
  BitReader br_;              // bit buffer over in_
  DecodeWindow& win_;         // output window
  HuffmanTable lit_;          // literal/length table of the current dynamic block
  HuffmanTable dist_;         // distance table of the current dynamic block
  HuffmanTable codeLengths_;  // code-length table of the current dynamic block header
};

DecodeStatus Inflater::run() {
  DecodeStatus status = DecodeStatus::Ok;
  for (;;) {
    bool last = false;
    status = block(last);
    if (status != DecodeStatus::Ok) break;
    if (!win_.pump()) {
      return win_.stopStatus();
    }
    if (last) break;
  }
  // The leftover bits of the last byte are discarded.
  return win_.close(status);
}

DecodeStatus Inflater::block(bool& last) {
  uint32_t header;
  if (!br_.take(3, header)) return DecodeStatus::BadData;
  last = (header & 1) != 0;
  switch (header >> 1) {
    case 0:
      return stored();
    case 1: {
      const FixedTables& fixed = fixedTables();
      if (!fixed.ok) return DecodeStatus::NoMemory;
      return codes(fixed.lit, fixed.dist);
    }
    case 2:
      return dynamic();
    default:
      return DecodeStatus::BadBlockType;
  }
}

DecodeStatus Inflater::stored() {
  br_.alignToByte();
  uint32_t len, nlen;
  if (!br_.take(16, len) || !br_.take(16, nlen)) return DecodeStatus::BadData;
  if (len != (~nlen & 0xFFFF)) return DecodeStatus::BadData;
  // First the whole bytes still held in the bit buffer.
  while (len > 0 && br_.realBits() >= 8) {
    const uint8_t byte = static_cast<uint8_t>(br_.peek(8));
    br_.drop(8);
    --len;
    if (!win_.put(byte)) return win_.stopStatus();
  }
  if (len == 0) return DecodeStatus::Ok;
  if (br_.virtualBits != 0) return DecodeStatus::BadData;  // the input has ended
  // The bit buffer holds no input bits now; clear the bytes a fast load may
  // have left above them, since the copy below bypasses the buffer.
  br_.buf = 0;
  br_.count = 0;
  while (len > 0) {
    if (in_.available() == 0 && !in_.refill()) return DecodeStatus::BadData;
    const size_t n = std::min<size_t>(len, in_.available());
    if (!win_.write(in_.data(), n)) {
      return win_.stopStatus();
    }
    in_.consume(n);
    len -= static_cast<uint32_t>(n);
  }
  return DecodeStatus::Ok;
}

DecodeStatus Inflater::dynamic() {
  uint32_t hlit, hdist, hclen;
  if (!br_.take(5, hlit) || !br_.take(5, hdist) || !br_.take(4, hclen)) return DecodeStatus::BadData;
  const unsigned nlit = hlit + 257, ndist = hdist + 1, ncl = hclen + 4;
  if (nlit > kMaxLitLenCodes || ndist > kMaxDistCodes) return DecodeStatus::BadData;

  uint8_t clLengths[19] = {};
  for (unsigned i = 0; i < ncl; ++i) {
    uint32_t v;
    if (!br_.take(3, v)) return DecodeStatus::BadData;
    clLengths[kCodeLengthOrder[i]] = static_cast<uint8_t>(v);
  }
  HuffmanStatus hs = buildHuffmanTable(clLengths, 19, 19, nullptr, nullptr, kCodeLengthRootBits, codeLengths_);
  if (hs != HuffmanStatus::Ok) return toDecodeStatus(hs);

  uint8_t lengths[kMaxLitLenCodes + kMaxDistCodes];
  const unsigned n = nlit + ndist;
  unsigned i = 0;
  uint8_t previous = 0;  // the last length sent; a repeat before any length repeats 0
  while (i < n) {
    HuffmanEntry e;
    if (!decodeSlow(codeLengths_, e)) return DecodeStatus::BadData;
    const unsigned symbol = e.value;
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
  codeLengths_.clear();

  hs = buildHuffmanTable(lengths, nlit, 257, kLengthBase, kLengthExtra, kLitRootBits, lit_);
  if (hs != HuffmanStatus::Ok) return toDecodeStatus(hs);
  hs = buildHuffmanTable(lengths + nlit, ndist, 0, kDistBase, kDistExtra, kDistRootBits, dist_);
  if (hs != HuffmanStatus::Ok) return toDecodeStatus(hs);
  return codes(lit_, dist_);
}

bool Inflater::decodeSlow(const HuffmanTable& table, HuffmanEntry& entry) {
  const HuffmanEntry* t = table.entries();
  br_.need(table.rootBits());
  HuffmanEntry e = t[br_.peek(table.rootBits())];
  if (e.op > kOpLiteral && e.op != kOpInvalid) {
    br_.drop(e.bits);
    const unsigned subBits = e.op - kOpLiteral;
    br_.need(subBits);
    e = t[e.value + br_.peek(subBits)];
  }
  if (e.op == kOpInvalid) return false;
  br_.drop(e.bits);
  entry = e;
  return br_.intact();
}

DecodeStatus Inflater::codes(const HuffmanTable& litTable, const HuffmanTable& distTable) {
  // Alternate between the two loops until the end of the block or a fault:
  // the fast loop while its entry conditions hold, the careful one at the
  // edges until they hold again.
  for (;;) {
    bool endOfBlock = false;
    const DecodeStatus status =
        fastReady() ? codesFast(litTable, distTable, endOfBlock) : codesCareful(litTable, distTable, endOfBlock);
    if (status != DecodeStatus::Ok || endOfBlock) return status;
  }
}

// The fast loop's entry conditions: no virtual bits, a whole load's worth of
// input in the current span, and room for a longest match before the end of
// the window.
bool Inflater::fastReady() const {
  return br_.virtualBits == 0 && in_.available() >= kFastInput && win_.pos() <= win_.windowEnd() - kFastOutMargin;
}

// Decodes symbols with the bit buffer and positions in locals until an entry
// condition fails (Ok), the block ends (Ok and endOfBlock) or the data is bad.
DecodeStatus Inflater::codesFast(const HuffmanTable& litTable, const HuffmanTable& distTable, bool& endOfBlock) {
  const HuffmanEntry* const lit = litTable.entries();
  const HuffmanEntry* const dist = distTable.entries();
  const uint64_t litMask = (uint64_t{1} << litTable.rootBits()) - 1;
  const uint64_t distMask = (uint64_t{1} << distTable.rootBits()) - 1;
  uint8_t* const window = win_.buffer();
  const size_t outLimit = win_.windowEnd() - kFastOutMargin;

  // Entry assumptions (fastReady):
  //  - every bit held came from the input (no virtual bits), so the
  //    buffer and count are exact and bits above count are the next
  //    input bytes or zero;
  //  - at least kFastInput bytes remain in the current input span, and
  //    the loop goes on only while at least 8 remain before each load;
  //  - the write position leaves room for a longest match plus the
  //    copy overshoot before the end of the window, so no flush is due
  //    inside the loop;
  //  - the history from historyStart() up to the write position is
  //    contiguous, so a distance up to pos - historyStart() is valid
  //    and never wraps.
  const uint8_t* in = in_.data();
  const uint8_t* const inLimit = in + in_.available() - kFastInput;
  uint64_t bits = br_.buf;
  unsigned count = br_.count;
  size_t pos = win_.pos();
  const size_t historyStart = win_.historyStart();
  DecodeStatus status = DecodeStatus::Ok;
  do {
    bits |= load64(in) << count;
    in += (63 - count) >> 3;
    count |= 56;

    HuffmanEntry e = lit[bits & litMask];
    if (e.op > kOpLiteral) {
      if (e.op == kOpInvalid) {
        status = DecodeStatus::BadData;
        break;
      }
      bits >>= e.bits;
      count -= e.bits;
      e = lit[e.value + lowBits(bits, e.op - kOpLiteral)];
      if (e.op == kOpInvalid) {
        status = DecodeStatus::BadData;
        break;
      }
    }
    bits >>= e.bits;
    count -= e.bits;
    if (e.op == kOpLiteral) {
      window[pos++] = static_cast<uint8_t>(e.value);
      // Two more literals from the first level fit in the bits left (at
      // least 41, then 32); anything else waits for the refill at the top.
      e = lit[bits & litMask];
      if (e.op != kOpLiteral) continue;
      bits >>= e.bits;
      count -= e.bits;
      window[pos++] = static_cast<uint8_t>(e.value);
      e = lit[bits & litMask];
      if (e.op != kOpLiteral) continue;
      bits >>= e.bits;
      count -= e.bits;
      window[pos++] = static_cast<uint8_t>(e.value);
      continue;
    }
    if (e.op == kOpEndOfBlock) {
      endOfBlock = true;
      break;
    }
    const size_t length = e.value + lowBits(bits, e.op);
    bits >>= e.op;
    count -= e.op;

    e = dist[bits & distMask];
    if (e.op > kOpLiteral) {
      if (e.op == kOpInvalid) {
        status = DecodeStatus::BadData;
        break;
      }
      bits >>= e.bits;
      count -= e.bits;
      e = dist[e.value + lowBits(bits, e.op - kOpLiteral)];
      if (e.op == kOpInvalid) {
        status = DecodeStatus::BadData;
        break;
      }
    }
    bits >>= e.bits;
    count -= e.bits;
    const size_t distance = e.value + lowBits(bits, e.op);
    bits >>= e.op;
    count -= e.op;
    if (distance > pos - historyStart) {
      status = DecodeStatus::BadData;  // reaches back before the first byte
      break;
    }

    uint8_t* dst = window + pos;
    const uint8_t* src = dst - distance;
    uint8_t* const end = dst + length;
    if (distance >= 8) {
      do {
        copy8(dst, src);
        dst += 8;
        src += 8;
      } while (dst < end);
    } else if (distance == 1) {
      const uint64_t fill = 0x0101010101010101ULL * *src;
      do {
        std::memcpy(dst, &fill, 8);
        dst += 8;
      } while (dst < end);
    } else {
      do {
        *dst++ = *src++;
      } while (dst < end);
    }
    pos += length;
  } while (in <= inLimit && pos <= outLimit);

  in_.consume(static_cast<size_t>(in - in_.data()));
  br_.buf = bits;
  br_.count = count;
  win_.setPos(pos);
  return status;
}

// One symbol at a time, with exact input accounting and flushes, until the
// fast loop's entry conditions hold again (Ok), the block ends (Ok and
// endOfBlock) or a fault.
DecodeStatus Inflater::codesCareful(const HuffmanTable& litTable, const HuffmanTable& distTable, bool& endOfBlock) {
  do {
    HuffmanEntry e;
    if (!decodeSlow(litTable, e)) return DecodeStatus::BadData;
    if (e.op == kOpLiteral) {
      if (!win_.put(static_cast<uint8_t>(e.value))) return win_.stopStatus();
      continue;
    }
    if (e.op == kOpEndOfBlock) {
      endOfBlock = true;
      return DecodeStatus::Ok;
    }
    uint32_t extra;
    if (!br_.take(e.op, extra)) return DecodeStatus::BadData;
    const size_t length = e.value + extra;
    if (!decodeSlow(distTable, e)) return DecodeStatus::BadData;
    if (!br_.take(e.op, extra)) return DecodeStatus::BadData;
    const size_t distance = e.value + extra;
    if (distance > win_.pos() - win_.historyStart()) return DecodeStatus::BadData;
    if (!win_.copyMatch(distance, length)) return win_.stopStatus();
  } while (!fastReady());
  return DecodeStatus::Ok;
}

}  // namespace

DecodeStatus inflate(DecodeInput& input, DecodeOutput& output, const DecodeHooks* hooks) {
  DecodeWindow window(output, hooks, false);
  if (!window.valid()) return DecodeStatus::NoMemory;
  Inflater inflater(input, window);
  return inflater.run();
}

}  // namespace vz::engine
