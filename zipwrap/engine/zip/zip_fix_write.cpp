// Writing the archive the thorough fix recovered (zip_fix_write.h).
#include "zipwrap/engine/zip/zip_fix_write.h"

#include <cerrno>
#include <new>

#include "control/engine/format/entry_name.h"
#include "control/engine/format/zip_records.h"
#include "control/engine/write/zip_writer.h"

namespace vz::zipwrap {

using namespace vz::engine;

namespace {

// The result of a failed write into the temporary file.
uint16_t writeFailure() { return (errno == ENOSPC || errno == EDQUOT) ? kResultDiskFull : kResultCannotWrite; }

uint16_t placeFailure(PlaceStatus s) {
  switch (s) {
    case PlaceStatus::DiskFull:
      return kResultDiskFull;
    case PlaceStatus::WriteProtected:
      return kResultCannotAccess;
    default:
      return kResultCannotAccess;
  }
}

// The local header, name, extra field, data and descriptor of one entry.
bool writeEntry(ArchiveBuilder& builder, const File& damaged, const FixedEntry& e) {
  LocalHeader h;
  h.versionNeeded = e.central.versionNeeded;
  h.flags = e.central.flags;
  h.method = e.central.method;
  h.time = e.central.time;
  h.date = e.central.date;
  h.crc32 = e.central.crc32;
  h.compressedSize = e.central.compressedSize;
  h.uncompressedSize = e.central.uncompressedSize;
  h.nameLength = static_cast<uint16_t>(e.name.size());
  h.extraLength = static_cast<uint16_t>(e.localExtra.size());
  const auto header = encodeLocalHeader(h);
  if (!builder.write(header.data(), header.size()) || !builder.write(e.name.data(), e.name.size())) return false;
  if (!e.localExtra.empty() && !builder.write(e.localExtra.data(), e.localExtra.size())) return false;
  // copyBytes reads through a non-const File; the damaged file is only read.
  if (builder.copyBytes(const_cast<File&>(damaged), e.dataAt, e.central.compressedSize) != BuildStatus::Ok)
    return false;
  if (e.central.flags & kFlagDataDescriptor) {
    const auto d = encodeDataDescriptor({e.central.crc32, e.central.compressedSize, e.central.uncompressedSize});
    if (!builder.write(d.data(), d.size())) return false;
  }
  return true;
}

}  // namespace

OpResult writeFixedArchive(const File& damaged, const FixScan& scan, const ArchiveTarget& target, EngineHost& host) {
  try {
    if (checkWritable(target) != PlaceStatus::Ok) return {kResultCannotAccess, 0};
    ArchiveBuilder builder;
    if (builder.create() != BuildStatus::Ok) return {writeFailure(), 0};
    if (builder.copyBytes(const_cast<File&>(damaged), 0, scan.preamble) != BuildStatus::Ok) return {writeFailure(), 0};
    for (const FixedEntry& e : scan.entries) {
      if (!host.nameEvent(kCbFixing, entryNameToUtf8(e.name, e.central.flags))) return {kResultAborted, 0};
      const int64_t at = builder.position();
      if (at < 0 || at > kMaxRecordOffset) return {kResultCannotWrite, 0};
      if (!writeEntry(builder, damaged, e)) return {writeFailure(), 0};
      CentralRecord r;
      r.header = e.central;
      r.header.localHeaderOffset = static_cast<uint32_t>(at);
      r.name = e.name;
      if (!e.centralExtra.empty()) r.extra = std::make_shared<ExtraBlock>(e.centralExtra);
      r.comment = e.comment;
      builder.addRecord(std::move(r));
    }
    if (builder.finish(scan.comment) != BuildStatus::Ok) return {writeFailure(), 0};
    if (const PlaceStatus placed = putInPlace(builder.path(), target); placed != PlaceStatus::Ok)
      return {placeFailure(placed), 0};
    builder.release();
    return {kResultOk, 0};
  } catch (const std::bad_alloc&) {
    return {kResultOutOfMemory, 0};
  }
}

}  // namespace vz::zipwrap
