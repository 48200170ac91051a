// The pieces the multi-disk writer and reader share (span_media.h).
#include "zipwrap/engine/media/span_media.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace vz::zipwrap {

using namespace vz::engine;

namespace {
constexpr size_t kCopyBlock = 65536;
}  // namespace

std::string diskLabel(uint32_t disk) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%03u", disk);
  return std::string(kDiskLabelPrefix) + digits;
}

std::optional<uint32_t> diskOfLabel(std::string_view label) {
  if (label.size() <= kDiskLabelPrefix.size() || label.substr(0, kDiskLabelPrefix.size()) != kDiskLabelPrefix)
    return std::nullopt;
  uint32_t n = 0;
  for (char c : label.substr(kDiskLabelPrefix.size())) {
    if (c < '0' || c > '9' || n > 100000) return std::nullopt;
    n = n * 10 + static_cast<uint32_t>(c - '0');
  }
  return n;
}

std::optional<FoundEndRecord> findEndRecord(const File& file) {
  const int64_t size = file.size();
  if (size < static_cast<int64_t>(kEndRecordSize)) return std::nullopt;
  const int64_t from = std::max<int64_t>(0, size - static_cast<int64_t>(kEndRecordSearchWindow));
  std::vector<uint8_t> tail(static_cast<size_t>(size - from));
  if (file.readAt(from, tail.data(), tail.size()) != static_cast<int64_t>(tail.size())) return std::nullopt;
  for (size_t i = tail.size() - kEndRecordSize + 1; i-- > 0;) {
    if (tail[i] != 'P' || loadLe32(&tail[i]) != kEndRecordSignature) continue;
    std::optional<EndRecord> r = parseEndRecord(std::span<const uint8_t>(&tail[i], kEndRecordSize));
    if (!r) continue;
    FoundEndRecord found;
    found.record = *r;
    found.position = from + static_cast<int64_t>(i);
    const size_t clen = std::min<size_t>(r->commentLength, tail.size() - i - kEndRecordSize);
    found.comment.assign(reinterpret_cast<const char*>(&tail[i + kEndRecordSize]), clen);
    return found;
  }
  return std::nullopt;
}

bool copyRange(const File& src, int64_t at, int64_t count, File& out) {
  std::vector<uint8_t> buf(kCopyBlock);
  while (count > 0) {
    const size_t n = static_cast<size_t>(std::min<int64_t>(count, static_cast<int64_t>(buf.size())));
    if (src.readAt(at, buf.data(), n) != static_cast<int64_t>(n) || !out.write(buf.data(), n)) return false;
    at += static_cast<int64_t>(n);
    count -= static_cast<int64_t>(n);
  }
  return true;
}

}  // namespace vz::zipwrap
