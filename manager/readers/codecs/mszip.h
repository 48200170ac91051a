// CAB's MSZIP method: the data blocks of one folder, each a deflate stream
// of its own behind the two bytes "CK", whose matches may reach into the
// 32 KB decoded before it in the same folder.
//
//   0  'C' 'K'
//   2  deflate blocks, the last one marked last
//
// A block decodes to at most 32,768 bytes, exactly the count its CFDATA
// record declares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/decode_status.h"

namespace vz::readers::codecs {

class MszipDecoder {
 public:
  static constexpr size_t kHistory = 32768;   // farthest reach of a match
  static constexpr size_t kMaxBlock = 32768;  // most bytes one block decodes to

  MszipDecoder();
  // False when the buffer could not be allocated (decodeBlock gives NoMemory).
  bool valid() const { return buf_ != nullptr; }
  // Forgets the history (a new folder).
  void reset() { historySize_ = 0; }

  // Decodes one block of size bytes into exactly uncompressed bytes (at
  // most kMaxBlock) and hands them to output in one flush. BadData when the
  // block does not start "CK", its deflate data is damaged, or it decodes
  // to another count; OutputStopped when output refused the bytes.
  [[nodiscard]] engine::DecodeStatus decodeBlock(const uint8_t* data, size_t size, size_t uncompressed,
                                                 engine::DecodeOutput& output);

 private:
  std::unique_ptr<uint8_t[]> buf_;  // kHistory bytes of history, then kMaxBlock bytes of room
  size_t historySize_ = 0;          // valid history bytes at the start of buf_
};

}  // namespace vz::readers::codecs
