// One change to an archive (see zip_update.h).
#include "zipwrap/engine/zip/zip_update.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <new>

#include "control/engine/format/bounded_reader.h"
#include "control/engine/read/archive_input.h"
#include "control/engine/read/end_record_search.h"
#include "platform/paths.h"
#include "zipwrap/engine/engine_results.h"
#include "zipwrap/engine/media/span_write.h"

namespace vz::zipwrap {
namespace {

using engine::ArchiveEntry;
using engine::CentralHeader;
using engine::LocalHeader;

// Reads count bytes at offset of a file of known size; false when they are
// not all there.
bool readAt(File& f, int64_t size, int64_t offset, void* out, size_t count) {
  if (offset < 0 || count > static_cast<uint64_t>(size) || offset > size - static_cast<int64_t>(count)) return false;
  return f.readAt(offset, out, count) == static_cast<int64_t>(count);
}

// Where the directory is and how many entries it holds, from the Zip64
// end record when a locator stands before the end record, else from the
// end record (with the prefix correction of end_record_search.h).
struct DirectoryPlace {
  uint64_t entries = 0;    // entries in the directory
  int64_t start = 0;       // its absolute position
  int64_t extra = 0;       // added to every stored offset
  int64_t endRecord = -1;  // the classic end record's position
  uint16_t commentLength = 0;
  bool zip64 = false;  // found through the Zip64 end record
};

uint16_t findDirectory(engine::ArchiveInput& input, DirectoryPlace& out) {
  engine::EndRecordLocation loc;
  const engine::EndRecordSearch search = engine::findEndRecord(input, loc);
  const int64_t endPos = loc.position >= 0 ? loc.position : engine::findEndRecordSignature(input);
  if (endPos < 0) return kResultNotAnArchive;
  out.endRecord = endPos;
  uint8_t end[engine::kEndRecordSize];
  if (input.readAt(endPos, end, sizeof end) != sizeof end) return kResultNotAnArchive;
  out.commentLength = engine::loadLe16(end + engine::end_field::kCommentLength);
  uint8_t locator[kZip64LocatorSize];
  Zip64End z;
  const int64_t locatorPos = endPos - static_cast<int64_t>(kZip64LocatorSize);
  auto readAt = [&](int64_t offset, uint8_t* buf, size_t n) {
    return offset >= 0 && input.readAt(offset, buf, n) == static_cast<int64_t>(n);
  };
  if (locatorPos >= 0 && readAt(locatorPos, locator, sizeof locator) && readZip64End(locator, locatorPos, readAt, z)) {
    if (z.thisDisk != 0 || z.directoryDisk != 0 || engine::loadLe16(end + engine::end_field::kThisDisk) != 0)
      return kResultSpannedNotInMode;
    out.zip64 = true;
    out.extra = z.storedPosition >= 0 && z.position > z.storedPosition ? z.position - z.storedPosition : 0;
    out.entries = z.entries;
    if (z.directoryOffset > static_cast<uint64_t>(input.size())) return kResultBadDirectory;
    out.start = static_cast<int64_t>(z.directoryOffset) + out.extra;
    // Every record takes 46 bytes at least: a count beyond what the
    // directory can hold is damage, not a reason to allocate.
    if (out.entries > z.directorySize / engine::kCentralHeaderSize + 1 ||
        out.entries > static_cast<uint64_t>(input.size()) / engine::kCentralHeaderSize)
      return kResultBadDirectory;
    return kResultOk;
  }
  if (search != engine::EndRecordSearch::Found) return kResultNotAnArchive;
  if (loc.end.thisDisk != 0 || loc.end.directoryDisk != 0) return kResultSpannedNotInMode;
  if (loc.end.totalEntries > 0 && engine::checkCentralStart(input, loc) == engine::CentralStart::Missing)
    return kResultBadDirectory;
  out.entries = loc.end.totalEntries;
  out.extra = loc.extraBytes;
  out.start = static_cast<int64_t>(loc.end.directoryOffset) + loc.extraBytes;
  return kResultOk;
}

// The entries of an archive from its central directory, each checked
// against its local header (name and extra lengths taken from there, data
// inside the file, a data descriptor found behind the data when flag bit 3
// says there is one: 16 or 12 bytes, or 24 or 20 when the local header has
// a Zip64 field). 0, 110, 160 or 410.
uint16_t loadFromDirectory(const std::string& native, OldArchive& out) {
  engine::ArchiveInput input;
  if (!input.open(native)) return kResultNotAnArchive;
  DirectoryPlace place;
  if (const uint16_t r = findDirectory(input, place); r != kResultOk) return r;
  input.close();
  File f;
  if (!f.open(native, File::Mode::Read)) return kResultNotAnArchive;
  const int64_t size = f.size();
  const int64_t extra = place.extra;
  int64_t pos = place.start;
  int64_t firstLocal = place.endRecord;
  engine::Catalogue entries;
  for (uint64_t i = 0; i < place.entries; ++i) {
    uint8_t raw[engine::kCentralHeaderSize];
    if (!readAt(f, size, pos, raw, sizeof raw)) return kResultBadDirectory;
    const std::optional<CentralHeader> c = engine::parseCentralHeader(raw);
    if (!c) return kResultBadDirectory;
    auto e = std::make_unique<ArchiveEntry>();
    e->assignFrom(*c);
    e->name.resize(c->nameLength);
    std::vector<uint8_t> cx(c->extraLength);
    e->comment.resize(c->commentLength);
    int64_t at = pos + static_cast<int64_t>(sizeof raw);
    if (!readAt(f, size, at, e->name.data(), e->name.size())) return kResultBadDirectory;
    at += c->nameLength;
    if (!readAt(f, size, at, cx.data(), cx.size())) return kResultBadDirectory;
    at += c->extraLength;
    if (!readAt(f, size, at, e->comment.data(), e->comment.size())) return kResultBadDirectory;
    pos = at + c->commentLength;
    // Sizes and offset in full: the marked ones from the Zip64 field.
    WideEntry wide;
    wide.rawMarked = c->uncompressedSize == kMarker32;
    wide.dataMarked = c->compressedSize == kMarker32;
    wide.offsetMarked = c->localHeaderOffset == kMarker32;
    wide.facts = {c->uncompressedSize, c->compressedSize, c->localHeaderOffset};
    if (!readZip64Extra(cx, wide.rawMarked, wide.dataMarked, wide.offsetMarked, wide.facts)) return kResultBadDirectory;
    const bool isWide = wide.rawMarked || wide.dataMarked || wide.offsetMarked || hasZip64Extra(cx);
    if (!cx.empty()) e->centralExtra = std::make_shared<engine::ExtraBlock>(std::move(cx));
    e->displayName = e->name;
    // The local header.
    if (wide.facts.localOffset > static_cast<uint64_t>(size) || wide.facts.dataSize > static_cast<uint64_t>(size))
      return kResultBadDirectory;
    const int64_t local = static_cast<int64_t>(wide.facts.localOffset) + extra;
    uint8_t lraw[engine::kLocalHeaderSize];
    if (!readAt(f, size, local, lraw, sizeof lraw)) return kResultBadDirectory;
    const std::optional<LocalHeader> l = engine::parseLocalHeader(lraw);
    if (!l || (!isWide && local > engine::kMaxRecordOffset)) return kResultBadDirectory;
    wide.facts.localOffset = static_cast<uint64_t>(local);
    e->localHeaderOffset = needsZip64(wide.facts.localOffset) ? kMarker32 : static_cast<uint32_t>(local);
    e->nameLength = l->nameLength;
    e->localExtraLength = l->extraLength;
    e->localFlags = l->flags;
    const int64_t dataStart = local + static_cast<int64_t>(sizeof lraw) + l->nameLength + l->extraLength;
    const int64_t dataEnd = dataStart + static_cast<int64_t>(wide.facts.dataSize);
    if (dataEnd > size) return kResultBadDirectory;
    if (l->flags & engine::kFlagDataDescriptor) {
      // A descriptor behind a local header with a Zip64 field has 64-bit sizes.
      std::vector<uint8_t> lx(l->extraLength);
      const bool wideDescriptor =
          readAt(f, size, dataStart - l->extraLength, lx.data(), lx.size()) && hasZip64Extra(lx);
      const uint32_t sizes = wideDescriptor ? 16 : 8;
      uint8_t d[4];
      if (readAt(f, size, dataEnd, d, sizeof d) && engine::loadLe32(d) == engine::kDescriptorSignature &&
          dataEnd + 8 + static_cast<int64_t>(sizes) <= size)
        e->descriptorSize = 8 + sizes;
      else if (readAt(f, size, dataEnd, d, sizeof d) && engine::loadLe32(d) == c->crc32 &&
               dataEnd + 4 + static_cast<int64_t>(sizes) <= size)
        e->descriptorSize = 4 + sizes;
    }
    firstLocal = std::min(firstLocal, local);
    if (isWide) out.wide.emplace(e.get(), wide);
    entries.append(std::move(e));
  }
  out.catalogue.entries = std::move(entries);
  out.catalogue.prefixCount = firstLocal;
  out.catalogue.centralDirectoryStart = place.start;
  std::string comment(place.commentLength, '\0');
  if (!readAt(f, size, place.endRecord + static_cast<int64_t>(engine::kEndRecordSize), comment.data(), comment.size()))
    comment.clear();
  out.catalogue.comment = comment;
  out.endRecordPosition = place.endRecord;
  out.fileSize = size;
  out.zip64 = place.zip64;
  return kResultOk;
}

// Whether an entry the catalogue loader read has Zip64 fields (which that
// loader does not interpret).
bool usesZip64(const ArchiveEntry& e) {
  if (e.compressedSize == kMarker32 || e.uncompressedSize == kMarker32 || e.localHeaderOffset == kMarker32) return true;
  return e.centralExtra && hasZip64Extra(*e.centralExtra);
}

}  // namespace

uint16_t loadOldArchive(const std::string& native, OldArchive& out) {
  out = OldArchive{};
  const std::optional<int64_t> size = fileSize(native);
  if (!size || !isRegularFile(native)) return kResultOk;
  out.exists = true;
  out.fileSize = *size;
  if (*size == 0) return kResultOk;  // an empty file becomes a new archive
  try {
    const engine::CatalogueStatus s = engine::loadCatalogue(native, {}, out.catalogue);
    if (s == engine::CatalogueStatus::NoMemory) return kResultOutOfMemory;
    bool wide = false;
    for (const ArchiveEntry* e = out.catalogue.entries.first(); e && !wide; e = e->next.get()) wide = usesZip64(*e);
    if (s == engine::CatalogueStatus::Ok && !wide) {
      // The end record follows the directory directly (the loader checked it).
      int64_t end = out.catalogue.centralDirectoryStart;
      for (ArchiveEntry* e = out.catalogue.entries.first(); e; e = e->next.get())
        end += static_cast<int64_t>(engine::kCentralHeaderSize) + e->name.size() + e->centralExtraLength +
               e->commentLength;
      out.endRecordPosition = end;
      File f;
      uint8_t head[engine::kEndRecordSize];
      if (f.open(native, File::Mode::Read) && f.readAt(end, head, sizeof head) == sizeof head &&
          engine::loadLe32(head) == engine::kEndRecordSignature) {
        if (engine::loadLe16(head + engine::end_field::kThisDisk) != 0) return kResultSpannedNotInMode;
        return kResultOk;
      }
    }
    out.catalogue.clear();
    return loadFromDirectory(native, out);
  } catch (const std::bad_alloc&) {
    return kResultOutOfMemory;
  }
}

WideFacts OldArchive::factsOf(const ArchiveEntry& e) const {
  if (const auto it = wide.find(&e); it != wide.end()) return it->second.facts;
  return {e.uncompressedSize, e.compressedSize, e.localHeaderOffset};
}

uint16_t writeFailureCode(int error) {
  return error == ENOSPC || error == EDQUOT || error == EFBIG ? kResultDiskFull : kResultCannotWrite;
}

ArchiveUpdate::ArchiveUpdate(const EngineCommand& command, EngineHost& host) : command_(command), host_(host) {}

ArchiveUpdate::~ArchiveUpdate() {
  if (building_) rollback();
  if (lockFd_ >= 0) ::close(lockFd_);
}

uint16_t ArchiveUpdate::open(bool mustExist) {
  target_ = engine::describeTarget(command_.archive);
  // Multi-disk mode writes a new set from a finished temporary archive;
  // there is nothing on the name to load or lock.
  if (command_.multiDisk) return kResultOk;
  if (target_.isFolder) return mustExist ? kResultArchiveNotFound : kResultCannotAccess;
  if (!target_.exists) {
    if (mustExist) return kResultArchiveNotFound;
    if (engine::checkWritable(target_) != engine::PlaceStatus::Ok) return kResultCannotAccess;
    return kResultOk;
  }
  // The lock: the file that has the name when the lock is held (another
  // engine may have renamed a new archive over it meanwhile).
  for (int attempt = 0; attempt < 5; ++attempt) {
    const int fd = ::open(target_.native.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return kResultCannotAccess;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd);
      return errno == EWOULDBLOCK ? kResultLocked : kResultCannotAccess;
    }
    struct stat held {
    }, named{};
    if (fstat(fd, &held) == 0 && stat(target_.native.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
        held.st_dev == named.st_dev) {
      lockFd_ = fd;
      break;
    }
    ::close(fd);
  }
  if (lockFd_ < 0) return kResultLocked;
  target_ = engine::describeTarget(command_.archive);
  if (engine::checkWritable(target_) != engine::PlaceStatus::Ok) return kResultCannotAccess;
  const uint16_t loaded = loadOldArchive(target_.native, old_);
  if (loaded != kResultOk) return loaded;
  if (old_.exists && !source_.open(target_.native, File::Mode::Read)) return kResultCannotAccess;
  return kResultOk;
}

uint16_t ArchiveUpdate::beginBuild(bool inPlace) {
  inPlace_ = inPlace && !command_.multiDisk;
  if (inPlace_) {
    if (!old_.exists) {
      File f;
      if (!f.open(target_.native, File::Mode::CreateNew, target_.mode)) return writeFailureCode(errno);
      f.close();
      createdInPlace_ = true;
      building_ = true;
      old_.exists = false;
      if (builder_.attach(target_.native, 0) != engine::BuildStatus::Ok) return kResultCannotAccess;
      return kResultOk;
    }
    const int64_t dirStart = old_.catalogue.count() ? old_.catalogue.centralDirectoryStart : old_.endRecordPosition;
    const int64_t tailSize = old_.fileSize - dirStart;
    if (dirStart < 0 || tailSize < 0) return kResultBadDirectory;
    savedTail_.resize(static_cast<size_t>(tailSize));
    if (source_.readAt(dirStart, savedTail_.data(), savedTail_.size()) != tailSize) return kResultCannotAccess;
    if (builder_.attach(target_.native, dirStart) != engine::BuildStatus::Ok) return kResultCannotAccess;
    building_ = true;
    return kResultOk;
  }
  // -b DIR, else beside the archive; a spanned set is built in the system's
  // temporary folder (the disks are the archive's place, and small).
  std::string folder;
  if (!command_.tempDir.empty()) {
    folder = toNativePath(command_.tempDir);
  } else if (!command_.multiDisk) {
    folder = directoryPart(target_.native);
    if (folder.empty()) folder = ".";
  }
  if (builder_.create(folder) != engine::BuildStatus::Ok) return kResultCannotAccess;
  building_ = true;
  if (old_.exists && old_.catalogue.prefixCount > 0 &&
      builder_.copyBytes(source_, 0, old_.catalogue.prefixCount) != engine::BuildStatus::Ok)
    return writeFailureCode(errno);
  return kResultOk;
}

uint16_t ArchiveUpdate::keepEntry(const engine::ArchiveEntry& entry, const std::string* comment) {
  const auto wide = old_.wide.find(&entry);
  WideFacts facts = old_.factsOf(entry);
  const int64_t at = builder_.position();
  if (!inPlace_) {
    // Local header to data descriptor, byte for byte.
    const int64_t span = static_cast<int64_t>(engine::kLocalHeaderSize) + entry.nameLength + entry.localExtraLength +
                         static_cast<int64_t>(facts.dataSize) + entry.descriptorSize;
    errno = 0;
    if (at < 0 ||
        builder_.copyBytes(source_, static_cast<int64_t>(facts.localOffset), span) != engine::BuildStatus::Ok) {
      const int e = errno;
      return e == 0 ? static_cast<uint16_t>(kResultBadDirectory) : writeFailureCode(e);
    }
    facts.localOffset = static_cast<uint64_t>(at);
  }
  engine::CentralRecord r = engine::centralRecordOf(entry);
  if (wide == old_.wide.end() && !needsZip64(facts.localOffset)) {
    r.header.localHeaderOffset = static_cast<uint32_t>(facts.localOffset);
  } else {
    const bool w = wide != old_.wide.end();
    setCentralFacts(r, facts, w && wide->second.rawMarked, w && wide->second.dataMarked,
                    w && wide->second.offsetMarked);
  }
  if (comment) {
    r.comment = *comment;
    r.header.commentLength = static_cast<uint16_t>(comment->size());
  }
  builder_.addRecord(std::move(r));
  return kResultOk;
}

uint16_t ArchiveUpdate::commit(std::string_view archiveComment) {
  FileEvent phase;
  phase.name = command_.archive;
  if (!host_.fileEvent(kCbStatus, phase)) return kResultAborted;
  if (inPlace_ && !builder_.truncateTo(builder_.position())) return writeFailureCode(errno);
  errno = 0;
  bool wroteZip64 = false;
  if (!finishArchive(builder_, archiveComment, old_.zip64, &wroteZip64)) return writeFailureCode(errno);
  // The spanning code writes classic records only.
  if (command_.multiDisk && wroteZip64) return kResultCannotAccess;
  if (inPlace_) {
    building_ = false;
    return kResultOk;
  }
  source_.close();
  if (command_.multiDisk) {
    const OpResult spread = spanArchiveToDisks(command_, host_, builder_.path());
    builder_.discard();
    building_ = false;
    return spread.code;
  }
  switch (engine::putInPlace(builder_.path(), target_)) {
    case engine::PlaceStatus::Ok:
      builder_.release();
      building_ = false;
      return kResultOk;
    case engine::PlaceStatus::DiskFull:
      return kResultDiskFull;
    default:
      return kResultCannotAccess;
  }
}

void ArchiveUpdate::rollback() {
  if (!building_) return;
  building_ = false;
  if (!inPlace_) {
    builder_.discard();
    return;
  }
  builder_.discard();  // closes; never removes a file it attached to
  if (createdInPlace_) {
    removeFile(target_.native);
    return;
  }
  // Cut first, then open: on a medium with a simulated free space the
  // room a file may take is measured when it is opened.
  const int64_t dirStart = old_.fileSize - static_cast<int64_t>(savedTail_.size());
  if (::truncate(target_.native.c_str(), dirStart) != 0) return;
  File f;
  if (!f.open(target_.native, File::Mode::ReadWrite)) return;
  if (f.seek(dirStart)) (void)f.write(savedTail_.data(), savedTail_.size());
  (void)f.sync();
}

}  // namespace vz::zipwrap
