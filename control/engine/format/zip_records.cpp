// Conversion of the ZIP records between bytes and structures (layouts in
// zip_records.h).
#include "control/engine/format/zip_records.h"

#include "control/engine/format/bounded_reader.h"

namespace vz::engine {

namespace {

// A reader over the record of size bytes at the start of bytes, when they
// hold one that starts with the signature.
std::optional<BoundedReader> recordAt(std::span<const uint8_t> bytes, size_t size, uint32_t signature) {
  const BoundedReader r = BoundedReader(bytes).sub(0, size);
  if (!r.ok() || r.le32(0) != signature) return std::nullopt;
  return r;
}

}  // namespace

std::optional<LocalHeader> parseLocalHeader(std::span<const uint8_t> bytes) {
  const std::optional<BoundedReader> p = recordAt(bytes, kLocalHeaderSize, kLocalHeaderSignature);
  if (!p) return std::nullopt;
  LocalHeader h;
  h.versionNeeded = p->le16(local_field::kVersionNeeded);
  h.flags = p->le16(local_field::kFlags);
  h.method = p->le16(local_field::kMethod);
  h.time = p->le16(local_field::kTime);
  h.date = p->le16(local_field::kDate);
  h.crc32 = p->le32(local_field::kCrc32);
  h.compressedSize = p->le32(local_field::kCompressedSize);
  h.uncompressedSize = p->le32(local_field::kUncompressedSize);
  h.nameLength = p->le16(local_field::kNameLength);
  h.extraLength = p->le16(local_field::kExtraLength);
  return h;
}

std::optional<CentralHeader> parseCentralHeader(std::span<const uint8_t> bytes) {
  const std::optional<BoundedReader> p = recordAt(bytes, kCentralHeaderSize, kCentralHeaderSignature);
  if (!p) return std::nullopt;
  CentralHeader h;
  h.versionMadeBy = p->le16(central_field::kVersionMadeBy);
  h.versionNeeded = p->le16(central_field::kVersionNeeded);
  h.flags = p->le16(central_field::kFlags);
  h.method = p->le16(central_field::kMethod);
  h.time = p->le16(central_field::kTime);
  h.date = p->le16(central_field::kDate);
  h.crc32 = p->le32(central_field::kCrc32);
  h.compressedSize = p->le32(central_field::kCompressedSize);
  h.uncompressedSize = p->le32(central_field::kUncompressedSize);
  h.nameLength = p->le16(central_field::kNameLength);
  h.extraLength = p->le16(central_field::kExtraLength);
  h.commentLength = p->le16(central_field::kCommentLength);
  h.diskNumberStart = p->le16(central_field::kDiskNumberStart);
  h.internalAttributes = p->le16(central_field::kInternalAttributes);
  h.externalAttributes = p->le32(central_field::kExternalAttributes);
  h.localHeaderOffset = p->le32(central_field::kLocalHeaderOffset);
  return h;
}

std::optional<EndRecord> parseEndRecord(std::span<const uint8_t> bytes) {
  const std::optional<BoundedReader> p = recordAt(bytes, kEndRecordSize, kEndRecordSignature);
  if (!p) return std::nullopt;
  EndRecord r;
  r.thisDisk = p->le16(end_field::kThisDisk);
  r.directoryDisk = p->le16(end_field::kDirectoryDisk);
  r.entriesOnDisk = p->le16(end_field::kEntriesOnDisk);
  r.totalEntries = p->le16(end_field::kTotalEntries);
  r.directorySize = p->le32(end_field::kDirectorySize);
  r.directoryOffset = p->le32(end_field::kDirectoryOffset);
  r.commentLength = p->le16(end_field::kCommentLength);
  return r;
}

std::optional<DataDescriptor> parseDataDescriptor(std::span<const uint8_t> bytes) {
  const std::optional<BoundedReader> p = recordAt(bytes, kDescriptorSize, kDescriptorSignature);
  if (!p) return std::nullopt;
  DataDescriptor d;
  d.crc32 = p->le32(descriptor_field::kCrc32);
  d.compressedSize = p->le32(descriptor_field::kCompressedSize);
  d.uncompressedSize = p->le32(descriptor_field::kUncompressedSize);
  return d;
}

std::array<uint8_t, kLocalHeaderSize> encodeLocalHeader(const LocalHeader& h) {
  std::array<uint8_t, kLocalHeaderSize> b{};
  uint8_t* p = b.data();
  storeLe32(p + local_field::kSignature, kLocalHeaderSignature);
  storeLe16(p + local_field::kVersionNeeded, h.versionNeeded);
  storeLe16(p + local_field::kFlags, h.flags);
  storeLe16(p + local_field::kMethod, h.method);
  storeLe16(p + local_field::kTime, h.time);
  storeLe16(p + local_field::kDate, h.date);
  storeLe32(p + local_field::kCrc32, h.crc32);
  storeLe32(p + local_field::kCompressedSize, h.compressedSize);
  storeLe32(p + local_field::kUncompressedSize, h.uncompressedSize);
  storeLe16(p + local_field::kNameLength, h.nameLength);
  storeLe16(p + local_field::kExtraLength, h.extraLength);
  return b;
}

std::array<uint8_t, kCentralHeaderSize> encodeCentralHeader(const CentralHeader& h) {
  std::array<uint8_t, kCentralHeaderSize> b{};
  uint8_t* p = b.data();
  storeLe32(p + central_field::kSignature, kCentralHeaderSignature);
  storeLe16(p + central_field::kVersionMadeBy, h.versionMadeBy);
  storeLe16(p + central_field::kVersionNeeded, h.versionNeeded);
  storeLe16(p + central_field::kFlags, h.flags);
  storeLe16(p + central_field::kMethod, h.method);
  storeLe16(p + central_field::kTime, h.time);
  storeLe16(p + central_field::kDate, h.date);
  storeLe32(p + central_field::kCrc32, h.crc32);
  storeLe32(p + central_field::kCompressedSize, h.compressedSize);
  storeLe32(p + central_field::kUncompressedSize, h.uncompressedSize);
  storeLe16(p + central_field::kNameLength, h.nameLength);
  storeLe16(p + central_field::kExtraLength, h.extraLength);
  storeLe16(p + central_field::kCommentLength, h.commentLength);
  storeLe16(p + central_field::kDiskNumberStart, h.diskNumberStart);
  storeLe16(p + central_field::kInternalAttributes, h.internalAttributes);
  storeLe32(p + central_field::kExternalAttributes, h.externalAttributes);
  storeLe32(p + central_field::kLocalHeaderOffset, h.localHeaderOffset);
  return b;
}

std::array<uint8_t, kEndRecordSize> encodeEndRecord(const EndRecord& r) {
  std::array<uint8_t, kEndRecordSize> b{};
  uint8_t* p = b.data();
  storeLe32(p + end_field::kSignature, kEndRecordSignature);
  storeLe16(p + end_field::kThisDisk, r.thisDisk);
  storeLe16(p + end_field::kDirectoryDisk, r.directoryDisk);
  storeLe16(p + end_field::kEntriesOnDisk, r.entriesOnDisk);
  storeLe16(p + end_field::kTotalEntries, r.totalEntries);
  storeLe32(p + end_field::kDirectorySize, r.directorySize);
  storeLe32(p + end_field::kDirectoryOffset, r.directoryOffset);
  storeLe16(p + end_field::kCommentLength, r.commentLength);
  return b;
}

std::array<uint8_t, kDescriptorSize> encodeDataDescriptor(const DataDescriptor& d) {
  std::array<uint8_t, kDescriptorSize> b{};
  uint8_t* p = b.data();
  storeLe32(p + descriptor_field::kSignature, kDescriptorSignature);
  storeLe32(p + descriptor_field::kCrc32, d.crc32);
  storeLe32(p + descriptor_field::kCompressedSize, d.compressedSize);
  storeLe32(p + descriptor_field::kUncompressedSize, d.uncompressedSize);
  return b;
}

LocalHeader localHeaderFor(const CentralHeader& c, uint16_t localExtraLength) {
  LocalHeader l;
  l.versionNeeded = c.versionNeeded;
  l.flags = c.flags;
  l.method = c.method;
  l.time = c.time;
  l.date = c.date;
  l.crc32 = c.crc32;
  l.compressedSize = c.compressedSize;
  l.uncompressedSize = c.uncompressedSize;
  l.nameLength = c.nameLength;
  l.extraLength = localExtraLength;
  return l;
}

bool sharedFieldsMatch(const CentralHeader& c, const LocalHeader& l) {
  const uint16_t keep = static_cast<uint16_t>(~kFlagsIgnoredOnCompare);
  return c.versionNeeded == l.versionNeeded && (c.flags & keep) == (l.flags & keep) && c.method == l.method &&
         c.time == l.time && c.date == l.date && c.crc32 == l.crc32 && c.compressedSize == l.compressedSize &&
         c.uncompressedSize == l.uncompressedSize && c.nameLength == l.nameLength;
}

CentralHeader newEntryRecord(const NewEntryFacts& f) {
  CentralHeader h;
  h.versionMadeBy = kEngineVersionMadeBy;
  h.versionNeeded = f.deflated ? kVersionNeededDeflated : kVersionNeededStored;
  h.flags = static_cast<uint16_t>((f.encrypted ? kFlagEncrypted : 0) | (f.descriptorFollows ? kFlagDataDescriptor : 0) |
                                  (f.utf8Name ? kFlagUtf8Name : 0));
  h.method = f.deflated ? kMethodDeflated : kMethodStored;
  h.time = static_cast<uint16_t>(f.dosDateTime & 0xFFFF);
  h.date = static_cast<uint16_t>(f.dosDateTime >> 16);
  h.crc32 = f.crc32;
  h.compressedSize = f.compressedSize;
  h.uncompressedSize = f.uncompressedSize;
  h.nameLength = f.nameLength;
  h.extraLength = 0;
  h.commentLength = 0;
  h.diskNumberStart = 0;
  h.internalAttributes = 0;
  h.externalAttributes = f.attributes & kNewEntryAttributeMask;
  h.localHeaderOffset = f.localHeaderOffset;
  return h;
}

}  // namespace vz::engine
