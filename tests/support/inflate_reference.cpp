// The reference inflater (see inflate_reference.h). Written for clarity, not
// speed: every rule of RFC 1951 and of the engine's statuses appears once, in
// the order the fast inflater applies it.
#include "tests/support/inflate_reference.h"

#include <cstdint>
#include <vector>

namespace vz::engine {

namespace {

constexpr int kWindowSize = 32768;
constexpr int kMaxBits = 15;

const uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint16_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                   2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint16_t kDistBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint16_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
const uint8_t kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// A canonical code: how many codes of each length, and the symbols ordered
// by (length, symbol).
struct Code {
  int count[kMaxBits + 1] = {};
  int symbol[288] = {};
};

// Fills the code from the lengths: 0 complete (or no symbols at all), 1
// incomplete (a single code of length 1 counts as complete), 2 over-subscribed.
int construct(Code& c, const uint8_t* lengths, int n) {
  for (int& k : c.count) k = 0;
  for (int s = 0; s < n; ++s) c.count[lengths[s]]++;
  if (c.count[0] == n) return 0;
  int left = 1;
  for (int len = 1; len <= kMaxBits; ++len) {
    left <<= 1;
    left -= c.count[len];
    if (left < 0) return 2;
  }
  int offset[kMaxBits + 2] = {};
  for (int len = 1; len < kMaxBits; ++len) offset[len + 1] = offset[len] + c.count[len];
  for (int s = 0; s < n; ++s) {
    if (lengths[s] != 0) c.symbol[offset[lengths[s]]++] = s;
  }
  const bool singleOfLengthOne = (n - c.count[0]) == 1 && c.count[1] == 1;
  return (left > 0 && !singleOfLengthOne) ? 1 : 0;
}

class Reference {
 public:
  Reference(DecodeInput& in, DecodeOutput& out) : in_(in), out_(out), window_(kWindowSize, 0) {}

  DecodeStatus run() {
    DecodeStatus status = DecodeStatus::Ok;
    int last = 0;
    do {
      last = bits(1);
      const int type = bits(2);
      if (eof_) {
        status = DecodeStatus::BadData;
        break;
      }
      if (type == 0) {
        status = stored();
      } else if (type == 1) {
        status = fixed();
      } else if (type == 2) {
        status = dynamic();
      } else {
        status = DecodeStatus::BadBlockType;
      }
    } while (status == DecodeStatus::Ok && !last);
    if (status == DecodeStatus::OutputStopped) return status;
    if (pos_ > 0 && !out_.flush(window_.data(), pos_) && status == DecodeStatus::Ok) {
      status = DecodeStatus::OutputStopped;
    }
    return status;
  }

 private:
  bool nextByte(uint8_t& b) {
    if (in_.available() == 0 && !in_.refill()) return false;
    b = *in_.data();
    in_.consume(1);
    return true;
  }
  // n bits, first bit read in bit 0; sets eof_ (and returns 0) when the input ends.
  int bits(int n) {
    while (bitCount_ < n) {
      uint8_t b;
      if (!nextByte(b)) {
        eof_ = true;
        return 0;
      }
      bitBuf_ |= static_cast<uint32_t>(b) << bitCount_;
      bitCount_ += 8;
    }
    const int v = static_cast<int>(bitBuf_ & ((1u << n) - 1));
    bitBuf_ >>= n;
    bitCount_ -= n;
    return v;
  }
  // A symbol read one bit at a time; -1 when the input ends, -2 for a bit
  // pattern that is no code.
  int decode(const Code& c) {
    int code = 0, first = 0, index = 0;
    for (int len = 1; len <= kMaxBits; ++len) {
      code |= bits(1);
      if (eof_) return -1;
      const int count = c.count[len];
      if (code - count < first) return c.symbol[index + (code - first)];
      index += count;
      first += count;
      first <<= 1;
      code <<= 1;
    }
    return -2;
  }
  bool put(uint8_t b) {
    window_[pos_++] = b;
    ++total_;
    if (pos_ == kWindowSize) {
      if (!out_.flush(window_.data(), kWindowSize)) return false;
      pos_ = 0;
    }
    return true;
  }

  DecodeStatus stored() {
    bitBuf_ = 0;  // drop the rest of the current byte
    bitCount_ = 0;
    uint8_t b[4];
    for (uint8_t& x : b) {
      if (!nextByte(x)) return DecodeStatus::BadData;
    }
    const unsigned len = b[0] | (b[1] << 8);
    const unsigned nlen = b[2] | (b[3] << 8);
    if (len != (~nlen & 0xFFFFu)) return DecodeStatus::BadData;
    for (unsigned i = 0; i < len; ++i) {
      uint8_t x;
      if (!nextByte(x)) return DecodeStatus::BadData;
      if (!put(x)) return DecodeStatus::OutputStopped;
    }
    return DecodeStatus::Ok;
  }

  DecodeStatus codes(const Code& lit, const Code& dist) {
    for (;;) {
      int symbol = decode(lit);
      if (symbol < 0) return DecodeStatus::BadData;
      if (symbol < 256) {
        if (!put(static_cast<uint8_t>(symbol))) return DecodeStatus::OutputStopped;
        continue;
      }
      if (symbol == 256) return DecodeStatus::Ok;
      symbol -= 257;
      if (symbol >= 29) return DecodeStatus::BadData;
      const int len = kLengthBase[symbol] + bits(kLengthExtra[symbol]);
      if (eof_) return DecodeStatus::BadData;
      symbol = decode(dist);
      if (symbol < 0 || symbol >= 30) return DecodeStatus::BadData;
      const int d = kDistBase[symbol] + bits(kDistExtra[symbol]);
      if (eof_) return DecodeStatus::BadData;
      if (static_cast<uint64_t>(d) > total_) return DecodeStatus::BadData;
      for (int i = 0; i < len; ++i) {
        if (!put(window_[(pos_ + kWindowSize - d) % kWindowSize])) return DecodeStatus::OutputStopped;
      }
    }
  }

  DecodeStatus fixed() {
    uint8_t lengths[288];
    for (int s = 0; s < 144; ++s) lengths[s] = 8;
    for (int s = 144; s < 256; ++s) lengths[s] = 9;
    for (int s = 256; s < 280; ++s) lengths[s] = 7;
    for (int s = 280; s < 288; ++s) lengths[s] = 8;
    Code lit, dist;
    construct(lit, lengths, 288);
    for (int s = 0; s < 30; ++s) lengths[s] = 5;
    construct(dist, lengths, 30);
    return codes(lit, dist);
  }

  DecodeStatus dynamic() {
    const int nlen = bits(5) + 257;
    const int ndist = bits(5) + 1;
    const int ncode = bits(4) + 4;
    if (eof_) return DecodeStatus::BadData;
    if (nlen > 286 || ndist > 30) return DecodeStatus::BadData;
    uint8_t lengths[320] = {};
    for (int i = 0; i < ncode; ++i) lengths[kOrder[i]] = static_cast<uint8_t>(bits(3));
    if (eof_) return DecodeStatus::BadData;
    Code lencode, distcode;
    int err = construct(lencode, lengths, 19);
    if (err != 0) return static_cast<DecodeStatus>(err);
    int index = 0;
    int previous = 0;
    while (index < nlen + ndist) {
      const int symbol = decode(lencode);
      if (symbol < 0) return DecodeStatus::BadData;
      if (symbol < 16) {
        lengths[index++] = static_cast<uint8_t>(symbol);
        previous = symbol;
        continue;
      }
      int value = 0, repeat;
      if (symbol == 16) {
        value = previous;
        repeat = 3 + bits(2);
      } else if (symbol == 17) {
        repeat = 3 + bits(3);
      } else {
        repeat = 11 + bits(7);
      }
      if (eof_) return DecodeStatus::BadData;
      if (index + repeat > nlen + ndist) return DecodeStatus::BadData;
      while (repeat-- > 0) lengths[index++] = static_cast<uint8_t>(value);
      previous = value;
    }
    err = construct(lencode, lengths, nlen);
    if (err != 0) return static_cast<DecodeStatus>(err);
    err = construct(distcode, lengths + nlen, ndist);
    if (err != 0) return static_cast<DecodeStatus>(err);
    return codes(lencode, distcode);
  }

  DecodeInput& in_;
  DecodeOutput& out_;
  uint32_t bitBuf_ = 0;          // bits not yet used, next in bit 0
  int bitCount_ = 0;             // number of them
  bool eof_ = false;             // a read ran past the end of the input
  std::vector<uint8_t> window_;  // circular window
  int pos_ = 0;                  // next write position in the window
  uint64_t total_ = 0;           // bytes decoded
};

}  // namespace

DecodeStatus inflateReference(DecodeInput& input, DecodeOutput& output) {
  Reference r(input, output);
  return r.run();
}

}  // namespace vz::engine
