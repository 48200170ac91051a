// The reader's archive view (layout and rules in reader_archive.h).
#include "zipwrap/engine/unzip/reader_archive.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "control/engine/format/bounded_reader.h"
#include "control/engine/format/crc32.h"
#include "control/engine/format/entry_name.h"
#include "zipwrap/engine/engine_results.h"
#include "zipwrap/engine/unzip/reader_parts.h"

namespace vz::zipwrap {

using engine::loadLe16;
using engine::loadLe32;
using engine::rangeFits;

namespace {

constexpr uint32_t kZip64EndSignature = 0x06064B50;      // "PK" 06 06
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;  // "PK" 06 07
constexpr size_t kZip64EndSize = 56;
constexpr size_t kZip64LocatorSize = 20;
constexpr uint32_t kSaturated32 = 0xFFFFFFFF;
constexpr uint16_t kSaturated16 = 0xFFFF;
constexpr uint32_t kDosFolderBit = 0x10;

uint64_t loadLe64(const uint8_t* p) { return loadLe32(p) | (static_cast<uint64_t>(loadLe32(p + 4)) << 32); }

// The stored name as text: the Unicode-path block when its CRC names these
// very bytes, else the bytes up to a NUL through the bit-11 rule; "\" is a
// separator like "/".
std::string entryName(std::string_view raw, uint16_t flags, std::span<const uint8_t> extra) {
  std::string name;
  const auto unicode = findExtra(extra, kExtraUnicodePath);
  if (unicode.size() > 5 && unicode[0] == 1 &&
      loadLe32(unicode.data() + 1) == engine::crc32Update(0, raw.data(), raw.size())) {
    name.assign(reinterpret_cast<const char*>(unicode.data() + 5), unicode.size() - 5);
  } else {
    name = engine::entryNameToUtf8(raw, flags);
  }
  const size_t nul = name.find('\0');
  if (nul != std::string::npos) name.resize(nul);
  std::replace(name.begin(), name.end(), '\\', '/');
  return name;
}

}  // namespace

int32_t ReaderEntry::unixMode() const {
  const uint32_t mode = header.externalAttributes >> 16;
  if (hostSystem() != kHostUnix || mode == 0) return -1;
  return static_cast<int32_t>(mode);
}

bool ReaderEntry::isSymlink() const {
  const int32_t mode = unixMode();
  return mode >= 0 && (mode & S_IFMT) == S_IFLNK;
}

bool ReaderEntry::isFolder() const {
  if (!name.empty() && name.back() == '/') return true;
  const int32_t mode = unixMode();
  if (mode >= 0 && (mode & S_IFMT) != 0) return (mode & S_IFMT) == S_IFDIR;
  return (header.externalAttributes & kDosFolderBit) != 0;
}

std::span<const uint8_t> findExtra(std::span<const uint8_t> extra, uint16_t id) {
  size_t at = 0;
  while (extra.size() - at >= 4) {
    const uint16_t tag = loadLe16(extra.data() + at);
    const size_t len = loadLe16(extra.data() + at + 2);
    if (len > extra.size() - at - 4) break;
    if (tag == id) return extra.subspan(at + 4, len);
    at += 4 + len;
  }
  return {};
}

// Extended timestamp: flags (bit 0 mtime, bit 1 atime, bit 2 ctime), then
// the signed 32-bit times present, in that order (the central copy carries
// the modification time alone).
ExtraTimes readExtraTimes(std::span<const uint8_t> extra) {
  ExtraTimes t;
  const auto block = findExtra(extra, kExtraTimestamp);
  if (block.empty()) return t;
  const uint8_t flags = block[0];
  size_t at = 1;
  if ((flags & 1) && block.size() >= at + 4) {
    t.hasMtime = true;
    t.mtime = static_cast<int32_t>(loadLe32(block.data() + at));
    at += 4;
  }
  if ((flags & 2) && block.size() >= at + 4) {
    t.hasAtime = true;
    t.atime = static_cast<int32_t>(loadLe32(block.data() + at));
  }
  return t;
}

ReaderArchive::~ReaderArchive() { unmap(); }

void ReaderArchive::unmap() {
  if (data_ != nullptr) ::munmap(const_cast<uint8_t*>(data_), size_);
  data_ = nullptr;
  size_ = 0;
  diskStarts_.clear();
}

uint16_t ReaderArchive::mapFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? kResultArchiveNotFound : kResultCannotAccess;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return kResultCannotAccess;
  }
  size_ = static_cast<size_t>(st.st_size);
  if (size_ < engine::kEndRecordSize) {
    ::close(fd);
    size_ = 0;
    return kResultNotAnArchive;
  }
  void* map = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
  ::close(fd);
  if (map == MAP_FAILED) {
    size_ = 0;
    return kResultCannotAccess;
  }
  data_ = static_cast<const uint8_t*>(map);
  ::madvise(map, size_, MADV_WILLNEED);
  return kResultOk;
}

namespace {

// The name an entry without one is given: the archive's file name without
// its folder, a part number and its extension ("photos.zip.002": "photos").
std::string nameFromArchive(const std::string& path) {
  std::string name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
  if (isNumberedPart(name)) name.erase(name.rfind('.'));
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name.empty() ? "unnamed" : name;
}

}  // namespace

uint16_t ReaderArchive::open(const std::string& named, bool multiDisk) {
  // An earlier part of a split set opens the set through its last part.
  const std::string redirected = multiDisk ? std::string() : lastPartOf(named);
  const std::string& path = redirected.empty() ? named : redirected;
  unmap();
  entries_.clear();
  prefix_ = 0;
  fallbackName_ = nameFromArchive(path);
  auto mapSet = [&](const std::vector<std::string>& parts) -> uint16_t {
    MappedParts mapped;
    if (uint16_t r = mapParts(parts, mapped); r != kResultOk) return r;
    unmap();
    data_ = mapped.data;
    size_ = mapped.size;
    diskStarts_ = std::move(mapped.starts);
    return kResultOk;
  };
  // Numbered parts are always read as their whole set.
  if (!multiDisk && isNumberedPart(path)) {
    const std::vector<std::string> parts = findSetParts(path, 0);
    if (!parts.empty()) {
      if (uint16_t r = mapSet(parts); r != kResultOk) return r;
    }
  }
  if (data_ == nullptr) {
    if (uint16_t r = mapFile(path); r != kResultOk) return r;
  }
  try {
    DirectorySpot spot;
    uint16_t r = readEndRecords(multiDisk, spot);
    // The last part of a split set: its earlier parts, beside it.
    if (r == kResultSpannedNotInMode && diskStarts_.empty()) {
      const std::vector<std::string> parts = findSetParts(path, spot.lastDisk);
      if (parts.empty()) return kResultSpannedNotInMode;
      if (r = mapSet(parts); r != kResultOk) return r;
      r = readEndRecords(multiDisk, spot);
    }
    if (r != kResultOk) return r;
    return readDirectory(spot);
  } catch (const std::bad_alloc&) {
    return kResultOutOfMemory;
  }
}

int64_t ReaderArchive::positionOf(uint32_t disk, uint64_t offset) const {
  if (offset > static_cast<uint64_t>(INT64_MAX / 2)) return -1;
  int64_t pos;
  if (diskStarts_.empty()) {
    pos = static_cast<int64_t>(offset) + prefix_;
  } else {
    if (disk >= diskStarts_.size()) return -1;
    pos = static_cast<int64_t>(diskStarts_[disk] + offset);
  }
  return pos >= 0 && pos <= static_cast<int64_t>(size_) ? pos : -1;
}

uint16_t ReaderArchive::readEndRecords(bool multiDisk, DirectorySpot& spot) {
  // The end record nearest the end of the file whose comment fits in it.
  const size_t lowest = size_ > engine::kEndRecordSearchWindow ? size_ - engine::kEndRecordSearchWindow : 0;
  int64_t pos = -1;
  for (size_t p = size_ - engine::kEndRecordSize + 1; p-- > lowest;) {
    if (data_[p] == 'P' && loadLe32(data_ + p) == engine::kEndRecordSignature &&
        loadLe16(data_ + p + engine::end_field::kCommentLength) <= size_ - p - engine::kEndRecordSize) {
      pos = static_cast<int64_t>(p);
      break;
    }
  }
  if (pos < 0) return kResultNotAnArchive;
  const auto end = engine::parseEndRecord({data_ + pos, engine::kEndRecordSize});
  if (!end) return kResultNotAnArchive;
  comment_.assign(reinterpret_cast<const char*>(data_ + pos + engine::kEndRecordSize), end->commentLength);

  uint64_t thisDisk = end->thisDisk, directoryDisk = end->directoryDisk;
  spot.count = end->totalEntries;
  spot.countWraps = true;
  uint64_t dirSize = end->directorySize;
  uint64_t dirOffset = end->directoryOffset;
  int64_t directoryEnd = pos;  // where the directory should end

  // The Zip64 records, when a locator stands in front of the end record.
  const int64_t locator = pos - static_cast<int64_t>(kZip64LocatorSize);
  if (locator >= 0 && loadLe32(data_ + locator) == kZip64LocatorSignature) {
    const uint32_t storedDisk = loadLe32(data_ + locator + 4);
    const int64_t stored = positionOf(storedDisk, loadLe64(data_ + locator + 8));
    // Where the record is: at its stored offset, or (prefix data, a disk
    // not mapped yet) right in front of the locator.
    int64_t at = -1;
    if (stored >= 0 && rangeFits(stored, kZip64EndSize, static_cast<int64_t>(size_)) &&
        loadLe32(data_ + stored) == kZip64EndSignature) {
      at = stored;
    } else if (locator >= static_cast<int64_t>(kZip64EndSize) &&
               loadLe32(data_ + locator - kZip64EndSize) == kZip64EndSignature) {
      at = locator - static_cast<int64_t>(kZip64EndSize);
    }
    if (at >= 0) {
      const uint8_t* z = data_ + at;
      thisDisk = loadLe32(z + 16);
      directoryDisk = loadLe32(z + 20);
      spot.count = loadLe64(z + 32);
      spot.countWraps = false;
      dirSize = loadLe64(z + 40);
      dirOffset = loadLe64(z + 48);
      directoryEnd = at;
    } else if (end->totalEntries == kSaturated16 || end->directorySize == kSaturated32 ||
               end->directoryOffset == kSaturated32) {
      return kResultBadDirectory;
    }
  }
  spot.end = static_cast<uint64_t>(directoryEnd);
  spot.lastDisk = static_cast<uint32_t>(std::min<uint64_t>(thisDisk, UINT32_MAX));
  if (directoryDisk > thisDisk) return kResultBadDirectory;
  if (multiDisk) {
    diskStarts_.clear();  // a joined set counts from its start
  } else if (thisDisk != 0 || directoryDisk != 0) {
    if (diskStarts_.size() != thisDisk + 1) return kResultSpannedNotInMode;
  } else {
    diskStarts_.clear();  // numbered parts of one archive cut into pieces
  }
  if (spot.count == 0) {
    spot.countWraps = false;  // an empty directory, nothing to look for
    return kResultOk;
  }

  if (dirOffset > static_cast<uint64_t>(INT64_MAX / 2) || dirSize > static_cast<uint64_t>(INT64_MAX / 2))
    return kResultBadDirectory;
  auto centralAt = [&](int64_t p) {
    return p >= 0 && rangeFits(p, 4, static_cast<int64_t>(size_)) &&
           loadLe32(data_ + p) == engine::kCentralHeaderSignature;
  };
  if (!diskStarts_.empty()) {
    const int64_t start = positionOf(static_cast<uint32_t>(directoryDisk), dirOffset);
    if (!centralAt(start)) return kResultBadDirectory;
    spot.start = static_cast<uint64_t>(start);
    return kResultOk;
  }
  // Prefix data: the difference between where the directory ends and where
  // the stored values say it ends.
  const int64_t claimedEnd = static_cast<int64_t>(dirOffset) + static_cast<int64_t>(dirSize);
  prefix_ = directoryEnd - claimedEnd;
  const int64_t shifted = static_cast<int64_t>(dirOffset) + prefix_;
  if (prefix_ >= 0 && centralAt(shifted)) {
    spot.start = static_cast<uint64_t>(shifted);
  } else if (centralAt(static_cast<int64_t>(dirOffset))) {
    prefix_ = 0;
    spot.start = dirOffset;
  } else {
    return kResultBadDirectory;
  }
  return kResultOk;
}

uint16_t ReaderArchive::readDirectory(const DirectorySpot& spot) {
  const uint64_t room = size_ - spot.start;
  if (spot.count > room / engine::kCentralHeaderSize) return kResultBadDirectory;
  entries_.reserve(static_cast<size_t>(spot.count));
  size_t at = static_cast<size_t>(spot.start);
  size_t unnamed = 0;  // entries given the archive's name so far
  for (uint64_t i = 0;; ++i) {
    if (i >= spot.count) {
      // A wrapped 16-bit count: the headers that follow up to the end
      // records are entries too.
      if (!spot.countWraps || at + engine::kCentralHeaderSize > spot.end ||
          loadLe32(data_ + at) != engine::kCentralHeaderSignature)
        break;
    }
    if (!rangeFits(static_cast<int64_t>(at), engine::kCentralHeaderSize, static_cast<int64_t>(size_)))
      return kResultBadDirectory;
    const auto header = engine::parseCentralHeader({data_ + at, engine::kCentralHeaderSize});
    if (!header) return kResultBadDirectory;
    const size_t varLength = static_cast<size_t>(header->nameLength) + header->extraLength + header->commentLength;
    const size_t body = at + engine::kCentralHeaderSize;
    if (!rangeFits(static_cast<int64_t>(body), static_cast<int64_t>(varLength), static_cast<int64_t>(size_)))
      return kResultBadDirectory;
    ReaderEntry& e = entries_.emplace_back();
    e.header = *header;
    const std::string_view raw(reinterpret_cast<const char*>(data_ + body), header->nameLength);
    e.extra = {data_ + body + header->nameLength, header->extraLength};
    const std::string_view comment(
        reinterpret_cast<const char*>(data_ + body + header->nameLength + header->extraLength), header->commentLength);
    e.name = entryName(raw, header->flags, e.extra);
    if (e.name.empty()) {
      e.name = ++unnamed == 1 ? fallbackName_ : fallbackName_ + "_" + std::to_string(unnamed);
    }
    e.comment = engine::entryNameToUtf8(comment, header->flags);
    e.compressedSize = header->compressedSize;
    e.uncompressedSize = header->uncompressedSize;
    e.localOffset = header->localHeaderOffset;
    e.disk = header->diskNumberStart;
    // Zip64: only the fields saturated in the header are in the block, in
    // this order; a missing one leaves the stored value.
    const auto z = findExtra(e.extra, kExtraZip64);
    size_t zi = 0;
    auto take = [&](uint64_t& field) {
      if (field != kSaturated32) return;
      if (z.size() >= zi + 8) field = loadLe64(z.data() + zi);
      zi += 8;
    };
    take(e.uncompressedSize);
    take(e.compressedSize);
    take(e.localOffset);
    if (e.disk == kSaturated16 && z.size() >= zi + 4) e.disk = loadLe32(z.data() + zi);
    if (e.uncompressedSize == kSaturated32 || e.compressedSize == kSaturated32) sizesFromLocal(e);
    at = body + varLength;
  }
  return kResultOk;
}

// Local header, as far as the sizes go:
//   0 sig | 4 needed | 6 flags | 8 method | 10 time | 12 date | 14 crc |
//   18 compressed size | 22 uncompressed size | 26 name length | 28 extra length
// Its Zip64 block holds both sizes (uncompressed first) when either is
// saturated there.
void ReaderArchive::sizesFromLocal(ReaderEntry& e) const {
  const int64_t pos = positionOf(e.disk, e.localOffset);
  if (pos < 0 || !rangeFits(pos, engine::kLocalHeaderSize, static_cast<int64_t>(size_))) return;
  const auto local = engine::parseLocalHeader({data_ + pos, engine::kLocalHeaderSize});
  if (!local) return;
  const int64_t extraAt = pos + static_cast<int64_t>(engine::kLocalHeaderSize) + local->nameLength;
  if (!rangeFits(extraAt, local->extraLength, static_cast<int64_t>(size_))) return;
  const auto z = findExtra({data_ + extraAt, local->extraLength}, kExtraZip64);
  if (z.size() < 16) return;
  if (e.uncompressedSize == kSaturated32) e.uncompressedSize = loadLe64(z.data());
  if (e.compressedSize == kSaturated32) e.compressedSize = loadLe64(z.data() + 8);
}

bool ReaderArchive::locate(const ReaderEntry& entry, EntryData& out) const {
  const int64_t pos = positionOf(entry.disk, entry.localOffset);
  const int64_t size = static_cast<int64_t>(size_);
  if (pos < 0 || !rangeFits(pos, engine::kLocalHeaderSize, size)) return false;
  const auto local = engine::parseLocalHeader({data_ + pos, engine::kLocalHeaderSize});
  if (!local) return false;
  const int64_t extraAt = pos + static_cast<int64_t>(engine::kLocalHeaderSize) + local->nameLength;
  if (!rangeFits(extraAt, local->extraLength, size)) return false;
  const int64_t dataAt = extraAt + local->extraLength;
  if (entry.compressedSize > static_cast<uint64_t>(INT64_MAX) ||
      !rangeFits(dataAt, static_cast<int64_t>(entry.compressedSize), size))
    return false;
  out.localExtra = {data_ + extraAt, local->extraLength};
  out.bytes = {data_ + dataAt, static_cast<size_t>(entry.compressedSize)};
  return true;
}

}  // namespace vz::zipwrap
