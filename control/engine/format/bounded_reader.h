// Reading untrusted offsets and lengths: every field an archive gives (an
// offset, a length, a count) is checked against the bytes really there
// before anything is read, and the sums are formed so that they cannot
// overflow.
//
// rangeFits: whether [offset, offset + length) lies inside [0, size).
// BoundedReader: little-endian fields and sub-ranges of a byte span. A read
// outside the span gives 0 (or an empty range) and marks the reader failed,
// so a record can be read field by field and checked once with ok().
// FileRegion: the same bounds over a region of an open file.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/file.h"

namespace vz::engine {

// True when offset and length are not negative and offset + length <= size
// (no sum is formed, so huge values cannot wrap).
constexpr bool rangeFits(int64_t offset, int64_t length, int64_t size) {
  return offset >= 0 && length >= 0 && offset <= size && length <= size - offset;
}

class BoundedReader {
 public:
  BoundedReader() = default;
  explicit BoundedReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  size_t size() const { return bytes_.size(); }
  std::span<const uint8_t> bytes() const { return bytes_; }
  // Whether length bytes at offset lie inside the span.
  bool fits(uint64_t offset, uint64_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }
  // False once any read went outside the span.
  bool ok() const { return !failed_; }

  uint16_t le16(uint64_t offset) const { return static_cast<uint16_t>(le(offset, 2)); }
  uint32_t le32(uint64_t offset) const { return static_cast<uint32_t>(le(offset, 4)); }
  uint64_t le64(uint64_t offset) const { return le(offset, 8); }
  // The length bytes at offset; empty (and failed) when they do not fit.
  std::span<const uint8_t> range(uint64_t offset, uint64_t length) const {
    if (!fits(offset, length)) return fail(), std::span<const uint8_t>();
    return bytes_.subspan(static_cast<size_t>(offset), static_cast<size_t>(length));
  }
  // A reader over those bytes (failed, and this one too, when they do not fit).
  BoundedReader sub(uint64_t offset, uint64_t length) const {
    if (!fits(offset, length)) {
      fail();
      BoundedReader r;
      r.failed_ = true;
      return r;
    }
    return BoundedReader(range(offset, length));
  }

 private:
  uint64_t le(uint64_t offset, unsigned width) const {
    if (!fits(offset, width)) return fail(), 0;
    uint64_t v = 0;
    for (unsigned i = width; i-- > 0;) v = (v << 8) | bytes_[static_cast<size_t>(offset) + i];
    return v;
  }
  void fail() const { failed_ = true; }

  std::span<const uint8_t> bytes_;
  mutable bool failed_ = false;
};

// The bytes [start, start + length) of an open file (clamped to the file's
// size when it was opened smaller), read at offsets relative to start.
class FileRegion {
 public:
  // The whole file.
  explicit FileRegion(const File& file) : FileRegion(file, 0, file.size()) {}
  FileRegion(const File& file, int64_t start, int64_t length) : file_(file), start_(start), length_(length) {
    const int64_t fileSize = std::max<int64_t>(file.size(), 0);  // -1: the size cannot be read
    if (!rangeFits(start, 0, fileSize))
      start_ = fileSize, length_ = 0;
    else if (!rangeFits(start, length, fileSize))
      length_ = fileSize - start;
  }

  int64_t start() const { return start_; }
  int64_t size() const { return length_; }
  bool fits(int64_t offset, int64_t length) const { return rangeFits(offset, length, length_); }
  // Reads all n bytes at offset; false when they leave the region or the
  // read comes back short.
  bool read(int64_t offset, void* out, size_t n) const {
    if (!fits(offset, static_cast<int64_t>(n))) return false;
    return file_.readAt(start_ + offset, out, n) == static_cast<int64_t>(n);
  }
  // The region of length bytes at offset; an empty region past the end when
  // they do not fit.
  FileRegion sub(int64_t offset, int64_t length) const {
    if (!fits(offset, length)) return FileRegion(file_, start_ + length_, 0);
    return FileRegion(file_, start_ + offset, length);
  }

 private:
  const File& file_;
  int64_t start_;
  int64_t length_;
};

}  // namespace vz::engine
