// Conversion of the ZIP records between bytes and structures (layouts in
// zip_records.h).
#include "control/engine/format/zip_records.h"

namespace vz::engine {

namespace {

bool hasRecord(std::span<const uint8_t> bytes, size_t size, uint32_t signature) {
  return bytes.size() >= size && signatureAt(bytes.data()) == signature;
}

}  // namespace

std::optional<LocalHeader> parseLocalHeader(std::span<const uint8_t> bytes) {
  if (!hasRecord(bytes, kLocalHeaderSize, kLocalHeaderSignature)) return std::nullopt;
  const uint8_t* p = bytes.data();
  LocalHeader h;
  h.versionNeeded = loadLe16(p + local_field::kVersionNeeded);
  h.flags = loadLe16(p + local_field::kFlags);
  h.method = loadLe16(p + local_field::kMethod);
  h.time = loadLe16(p + local_field::kTime);
  h.date = loadLe16(p + local_field::kDate);
  h.crc32 = loadLe32(p + local_field::kCrc32);
  h.compressedSize = loadLe32(p + local_field::kCompressedSize);
  h.uncompressedSize = loadLe32(p + local_field::kUncompressedSize);
  h.nameLength = loadLe16(p + local_field::kNameLength);
  h.extraLength = loadLe16(p + local_field::kExtraLength);
  return h;
}

std::optional<CentralHeader> parseCentralHeader(std::span<const uint8_t> bytes) {
  if (!hasRecord(bytes, kCentralHeaderSize, kCentralHeaderSignature)) return std::nullopt;
  const uint8_t* p = bytes.data();
  CentralHeader h;
  h.versionMadeBy = loadLe16(p + central_field::kVersionMadeBy);
  h.versionNeeded = loadLe16(p + central_field::kVersionNeeded);
  h.flags = loadLe16(p + central_field::kFlags);
  h.method = loadLe16(p + central_field::kMethod);
  h.time = loadLe16(p + central_field::kTime);
  h.date = loadLe16(p + central_field::kDate);
  h.crc32 = loadLe32(p + central_field::kCrc32);
  h.compressedSize = loadLe32(p + central_field::kCompressedSize);
  h.uncompressedSize = loadLe32(p + central_field::kUncompressedSize);
  h.nameLength = loadLe16(p + central_field::kNameLength);
  h.extraLength = loadLe16(p + central_field::kExtraLength);
  h.commentLength = loadLe16(p + central_field::kCommentLength);
  h.diskNumberStart = loadLe16(p + central_field::kDiskNumberStart);
  h.internalAttributes = loadLe16(p + central_field::kInternalAttributes);
  h.externalAttributes = loadLe32(p + central_field::kExternalAttributes);
  h.localHeaderOffset = loadLe32(p + central_field::kLocalHeaderOffset);
  return h;
}

std::optional<EndRecord> parseEndRecord(std::span<const uint8_t> bytes) {
  if (!hasRecord(bytes, kEndRecordSize, kEndRecordSignature)) return std::nullopt;
  const uint8_t* p = bytes.data();
  EndRecord r;
  r.thisDisk = loadLe16(p + end_field::kThisDisk);
  r.directoryDisk = loadLe16(p + end_field::kDirectoryDisk);
  r.entriesOnDisk = loadLe16(p + end_field::kEntriesOnDisk);
  r.totalEntries = loadLe16(p + end_field::kTotalEntries);
  r.directorySize = loadLe32(p + end_field::kDirectorySize);
  r.directoryOffset = loadLe32(p + end_field::kDirectoryOffset);
  r.commentLength = loadLe16(p + end_field::kCommentLength);
  return r;
}

std::optional<DataDescriptor> parseDataDescriptor(std::span<const uint8_t> bytes) {
  if (!hasRecord(bytes, kDescriptorSize, kDescriptorSignature)) return std::nullopt;
  const uint8_t* p = bytes.data();
  DataDescriptor d;
  d.crc32 = loadLe32(p + descriptor_field::kCrc32);
  d.compressedSize = loadLe32(p + descriptor_field::kCompressedSize);
  d.uncompressedSize = loadLe32(p + descriptor_field::kUncompressedSize);
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
