// Helpers of the decoder tests: a bit writer that builds compressed streams
// by hand, canonical codes from code lengths, and one-call decoding from
// memory.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <ostream>
#include <string>
#include <vector>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::engine {
// Lets test failures print statuses as numbers.
inline void PrintTo(DecodeStatus s, std::ostream* os) { *os << "DecodeStatus(" << toInt(s) << ")"; }
}  // namespace vz::engine

namespace vz::test {

// Writes bits least significant first, as the decoders read them.
class BitWriter {
 public:
  // The low n bits of value, bit 0 first.
  void bits(uint32_t value, unsigned n) {
    for (unsigned i = 0; i < n; ++i) bit((value >> i) & 1);
  }
  // A prefix code of len bits, most significant bit first.
  void code(uint32_t value, unsigned len) {
    for (unsigned i = len; i-- > 0;) bit((value >> i) & 1);
  }
  void bit(unsigned b) {
    if (used_ == 0) bytes_.push_back(0);
    if (b) bytes_.back() |= static_cast<uint8_t>(1u << used_);
    used_ = (used_ + 1) & 7;
  }
  void alignToByte() { used_ = 0; }
  void byte(uint8_t b) {
    alignToByte();
    bytes_.push_back(b);
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  unsigned used_ = 0;  // bits used in the last byte (0: start a new byte)
};

// Canonical codes (most significant bit first) of the given lengths.
inline std::vector<uint32_t> canonicalCodes(const std::vector<uint8_t>& lengths) {
  unsigned count[17] = {};
  for (uint8_t l : lengths) ++count[l];
  count[0] = 0;
  uint32_t next[17] = {};
  uint32_t code = 0;
  for (unsigned len = 1; len <= 16; ++len) {
    code = (code + count[len - 1]) << 1;
    next[len] = code;
  }
  std::vector<uint32_t> codes(lengths.size(), 0);
  for (size_t s = 0; s < lengths.size(); ++s) {
    if (lengths[s] != 0) codes[s] = next[lengths[s]]++;
  }
  return codes;
}

// Lengths of a random complete prefix code of n symbols (each split of a
// leaf adds one), at most maxLen bits, scattered over an alphabet.
inline std::vector<uint8_t> randomCompleteLengths(std::mt19937& rng, unsigned n, unsigned alphabet, unsigned maxLen) {
  std::vector<uint8_t> leaves = {0};
  while (leaves.size() < n) {
    const size_t i = rng() % leaves.size();
    if (leaves[i] >= maxLen) continue;
    const uint8_t depth = static_cast<uint8_t>(leaves[i] + 1);
    leaves[i] = depth;
    leaves.push_back(depth);
  }
  std::vector<uint8_t> lengths(alphabet, 0);
  std::vector<unsigned> symbols(alphabet);
  for (unsigned s = 0; s < alphabet; ++s) symbols[s] = s;
  std::shuffle(symbols.begin(), symbols.end(), rng);
  for (unsigned i = 0; i < n; ++i) lengths[symbols[i]] = leaves[i];
  return lengths;
}

struct Decoded {
  engine::DecodeStatus status = engine::DecodeStatus::Ok;
  std::vector<uint8_t> bytes;
  bool overran = false;
};

inline std::string toString(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }
inline std::vector<uint8_t> toBytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

}  // namespace vz::test
