// The data check of the thorough fix (zip_fix_verify.h).
#include "zipwrap/engine/zip/zip_fix_verify.h"

#include <algorithm>
#include <optional>

#include "control/engine/decode/decode_entry.h"
#include "control/engine/decode/decode_io.h"
#include "control/engine/format/crc32.h"
#include "control/engine/format/zip_records.h"

namespace vz::zipwrap {

using namespace vz::engine;

namespace {

// Bytes read from the file per step.
constexpr size_t kBlock = 65536;
// How far the inflater may have read past the end of its data: its bit
// buffer holds at most eight bytes it did not use.
constexpr int64_t kReadAhead = 10;
// The most decoded bytes an entry may have (the format's 32-bit field).
constexpr uint64_t kMaxEntrySize = 0xFFFFFFFFull;
// Encryption header of the traditional encryption.
constexpr uint32_t kEncryptionHeaderSize = 12;

// count bytes of the file from at, in blocks.
class FileSpanInput final : public DecodeInput {
 public:
  FileSpanInput(const File& file, int64_t at, uint64_t count)
      : DecodeInput(count), file_(file), position_(at), buffer_(kBlock) {}

 protected:
  size_t fetch(const uint8_t** data, size_t maxBytes) override {
    const int64_t got = file_.readAt(position_, buffer_.data(), std::min(maxBytes, buffer_.size()));
    if (got <= 0) return 0;
    position_ += got;
    *data = buffer_.data();
    return static_cast<size_t>(got);
  }

 private:
  const File& file_;             // the damaged archive
  int64_t position_;             // next byte to read
  std::vector<uint8_t> buffer_;  // one block
};

// Keeps only the CRC and the count of the decoded bytes.
class CrcOutput final : public DecodeOutput {
 public:
  uint32_t crc = 0;  // CRC-32 of the bytes so far

 protected:
  bool write(const uint8_t* data, size_t count) override {
    crc = crc32Update(crc, data, count);
    return true;
  }
};

struct Decoded {
  DecodeStatus status = DecodeStatus::BadData;
  uint32_t crc = 0;
  uint64_t total = 0;     // decoded bytes
  uint64_t consumed = 0;  // compressed bytes taken from the file (the inflater's read-ahead included)
};

Decoded decodeOnce(const File& file, uint16_t method, uint16_t flags, int64_t dataAt, uint64_t inputLength,
                   uint64_t outputLimit) {
  FileSpanInput input(file, dataAt, inputLength);
  CrcOutput output;
  Decoded d;
  d.status = decodeEntryData(method, flags, outputLimit, input, output);
  d.crc = output.crc;
  d.total = output.total();
  d.consumed = inputLength - input.remaining() - input.available();
  return d;
}

bool readBytes(const File& file, int64_t at, uint8_t* out, size_t n, int64_t fileEnd) {
  return at >= 0 && at + static_cast<int64_t>(n) <= fileEnd && file.readAt(at, out, n) == static_cast<int64_t>(n);
}

// The data descriptor at at that states facts: 16 (with its signature), 12
// (without) or 0 (none).
uint32_t descriptorStating(const File& file, int64_t at, int64_t fileEnd, const SizeClaim& facts) {
  uint8_t b[kDescriptorSize];
  auto states = [&](const uint8_t* p) {
    return loadLe32(p) == facts.crc32 && loadLe32(p + 4) == facts.compressedSize &&
           loadLe32(p + 8) == facts.uncompressedSize;
  };
  if (readBytes(file, at, b, 16, fileEnd) && loadLe32(b) == kDescriptorSignature && states(b + 4)) return 16;
  if (readBytes(file, at, b, 12, fileEnd) && states(b)) return 12;
  return 0;
}

// Whether a record (or the end of the file) starts at at.
bool recordOrEndAt(const File& file, int64_t at, int64_t fileEnd) {
  if (at == fileEnd) return true;
  uint8_t b[4];
  if (!readBytes(file, at, b, 4, fileEnd)) return false;
  const uint32_t sig = loadLe32(b);
  return sig == kLocalHeaderSignature || sig == kCentralHeaderSignature || sig == kEndRecordSignature ||
         sig == kDescriptorSignature;
}

DataVerdict accept(const File& file, uint16_t flags, int64_t dataAt, int64_t fileEnd, const SizeClaim& facts,
                   bool checked) {
  DataVerdict v;
  v.ok = true;
  v.checked = checked;
  v.facts = facts;
  if (flags & kFlagDataDescriptor)
    v.descriptorSize = descriptorStating(file, dataAt + facts.compressedSize, fileEnd, facts);
  return v;
}

// Deflate: the size the decoder proves, then the CRC against the claims.
DataVerdict verifyDeflated(const File& file, uint16_t flags, int64_t dataAt, int64_t fileEnd,
                           const std::vector<SizeClaim>& claims) {
  const int64_t room = fileEnd - dataAt;
  // The claims first: an intact entry decodes with its own sizes at once.
  for (const SizeClaim& c : claims) {
    if (c.compressedSize == 0 || c.compressedSize > room) continue;
    const Decoded d = decodeOnce(file, kMethodDeflated, flags, dataAt, c.compressedSize, c.uncompressedSize);
    if (d.status == DecodeStatus::Ok && d.crc == c.crc32 && d.total == c.uncompressedSize)
      return accept(file, flags, dataAt, fileEnd, c, true);
  }
  // Then the data itself: decode to the final block with the rest of the file.
  const Decoded open = decodeOnce(file, kMethodDeflated, flags, dataAt, static_cast<uint64_t>(room), kMaxEntrySize);
  if (open.status != DecodeStatus::Ok) return {};
  // The smallest input length that still decodes is the data's size
  // (shorter input ends early: BadData).
  int64_t lo = std::max<int64_t>(0, static_cast<int64_t>(open.consumed) - kReadAhead);
  int64_t hi = static_cast<int64_t>(open.consumed);
  while (lo < hi) {
    const int64_t mid = lo + (hi - lo) / 2;
    const Decoded d = decodeOnce(file, kMethodDeflated, flags, dataAt, static_cast<uint64_t>(mid), kMaxEntrySize);
    if (d.status == DecodeStatus::Ok) {
      hi = mid;
    } else {
      lo = mid + 1;
    }
  }
  if (hi > static_cast<int64_t>(kMaxEntrySize)) return {};
  SizeClaim facts{open.crc, static_cast<uint32_t>(hi), static_cast<uint32_t>(open.total)};
  for (const SizeClaim& c : claims)
    if (c.crc32 == facts.crc32 && c.uncompressedSize == facts.uncompressedSize)
      return accept(file, flags, dataAt, fileEnd, facts, true);
  // No header knew the sizes (a streamed entry): its descriptor must.
  if ((flags & kFlagDataDescriptor) && descriptorStating(file, dataAt + hi, fileEnd, facts) != 0)
    return accept(file, flags, dataAt, fileEnd, facts, true);
  return {};
}

// Stored: one forward pass with a running CRC, stopping where a claim (or a
// descriptor) matches at a record boundary.
DataVerdict verifyStored(const File& file, uint16_t flags, int64_t dataAt, int64_t fileEnd,
                         const std::vector<SizeClaim>& claims) {
  // A claim whose length ends at a boundary is checked directly.
  for (const SizeClaim& c : claims) {
    if (c.compressedSize != c.uncompressedSize || c.compressedSize > fileEnd - dataAt) continue;
    const Decoded d = decodeOnce(file, kMethodStored, flags, dataAt, c.compressedSize, c.uncompressedSize);
    if (d.status == DecodeStatus::Ok && d.crc == c.crc32 && d.total == c.uncompressedSize)
      return accept(file, flags, dataAt, fileEnd, c, true);
  }
  std::vector<uint8_t> buf(kBlock + 3);
  uint32_t crc = 0;
  int64_t pos = dataAt;
  while (pos < fileEnd && pos - dataAt <= static_cast<int64_t>(kMaxEntrySize)) {
    const size_t n = static_cast<size_t>(std::min<int64_t>(kBlock, fileEnd - pos));
    const size_t look = static_cast<size_t>(std::min<int64_t>(n + 3, fileEnd - pos));
    if (file.readAt(pos, buf.data(), look) != static_cast<int64_t>(look)) return {};
    size_t counted = 0;  // bytes of this block already in crc
    for (size_t i = 0; i < n; ++i) {
      if (buf[i] == 'P' && i + 3 < look) {
        crc = crc32Update(crc, &buf[counted], i - counted);
        counted = i;
        const uint32_t sig = loadLe32(&buf[i]);
        const uint32_t length = static_cast<uint32_t>(pos + static_cast<int64_t>(i) - dataAt);
        if (sig == kLocalHeaderSignature || sig == kCentralHeaderSignature || sig == kEndRecordSignature) {
          for (const SizeClaim& c : claims)
            if (c.crc32 == crc && c.uncompressedSize == length)
              return accept(file, flags, dataAt, fileEnd, {crc, length, length}, true);
        }
        if (sig == kDescriptorSignature && (flags & kFlagDataDescriptor)) {
          const SizeClaim facts{crc, length, length};
          if (descriptorStating(file, dataAt + length, fileEnd, facts) == 16)
            return accept(file, flags, dataAt, fileEnd, facts, true);
        }
      }
    }
    crc = crc32Update(crc, &buf[counted], n - counted);
    pos += static_cast<int64_t>(n);
  }
  return {};
}

// Data the engine cannot check: consistent sizes only.
DataVerdict verifyUnchecked(const File& file, uint16_t flags, int64_t dataAt, int64_t fileEnd,
                            const std::vector<SizeClaim>& claims) {
  const uint32_t least = (flags & kFlagEncrypted) ? kEncryptionHeaderSize : 0;
  for (const SizeClaim& c : claims) {
    if (c.compressedSize < least || c.compressedSize > fileEnd - dataAt) continue;
    const int64_t end = dataAt + c.compressedSize;
    if ((flags & kFlagDataDescriptor) && descriptorStating(file, end, fileEnd, c) != 0)
      return accept(file, flags, dataAt, fileEnd, c, false);
    if (recordOrEndAt(file, end, fileEnd) && (c.compressedSize != 0 || c.uncompressedSize == 0))
      return accept(file, flags, dataAt, fileEnd, c, false);
  }
  // A streamed entry: the first descriptor that states its distance.
  if (flags & kFlagDataDescriptor) {
    std::vector<uint8_t> buf(kBlock + 15);
    for (int64_t pos = dataAt; pos < fileEnd;) {
      const size_t look = static_cast<size_t>(std::min<int64_t>(kBlock + 15, fileEnd - pos));
      if (file.readAt(pos, buf.data(), look) != static_cast<int64_t>(look)) return {};
      for (size_t i = 0; i + 16 <= look && i < kBlock; ++i) {
        if (buf[i] != 'P' || loadLe32(&buf[i]) != kDescriptorSignature) continue;
        const SizeClaim c{loadLe32(&buf[i + 4]), loadLe32(&buf[i + 8]), loadLe32(&buf[i + 12])};
        if (static_cast<int64_t>(c.compressedSize) == pos + static_cast<int64_t>(i) - dataAt &&
            c.compressedSize >= least)
          return accept(file, flags, dataAt, fileEnd, c, false);
      }
      if (look < kBlock + 15) break;
      pos += kBlock;
    }
  }
  return {};
}

}  // namespace

DataVerdict verifyEntryData(const File& file, uint16_t method, uint16_t flags, int64_t dataAt, int64_t fileEnd,
                            const std::vector<SizeClaim>& claims) {
  if (dataAt < 0 || dataAt > fileEnd) return {};
  if ((flags & kFlagEncrypted) || !isDecodableMethod(method))
    return verifyUnchecked(file, flags, dataAt, fileEnd, claims);
  if (method == kMethodDeflated) return verifyDeflated(file, flags, dataAt, fileEnd, claims);
  if (method == kMethodStored) return verifyStored(file, flags, dataAt, fileEnd, claims);
  for (const SizeClaim& c : claims) {
    if (c.compressedSize > fileEnd - dataAt) continue;
    const Decoded d = decodeOnce(file, method, flags, dataAt, c.compressedSize, c.uncompressedSize);
    if (d.status == DecodeStatus::Ok && d.crc == c.crc32 && d.total == c.uncompressedSize)
      return accept(file, flags, dataAt, fileEnd, c, true);
  }
  return {};
}

}  // namespace vz::zipwrap
