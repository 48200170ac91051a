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
  if (mode >= 0 && (mode & S_IFMT) == S_IFDIR) return true;
  return (header.externalAttributes & kDosFolderBit) != 0 && uncompressedSize == 0 && mode < 0;
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

ReaderArchive::~ReaderArchive() {
  if (data_ != nullptr) ::munmap(const_cast<uint8_t*>(data_), size_);
}

uint16_t ReaderArchive::open(const std::string& path, bool multiDisk) {
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
    return kResultNotAnArchive;
  }
  void* map = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
  ::close(fd);
  if (map == MAP_FAILED) return kResultCannotAccess;
  data_ = static_cast<const uint8_t*>(map);
  ::madvise(map, size_, MADV_WILLNEED);

  uint64_t count = 0, dirStart = 0, dirSize = 0;
  if (uint16_t r = readEndRecords(multiDisk, count, dirStart, dirSize); r != kResultOk) return r;
  try {
    return readDirectory(count, dirStart, dirSize);
  } catch (const std::bad_alloc&) {
    return kResultOutOfMemory;
  }
}

uint16_t ReaderArchive::readEndRecords(bool multiDisk, uint64_t& count, uint64_t& dirStart, uint64_t& dirSize) {
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
  count = end->totalEntries;
  dirSize = end->directorySize;
  uint64_t dirOffset = end->directoryOffset;
  int64_t directoryEnd = pos;  // where the directory should end

  // The Zip64 records, when a locator stands in front of the end record.
  const int64_t locator = pos - static_cast<int64_t>(kZip64LocatorSize);
  if (locator >= 0 && loadLe32(data_ + locator) == kZip64LocatorSignature) {
    const uint64_t stored = loadLe64(data_ + locator + 8);
    // Where the record is: at its stored offset, or (prefix data) right in
    // front of the locator.
    int64_t at = -1;
    if (stored <= size_ - kZip64EndSize && loadLe32(data_ + stored) == kZip64EndSignature) {
      at = static_cast<int64_t>(stored);
    } else if (locator >= static_cast<int64_t>(kZip64EndSize) &&
               loadLe32(data_ + locator - kZip64EndSize) == kZip64EndSignature) {
      at = locator - static_cast<int64_t>(kZip64EndSize);
    }
    if (at >= 0 && rangeFits(at, kZip64EndSize, static_cast<int64_t>(size_))) {
      const uint8_t* z = data_ + at;
      thisDisk = loadLe32(z + 16);
      directoryDisk = loadLe32(z + 20);
      count = loadLe64(z + 32);
      dirSize = loadLe64(z + 40);
      dirOffset = loadLe64(z + 48);
      directoryEnd = at;
    } else if (end->totalEntries == kSaturated16 || end->directorySize == kSaturated32 ||
               end->directoryOffset == kSaturated32) {
      return kResultBadDirectory;
    }
  }
  if ((thisDisk != 0 || directoryDisk != 0) && !multiDisk) return kResultSpannedNotInMode;
  if (count == 0) return kResultOk;

  // Prefix data: the difference between where the directory ends and where
  // the stored values say it ends.
  if (dirOffset > static_cast<uint64_t>(INT64_MAX) || dirSize > static_cast<uint64_t>(INT64_MAX))
    return kResultBadDirectory;
  const int64_t claimedEnd = static_cast<int64_t>(dirOffset) + static_cast<int64_t>(dirSize);
  prefix_ = directoryEnd - claimedEnd;
  auto centralAt = [&](int64_t p) {
    return rangeFits(p, 4, static_cast<int64_t>(size_)) && loadLe32(data_ + p) == engine::kCentralHeaderSignature;
  };
  const int64_t shifted = static_cast<int64_t>(dirOffset) + prefix_;
  if (prefix_ >= 0 && centralAt(shifted)) {
    dirStart = static_cast<uint64_t>(shifted);
  } else if (centralAt(static_cast<int64_t>(dirOffset))) {
    prefix_ = 0;
    dirStart = dirOffset;
  } else {
    return kResultBadDirectory;
  }
  return kResultOk;
}

uint16_t ReaderArchive::readDirectory(uint64_t count, uint64_t dirStart, uint64_t dirSize) {
  (void)dirSize;  // the directory is read up to the end record, whatever its stored size says
  const uint64_t room = size_ - dirStart;
  if (count > room / engine::kCentralHeaderSize) return kResultBadDirectory;
  entries_.reserve(static_cast<size_t>(count));
  size_t at = static_cast<size_t>(dirStart);
  for (uint64_t i = 0; i < count; ++i) {
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
    e.comment = engine::entryNameToUtf8(comment, header->flags);
    e.compressedSize = header->compressedSize;
    e.uncompressedSize = header->uncompressedSize;
    e.localOffset = header->localHeaderOffset;
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
    at = body + varLength;
  }
  return kResultOk;
}

bool ReaderArchive::locate(const ReaderEntry& entry, EntryData& out) const {
  if (entry.localOffset > static_cast<uint64_t>(INT64_MAX - prefix_)) return false;
  const int64_t pos = static_cast<int64_t>(entry.localOffset) + prefix_;
  const int64_t size = static_cast<int64_t>(size_);
  if (!rangeFits(pos, engine::kLocalHeaderSize, size)) return false;
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
