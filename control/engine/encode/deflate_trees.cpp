// Huffman trees and block closing of the deflate compressor (see
// deflate_trees.h).
#include "control/engine/encode/deflate_trees.h"

#include <algorithm>

namespace vz::engine::deflate {

namespace {

// Bit-reverses the low len bits of code.
uint16_t reverseBits(unsigned code, unsigned len) {
  unsigned r = 0;
  for (unsigned i = 0; i < len; ++i) {
    r = (r << 1) | (code & 1);
    code >>= 1;
  }
  return static_cast<uint16_t>(r);
}

// The heap's order: by frequency, and equal frequencies by subtree depth,
// the shallower first (a node also counts as smaller than an equal one).
struct HeapOrder {
  const TreeScratch& t;
  bool smaller(int a, int b) const {
    return t.freq[a] < t.freq[b] || (t.freq[a] == t.freq[b] && t.depth[a] <= t.depth[b]);
  }
};

// Moves the node at heap slot k down until both its children are not
// smaller.
void siftDown(TreeScratch& t, int heapLen, int k) {
  const HeapOrder order{t};
  const int v = t.heap[k];
  int j = k << 1;
  while (j <= heapLen) {
    if (j < heapLen && order.smaller(t.heap[j + 1], t.heap[j])) ++j;
    if (order.smaller(v, t.heap[j])) break;
    t.heap[k] = t.heap[j];
    k = j;
    j <<= 1;
  }
  t.heap[k] = static_cast<int16_t>(v);
}

FixedCodes makeFixedCodes() {
  FixedCodes f{};
  for (int s = 0; s < 288; ++s) f.litLens[s] = static_cast<uint8_t>(fixedLiteralLength(s));
  canonicalCodes(f.litLens.data(), 288, f.litCodes.data());
  f.distLens.fill(kFixedDistanceLength);
  canonicalCodes(f.distLens.data(), kDistanceCodes, f.distCodes.data());
  return f;
}

}  // namespace

const FixedCodes& fixedCodes() {
  static const FixedCodes codes = makeFixedCodes();
  return codes;
}

int buildCodeLengths(const uint32_t* freq, int n, int maxBits, uint8_t* lengths, TreeScratch& t) {
  int heapLen = 0;
  int maxCode = -1;
  for (int i = 0; i < n; ++i) {
    t.freq[i] = freq[i];
    t.depth[i] = 0;
    lengths[i] = 0;
    if (freq[i] != 0) {
      t.heap[++heapLen] = static_cast<int16_t>(i);
      maxCode = i;
    }
  }
  // A code needs two symbols: add code 0, or code 1 when 0 is in use.
  while (heapLen < 2) {
    const int add = t.freq[0] == 0 ? 0 : 1;
    t.freq[add] = 1;
    t.heap[++heapLen] = static_cast<int16_t>(add);
    maxCode = std::max(maxCode, add);
  }

  for (int k = heapLen / 2; k >= 1; --k) siftDown(t, heapLen, k);

  // Combine the two smallest nodes until one is left. The removed nodes go
  // to the top of the heap array, so heap[heapMax..] ends up holding every
  // node, the root first and the first removed last.
  int heapMax = kHeapSlots;
  int node = n;  // next inner node
  do {
    const int a = t.heap[1];
    t.heap[1] = t.heap[heapLen--];
    siftDown(t, heapLen, 1);
    const int b = t.heap[1];
    t.heap[--heapMax] = static_cast<int16_t>(a);
    t.heap[--heapMax] = static_cast<int16_t>(b);
    t.freq[node] = t.freq[a] + t.freq[b];
    t.depth[node] = static_cast<uint16_t>(std::max(t.depth[a], t.depth[b]) + 1);
    t.parent[a] = t.parent[b] = static_cast<int16_t>(node);
    t.heap[1] = static_cast<int16_t>(node++);
    siftDown(t, heapLen, 1);
  } while (heapLen >= 2);
  t.heap[--heapMax] = t.heap[1];

  // Depths from the root down, clamped at maxBits; count the clamped nodes
  // and the leaves of each length.
  int lengthCount[kMaxCodeBits + 1] = {};
  int overflow = 0;
  t.bits[t.heap[heapMax]] = 0;
  for (int h = heapMax + 1; h < kHeapSlots; ++h) {
    const int nd = t.heap[h];
    int bits = t.bits[t.parent[nd]] + 1;
    if (bits > maxBits) {
      bits = maxBits;
      ++overflow;
    }
    t.bits[nd] = static_cast<uint8_t>(bits);
    if (nd <= maxCode) ++lengthCount[bits];
  }

  if (overflow > 0) {
    // Each round moves a leaf of the longest usable length below maxBits
    // one level down, where it pairs with one of the clamped leaves.
    do {
      int bits = maxBits - 1;
      while (bits > 1 && lengthCount[bits] == 0) --bits;
      --lengthCount[bits];
      lengthCount[bits + 1] += 2;
      --lengthCount[maxBits];
      overflow -= 2;
    } while (overflow > 0);
    // Deal the lengths out again: the longest to the leaves removed first
    // (the least frequent).
    int h = kHeapSlots;
    for (int bits = maxBits; bits != 0; --bits) {
      for (int k = lengthCount[bits]; k != 0;) {
        const int m = t.heap[--h];
        if (m > maxCode) continue;
        t.bits[m] = static_cast<uint8_t>(bits);
        --k;
      }
    }
  }

  for (int h = heapMax; h < kHeapSlots; ++h) {
    const int nd = t.heap[h];
    if (nd <= maxCode) lengths[nd] = t.bits[nd];
  }
  return maxCode;
}

void canonicalCodes(const uint8_t* lengths, int n, uint16_t* codes) {
  unsigned count[kMaxCodeBits + 1] = {};
  for (int i = 0; i < n; ++i) ++count[lengths[i]];
  count[0] = 0;
  unsigned next[kMaxCodeBits + 1] = {};
  unsigned code = 0;
  for (int bits = 1; bits <= kMaxCodeBits; ++bits) {
    code = (code + count[bits - 1]) << 1;
    next[bits] = code;
  }
  for (int i = 0; i < n; ++i) {
    const unsigned len = lengths[i];
    codes[i] = len == 0 ? 0 : reverseBits(next[len]++, len);
  }
}

void BlockCoder::reset() {
  count_ = 0;
  distances_ = 0;
  literalFreq_.fill(0);
  distanceFreq_.fill(0);
  literalFreq_[kEndOfBlock] = 1;
}

bool BlockCoder::shouldClose(uint64_t blockBytes) const {
  if (count_ == kSymbolLimit || distances_ == kDistanceLimit) return true;
  if ((count_ & kCheckMask) != 0) return false;
  // Early close: mostly literals, yet a rough estimate (8 bits a symbol
  // plus the distances' codes and extra bits) says the block would halve.
  uint64_t estimate = uint64_t{count_} * 8;
  for (int d = 0; d < kDistanceCodes; ++d) estimate += uint64_t{distanceFreq_[d]} * (5u + kDistanceExtra[d]);
  estimate >>= 3;
  return distances_ < count_ / 2 && estimate < blockBytes / 2;
}

void BlockCoder::countCodeLengths(const uint8_t* lengths, int maxCode) {
  walkLengthRuns(lengths, maxCode, [this](int symbol, unsigned) { ++codeLengthFreq_[symbol]; });
}

void BlockCoder::sendCodeLengths(BitOutput& out, const uint8_t* lengths, int maxCode) const {
  walkLengthRuns(lengths, maxCode, [&](int symbol, unsigned extra) {
    out.put(blCodes_[symbol] | (uint64_t{extra} << blLens_[symbol]), blLens_[symbol] + kCodeLengthExtra[symbol]);
  });
}

void BlockCoder::emitSymbols(BitOutput& out, const uint16_t* litCodes, const uint8_t* litLens,
                             const uint16_t* distCodes, const uint8_t* distLens) const {
  // The first part of every symbol in one table: entries 0..255 the
  // literals' codes, entries 256..511 each length - 3 with its length code
  // and extra bits in one piece.
  uint32_t headBits[512];
  uint8_t headCount[512];
  for (unsigned c = 0; c < 256; ++c) {
    headBits[c] = litCodes[c];
    headCount[c] = litLens[c];
    const unsigned code = kLengthCode[c];
    const unsigned sym = kLiterals + 1 + code;
    headBits[256 + c] = litCodes[sym] | ((c - kLengthBase[code]) << litLens[sym]);
    headCount[256 + c] = static_cast<uint8_t>(litLens[sym] + kLengthExtra[code]);
  }

  // Fast path: the accumulator in registers, at most 48 bits added per
  // symbol onto fewer than 8 pending (see deflate_bits.h). Literals and
  // matches take the same branch-free path (a literal's distance part adds
  // no bits), as the two alternate unpredictably.
  BitOutput::State s = out.save();
  const uint8_t* const drainPoint = out.drainPoint();
  const uint8_t* const lit = lit_.data();
  const uint16_t* const dist = dist_.data();
  for (unsigned i = 0; i < count_; ++i) {
    const unsigned d = dist[i];
    const unsigned isMatch = d != 0 ? 1u : 0u;
    const unsigned head = lit[i] | (isMatch << 8);
    s.acc |= uint64_t{headBits[head]} << s.pending;
    s.pending += headCount[head];
    const unsigned dm1 = (d - 1) & 0x7FFF;
    const unsigned dc = kDistanceCodeTable[dm1 < 256 ? dm1 : 256 + (dm1 >> 7)];
    const uint64_t distBits =
        (distCodes[dc] | (uint64_t{dm1 - kDistanceBase[dc]} << distLens[dc])) & (0 - uint64_t{isMatch});
    s.acc |= distBits << s.pending;
    s.pending += (distLens[dc] + kDistanceExtra[dc]) & (0u - isMatch);
    BitOutput::store64(s.next, s.acc);
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
  out.put(litCodes[kEndOfBlock], litLens[kEndOfBlock]);
}

BlockKind BlockCoder::close(BitOutput& out, const uint8_t* input, uint64_t inputLength, bool last) {
  const bool nothingOutput = out.empty();
  const int maxLit =
      buildCodeLengths(literalFreq_.data(), kLiteralLengthCodes, kMaxCodeBits, litLens_.data(), scratch_);
  const int maxDist = buildCodeLengths(distanceFreq_.data(), kDistanceCodes, kMaxCodeBits, distLens_.data(), scratch_);
  codeLengthFreq_.fill(0);
  countCodeLengths(litLens_.data(), maxLit);
  countCodeLengths(distLens_.data(), maxDist);
  buildCodeLengths(codeLengthFreq_.data(), kCodeLengthCodes, kMaxCodeLengthBits, blLens_.data(), scratch_);
  // Code-length code lengths sent: trailing zeros (in send order) dropped,
  // at least 4 kept.
  int blSent = kCodeLengthCodes;
  while (blSent > 4 && blLens_[kCodeLengthOrder[blSent - 1]] == 0) --blSent;

  // Size estimates in bits: the data with the block's own codes and with
  // the fixed codes, and the trees.
  uint64_t dataBits = 0;
  uint64_t fixedBits = 0;
  for (int sym = 0; sym < kLiteralLengthCodes; ++sym) {
    const uint64_t f = literalFreq_[sym];
    if (f == 0) continue;
    const unsigned extra = sym > kEndOfBlock ? kLengthExtra[sym - kEndOfBlock - 1] : 0;
    dataBits += f * (litLens_[sym] + extra);
    fixedBits += f * (fixedLiteralLength(sym) + extra);
  }
  for (int d = 0; d < kDistanceCodes; ++d) {
    const uint64_t f = distanceFreq_[d];
    dataBits += f * (distLens_[d] + kDistanceExtra[d]);
    fixedBits += f * (kFixedDistanceLength + kDistanceExtra[d]);
  }
  uint64_t treeBits = 0;
  for (int s = 0; s < kCodeLengthCodes; ++s)
    treeBits += uint64_t{codeLengthFreq_[s]} * (blLens_[s] + kCodeLengthExtra[s]);
  const uint64_t dynamicBits = treeBits + dataBits + 3u * static_cast<unsigned>(blSent) + 17;
  // In bytes, rounded up after the 3 header bits; ties go to the fixed codes.
  const uint64_t dynamicBytes = (dynamicBits + 3 + 7) >> 3;
  const uint64_t fixedBytes = (fixedBits + 3 + 7) >> 3;
  const uint64_t chosen = std::min(fixedBytes, dynamicBytes);
  const unsigned finalBit = last ? 1 : 0;

  BlockKind kind;
  if (last && nothingOutput && inputLength <= chosen) {
    // The whole file in one block that does not shrink: hand back the input
    // itself; the writer stores the file.
    if (input != nullptr) {
      out.putBytes(input, static_cast<size_t>(inputLength));
      kind = BlockKind::RawCopy;
    } else {
      kind = BlockKind::Vanished;
    }
  } else if (inputLength + 4 <= chosen && input != nullptr && inputLength <= 0xFFFF) {
    // LEN is 16 bits wide; a longer block cannot be stored (it never
    // estimates that large, but the check keeps the stream sound).
    out.put(finalBit, 3);
    out.alignToByte();
    const uint32_t len = static_cast<uint32_t>(inputLength);
    out.put(len | ((~len & 0xFFFFu) << 16), 32);
    out.putBytes(input, static_cast<size_t>(inputLength));
    kind = BlockKind::Stored;
  } else if (fixedBytes == chosen) {
    out.put(finalBit | (1u << 1), 3);
    const FixedCodes& f = fixedCodes();
    emitSymbols(out, f.litCodes.data(), f.litLens.data(), f.distCodes.data(), f.distLens.data());
    kind = BlockKind::Fixed;
  } else {
    canonicalCodes(litLens_.data(), kLiteralLengthCodes, litCodes_.data());
    canonicalCodes(distLens_.data(), kDistanceCodes, distCodes_.data());
    canonicalCodes(blLens_.data(), kCodeLengthCodes, blCodes_.data());
    out.put(finalBit | (2u << 1), 3);
    out.put(static_cast<unsigned>(maxLit + 1 - 257), 5);
    out.put(static_cast<unsigned>(maxDist + 1 - 1), 5);
    out.put(static_cast<unsigned>(blSent - 4), 4);
    for (int i = 0; i < blSent; ++i) out.put(blLens_[kCodeLengthOrder[i]], 3);
    sendCodeLengths(out, litLens_.data(), maxLit);
    sendCodeLengths(out, distLens_.data(), maxDist);
    emitSymbols(out, litCodes_.data(), litLens_.data(), distCodes_.data(), distLens_.data());
    kind = BlockKind::Dynamic;
  }
  if (last) out.alignToByte();
  return kind;
}

}  // namespace vz::engine::deflate
