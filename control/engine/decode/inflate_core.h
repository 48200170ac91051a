// The resumable inflater behind inflateFlat (inflate_flat.h) and the
// streamed deflate64 decoder (inflate64.h).
//
// It decodes into a caller's output region and nothing else: matches copy
// from the bytes already in the region, so there is no window to stage
// through. The region is three pointers into one buffer:
//
//   hist            pos                    limit
//   | history ...   | next byte goes here  | end of the room
//
// A match may reach back to hist and no further (BadData beyond). When the
// room is used up while decoded bytes are still due (a literal, the rest of
// a match, the rest of a stored block whose bytes are there), run() returns
// with paused set; the streamed decoder then flushes, moves the history
// down and calls setOutput() and run() again, while the flat decoder reports
// OutputStopped. Nothing is ever written at or past limit.
//
// Blocks and their statuses follow inflate() (inflate.h) exactly, so that
// the two can be compared on any input: the same BadData and BadBlockType
// cases, the same bytes before a fault, the hooks after each block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "control/engine/decode/bit_reader.h"
#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"
#include "control/engine/decode/inflate_tables.h"

namespace vz::engine::flat {

class InflateCore {
 public:
  // A core over input; null when memory ran out. deflate64 selects the
  // 64 KB variant (method 9).
  static std::unique_ptr<InflateCore> create(DecodeInput& input, bool deflate64, const DecodeHooks* hooks);

  // The output region for the next run() (see above); hist <= pos <= limit.
  void setOutput(uint8_t* hist, uint8_t* pos, uint8_t* limit) {
    hist_ = hist;
    pos_ = pos;
    limit_ = limit;
  }
  uint8_t* pos() const { return pos_; }

  // After the last block: copies into out (room for 8) the input bytes the
  // bit buffer took in behind the stream's end, in order, and returns their
  // number. The partly used byte of the last block is not among them.
  size_t unusedInput(uint8_t* out) const {
    const unsigned real = br_.count - br_.virtualBits;
    const unsigned skip = br_.count & 7;
    size_t n = 0;
    for (unsigned bit = skip; bit + 8 <= skip + (real - real % 8) && n < 8; bit += 8) {
      out[n++] = static_cast<uint8_t>(br_.buf >> bit);
    }
    return n;
  }

  // Decodes until the last block has ended (Ok, paused false), the room is
  // used up while bytes are due (Ok, paused true; pos() == limit), or a
  // fault (its status; pos() after the last good byte). Cancelled when the
  // cancel hook, polled after each block, says so.
  [[nodiscard]] DecodeStatus run(bool& paused);

 private:
  InflateCore(DecodeInput& input, bool deflate64, const DecodeHooks* hooks);

  enum class State : uint8_t { Header, Stored, Codes, Done };

  DecodeStatus header();
  DecodeStatus dynamicHeader();
  DecodeStatus stored(bool& blockEnded, bool& paused);
  DecodeStatus codes(bool& blockEnded, bool& paused);
  DecodeStatus carefulSymbol(bool& blockEnded);
  template <bool kWide>
  DecodeStatus fastLoop(bool& blockEnded);
  bool fastReady() const;
  void writePending();
  uint32_t lookup(const uint32_t* table, unsigned rootBits);
  bool takeValue(uint32_t entry, size_t& value);
  bool pump();

  DecodeInput& in_;           // compressed bytes
  BitReader br_;              // bit buffer over in_ (the fast loop works on copies of its fields)
  const DecodeHooks* hooks_;  // pump and cancel callbacks, may be null
  bool deflate64_;            // the 64 KB variant's length and distance rows
  State state_ = State::Header;
  bool last_ = false;                       // the current block is marked last
  uint8_t* hist_ = nullptr;                 // lowest byte a match may read
  uint8_t* pos_ = nullptr;                  // next output byte
  uint8_t* limit_ = nullptr;                // end of the room
  uint32_t storedLeft_ = 0;                 // bytes of the current stored block not yet copied
  size_t pendingLength_ = 0;                // bytes of a decoded literal or match not yet written
  size_t pendingDistance_ = 0;              // its distance; 0 for a literal
  uint8_t pendingByte_ = 0;                 // the literal, when pendingDistance_ is 0
  const uint32_t* lit_ = nullptr;           // literal/length table of the current block
  const uint32_t* dist_ = nullptr;          // distance table of the current block
  uint32_t litTable_[kLitTableSize];        // a dynamic block's literal/length table
  uint32_t distTable_[kDistTableSize];      // a dynamic block's distance table
  uint32_t clTable_[kCodeLengthTableSize];  // a dynamic block header's code-length table
};

}  // namespace vz::engine::flat
