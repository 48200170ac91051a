// Fuzz helper for the entry decoders: the leading bytes of an input choose
// the decoder's parameters, the rest is the compressed data, read from
// memory.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vz::fuzz {

// Splits a parameter header of n bytes off the input; false when too short.
struct DecoderInput {
  const uint8_t* header;  // the parameter bytes
  const uint8_t* data;    // the compressed data
  size_t size;            // its length
};

inline bool splitInput(const uint8_t* data, size_t size, size_t n, DecoderInput& out) {
  if (size < n) return false;
  out = DecoderInput{data, data + n, size - n};
  return true;
}

// An uncompressed size from 3 header bytes, at most 16 MB so that a run
// stays short.
inline uint64_t sizeFrom(const uint8_t* p) { return p[0] | (p[1] << 8) | (uint32_t{p[2]} << 16); }

// A span length for the input (whole, or small spans to exercise refills).
inline size_t chunkFrom(uint8_t b) {
  static const size_t kChunks[8] = {SIZE_MAX, 1, 2, 3, 7, 64, 1000, 24576};
  return kChunks[b & 7];
}

}  // namespace vz::fuzz
