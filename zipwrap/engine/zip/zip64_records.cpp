// Zip64 fields and end records of the writer (see zip64_records.h).
#include "zipwrap/engine/zip/zip64_records.h"

#include <memory>

#include "control/engine/format/zip_records.h"
#include "zipwrap/engine/zip/zip_entry_write.h"

namespace vz::zipwrap {

uint64_t loadLe64(const uint8_t* p) {
  return static_cast<uint64_t>(engine::loadLe32(p)) | (static_cast<uint64_t>(engine::loadLe32(p + 4)) << 32);
}

void storeLe64(uint8_t* p, uint64_t v) {
  engine::storeLe32(p, static_cast<uint32_t>(v));
  engine::storeLe32(p + 4, static_cast<uint32_t>(v >> 32));
}

namespace {

// Calls visit(tag, data, size) for every record of an extra block; a record
// whose size runs past the block ends the walk.
template <typename Visit>
void walkExtra(std::span<const uint8_t> extra, Visit visit) {
  size_t at = 0;
  while (at + 4 <= extra.size()) {
    const uint16_t tag = engine::loadLe16(extra.data() + at);
    const uint16_t size = engine::loadLe16(extra.data() + at + 2);
    if (at + 4 + size > extra.size()) return;
    visit(tag, extra.data() + at + 4, size, at);
    at += 4 + size;
  }
}

std::vector<uint8_t> zip64Field(const std::vector<uint64_t>& values) {
  std::vector<uint8_t> x(4 + 8 * values.size());
  engine::storeLe16(x.data(), kZip64ExtraTag);
  engine::storeLe16(x.data() + 2, static_cast<uint16_t>(8 * values.size()));
  for (size_t i = 0; i < values.size(); ++i) storeLe64(x.data() + 4 + 8 * i, values[i]);
  return x;
}

bool write(engine::ArchiveBuilder& b, const void* data, size_t size) { return size == 0 || b.write(data, size); }

}  // namespace

std::vector<uint8_t> localZip64Extra(uint64_t rawSize, uint64_t dataSize) { return zip64Field({rawSize, dataSize}); }

bool hasZip64Extra(std::span<const uint8_t> extra) {
  bool found = false;
  walkExtra(extra, [&](uint16_t tag, const uint8_t*, uint16_t, size_t) { found = found || tag == kZip64ExtraTag; });
  return found;
}

std::vector<uint8_t> withoutZip64(std::span<const uint8_t> extra) {
  std::vector<uint8_t> out;
  size_t end = 0;
  walkExtra(extra, [&](uint16_t tag, const uint8_t*, uint16_t size, size_t at) {
    if (tag != kZip64ExtraTag) out.insert(out.end(), extra.begin() + at, extra.begin() + at + 4 + size);
    end = at + 4 + size;
  });
  // Bytes after the last whole record (padding some writers leave) stay.
  out.insert(out.end(), extra.begin() + end, extra.end());
  return out;
}

bool readZip64Extra(std::span<const uint8_t> extra, bool rawMarked, bool dataMarked, bool offsetMarked,
                    WideFacts& facts) {
  bool ok = !rawMarked && !dataMarked && !offsetMarked;
  walkExtra(extra, [&](uint16_t tag, const uint8_t* data, uint16_t size, size_t) {
    if (tag != kZip64ExtraTag || ok) return;
    size_t at = 0;
    auto take = [&](bool marked, uint64_t& value) {
      if (!marked) return true;
      if (at + 8 > size) return false;
      value = loadLe64(data + at);
      at += 8;
      return true;
    };
    WideFacts f = facts;
    if (take(rawMarked, f.rawSize) && take(dataMarked, f.dataSize) && take(offsetMarked, f.localOffset)) {
      facts = f;
      ok = true;
    }
  });
  return ok;
}

void setCentralFacts(engine::CentralRecord& r, const WideFacts& f, bool keepRaw, bool keepData, bool keepOffset) {
  const bool rawWide = keepRaw || needsZip64(f.rawSize);
  const bool dataWide = keepData || needsZip64(f.dataSize);
  const bool offsetWide = keepOffset || needsZip64(f.localOffset);
  r.header.uncompressedSize = rawWide ? kMarker32 : static_cast<uint32_t>(f.rawSize);
  r.header.compressedSize = dataWide ? kMarker32 : static_cast<uint32_t>(f.dataSize);
  r.header.localHeaderOffset = offsetWide ? kMarker32 : static_cast<uint32_t>(f.localOffset);
  const std::span<const uint8_t> old = r.extra ? std::span<const uint8_t>(*r.extra) : std::span<const uint8_t>();
  if (!rawWide && !dataWide && !offsetWide && !hasZip64Extra(old)) return;
  std::vector<uint64_t> values;
  if (rawWide) values.push_back(f.rawSize);
  if (dataWide) values.push_back(f.dataSize);
  if (offsetWide) values.push_back(f.localOffset);
  std::vector<uint8_t> extra = withoutZip64(old);
  if (!values.empty()) {
    const std::vector<uint8_t> field = zip64Field(values);
    extra.insert(extra.end(), field.begin(), field.end());
    if ((r.header.versionNeeded & 0xFF) < kVersionNeededZip64)
      r.header.versionNeeded = static_cast<uint16_t>((r.header.versionNeeded & 0xFF00) | kVersionNeededZip64);
  }
  r.extra = extra.empty() ? nullptr : std::make_shared<const engine::ExtraBlock>(std::move(extra));
  r.header.extraLength = static_cast<uint16_t>(r.extra ? r.extra->size() : 0);
}

bool parseZip64End(const uint8_t* p, Zip64End& out) {
  if (engine::loadLe32(p) != kZip64EndSignature) return false;
  out.thisDisk = engine::loadLe32(p + 16);
  out.directoryDisk = engine::loadLe32(p + 20);
  out.entries = loadLe64(p + 32);
  out.directorySize = loadLe64(p + 40);
  out.directoryOffset = loadLe64(p + 48);
  return true;
}

bool finishArchive(engine::ArchiveBuilder& b, std::string_view archiveComment, bool forceZip64, bool* wroteZip64) {
  *wroteZip64 = false;
  const int64_t start = b.position();
  if (start < 0 || archiveComment.size() > engine::kMaxCommentLength) return false;
  for (const engine::CentralRecord& r : b.records()) {
    engine::CentralHeader h = r.header;
    h.nameLength = static_cast<uint16_t>(r.name.size());
    h.extraLength = static_cast<uint16_t>(r.extra ? r.extra->size() : 0);
    h.commentLength = static_cast<uint16_t>(r.comment.size());
    const auto bytes = engine::encodeCentralHeader(h);
    if (!write(b, bytes.data(), bytes.size()) || !write(b, r.name.data(), r.name.size())) return false;
    if (r.extra && !write(b, r.extra->data(), r.extra->size())) return false;
    if (!write(b, r.comment.data(), r.comment.size())) return false;
  }
  const int64_t end = b.position();
  if (end < start) return false;
  const uint64_t count = b.records().size();
  const uint64_t size = static_cast<uint64_t>(end - start);
  const uint64_t offset = static_cast<uint64_t>(start);
  const bool zip64 = forceZip64 || count >= kMarker16 || needsZip64(size) || needsZip64(offset);
  if (zip64) {
    uint8_t rec[kZip64EndSize] = {};
    engine::storeLe32(rec, kZip64EndSignature);
    storeLe64(rec + 4, kZip64EndSize - 12);
    engine::storeLe16(rec + 12, kWriterVersionMadeBy);
    engine::storeLe16(rec + 14, kVersionNeededZip64);
    storeLe64(rec + 24, count);
    storeLe64(rec + 32, count);
    storeLe64(rec + 40, size);
    storeLe64(rec + 48, offset);
    uint8_t loc[kZip64LocatorSize] = {};
    engine::storeLe32(loc, kZip64LocatorSignature);
    storeLe64(loc + 8, static_cast<uint64_t>(end));
    engine::storeLe32(loc + 16, 1);
    if (!write(b, rec, sizeof rec) || !write(b, loc, sizeof loc)) return false;
    *wroteZip64 = true;
  }
  engine::EndRecord e;
  e.entriesOnDisk = e.totalEntries = count >= kMarker16 ? kMarker16 : static_cast<uint16_t>(count);
  e.directorySize = needsZip64(size) ? kMarker32 : static_cast<uint32_t>(size);
  e.directoryOffset = needsZip64(offset) ? kMarker32 : static_cast<uint32_t>(offset);
  e.commentLength = static_cast<uint16_t>(archiveComment.size());
  const auto bytes = engine::encodeEndRecord(e);
  if (!write(b, bytes.data(), bytes.size()) || !write(b, archiveComment.data(), archiveComment.size())) return false;
  // On the medium before it takes the archive's name (as the engine's own
  // builder does), so a crash after the rename finds no missing data.
  if (!b.file().sync()) return false;
  b.file().close();
  return true;
}

}  // namespace vz::zipwrap
