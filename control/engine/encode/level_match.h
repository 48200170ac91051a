// Match finders of the levelled deflate compressor (level_deflate.h).
//
// Both finders index positions of one input buffer (level_deflate.cpp owns
// it) by a hash of the bytes there and hand back, for a position, the
// longest earlier match within the deflate window. Positions are offsets
// into that buffer (int32); a finder stores them numbered from its origin
// (offset + origin), so that
//  - when the buffer slides its contents down by S bytes, slide(S) only
//    adds S to the origin, and
//  - after an input, retire(end) moves the origin a window past the
//    input's end: the next input, which starts at offset 0 again, sees
//    every earlier entry more than kMaxDistance behind it.
// A stored position more than kMaxDistance behind the current one is
// ignored, so stale entries (of an earlier input, or overwritten chain
// links) never yield a match: the finders need no clearing between inputs,
// only once in every 512 MB of input, when the origin reaches kOriginLimit.
// Within one long input the slides alone move the origin: past the limit a
// slide renumbers the stored positions from an origin of 0 (the ones out of
// the window become kNil, which they already were in effect), so the
// origin never overflows and the matches, and the output, stay the same.
// Each input therefore uses the front of the buffer, which stays in cache.
//
// BucketFinder (level 1): a table of hash buckets, each holding the
// kBucketWays most recent positions with that 4-byte hash; a lookup checks
// those few and inserts the position. Cheap, and good enough for the
// fastest level.
//
// ChainFinder (levels 2 to 9): hash chains over a 4-byte hash -- head4
// holds the latest position of each hash, prev links every position of the
// last 32 KB to the previous one with the same hash by their distance (16
// bits, 0 past the window, so a slide leaves the links alone and the table
// is half the size) -- plus a one-entry
// table over a 3-byte hash that supplies length-3 matches (which the 4-byte
// chains cannot see). A lookup walks the chain up to `depth` candidates,
// rejecting most with one 4-byte compare at the end of the best match so
// far (loaded once per improvement), and measures matches eight bytes at a
// time. It is inlined into the parser's loops, whose arguments are mostly
// constants.
//
// Entry assumptions of every lookup: the buffer is readable 16 bytes past
// the position plus maxLen (the caller keeps that slack), maxLen >= 4 and
// the 4 bytes at the position are input bytes. Bytes past the input's end
// may be read but never extend a match beyond maxLen.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace vz::engine::level {

constexpr int32_t kWindowSize = 1 << 15;          // the deflate window, 32 KB
constexpr int32_t kWindowMask = kWindowSize - 1;  // position -> prev slot
// Farthest match distance used. 32,768 is legal in deflate, but a chain
// link that old may already be overwritten by the current position.
constexpr int32_t kMaxDistance = kWindowSize - 1;
constexpr int32_t kNil = -(1 << 30);  // no position (far below any window)
// Highest origin; past it the tables are cleared and numbering starts over
// (stored values stay under 2^30, offsets from them over -2^31).
constexpr int32_t kOriginLimit = 1 << 29;
constexpr unsigned kMinMatch = 3;    // shortest deflate match
constexpr unsigned kMaxMatch = 258;  // longest deflate match

inline uint32_t load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline uint64_t load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Length of the common prefix of a and b, at most limit; reads up to 8
// bytes past limit on both.
inline unsigned matchLength(const uint8_t* a, const uint8_t* b, unsigned limit) {
  static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the byte compare assumes a little-endian target");
  unsigned len = 0;
  while (len < limit) {
    const uint64_t diff = load64(a + len) ^ load64(b + len);
    if (diff != 0) return std::min(limit, len + (static_cast<unsigned>(__builtin_ctzll(diff)) >> 3));
    len += 8;
  }
  return limit;
}

// Multiplicative hash of the low bytes of v (the top `bits` bits of the
// product).
template <unsigned bits>
inline uint32_t hashOf(uint32_t v) {
  return (v * 0x9E3779B1u) >> (32 - bits);
}

// A stored position renumbered for an origin of 0: its offset, or kNil when
// it lies out of every window.
inline int32_t renumbered(int32_t stored, int32_t origin) {
  const int32_t offset = stored - origin;
  return offset < -kWindowSize ? kNil : offset;
}

// A match: its length (0 when none) and distance.
struct Match {
  unsigned length = 0;
  unsigned distance = 0;
};

class BucketFinder {
 public:
  static constexpr unsigned kHashBits = 15;
  static constexpr unsigned kBucketWays = 2;  // find() is written for two

  void reset() {
    std::fill(&table_[0][0], &table_[0][0] + kBuckets * kBucketWays, kNil);
    origin_ = 0;
  }
  void slide(int32_t s) {
    origin_ += s;
    if (origin_ > kOriginLimit) {
      int32_t* all = &table_[0][0];
      for (size_t i = 0; i < kBuckets * kBucketWays; ++i) all[i] = renumbered(all[i], origin_);
      origin_ = 0;
    }
  }
  // After an input that ended at offset end.
  void retire(int32_t end) {
    origin_ += end + kWindowSize;
    if (origin_ > kOriginLimit) reset();
  }

  // The longest match at pos (longer than 3 only; its distance is
  // meaningless when its length is 0), pos inserted.
  Match find(const uint8_t* base, int32_t pos, unsigned maxLen) {
    const uint8_t* cur = base + pos;
    const uint32_t seq = load32(cur);
    int32_t* bucket = table_[hashOf<kHashBits>(seq)];
    const int32_t origin = origin_;  // a local: the table's stores could alias the member
    const int32_t newer = bucket[0] - origin;
    const int32_t older = bucket[1] - origin;
    bucket[1] = bucket[0];
    bucket[0] = pos + origin;
    const int32_t minPos = pos - kMaxDistance;
    unsigned newerLen = 0;
    unsigned olderLen = 0;
    if (newer >= minPos && load32(base + newer) == seq)
      newerLen = 4 + matchLength(base + newer + 4, cur + 4, maxLen - 4);
    if (older >= minPos && load32(base + older) == seq)
      olderLen = 4 + matchLength(base + older + 4, cur + 4, maxLen - 4);
    // The longer; the newer (nearer) one on a tie.
    if (olderLen > newerLen) return {olderLen, static_cast<unsigned>(pos - older)};
    return {newerLen, static_cast<unsigned>(pos - newer)};
  }
  // Inserts the count positions from pos on (each with 4 input bytes).
  void insert(const uint8_t* base, int32_t pos, unsigned count) {
    const int32_t origin = origin_;
    for (int32_t p = pos; p < pos + static_cast<int32_t>(count); ++p) {
      int32_t* bucket = table_[hashOf<kHashBits>(load32(base + p))];
      for (unsigned w = kBucketWays - 1; w > 0; --w) bucket[w] = bucket[w - 1];
      bucket[0] = p + origin;
    }
  }

 private:
  static constexpr size_t kBuckets = size_t{1} << kHashBits;
  int32_t table_[kBuckets][kBucketWays];  // the latest positions of each hash, newest first
  int32_t origin_ = 0;                    // stored value of offset 0
};

class ChainFinder {
 public:
  static constexpr unsigned kHash4Bits = 15;
  static constexpr unsigned kHash3Bits = 14;

  void reset() {
    head4_.fill(kNil);
    head3_.fill(kNil);
    prev_.fill(0);
    origin_ = 0;
  }
  void slide(int32_t s) {
    origin_ += s;
    if (origin_ > kOriginLimit) {
      for (int32_t& v : head4_) v = renumbered(v, origin_);
      for (int32_t& v : head3_) v = renumbered(v, origin_);
      origin_ = 0;
    }
  }
  // After an input that ended at offset end.
  void retire(int32_t end) {
    origin_ += end + kWindowSize;
    if (origin_ > kOriginLimit) reset();
  }

  // Inserts pos and returns the longest match there that is longer than
  // shorter (0 when none is), trying at most depth chain candidates and
  // stopping at one of nice bytes or more.
  [[gnu::always_inline]] Match find(const uint8_t* base, int32_t pos, unsigned maxLen, unsigned nice, unsigned depth,
                                    unsigned shorter) {
    const uint8_t* cur = base + pos;
    const uint32_t seq = load32(cur);
    const int32_t minPos = pos - kMaxDistance;
    Match best;
    unsigned bestLen = shorter;

    const int32_t origin = origin_;  // a local: the tables' stores could alias the member
    const uint32_t h3 = hashOf<kHash3Bits>(seq << 8);
    const uint32_t h4 = hashOf<kHash4Bits>(seq);
    const int32_t cand3 = head3_[h3] - origin;
    int32_t cand = head4_[h4] - origin;
    head3_[h3] = pos + origin;
    head4_[h4] = pos + origin;
    prev_[pos & kWindowMask] = link(pos, cand);

    if (bestLen >= maxLen) return best;
    if (bestLen < kMinMatch && cand3 >= minPos && ((load32(base + cand3) ^ seq) & 0xFFFFFF) == 0) {
      bestLen = kMinMatch;
      best = {kMinMatch, static_cast<unsigned>(pos - cand3)};
    }
    if (nice > maxLen) nice = maxLen;
    if (depth == 0 || cand < minPos) return best;

    // Candidates that do not match the 4 bytes ending at bestLen + 1 cannot
    // be longer; while bestLen < 4 that test is the first 4 bytes. The
    // window test and the end of the chain (a zero link, or one into the
    // future: a slot a newer position took over) are one unsigned compare.
    unsigned tail = bestLen < 4 ? 0 : bestLen - 3;
    uint32_t want = load32(cur + tail);
    for (;;) {
      const uint8_t* m = base + cand;
      if (load32(m + tail) == want && load32(m) == seq) {
        const unsigned len = 4 + matchLength(m + 4, cur + 4, maxLen - 4);
        if (len > bestLen) {
          bestLen = len;
          best = {len, static_cast<unsigned>(pos - cand)};
          if (len >= nice) break;
          tail = len - 3;
          want = load32(cur + tail);
        }
      }
      const int32_t next = cand - prev_[cand & kWindowMask];
      if (--depth == 0 || static_cast<uint32_t>(next - minPos) >= static_cast<uint32_t>(cand - minPos)) break;
      cand = next;
    }
    return best;
  }

  // Inserts the count positions from pos on (each with 4 input bytes).
  void insert(const uint8_t* base, int32_t pos, unsigned count) {
    const int32_t origin = origin_;
    for (int32_t p = pos; p < pos + static_cast<int32_t>(count); ++p) {
      const uint32_t seq = load32(base + p);
      const int32_t stored = p + origin;
      head3_[hashOf<kHash3Bits>(seq << 8)] = stored;
      const uint32_t h4 = hashOf<kHash4Bits>(seq);
      prev_[p & kWindowMask] = link(stored, head4_[h4]);
      head4_[h4] = stored;
    }
  }

 private:
  // The link from pos to the previous position with its hash: their
  // distance, 0 when that one is out of the window (or none).
  static uint16_t link(int32_t pos, int32_t previous) {
    const int32_t d = pos - previous;
    return static_cast<uint16_t>(d <= kMaxDistance ? d : 0);
  }

  std::array<int32_t, size_t{1} << kHash4Bits> head4_;  // latest position of each 4-byte hash
  std::array<int32_t, size_t{1} << kHash3Bits> head3_;  // latest position of each 3-byte hash
  std::array<uint16_t, kWindowSize> prev_;  // distance back to the previous position with the same 4-byte hash
  int32_t origin_ = 0;                      // stored value of offset 0
};

}  // namespace vz::engine::level
