// The -pm1- decoder (see pm1.h).
//
// The stream opens with five bits that pick the literal tree. Then commands
// follow until the declared size is reached: a bit 0 is a copy; a bit 1 is a
// block of 1 to 216 literals, which is followed at once (without a command
// bit) by a copy unless it had the full 216, as a block only ends short
// because a match begins.
//
// A copy first names one of six distance ranges through a small prefix code
// whose branches only appear once the output is long enough for them to
// matter (64, 576 and 2624 bytes); ranges 0 and 1 copy two bytes, the others
// carry a count of 3 to 244. The three far ranges also narrow their distance
// field early in the stream, to the fewest bits (at least 8) that reach all
// the output so far. Every output byte, copied or literal, moves to the
// front of the byte history.
//
// The compressed data of some archives stops a few bits short of the last
// code, relying on the original extractor reading zero bytes past the end;
// up to kSlackBytes such zero bytes are supplied here, after which a decoder
// that still wants bits reports BadData, so a truncated entry does not run
// on through a long stretch of made-up output.
#include "manager/readers/codecs/pm1.h"

#include <array>

#include "manager/readers/codecs/lh_bits.h"
#include "manager/readers/codecs/lh_window.h"
#include "manager/readers/codecs/pm_history.h"

namespace vz::readers::codecs {

namespace {

using engine::DecodeStatus;

constexpr size_t kHistory = 16384;    // the ring copies read from
constexpr unsigned kFullBlock = 216;  // a block this long is not followed by a copy
constexpr size_t kSlackBytes = 4;     // zero bytes granted past the end of the data

// The 32 literal trees, in the order of the start header's value. Each
// sorts a literal into one of six ranges of history distance, a to f (see
// kLiteralBase); a pair (x y) is a node whose bit 0 leads to x and bit 1 to
// y. Tree 17 repeats d and e where a and b would be expected, so those
// ranges cannot occur with it; it is kept as it decodes in the original
// extractor. Tree 31 is no tree: every literal is in range a and costs no
// bits for the range.
constexpr const char* kTrees[32] = {
    "((((ab)c)d)(ef))",
    "(((ab)(cf))(de))",
    "(((ab)c)(d(ef)))",
    "((a(bc))(d(ef)))",
    "((a(bd))(c(ef)))",
    "((a(b(ef)))(cd))",
    "((ab)((cd)(ef)))",
    "((ab)((c(ef))d))",
    "((ab)(c(d(ef))))",
    "(a(((bf)c)(de)))",
    "(a(((b(ef))c)d))",
    "(a(((bc)d)(ef)))",
    "(a((b(cf))(de)))",
    "(a((bc)(d(ef))))",
    "(a((b(d(ef)))c))",
    "(a(b((cd)(ef))))",
    "(a(b(c(d(ef)))))",
    "(((de)c)(de))",
    "((a(be))(cd))",
    "((ab)(c(de)))",
    "(a(((be)c)d))",
    "(a((bc)(de)))",
    "(a((b(de))c))",
    "(a(b(c(de))))",
    "(((ab)c)d)",
    "((a(bd))c)",
    "((ab)(cd))",
    "(a((bd)c))",
    "(a(b(cd)))",
    "(a(bc))",
    "(ab)",
    "",
};

// The literal ranges a to f: the first distance from the history's front
// and the bits that follow the range's code.
constexpr uint8_t kLiteralBase[6] = {0, 16, 32, 64, 128, 192};
constexpr uint8_t kLiteralBits[6] = {4, 4, 5, 6, 6, 6};

constexpr int kTreeDepth = 5;  // the deepest leaf of any tree

// A literal tree as a lookup on the next kTreeDepth bits: the range and the
// length of its code.
struct LiteralTable {
  uint8_t range[1 << kTreeDepth] = {};
  uint8_t length[1 << kTreeDepth] = {};

  explicit LiteralTable(const char* tree) {
    if (*tree != '\0') add(tree, 0, 0);
  }

 private:
  // Enters the subtree at *p, reached by the code's len bits, and moves p
  // past it.
  void add(const char*& p, unsigned code, int len) {
    if (*p == '(') {
      ++p;
      add(p, code << 1, len + 1);
      add(p, code << 1 | 1, len + 1);
      ++p;  // ')'
      return;
    }
    const int shift = kTreeDepth - len;
    for (unsigned i = code << shift; i < (code + 1) << shift; ++i) {
      range[i] = static_cast<uint8_t>(*p - 'a');
      length[i] = static_cast<uint8_t>(len);
    }
    ++p;
  }
};

// The entry's input, followed by kSlackBytes zero bytes once it has ended
// (not when its source failed).
class SlackInput final : public engine::DecodeInput {
 public:
  explicit SlackInput(engine::DecodeInput& in) : DecodeInput(in.available() + in.remaining() + kSlackBytes), in_(in) {}

 protected:
  size_t fetch(const uint8_t** data, size_t maxBytes) override {
    if (in_.available() == 0 && !in_.refill()) {
      if (in_.failed()) return 0;
      *data = zeros_.data();
      return maxBytes < kSlackBytes ? maxBytes : kSlackBytes;
    }
    size_t n = in_.available();
    if (n > maxBytes) n = maxBytes;
    *data = in_.data();
    in_.consume(n);
    return n;
  }

 private:
  engine::DecodeInput& in_;
  std::array<uint8_t, kSlackBytes> zeros_{};
};

class Pm1Decoder {
 public:
  Pm1Decoder(engine::DecodeInput& in, LhWindow& w) : input_(in), bits_(input_), w_(w) {}

  DecodeStatus run() {
    const LiteralTable literals(kTrees[bits_.get(5)]);
    while (!w_.done()) {
      if (bits_.get(1) != 0) {
        const unsigned n = blockLength();
        for (unsigned i = 0; i < n && !w_.done(); ++i) {
          const uint32_t v = bits_.peek(kTreeDepth);
          const unsigned r = literals.range[v];
          bits_.skip(literals.length[v]);
          const uint8_t b = history_.at(static_cast<uint8_t>(kLiteralBase[r] + bits_.get(kLiteralBits[r])));
          put(b);
        }
        if (n == kFullBlock || w_.done()) continue;
      }
      if (!copy()) return DecodeStatus::BadData;
      if (bits_.pastEnd()) return DecodeStatus::BadData;
    }
    return bits_.pastEnd() ? DecodeStatus::BadData : DecodeStatus::Ok;
  }

 private:
  void put(uint8_t b) {
    ring_[pos_++ & (kHistory - 1)] = b;
    history_.use(b);
    w_.put(b);
  }

  // The length of a literal block, 1 to 216: a 2-bit field whose last value
  // escapes to a 3-bit one, then a 4-bit one whose last two values escape to
  // 6 and 7 bits.
  unsigned blockLength() {
    uint32_t x = bits_.get(2);
    if (x != 3) return 1 + x;
    x = bits_.get(3);
    if (x != 7) return 4 + x;
    x = bits_.get(4);
    if (x < 14) return 11 + x;
    return x == 14 ? 25 + bits_.get(6) : 89 + bits_.get(7);
  }

  // The count of a copy in ranges 2 to 5, 3 to 244.
  unsigned copyCount() {
    uint32_t x = bits_.get(2);
    if (x != 3) return 3 + x;
    x = bits_.get(3);
    if (x < 5) return 6 + x;
    if (x == 5) return 11 + bits_.get(2);
    if (x == 6) return 15 + bits_.get(3);
    x = bits_.get(6);
    if (x < 62) return 23 + x;
    return x == 62 ? 85 + bits_.get(5) : 117 + bits_.get(7);
  }

  // A branch of the range code that only exists once pos_ has reached
  // threshold; before, it is taken as fallback without reading a bit.
  uint32_t bitFrom(uint64_t threshold, uint32_t fallback) { return pos_ >= threshold ? bits_.get(1) : fallback; }

  // The width of a far range's distance field: the fewest bits, from 8 up
  // to widest, that cover every distance from base that the output so far
  // allows.
  int distanceBits(uint32_t base, int widest) const {
    int n = 8;
    while (n < widest && pos_ >= base + (uint64_t{1} << n)) ++n;
    return n;
  }

  // One copy command. False for a distance reaching before the output.
  bool copy() {
    // The range, in full: 000 = 0, 001 = 1, 01 = 4, 10 = 3, 110 = 5 and
    // 111 = 2 (bits in reading order); a branch the output is still too
    // short for is left out, its bit taken as read.
    int range;
    if (bits_.get(1) == 0) {
      range = bitFrom(576, 0) != 0 ? 4 : static_cast<int>(bitFrom(64, 0));
    } else if (bitFrom(64, 1) == 0) {
      range = 3;
    } else {
      range = bitFrom(2624, 1) != 0 ? 2 : 5;
    }
    unsigned count = 2;
    if (range >= 2) count = copyCount();
    uint32_t dist;
    switch (range) {
      case 0:
      case 2:
        dist = bits_.get(6);
        break;
      case 1:
        dist = 64 + bits_.get(8);
        break;
      case 3:
        dist = 64 + bits_.get(distanceBits(64, 9));
        break;
      case 4:
        dist = 576 + bits_.get(distanceBits(576, 11));
        break;
      default:
        dist = 2624 + bits_.get(distanceBits(2624, 13));
        break;
    }
    if (dist >= pos_) return false;
    // The source runs from dist + 1 bytes back; an overlapping copy repeats.
    uint64_t from = pos_ - dist - 1;
    for (unsigned i = 0; i < count && !w_.done(); ++i) put(ring_[from++ & (kHistory - 1)]);
    return true;
  }

  SlackInput input_;
  LhBits bits_;
  LhWindow& w_;
  PmHistory history_;
  uint64_t pos_ = 0;                      // bytes output so far
  std::array<uint8_t, kHistory> ring_{};  // the last kHistory output bytes
};

}  // namespace

DecodeStatus decodePm1(engine::DecodeInput& input, engine::DecodeOutput& output, uint64_t size,
                       const engine::DecodeHooks* hooks) {
  LhWindow w(output, size, kHistory, 0, hooks);
  if (!w.valid()) return DecodeStatus::NoMemory;
  DecodeStatus s = DecodeStatus::Ok;
  if (size > 0) {
    Pm1Decoder d(input, w);
    s = d.run();
  }
  const DecodeStatus f = w.finish();
  return f != DecodeStatus::Ok ? f : s;
}

}  // namespace vz::readers::codecs
