// Resynchronisation of the repair's scan (repair_resync.h).
#include "control/engine/repair/repair_resync.h"

#include <algorithm>
#include <optional>

#include "control/engine/common/notify.h"
#include "control/engine/format/bounded_reader.h"
#include "control/engine/format/entry_name.h"
#include "control/engine/format/zip_records.h"

namespace vz::engine {

namespace {

// Bytes read per step of the forward search.
constexpr size_t kSearchChunk = 8192;

uint32_t signatureAt(File& f, int64_t pos, bool* ok) {
  uint8_t b[kSignatureSize];
  *ok = pos >= 0 && f.readAt(pos, b, sizeof b) == static_cast<int64_t>(sizeof b);
  return *ok ? loadLe32(b) : 0;
}

std::optional<LocalHeader> headerAt(File& f, int64_t pos, int64_t size) {
  uint8_t raw[kLocalHeaderSize];
  if (!rangeFits(pos, kLocalHeaderSize, size)) return std::nullopt;
  if (f.readAt(pos, raw, sizeof raw) != static_cast<int64_t>(sizeof raw)) return std::nullopt;
  std::optional<LocalHeader> h = parseLocalHeader(raw);
  if (!h || h->nameLength == 0) return std::nullopt;
  if (!rangeFits(pos, static_cast<int64_t>(kLocalHeaderSize) + h->nameLength + h->extraLength, size))
    return std::nullopt;
  return h;
}

// The first position at or after from where a plausible local header
// starts; -1 when there is none.
int64_t findHeader(File& f, int64_t from, int64_t size) {
  std::vector<uint8_t> buf(kSearchChunk);
  for (int64_t pos = std::max<int64_t>(from, 0); rangeFits(pos, kSignatureSize, size);) {
    const size_t n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(kSearchChunk), size - pos));
    if (f.readAt(pos, buf.data(), n) != static_cast<int64_t>(n)) return -1;
    for (size_t i = 0; i + kSignatureSize <= n; ++i) {
      const int64_t at = pos + static_cast<int64_t>(i);
      if (buf[i] == 'P' && loadLe32(&buf[i]) == kLocalHeaderSignature && headerAt(f, at, size)) return at;
    }
    if (pos + static_cast<int64_t>(n) >= size) break;
    pos += static_cast<int64_t>(n - (kSignatureSize - 1));
  }
  return -1;
}

bool descriptorAt(File& f, int64_t at, DataDescriptor& d) {
  uint8_t raw[kDescriptorSize];
  if (f.readAt(at, raw, sizeof raw) != static_cast<int64_t>(sizeof raw)) return false;
  const std::optional<DataDescriptor> parsed = parseDataDescriptor(raw);
  if (!parsed) return false;
  d = *parsed;
  return true;
}

// The first descriptor behind dataStart whose compressed size is its
// distance from the data; -1 when there is none.
int64_t findDescriptor(File& f, int64_t dataStart, int64_t size, DataDescriptor& d) {
  std::vector<uint8_t> buf(kSearchChunk);
  for (int64_t pos = dataStart; rangeFits(pos, kDescriptorSize, size);) {
    const size_t n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(kSearchChunk), size - pos));
    if (f.readAt(pos, buf.data(), n) != static_cast<int64_t>(n)) return -1;
    for (size_t i = 0; i + kSignatureSize <= n; ++i) {
      const int64_t at = pos + static_cast<int64_t>(i);
      if (buf[i] == 'P' && loadLe32(&buf[i]) == kDescriptorSignature && descriptorAt(f, at, d) &&
          static_cast<int64_t>(d.compressedSize) == at - dataStart)
        return at;
    }
    if (pos + static_cast<int64_t>(n) >= size) break;
    pos += static_cast<int64_t>(n - (kSignatureSize - 1));
  }
  return -1;
}

// Reads the entry at pos (a plausible header). Null when its descriptor
// cannot be found; *end receives the position behind it.
std::unique_ptr<ArchiveEntry> entryAt(File& f, int64_t pos, int64_t size, int64_t* end) {
  const std::optional<LocalHeader> h = headerAt(f, pos, size);
  if (!h || pos > static_cast<int64_t>(UINT32_MAX)) return nullptr;
  auto e = std::make_unique<ArchiveEntry>();
  e->name.resize(h->nameLength);
  const int64_t nameAt = pos + static_cast<int64_t>(kLocalHeaderSize);
  if (f.readAt(nameAt, e->name.data(), h->nameLength) != h->nameLength) return nullptr;
  if (h->extraLength) {
    e->localExtra = std::make_shared<ExtraBlock>(h->extraLength);
    if (f.readAt(nameAt + h->nameLength, e->localExtra->data(), h->extraLength) != h->extraLength) return nullptr;
  }
  e->versionNeeded = h->versionNeeded;
  e->localFlags = e->flags = h->flags;
  e->method = h->method;
  e->dosDateTime = static_cast<uint32_t>(h->time) | (static_cast<uint32_t>(h->date) << 16);
  e->crc32 = h->crc32;
  e->compressedSize = h->compressedSize;
  e->uncompressedSize = h->uncompressedSize;
  e->nameLength = h->nameLength;
  e->localExtraLength = e->centralExtraLength = h->extraLength;
  e->centralExtra = e->localExtra;
  e->localHeaderOffset = static_cast<uint32_t>(pos);
  e->displayName = entryNameToUtf8(e->name, h->flags);
  const int64_t dataStart = nameAt + h->nameLength + h->extraLength;
  *end = dataStart + h->compressedSize;
  if (h->flags & kFlagDataDescriptor) {
    DataDescriptor d;
    int64_t at = *end;
    if (h->compressedSize != 0) {
      if (!descriptorAt(f, at, d)) return nullptr;
    } else if ((at = findDescriptor(f, dataStart, size, d)) < 0) {
      return nullptr;
    }
    e->crc32 = d.crc32;
    e->compressedSize = d.compressedSize;
    e->uncompressedSize = d.uncompressedSize;
    e->descriptorSize = static_cast<uint32_t>(kDescriptorSize);
    *end = at + static_cast<int64_t>(kDescriptorSize);
  }
  return e;
}

int64_t dataStartOf(const ArchiveEntry& e) {
  return static_cast<int64_t>(e.localHeaderOffset) + static_cast<int64_t>(kLocalHeaderSize) + e.nameLength +
         e.localExtraLength;
}
int64_t endOf(const ArchiveEntry& e) {
  return dataStartOf(e) + static_cast<int64_t>(e.compressedSize) + e.descriptorSize;
}

}  // namespace

ResyncResult resynchronise(File& file, const LoadedCatalogue& cat, Handle window, bool pump) {
  ResyncResult r;
  for (const ArchiveEntry* e = cat.entries.first(); e; e = e->next.get()) r.order.push_back(e);
  const int64_t size = file.size();
  if (size < 0) return r;
  int64_t pos = cat.centralDirectoryStart;  // where the scan stands
  int64_t floor = 0;                        // every search starts behind the previous one
  while (r.order.size() < kMaxCatalogueEntries) {
    bool ok = false;
    const uint32_t sig = signatureAt(file, pos, &ok);
    if (ok && (sig == kCentralHeaderSignature || sig == kEndRecordSignature)) break;
    if (ok && sig == kLocalHeaderSignature) {
      int64_t end = 0;
      if (std::unique_ptr<ArchiveEntry> e = entryAt(file, pos, size, &end)) {
        notify(window, pump, kNotifyRepairing, 1, reinterpret_cast<LParam>(e->displayName.c_str()));
        r.order.push_back(e.get());
        r.found.push_back(std::move(e));
        pos = end;
        continue;
      }
      floor = std::max(floor, pos + 1);  // this header is damaged: search behind it
    }
    // Bytes behind the last entry that are no record: a header further on
    // continues the scan (the last entry stays).
    if (pos < size) {
      const int64_t next = findHeader(file, std::max(floor, pos), size);
      if (next >= 0) {
        floor = next + 1;
        pos = next;
        continue;
      }
    }
    // The last entry claims bytes beyond the end of the file: a header
    // inside its range shows that its size is wrong (it is dropped); with
    // none it was cut off, and the copy fails on it.
    if (!r.order.empty() && endOf(*r.order.back()) > size) {
      const int64_t next = findHeader(file, std::max(floor, dataStartOf(*r.order.back())), size);
      if (next >= 0) {
        r.order.pop_back();
        floor = next + 1;
        pos = next;
        continue;
      }
    }
    break;
  }
  return r;
}

}  // namespace vz::engine
