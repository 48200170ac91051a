// ZIP rebase of a self-extractor's copied archive (see the header for the
// records touched).
//
// How far the recorded offsets are off (delta) is decided by where the
// central directory really is: the first of these that puts a central
// header ("PK" 1 2) at recorded offset - delta wins:
//   0           the offsets already count from the archive's start;
//   stubLength  they count from the program's start;
//   the rest    the directory just before the end record (or the Zip64 end
//               record), wherever the offsets count from.
// The end record, the locator and the Zip64 end record then get the
// positions found; every local-header offset is moved by delta.
#include "manager/readers/sfx_zip_rebase.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "manager/readers/walk_fields.h"

namespace vz::readers {

namespace {

constexpr uint32_t kCentralSig = 0x02014B50;
constexpr uint32_t kEndSig = 0x06054B50;
constexpr uint32_t kLocatorSig = 0x07064B50;
constexpr uint32_t kZip64EndSig = 0x06064B50;
constexpr int64_t kEndLength = 22;
constexpr int64_t kCentralLength = 46;
constexpr int64_t kLocatorLength = 20;
constexpr int64_t kZip64EndLength = 56;
// The end record with the longest comment it can carry.
constexpr int64_t kEndSearch = 0xFFFF + kEndLength;
constexpr uint32_t kMarker32 = 0xFFFFFFFF;  // "see the Zip64 record"

bool readAt(const vz::File& f, int64_t pos, void* out, size_t n) {
  return pos >= 0 && f.readAt(pos, out, n) == static_cast<int64_t>(n);
}
bool hasSignature(const vz::File& f, int64_t pos, uint32_t sig) {
  uint8_t b[4];
  return readAt(f, pos, b, 4) && le32(b) == sig;
}
bool write32(vz::File& f, int64_t pos, uint32_t v) {
  const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                        static_cast<uint8_t>(v >> 24)};
  return f.seek(pos) && f.write(b, 4);
}
bool write64(vz::File& f, int64_t pos, uint64_t v) {
  return write32(f, pos, static_cast<uint32_t>(v)) && write32(f, pos + 4, static_cast<uint32_t>(v >> 32));
}

// The archive's directory as found in the copy.
struct Directory {
  int64_t endAt = -1;        // the end record
  int64_t locatorAt = -1;    // the Zip64 locator, -1 when none
  int64_t zip64At = -1;      // the Zip64 end record, -1 when none
  int64_t directoryAt = 0;   // the first central header
  int64_t directoryEnd = 0;  // where the directory stops (the end record or the Zip64 end record)
  uint64_t entries = 0;      // central headers recorded
  int64_t delta = 0;         // recorded offset - position in the copy
};

// Resolves the directory of the end record at endAt; false when no central
// directory can be found for it.
bool resolve(const vz::File& f, int64_t endAt, int64_t stubLength, Directory* d) {
  uint8_t rec[kEndLength];
  if (!readAt(f, endAt, rec, sizeof rec) || le32(rec) != kEndSig) return false;
  int64_t size = le32(rec + 12), offset = le32(rec + 16);
  d->endAt = endAt;
  d->entries = le16(rec + 10);
  d->directoryEnd = endAt;
  uint8_t loc[kLocatorLength], z64[kZip64EndLength];
  if ((size == kMarker32 || offset == kMarker32 || d->entries == 0xFFFF) && endAt >= kLocatorLength &&
      readAt(f, endAt - kLocatorLength, loc, sizeof loc) && le32(loc) == kLocatorSig) {
    // The Zip64 end record, counted from either start, or just before the locator.
    const uint64_t recorded = le64(loc + 8);
    const int64_t r = recorded < static_cast<uint64_t>(endAt) ? static_cast<int64_t>(recorded) : -1;
    const int64_t tries[] = {r, r >= 0 ? r - stubLength : -1, endAt - kLocatorLength - kZip64EndLength};
    for (const int64_t at : tries) {
      if (at < 0 || at + kZip64EndLength > endAt - kLocatorLength) continue;
      if (!readAt(f, at, z64, sizeof z64) || le32(z64) != kZip64EndSig) continue;
      const uint64_t size64 = le64(z64 + 40), offset64 = le64(z64 + 48);
      if (size64 > static_cast<uint64_t>(at) || offset64 > INT64_MAX / 2) return false;
      d->locatorAt = endAt - kLocatorLength;
      d->zip64At = at;
      d->directoryEnd = at;
      d->entries = le64(z64 + 32);
      size = static_cast<int64_t>(size64);
      offset = static_cast<int64_t>(offset64);
      break;
    }
  }
  if (size > d->directoryEnd) return false;
  const int64_t deltas[] = {0, stubLength, offset - (d->directoryEnd - size)};
  for (const int64_t delta : deltas) {
    const int64_t at = offset - delta;
    if (at < 0 || at + kCentralLength > d->directoryEnd || !hasSignature(f, at, kCentralSig)) continue;
    d->directoryAt = at;
    d->delta = delta;
    return true;
  }
  return false;
}

// Finds the directory from the last end record in the copy's tail that has one.
bool findDirectory(const vz::File& f, int64_t stubLength, Directory* d) {
  const int64_t fileSize = f.size();
  const int64_t span = std::min(fileSize, kEndSearch);
  if (span < kEndLength) return false;
  std::vector<uint8_t> tail(static_cast<size_t>(span));
  if (!readAt(f, fileSize - span, tail.data(), tail.size())) return false;
  for (int64_t i = span - kEndLength; i >= 0; --i)
    if (le32(tail.data() + i) == kEndSig && resolve(f, fileSize - span + i, stubLength, d)) return true;
  return false;
}

// Where the local-header offset of a central header is kept: the 32-bit
// field, or the Zip64 extra field's 8 bytes when the field is the marker.
// Returns the position in the file and the recorded value; -1 when a marker
// has no Zip64 value behind it.
int64_t localOffsetField(const vz::File& f, int64_t headerAt, const uint8_t* h, bool* wide, uint64_t* value) {
  const uint32_t recorded = le32(h + 42);
  *wide = false;
  *value = recorded;
  if (recorded != kMarker32) return headerAt + 42;
  const uint32_t nameLen = le16(h + 28), extraLen = le16(h + 30);
  std::vector<uint8_t> x(extraLen);
  const int64_t extraAt = headerAt + kCentralLength + nameLen;
  if (extraLen == 0 || !readAt(f, extraAt, x.data(), x.size())) return -1;
  for (uint32_t pos = 0; pos + 4 <= extraLen;) {
    const uint16_t tag = le16(x.data() + pos), size = le16(x.data() + pos + 2);
    if (size > extraLen - pos - 4) break;
    if (tag == 0x0001) {
      // In order: unpacked size, packed size, local offset, each present
      // only when its 32-bit field is the marker.
      uint32_t at = 0;
      if (le32(h + 24) == kMarker32) at += 8;
      if (le32(h + 20) == kMarker32) at += 8;
      if (at + 8 > size) return -1;
      *wide = true;
      *value = le64(x.data() + pos + 4 + at);
      return extraAt + pos + 4 + at;
    }
    pos += 4 + size;
  }
  return -1;
}

}  // namespace

RebaseResult rebaseZipCopy(vz::File& copy, int64_t stubLength) {
  Directory d;
  if (!findDirectory(copy, stubLength, &d)) return RebaseResult::NotZip;
  if (d.delta == 0) return RebaseResult::Done;

  // The directory's own records get the positions found.
  if (d.zip64At >= 0) {
    if (!write64(copy, d.locatorAt + 8, static_cast<uint64_t>(d.zip64At)) ||
        !write64(copy, d.zip64At + 48, static_cast<uint64_t>(d.directoryAt)))
      return RebaseResult::WriteError;
  }
  uint8_t rec[kEndLength];
  if (!readAt(copy, d.endAt, rec, sizeof rec)) return RebaseResult::WriteError;
  if (le32(rec + 16) != kMarker32) {
    if (d.directoryAt >= kMarker32) return RebaseResult::BadOffsets;
    if (!write32(copy, d.endAt + 16, static_cast<uint32_t>(d.directoryAt))) return RebaseResult::WriteError;
  }

  // Every central header's local-header offset, moved by delta. The walk
  // stops at the recorded count, at the directory's end, or at the first
  // record that is no central header.
  int64_t pos = d.directoryAt;
  for (uint64_t i = 0; i < d.entries && pos + kCentralLength <= d.directoryEnd; ++i) {
    uint8_t h[kCentralLength];
    if (!readAt(copy, pos, h, sizeof h)) return RebaseResult::WriteError;
    if (le32(h) != kCentralSig) break;
    bool wide = false;
    uint64_t recorded = 0;
    const int64_t field = localOffsetField(copy, pos, h, &wide, &recorded);
    if (field < 0) return RebaseResult::BadOffsets;
    const int64_t moved = static_cast<int64_t>(recorded & INT64_MAX) - d.delta;
    if (moved < 0 || (!wide && moved >= kMarker32)) return RebaseResult::BadOffsets;
    const bool written =
        wide ? write64(copy, field, static_cast<uint64_t>(moved)) : write32(copy, field, static_cast<uint32_t>(moved));
    if (!written) return RebaseResult::WriteError;
    pos += kCentralLength + le16(h + 28) + le16(h + 30) + le16(h + 32);
  }
  return RebaseResult::Done;
}

}  // namespace vz::readers
