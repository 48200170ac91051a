// Unshrink (ZIP method 1): LZW with codes of 9 to 13 bits, least significant
// bit first, where the compressor steers the code size and the clearing.
//
// Codes 0 to 255 stand for their byte; code 256 is a control code followed
// by a second code: 1 widens the codes by one bit, 2 frees every leaf of the
// string tree (partial clear). Codes 257 to 8191 are assigned as decoding
// goes: after each code but the first, the string of the previous code plus
// the first byte of the current code's string gets the lowest free code. A
// code that is not assigned yet may only be that very code (the "KwKwK"
// case): its string is the previous string plus its own first byte.
//
// The string table is a parent code and a last byte per code; a string is
// read by walking the parents back to a byte and reversing. The previous
// string is always the last bytes written, so the KwKwK case is a copy from
// the window. Every walk is bounded by the number of codes, so a table made
// circular by a damaged stream ends with BadData instead of a hang.
#include "control/engine/decode/unshrink.h"

#include <algorithm>
#include <memory>
#include <new>

#include "control/engine/decode/bit_reader.h"
#include "control/engine/decode/decode_window.h"

namespace vz::engine {

namespace {

constexpr unsigned kInitialCodeSize = 9;
constexpr unsigned kMaxCodeSize = 13;
constexpr unsigned kCodes = 1u << kMaxCodeSize;  // 8192 codes at 13 bits
constexpr uint32_t kControlCode = 256;
constexpr uint32_t kFirstAssigned = 257;  // first code the table assigns
constexpr uint16_t kFree = 0xFFFF;        // parent of a code not assigned

class Unshrinker {
 public:
  Unshrinker(DecodeInput& input, DecodeWindow& window, uint64_t size) : br_(input), win_(window), size_(size) {}

  bool allocate() {
    parent_.reset(new (std::nothrow) uint16_t[kCodes]);
    suffix_.reset(new (std::nothrow) uint8_t[kCodes]);
    stack_.reset(new (std::nothrow) uint8_t[kCodes]);
    hasChild_.reset(new (std::nothrow) bool[kCodes]);
    if (!parent_ || !suffix_ || !stack_ || !hasChild_) return false;
    for (unsigned c = 0; c < kCodes; ++c) {
      parent_[c] = c < 256 ? 0 : kFree;  // the parent of a byte code is never read
      suffix_[c] = static_cast<uint8_t>(c);
    }
    return true;
  }

  DecodeStatus run();

 private:
  // Lowest free code, kCodes when the table is full.
  uint32_t lowestFree() {
    while (nextFree_ < kCodes && parent_[nextFree_] != kFree) ++nextFree_;
    return nextFree_;
  }
  void partialClear();
  // Writes at most room bytes of the string of an assigned code; sets its
  // length and first byte. False when the table is damaged.
  bool emitString(uint32_t code, uint64_t room, size_t& len, uint8_t& first, DecodeStatus& status);

  BitReader br_;                        // codes, least significant bit first
  DecodeWindow& win_;                   // output window
  uint64_t size_;                       // bytes to produce
  std::unique_ptr<uint16_t[]> parent_;  // per code: prefix code, or kFree
  std::unique_ptr<uint8_t[]> suffix_;   // per code: last byte of its string
  std::unique_ptr<uint8_t[]> stack_;    // a string being read back to front
  std::unique_ptr<bool[]> hasChild_;    // partial clear: codes that are some code's parent
  uint32_t nextFree_ = kFirstAssigned;  // no free code below this one
};

void Unshrinker::partialClear() {
  // A leaf is an assigned code that no assigned code names as its parent.
  bool* const child = hasChild_.get();
  std::fill(child, child + kCodes, false);
  for (uint32_t c = kFirstAssigned; c < kCodes; ++c) {
    const uint16_t p = parent_[c];
    if (p != kFree && p >= kFirstAssigned) child[p] = true;
  }
  for (uint32_t c = kFirstAssigned; c < kCodes; ++c) {
    if (parent_[c] != kFree && !child[c]) parent_[c] = kFree;
  }
  nextFree_ = kFirstAssigned;
}

bool Unshrinker::emitString(uint32_t code, uint64_t room, size_t& len, uint8_t& first, DecodeStatus& status) {
  uint8_t* const end = stack_.get() + kCodes;
  uint8_t* p = end;
  while (code >= kFirstAssigned) {
    const uint16_t parent = parent_[code];
    // A parent that was freed, or a chain longer than the table: damaged.
    if (parent == kFree || p == stack_.get() + 1) {
      status = DecodeStatus::BadData;
      return false;
    }
    *--p = suffix_[code];
    code = parent;
  }
  *--p = static_cast<uint8_t>(code);
  len = static_cast<size_t>(end - p);
  first = *p;
  if (!win_.write(p, static_cast<size_t>(std::min<uint64_t>(len, room)))) {
    status = win_.stopStatus();
    return false;
  }
  return true;
}

DecodeStatus Unshrinker::run() {
  unsigned codeSize = kInitialCodeSize;
  bool havePrevious = false;
  uint32_t previous = 0;      // the previous code
  size_t previousLen = 0;     // length of its string
  uint8_t previousFirst = 0;  // first byte of its string
  while (win_.produced() < size_) {
    uint32_t code;
    if (!br_.take(codeSize, code)) return DecodeStatus::BadData;
    if (code == kControlCode) {
      uint32_t sub;
      if (!br_.take(codeSize, sub)) return DecodeStatus::BadData;
      if (sub == 1 && codeSize < kMaxCodeSize) {
        ++codeSize;
      } else if (sub == 2) {
        partialClear();
      } else {
        return DecodeStatus::BadData;
      }
      continue;
    }
    const uint64_t room = size_ - win_.produced();
    size_t len = 1;
    uint8_t first = static_cast<uint8_t>(code);
    if (!havePrevious) {
      if (code > 255) return DecodeStatus::BadData;
      if (!win_.put(first)) return win_.stopStatus();
      havePrevious = true;
      previous = code;
      previousLen = 1;
      previousFirst = first;
      continue;
    }
    if (code < 256) {
      if (!win_.put(first)) return win_.stopStatus();
    } else if (parent_[code] != kFree) {
      DecodeStatus status = DecodeStatus::Ok;
      if (!emitString(code, room, len, first, status)) return status;
    } else {
      // Not assigned: only the code about to be assigned is valid.
      if (code != lowestFree()) return DecodeStatus::BadData;
      len = previousLen + 1;
      first = previousFirst;
      if (!win_.copyMatch(previousLen, static_cast<size_t>(std::min<uint64_t>(len, room)))) {
        return win_.stopStatus();
      }
    }
    // The previous string plus this string's first byte gets the lowest free code.
    const uint32_t next = lowestFree();
    if (next < kCodes) {
      parent_[next] = static_cast<uint16_t>(previous);
      suffix_[next] = first;
      ++nextFree_;
    }
    previous = code;
    previousLen = len;
    previousFirst = first;
  }
  return DecodeStatus::Ok;
}

}  // namespace

DecodeStatus unshrink(DecodeInput& input, DecodeOutput& output, uint64_t uncompressedSize, const DecodeHooks* hooks) {
  DecodeWindow window(output, hooks, true);
  if (!window.valid()) return DecodeStatus::NoMemory;
  Unshrinker unshrinker(input, window, uncompressedSize);
  if (!unshrinker.allocate()) return DecodeStatus::NoMemory;
  return window.close(unshrinker.run());
}

}  // namespace vz::engine
