// The ZOO method-1 decoder (see zoo_lzw.h).
#include "manager/readers/codecs/zoo_lzw.h"

#include <memory>
#include <new>
#include <vector>

namespace vz::readers::codecs {

namespace {

using engine::DecodeStatus;

constexpr unsigned kClear = 256, kEnd = 257, kFirstFree = 258;
constexpr int kMinBits = 9, kMaxBits = 13;
constexpr unsigned kTable = 1u << kMaxBits;
constexpr size_t kFlush = 32768;

// Codes least significant bit first from the input.
class LsbCodes {
 public:
  explicit LsbCodes(engine::DecodeInput& in) : in_(in) {}
  // The next code of width bits; false when the input ended first.
  bool next(int width, unsigned& code) {
    while (count_ < width) {
      if (in_.available() == 0 && !in_.refill()) return false;
      buf_ |= static_cast<uint32_t>(*in_.data()) << count_;
      in_.consume(1);
      count_ += 8;
    }
    code = buf_ & ((1u << width) - 1);
    buf_ >>= width;
    count_ -= width;
    return true;
  }

 private:
  engine::DecodeInput& in_;
  uint32_t buf_ = 0;  // bits not yet taken, the next one lowest
  int count_ = 0;     // their number
};

// The staged output, flushed every 32 KB.
class Staging {
 public:
  Staging(engine::DecodeOutput& out, const engine::DecodeHooks* hooks) : out_(out), hooks_(hooks) {}
  bool valid() const { return buf_ != nullptr; }
  DecodeStatus put(uint8_t b) {
    buf_[fill_++] = b;
    return fill_ == kFlush ? flush() : DecodeStatus::Ok;
  }
  DecodeStatus flush() {
    if (fill_ > 0 && !out_.flush(buf_.get(), fill_)) return DecodeStatus::OutputStopped;
    fill_ = 0;
    if (hooks_ != nullptr) {
      if (hooks_->pump) hooks_->pump();
      if (hooks_->cancelled && hooks_->cancelled()) return DecodeStatus::Cancelled;
    }
    return DecodeStatus::Ok;
  }

 private:
  engine::DecodeOutput& out_;
  const engine::DecodeHooks* hooks_;
  std::unique_ptr<uint8_t[]> buf_{new (std::nothrow) uint8_t[kFlush]};
  size_t fill_ = 0;  // bytes staged
};

}  // namespace

DecodeStatus decodeZooLzw(engine::DecodeInput& input, engine::DecodeOutput& output, const engine::DecodeHooks* hooks) {
  Staging out(output, hooks);
  std::vector<uint16_t> prefix(kTable);
  std::vector<uint8_t> suffix(kTable), stack(kTable);
  if (!out.valid()) return DecodeStatus::NoMemory;
  LsbCodes codes(input);
  int width = kMinBits;
  unsigned freeCode = kFirstFree;
  unsigned oldCode = 0;  // the previous code (its string is extended next)
  uint8_t finChar = 0;   // first byte of the previous string
  bool fresh = true;     // the next code follows a clear (or the start)
  for (;;) {
    unsigned code;
    if (!codes.next(width, code)) {
      const DecodeStatus f = out.flush();
      return f != DecodeStatus::Ok ? f : DecodeStatus::BadData;
    }
    if (code == kEnd) return out.flush();
    if (code == kClear) {
      width = kMinBits;
      freeCode = kFirstFree;
      fresh = true;
      continue;
    }
    DecodeStatus s = DecodeStatus::Ok;
    if (fresh) {
      if (code > 255) s = DecodeStatus::BadData;
      if (s == DecodeStatus::Ok) s = out.put(static_cast<uint8_t>(code));
      oldCode = code;
      finChar = static_cast<uint8_t>(code);
      fresh = false;
    } else {
      if (code > freeCode || (code == freeCode && freeCode >= kTable)) {
        s = DecodeStatus::BadData;
      } else {
        size_t top = 0;
        unsigned cur = code;
        if (cur == freeCode) {
          stack[top++] = finChar;
          cur = oldCode;
        }
        while (cur > 255) {
          stack[top++] = suffix[cur];
          cur = prefix[cur];
        }
        finChar = static_cast<uint8_t>(cur);
        stack[top++] = finChar;
        while (top > 0 && s == DecodeStatus::Ok) s = out.put(stack[--top]);
        if (freeCode < kTable) {
          prefix[freeCode] = static_cast<uint16_t>(oldCode);
          suffix[freeCode] = finChar;
          ++freeCode;
          if (freeCode >= (1u << width) && width < kMaxBits) ++width;
        }
        oldCode = code;
      }
    }
    if (s != DecodeStatus::Ok) {
      if (s == DecodeStatus::BadData) {
        const DecodeStatus f = out.flush();
        return f != DecodeStatus::Ok ? f : s;
      }
      return s;
    }
  }
}

}  // namespace vz::readers::codecs
