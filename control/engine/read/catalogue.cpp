// The catalogue loader (rules in catalogue.h).
#include "control/engine/read/catalogue.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <new>

#include "control/engine/read/archive_input.h"
#include "control/engine/common/notify.h"
#include "control/engine/format/bounded_reader.h"
#include "control/engine/format/entry_name.h"
#include "control/engine/format/zip_records.h"
#include "platform/charcase.h"
#include "platform/file.h"
#include "platform/paths.h"

namespace vz::engine {

namespace {

// Bytes scanned per read by the forward signature search; 3 bytes overlap
// between reads so that a signature across two reads is seen.
constexpr size_t kScanChunk = 8192;

// Finds the first position at or after from where a signature starts for
// which accept(position, signature) agrees. accept may move the input.
// -1 when the file ends first or a read fails.
int64_t scanForward(ArchiveInput& in, int64_t from, const std::function<bool(int64_t, uint32_t)>& accept) {
  std::vector<uint8_t> buf(kScanChunk);
  const int64_t size = in.size();
  int64_t pos = from;
  while (rangeFits(pos, kSignatureSize, size)) {
    const size_t n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(kScanChunk), size - pos));
    if (!in.seek(pos) || !in.read(buf.data(), n)) return -1;
    for (size_t i = 0; i + kSignatureSize <= n; ++i) {
      if (buf[i] != 'P' || buf[i + 1] != 'K') continue;
      if (accept(pos + static_cast<int64_t>(i), loadLe32(&buf[i]))) return pos + static_cast<int64_t>(i);
    }
    if (pos + static_cast<int64_t>(n) >= size) break;
    pos += static_cast<int64_t>(n - (kSignatureSize - 1));
  }
  return -1;
}

class Loader {
 public:
  Loader(const std::string& path, const CatalogueOptions& options, LoadedCatalogue& out)
      : path_(path), options_(options), out_(out) {}

  CatalogueStatus run() {
    if (path_.empty()) return CatalogueStatus::Ok;
    const std::string native = toNativePath(path_);
    // A folder or device cannot be opened as an archive (and a FIFO would
    // block): treated as a file that cannot be opened.
    if (!fileExists(native) || !isRegularFile(native)) return CatalogueStatus::Ok;
    if (!in_.open(native) || in_.size() == 0) return CatalogueStatus::Ok;

    const int64_t first = scanForward(
        in_, 0, [](int64_t, uint32_t sig) { return sig == kLocalHeaderSignature || sig == kEndRecordSignature; });
    if (first < 0) return CatalogueStatus::NotArchive;
    out_.prefixCount = first;
    if (!in_.seek(first) || !readSignature(signature_)) return CatalogueStatus::NotArchive;

    if (const CatalogueStatus s = localPass(); s != CatalogueStatus::Ok) return s;
    if (options_.rebuild) {
      finishRebuild();
    } else if (const CatalogueStatus s = centralPass(); s != CatalogueStatus::Ok) {
      return s;
    }
    out_.rebuildIndex();
    return CatalogueStatus::Ok;
  }

 private:
  bool readSignature(uint32_t& sig) {
    uint8_t b[kSignatureSize];
    if (!in_.read(b, sizeof b)) return false;
    sig = loadLe32(b);
    return true;
  }

  bool readBytes(std::string& out, size_t n) {
    out.resize(n);
    return in_.read(out.data(), n);
  }

  std::shared_ptr<ExtraBlock> readExtra(size_t n, bool& ok) {
    ok = true;
    if (n == 0) return nullptr;
    auto block = std::make_shared<ExtraBlock>(n);
    ok = in_.read(block->data(), n);
    return block;
  }

  // Step 3 and 4 for one local header whose signature was read at pos.
  // Returns Ok with the entry appended and the input at the next signature,
  // NotArchive for a damaged entry, or kStop (rebuild mode: end the scan).
  // kStop is no result of the loader: the local pass ends on it.
  static constexpr CatalogueStatus kStop = static_cast<CatalogueStatus>(-1);
  CatalogueStatus readLocalEntry(int64_t pos) {
    const CatalogueStatus fail = options_.rebuild ? kStop : CatalogueStatus::NotArchive;
    if (pos > static_cast<int64_t>(UINT32_MAX)) return fail;
    uint8_t raw[kLocalHeaderSize];
    storeLe32(raw, kLocalHeaderSignature);
    if (!in_.read(raw + kSignatureSize, kLocalHeaderSize - kSignatureSize)) return fail;
    const LocalHeader h = *parseLocalHeader(raw);
    if (h.nameLength == 0) return CatalogueStatus::NotArchive;

    auto e = std::make_unique<ArchiveEntry>();
    if (!readBytes(e->name, h.nameLength)) return fail;
    bool ok = true;
    e->localExtra = readExtra(h.extraLength, ok);
    if (!ok) return fail;
    e->versionNeeded = h.versionNeeded;
    e->localFlags = h.flags;
    e->flags = h.flags;
    e->method = h.method;
    e->dosDateTime = static_cast<uint32_t>(h.time) | (static_cast<uint32_t>(h.date) << 16);
    e->crc32 = h.crc32;
    e->compressedSize = h.compressedSize;
    e->uncompressedSize = h.uncompressedSize;
    e->nameLength = h.nameLength;
    e->localExtraLength = h.extraLength;
    e->localHeaderOffset = static_cast<uint32_t>(pos);
    e->displayName = entryNameToUtf8(e->name, h.flags);

    const int64_t dataStart = in_.tell();
    int64_t next = dataStart + h.compressedSize;
    if (h.flags & kFlagDataDescriptor) {
      DataDescriptor d;
      int64_t at = next;
      if (h.compressedSize != 0) {
        if (!readDescriptorAt(at, d)) return fail;
      } else {
        // The size is not known: the descriptor is the first one whose
        // compressed size is its distance from the data.
        at = scanForward(in_, dataStart, [&](int64_t p, uint32_t sig) {
          return sig == kDescriptorSignature && readDescriptorAt(p, d) &&
                 static_cast<int64_t>(d.compressedSize) == p - dataStart;
        });
        if (at < 0) return fail;
      }
      e->crc32 = d.crc32;
      e->compressedSize = d.compressedSize;
      e->uncompressedSize = d.uncompressedSize;
      e->descriptorSize = static_cast<uint32_t>(kDescriptorSize);
      next = at + static_cast<int64_t>(kDescriptorSize);
    }

    ArchiveEntry* added = out_.entries.append(std::move(e));
    if (options_.rebuild)
      notify(options_.notifyWindow, options_.pump, kNotifyRepairing, 1,
             reinterpret_cast<LParam>(added->displayName.c_str()));

    endOfEntries_ = next;
    if (!in_.seek(next) || !readSignature(signature_)) {
      signature_ = 0;  // nothing readable follows: the local pass ends
      return options_.rebuild ? kStop : CatalogueStatus::Ok;
    }
    if (signature_ == kDescriptorSignature && !(added->localFlags & kFlagDataDescriptor)) {
      // A descriptor the flags do not announce: harmless when it only
      // repeats the entry's values.
      DataDescriptor d;
      if (readDescriptorAt(next, d) && d.crc32 == added->crc32 && d.compressedSize == added->compressedSize &&
          d.uncompressedSize == added->uncompressedSize) {
        added->descriptorSize = static_cast<uint32_t>(kDescriptorSize);
        next += static_cast<int64_t>(kDescriptorSize);
        endOfEntries_ = next;
        if (!in_.seek(next) || !readSignature(signature_)) {
          signature_ = 0;
          return options_.rebuild ? kStop : CatalogueStatus::Ok;
        }
      } else if (!in_.seek(next + static_cast<int64_t>(kSignatureSize))) {
        return fail;  // left behind the signature: the central pass refuses it
      }
    }
    return CatalogueStatus::Ok;
  }

  bool readDescriptorAt(int64_t at, DataDescriptor& d) {
    uint8_t raw[kDescriptorSize];
    if (!in_.seek(at) || !in_.read(raw, sizeof raw)) return false;
    const auto parsed = parseDataDescriptor(raw);
    if (!parsed) return false;
    d = *parsed;
    return true;
  }

  CatalogueStatus localPass() {
    endOfEntries_ = out_.prefixCount;
    while (signature_ == kLocalHeaderSignature) {
      if (out_.entries.count() >= kMaxCatalogueEntries) {
        if (options_.rebuild) break;
        return CatalogueStatus::NotArchive;
      }
      const CatalogueStatus s = readLocalEntry(in_.tell() - static_cast<int64_t>(kSignatureSize));
      if (s == kStop) break;
      if (s != CatalogueStatus::Ok) return s;
    }
    return CatalogueStatus::Ok;
  }

  CatalogueStatus centralPass() {
    const int64_t start = in_.tell() - static_cast<int64_t>(kSignatureSize);
    out_.centralDirectoryStart = start;
    for (ArchiveEntry* e = out_.entries.first(); e; e = e->next.get()) {
      if (signature_ != kCentralHeaderSignature) return CatalogueStatus::NotArchive;
      uint8_t raw[kCentralHeaderSize];
      storeLe32(raw, kCentralHeaderSignature);
      if (!in_.read(raw + kSignatureSize, kCentralHeaderSize - kSignatureSize)) return CatalogueStatus::NotArchive;
      const CentralHeader c = *parseCentralHeader(raw);
      if (!sharedFieldsMatch(c, e->localHeader())) return CatalogueStatus::NotArchive;
      if (c.localHeaderOffset != e->localHeaderOffset) return CatalogueStatus::NotArchive;
      std::string name;
      if (!readBytes(name, c.nameLength) || name != e->name) return CatalogueStatus::NotArchive;
      bool ok = true;
      std::shared_ptr<ExtraBlock> extra = readExtra(c.extraLength, ok);
      if (!ok) return CatalogueStatus::NotArchive;
      if (extra && e->localExtra && *extra == *e->localExtra) extra = e->localExtra;
      if (!readBytes(e->comment, c.commentLength)) return CatalogueStatus::NotArchive;
      e->versionMadeBy = c.versionMadeBy;
      e->flags = c.flags;
      e->commentLength = c.commentLength;
      e->diskNumberStart = c.diskNumberStart;
      e->internalAttributes = c.internalAttributes;
      e->externalAttributes = c.externalAttributes;
      e->centralExtra = std::move(extra);
      e->centralExtraLength = c.extraLength;
      if (!readSignature(signature_)) return CatalogueStatus::NotArchive;
    }
    if (signature_ != kEndRecordSignature) return CatalogueStatus::NotArchive;
    uint8_t raw[kEndRecordSize];
    storeLe32(raw, kEndRecordSignature);
    if (!in_.read(raw + kSignatureSize, kEndRecordSize - kSignatureSize)) return CatalogueStatus::NotArchive;
    const EndRecord r = *parseEndRecord(raw);
    if (r.entriesOnDisk != out_.entries.count()) return CatalogueStatus::NotArchive;
    if (static_cast<int64_t>(r.directoryOffset) != start) return CatalogueStatus::NotArchive;
    if (!readBytes(out_.comment, r.commentLength)) return CatalogueStatus::NotArchive;
    return CatalogueStatus::Ok;
  }

  void finishRebuild() {
    for (ArchiveEntry* e = out_.entries.first(); e; e = e->next.get()) {
      e->flags = e->localFlags;
      e->centralExtra = e->localExtra;
      e->centralExtraLength = e->localExtraLength;
    }
    out_.centralDirectoryStart = endOfEntries_;
    notify(options_.notifyWindow, options_.pump, kNotifyCatalogueCount, out_.entries.count(), 0);
    notify(options_.notifyWindow, options_.pump, kNotifyRepairing, 2, reinterpret_cast<LParam>(path_.c_str()));
  }

  const std::string& path_;          // the archive path as given
  const CatalogueOptions& options_;  // mode and notification target
  LoadedCatalogue& out_;             // the result being built
  ArchiveInput in_;                  // buffered input over the archive
  uint32_t signature_ = 0;           // the signature last read (the input is behind it)
  int64_t endOfEntries_ = 0;         // position behind the last entry scanned
};

}  // namespace

ArchiveEntry* LoadedCatalogue::findByName(std::string_view name) const {
  auto it = std::lower_bound(byName.begin(), byName.end(), name,
                             [](const ArchiveEntry* e, std::string_view n) { return compareNoCase(e->name, n) < 0; });
  if (it == byName.end() || compareNoCase((*it)->name, name) != 0) return nullptr;
  return *it;
}

void LoadedCatalogue::rebuildIndex() {
  byName.clear();
  byName.reserve(entries.count());
  for (ArchiveEntry* e = entries.first(); e; e = e->next.get()) byName.push_back(e);
  sortEntriesByName(byName);
}

void LoadedCatalogue::clear() {
  byName.clear();
  entries.clear();
  prefixCount = 0;
  centralDirectoryStart = 0;
  comment.clear();
}

void sortEntriesByName(std::vector<ArchiveEntry*>& v) {
  const size_t n = v.size();
  size_t gap = 1;
  while (gap * 3 + 1 < n) gap = gap * 3 + 1;
  for (; gap > 0; gap /= 3) {
    for (size_t i = gap; i < n; ++i) {
      ArchiveEntry* moving = v[i];
      size_t j = i;
      while (j >= gap && compareNoCase(v[j - gap]->name, moving->name) > 0) {
        v[j] = v[j - gap];
        j -= gap;
      }
      v[j] = moving;
    }
  }
}

CatalogueStatus loadCatalogue(const std::string& path, const CatalogueOptions& options, LoadedCatalogue& out) {
  out.clear();
  CatalogueStatus status;
  try {
    status = Loader(path, options, out).run();
  } catch (const std::bad_alloc&) {
    status = CatalogueStatus::NoMemory;
  }
  if (status != CatalogueStatus::Ok) out.clear();
  return status;
}

}  // namespace vz::engine
