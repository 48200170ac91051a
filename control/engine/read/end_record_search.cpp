// The end-record search and the prefix correction (see end_record_search.h).
#include "control/engine/read/end_record_search.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>

namespace vz::engine {

namespace {

constexpr int64_t kBlock = static_cast<int64_t>(ArchiveInput::kBlockSize);
// A remainder of at least this many bytes behind the last block boundary is
// read and searched on its own before the whole blocks.
constexpr int64_t kRemainderWorthReading = 19;
// Bytes of the following block kept to complete a signature that starts in
// the last three bytes of a block.
constexpr size_t kCarry = kSignatureSize - 1;
constexpr uint8_t kEndSignatureBytes[4] = {'P', 'K', 5, 6};

bool signatureAt(ArchiveInput& input, int64_t pos, uint32_t signature) {
  uint8_t sig[kSignatureSize];
  return input.seek(pos) && input.read(sig, sizeof sig) && loadLe32(sig) == signature;
}

}  // namespace

int64_t findEndRecordSignature(ArchiveInput& input) {
  const int64_t size = input.size();
  if (size < static_cast<int64_t>(kEndRecordSize)) return -1;
  const int64_t window = std::min<int64_t>(size, static_cast<int64_t>(kEndRecordSearchWindow));
  const int64_t lowest = size - window;                            // lowest start searched
  int64_t nextHigh = size - static_cast<int64_t>(kEndRecordSize);  // highest start not yet searched

  std::unique_ptr<uint8_t[]> buf(new (std::nothrow) uint8_t[ArchiveInput::kBlockSize + ArchiveInput::kSpare]);
  if (!buf) return -1;
  int64_t prevStart = 0;  // the chunk scanned before (its bytes are still in buf)
  size_t prevLen = 0;

  // Reads [start, start + len) and searches its positions from the highest
  // not yet searched down to the window's lowest. The bytes behind the chunk
  // come from the chunk scanned before it.
  auto scanChunk = [&](int64_t start, size_t len) -> int64_t {
    const int64_t chunkEnd = start + static_cast<int64_t>(len);
    std::array<uint8_t, kCarry> carry{};
    size_t carried = 0;
    if (prevLen > 0 && chunkEnd >= prevStart && chunkEnd < prevStart + static_cast<int64_t>(prevLen)) {
      const size_t at = static_cast<size_t>(chunkEnd - prevStart);
      carried = std::min(kCarry, prevLen - at);
      std::memcpy(carry.data(), buf.get() + at, carried);
    }
    const int64_t got = input.readAt(start, buf.get(), len);
    if (got != static_cast<int64_t>(len)) return -2;  // a read failed
    std::memcpy(buf.get() + len, carry.data(), carried);
    prevStart = start;
    prevLen = len;
    const size_t avail = len + carried;
    for (int64_t p = std::min(nextHigh, chunkEnd - 1); p >= std::max(start, lowest); --p) {
      const size_t i = static_cast<size_t>(p - start);
      if (i + kSignatureSize <= avail && buf[i] == 'P' && std::memcmp(buf.get() + i, kEndSignatureBytes, 4) == 0)
        return p;
    }
    nextHigh = std::min(nextHigh, start - 1);
    return -1;
  };

  auto result = [](int64_t found) { return found < 0 ? int64_t{-1} : found; };
  if (size <= kBlock) return result(scanChunk(0, static_cast<size_t>(size)));
  const int64_t remainder = size % kBlock;
  const int64_t boundary = size - remainder;
  if (remainder >= kRemainderWorthReading) {
    const int64_t len = std::max<int64_t>(remainder, static_cast<int64_t>(kEndRecordSize));
    const int64_t found = scanChunk(size - len, static_cast<size_t>(len));
    if (found != -1) return result(found);
  }
  for (int64_t start = boundary - kBlock; start >= 0 && start + kBlock > lowest; start -= kBlock) {
    const int64_t found = scanChunk(start, ArchiveInput::kBlockSize);
    if (found != -1) return result(found);
  }
  return -1;
}

EndRecordSearch findEndRecord(ArchiveInput& input, EndRecordLocation& out) {
  out = {};
  if (!input.isOpen()) return EndRecordSearch::NotFound;
  const int64_t pos = findEndRecordSignature(input);
  if (pos < 0) return EndRecordSearch::NotFound;
  uint8_t rec[kEndRecordSize];
  if (!input.seek(pos) || !input.read(rec, sizeof rec)) return EndRecordSearch::NotFound;
  const auto parsed = parseEndRecord(rec);
  if (!parsed) return EndRecordSearch::NotFound;
  out.end = *parsed;
  out.position = pos;

  const int64_t extra = pos - (static_cast<int64_t>(out.end.directorySize) + out.end.directoryOffset);
  if (extra < 0) return EndRecordSearch::NegativeExtra;
  out.extraBytes = extra;
  if (extra > 0 && out.end.directoryOffset == 0 && out.end.directorySize != 0) {
    if (extra > static_cast<int64_t>(UINT32_MAX)) return EndRecordSearch::NotFound;
    out.end.directoryOffset = static_cast<uint32_t>(extra);
    out.extraBytes = 0;
    out.offsetCorrected = true;
  }
  return EndRecordSearch::Found;
}

CentralStart checkCentralStart(ArchiveInput& input, EndRecordLocation& loc) {
  if (signatureAt(input, loc.end.directoryOffset + loc.extraBytes, kCentralHeaderSignature))
    return CentralStart::AtExtraBytes;
  loc.extraBytes = 0;
  if (signatureAt(input, loc.end.directoryOffset, kCentralHeaderSignature)) return CentralStart::AtStoredOffset;
  return CentralStart::Missing;
}

}  // namespace vz::engine
