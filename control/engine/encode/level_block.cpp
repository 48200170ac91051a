// Block building of the levelled deflate compressor (see level_block.h).
#include "control/engine/encode/level_block.h"

#include <algorithm>
#include <cstring>

#include "control/engine/encode/level_huffman.h"

namespace vz::engine::level {

namespace dfl = vz::engine::deflate;

namespace {

// log2(1 + i / 256) in 16.16 fixed point, i = 0..256, computed bit by bit
// (squaring the mantissa doubles its logarithm; a carry past 2 is a one
// bit), so the table is exact integers made at compile time.
constexpr std::array<uint32_t, 257> makeLog2Table() {
  std::array<uint32_t, 257> t{};
  for (uint64_t i = 0; i <= 256; ++i) {
    uint64_t y = (256 + i) << 22;  // 1 + i/256 with 30 fractional bits
    uint32_t r = 0;
    for (int bit = 15; bit >= 0; --bit) {
      y = (y * y) >> 30;
      if (y >= (uint64_t{2} << 30)) {
        y >>= 1;
        r |= 1u << bit;
      }
    }
    t[i] = r;
  }
  return t;
}
constexpr std::array<uint32_t, 257> kLog2Fraction = makeLog2Table();
static_assert(kLog2Fraction[0] == 0 && kLog2Fraction[256] == 65535, "log2 table ends");

// log2(n) in 16.16 fixed point, n >= 1, to about 1/256 of a bit.
inline uint64_t log2Fixed(uint32_t n) {
  const unsigned e = 31u - static_cast<unsigned>(__builtin_clz(n));
  const uint32_t top = e >= 8 ? n >> (e - 8) : n << (8 - e);  // 256..511
  return (uint64_t{e} << 16) + kLog2Fraction[top - 256];
}

// n log2 n in 16.16 fixed point (0 for 0).
inline uint64_t nLog2n(uint32_t n) { return n == 0 ? 0 : n * log2Fixed(n); }

// What coding a and b with codes of their own saves over coding them
// together, in 16.16 bits: H(a+b) - H(a) - H(b), where
// H(x) = sum x log2(total / x) = total log2 total - sum x log2 x. A symbol
// that only one of the two holds contributes nothing to the sums' part, so
// only symbols in both are evaluated (the exact value, in fewer steps).
template <size_t N>
int64_t splitSaving(const std::array<uint32_t, N>& a, const std::array<uint32_t, N>& b) {
  uint32_t totalA = 0;
  uint32_t totalB = 0;
  int64_t shared = 0;  // sum over symbols in both of (a+b) log(a+b) - a log a - b log b
  for (size_t i = 0; i < N; ++i) {
    const uint32_t x = a[i];
    const uint32_t y = b[i];
    totalA += x;
    totalB += y;
    if (x != 0 && y != 0)
      shared += static_cast<int64_t>(nLog2n(x + y)) - static_cast<int64_t>(nLog2n(x)) - static_cast<int64_t>(nLog2n(y));
  }
  return static_cast<int64_t>(nLog2n(totalA + totalB)) - static_cast<int64_t>(nLog2n(totalA)) -
         static_cast<int64_t>(nLog2n(totalB)) - shared;
}

}  // namespace

LevelBlock::LevelBlock() : symbols_(kMaxSymbols + 1024) {}

void LevelBlock::clear() {
  count_ = 0;
  segStart_ = 0;
  blockLit_.fill(0);
  blockDist_.fill(0);
  segLit_.fill(0);
  segDist_.fill(0);
}

bool LevelBlock::splitPays() const {
  if (segStart_ == 0) return false;
  return splitSaving(blockLit_, segLit_) + splitSaving(blockDist_, segDist_) > static_cast<int64_t>(kSplitBits << 16);
}

void LevelBlock::mergeSegment() {
  for (size_t i = 0; i < blockLit_.size(); ++i) blockLit_[i] += segLit_[i];
  for (size_t i = 0; i < blockDist_.size(); ++i) blockDist_[i] += segDist_[i];
  segLit_.fill(0);
  segDist_.fill(0);
  segStart_ = count_;
}

void LevelBlock::emitBeforeSegment(dfl::BitOutput& out, const uint8_t* input, size_t length) {
  emit(out, segStart_, blockLit_.data(), blockDist_.data(), input, length, false);
  const unsigned rest = count_ - segStart_;
  std::memmove(symbols_.data(), symbols_.data() + segStart_, rest * sizeof(uint32_t));
  count_ = rest;
  segStart_ = 0;
  blockLit_.fill(0);
  blockDist_.fill(0);
}

void LevelBlock::emitAll(dfl::BitOutput& out, const uint8_t* input, size_t length, bool last) {
  mergeSegment();
  emit(out, count_, blockLit_.data(), blockDist_.data(), input, length, last);
  clear();
  if (last) out.alignToByte();
}

void LevelBlock::emit(dfl::BitOutput& out, unsigned n, const uint32_t* litFreqIn, const uint32_t* distFreq,
                      const uint8_t* input, size_t length, bool last) {
  std::array<uint32_t, dfl::kLiteralLengthCodes> litFreq;
  std::copy(litFreqIn, litFreqIn + dfl::kLiteralLengthCodes, litFreq.begin());
  litFreq[dfl::kEndOfBlock] = 1;

  const int maxLit = huffmanLengths(litFreq.data(), dfl::kLiteralLengthCodes, dfl::kMaxCodeBits, litLens_.data());
  const int maxDist = huffmanLengths(distFreq, dfl::kDistanceCodes, dfl::kMaxCodeBits, distLens_.data());
  clFreq_.fill(0);
  const auto count = [this](int symbol, unsigned) { ++clFreq_[symbol]; };
  dfl::walkLengthRuns(litLens_.data(), maxLit, count);
  dfl::walkLengthRuns(distLens_.data(), maxDist, count);
  huffmanLengths(clFreq_.data(), dfl::kCodeLengthCodes, dfl::kMaxCodeLengthBits, clLens_.data());
  int clSent = dfl::kCodeLengthCodes;  // code-length lengths sent: trailing zeros dropped, at least 4
  while (clSent > 4 && clLens_[dfl::kCodeLengthOrder[clSent - 1]] == 0) --clSent;

  // Exact sizes in bits of the three ways to send the block.
  uint64_t dynamicBits = 3 + 5 + 5 + 4 + 3 * static_cast<uint64_t>(clSent);
  for (int s = 0; s < dfl::kCodeLengthCodes; ++s)
    dynamicBits += uint64_t{clFreq_[s]} * (clLens_[s] + dfl::kCodeLengthExtra[s]);
  uint64_t fixedBits = 3;
  for (int s = 0; s < dfl::kLiteralLengthCodes; ++s) {
    const uint64_t f = litFreq[s];
    if (f == 0) continue;
    const unsigned extra = s > dfl::kEndOfBlock ? dfl::kLengthExtra[s - dfl::kEndOfBlock - 1] : 0;
    dynamicBits += f * (litLens_[s] + extra);
    fixedBits += f * (dfl::fixedLiteralLength(s) + extra);
  }
  for (int d = 0; d < dfl::kDistanceCodes; ++d) {
    const uint64_t f = distFreq[d];
    dynamicBits += f * (distLens_[d] + dfl::kDistanceExtra[d]);
    fixedBits += f * (dfl::kFixedDistanceLength + dfl::kDistanceExtra[d]);
  }
  // Stored: each piece of up to 65,535 bytes takes 3 header bits, the
  // padding to a byte and 32 bits of LEN and NLEN.
  const size_t pieces = length == 0 ? 1 : (length + 0xFFFE) / 0xFFFF;
  const uint64_t firstPad = (8 - (out.pendingBits() + 3) % 8) % 8;
  const uint64_t storedBits = firstPad + 35 + (pieces - 1) * (3 + 5 + 32) + 8 * uint64_t{length};

  const unsigned finalBit = last ? 1 : 0;
  if (storedBits < fixedBits && storedBits < dynamicBits) {
    writeStored(out, input, length, last);
  } else if (fixedBits <= dynamicBits) {
    out.put(finalBit | (1u << 1), 3);
    const dfl::FixedCodes& f = dfl::fixedCodes();
    writeSymbols(out, n, f.litCodes.data(), f.litLens.data(), f.distCodes.data(), f.distLens.data());
  } else {
    dfl::canonicalCodes(litLens_.data(), dfl::kLiteralLengthCodes, litCodes_.data());
    dfl::canonicalCodes(distLens_.data(), dfl::kDistanceCodes, distCodes_.data());
    dfl::canonicalCodes(clLens_.data(), dfl::kCodeLengthCodes, clCodes_.data());
    out.put(finalBit | (2u << 1), 3);
    out.put(static_cast<unsigned>(maxLit + 1 - 257), 5);
    out.put(static_cast<unsigned>(maxDist), 5);
    out.put(static_cast<unsigned>(clSent - 4), 4);
    for (int i = 0; i < clSent; ++i) out.put(clLens_[dfl::kCodeLengthOrder[i]], 3);
    const auto send = [&](int symbol, unsigned extra) {
      out.put(clCodes_[symbol] | (uint64_t{extra} << clLens_[symbol]), clLens_[symbol] + dfl::kCodeLengthExtra[symbol]);
    };
    dfl::walkLengthRuns(litLens_.data(), maxLit, send);
    dfl::walkLengthRuns(distLens_.data(), maxDist, send);
    writeSymbols(out, n, litCodes_.data(), litLens_.data(), distCodes_.data(), distLens_.data());
  }
}

void LevelBlock::writeStored(dfl::BitOutput& out, const uint8_t* input, size_t length, bool last) const {
  do {
    const size_t piece = std::min<size_t>(length, 0xFFFF);
    length -= piece;
    out.put((last && length == 0) ? 1u : 0u, 3);
    out.alignToByte();
    const uint32_t len = static_cast<uint32_t>(piece);
    out.put(len | ((~len & 0xFFFFu) << 16), 32);
    if (piece != 0) out.putBytes(input, piece);
    input += piece;
  } while (length != 0);
}

void LevelBlock::writeSymbols(dfl::BitOutput& out, unsigned n, const uint16_t* litCodes, const uint8_t* litLens,
                              const uint16_t* distCodes, const uint8_t* distLens) const {
  // The head of every symbol from one table: entries 0..255 the literals,
  // entries 256..511 each length - 3 as its length code and extra bits.
  uint32_t headBits[512];
  uint8_t headCount[512];
  for (unsigned c = 0; c < 256; ++c) {
    headBits[c] = litCodes[c];
    headCount[c] = litLens[c];
    const unsigned code = dfl::kLengthCode[c];
    const unsigned sym = dfl::kLiterals + 1 + code;
    headBits[256 + c] = litCodes[sym] | ((c - dfl::kLengthBase[code]) << litLens[sym]);
    headCount[256 + c] = static_cast<uint8_t>(litLens[sym] + dfl::kLengthExtra[code]);
  }

  // The accumulator stays in registers (deflate_bits.h): a symbol adds at
  // most 20 + 28 bits to fewer than 8 pending ones.
  dfl::BitOutput::State s = out.save();
  const uint8_t* const drainPoint = out.drainPoint();
  const uint32_t* const symbols = symbols_.data();
  for (unsigned i = 0; i < n; ++i) {
    const uint32_t sym = symbols[i];
    const unsigned head = sym & 0x1FF;
    s.acc |= uint64_t{headBits[head]} << s.pending;
    s.pending += headCount[head];
    if (head >= 256) {
      const unsigned dm1 = (sym >> 16) - 1;
      const unsigned dc = dfl::distanceCode(dm1);
      s.acc |= (distCodes[dc] | (uint64_t{dm1 - dfl::kDistanceBase[dc]} << distLens[dc])) << s.pending;
      s.pending += distLens[dc] + dfl::kDistanceExtra[dc];
    }
    dfl::BitOutput::store64(s.next, s.acc);
    s.next += s.pending >> 3;
    s.acc >>= s.pending & 56;
    s.pending &= 7;
    if (s.next >= drainPoint) {
      out.restore(s);
      out.drain();
      s = out.save();
    }
  }
  out.restore(s);
  out.put(litCodes[dfl::kEndOfBlock], litLens[dfl::kEndOfBlock]);
}

}  // namespace vz::engine::level
