// Results of the entry decoders (inflate, unshrink, unreduce, explode and the
// stored copy). Codes 0 to 4 are the decoder statuses of the engine; 5 to 7
// report why decoding stopped for a reason outside the compressed data, so
// that the extractor can tell a damaged stream from a refused output.
#pragma once

#include <cstdint>

namespace vz::engine {

enum class DecodeStatus : uint8_t {
  Ok = 0,
  // Bad data: an invalid code, a stored block whose length does not match its
  // complement, too many length or distance codes, a run of code lengths
  // that overflows, an incomplete code where a complete one is required, a
  // distance reaching back before the first byte, or input that ended early.
  BadData = 1,
  // Invalid block type (3), or an over-subscribed code (the table builder's
  // own status passed through unchanged).
  BadBlockType = 2,
  NoMemory = 3,        // out of memory while building tables or the window
  BadShannonFano = 4,  // implode: bad Shannon-Fano length data
  // The output refused further bytes: the data ran past the declared
  // uncompressed size (DecodeOutput::overran() tells) or the sink failed.
  OutputStopped = 5,
  Cancelled = 6,          // the cancel hook asked to stop
  UnsupportedMethod = 7,  // decodeEntryData: a method the engine cannot decode
};

constexpr int toInt(DecodeStatus s) { return static_cast<int>(s); }

}  // namespace vz::engine
