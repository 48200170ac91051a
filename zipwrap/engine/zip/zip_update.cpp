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

// The entries of an archive from its central directory, each checked
// against its local header (name and extra lengths taken from there, data
// inside the file, a data descriptor found behind the data when flag bit 3
// says there is one). 0, 110, 160 or 410.
uint16_t loadFromDirectory(const std::string& native, OldArchive& out) {
  engine::ArchiveInput input;
  if (!input.open(native)) return kResultNotAnArchive;
  engine::EndRecordLocation loc;
  const engine::EndRecordSearch search = engine::findEndRecord(input, loc);
  // Fields at their highest value point to a ZIP64 end record: this writer
  // keeps to 32-bit fields and cannot rewrite such an archive.
  if (loc.position >= 0 && (loc.end.totalEntries == 0xFFFF || loc.end.directoryOffset == 0xFFFFFFFFu ||
                            loc.end.directorySize == 0xFFFFFFFFu))
    return kResultCannotAccess;
  if (search != engine::EndRecordSearch::Found) return kResultNotAnArchive;
  if (loc.end.thisDisk != 0 || loc.end.directoryDisk != 0) return kResultSpannedNotInMode;
  if (loc.end.totalEntries > 0 && engine::checkCentralStart(input, loc) == engine::CentralStart::Missing)
    return kResultBadDirectory;
  input.close();
  File f;
  if (!f.open(native, File::Mode::Read)) return kResultNotAnArchive;
  const int64_t size = f.size();
  const int64_t extra = loc.extraBytes;
  int64_t pos = static_cast<int64_t>(loc.end.directoryOffset) + extra;
  int64_t firstLocal = loc.position;
  engine::Catalogue entries;
  for (unsigned i = 0; i < loc.end.totalEntries; ++i) {
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
    if (!cx.empty()) e->centralExtra = std::make_shared<engine::ExtraBlock>(std::move(cx));
    e->displayName = e->name;
    // The local header.
    const int64_t local = static_cast<int64_t>(c->localHeaderOffset) + extra;
    uint8_t lraw[engine::kLocalHeaderSize];
    if (!readAt(f, size, local, lraw, sizeof lraw)) return kResultBadDirectory;
    const std::optional<LocalHeader> l = engine::parseLocalHeader(lraw);
    if (!l || local > engine::kMaxRecordOffset) return kResultBadDirectory;
    e->localHeaderOffset = static_cast<uint32_t>(local);
    e->nameLength = l->nameLength;
    e->localExtraLength = l->extraLength;
    e->localFlags = l->flags;
    const int64_t dataEnd = local + static_cast<int64_t>(sizeof lraw) + l->nameLength + l->extraLength +
                            static_cast<int64_t>(c->compressedSize);
    if (dataEnd > size) return kResultBadDirectory;
    if (l->flags & engine::kFlagDataDescriptor) {
      uint8_t d[engine::kDescriptorSize];
      if (readAt(f, size, dataEnd, d, sizeof d) && engine::loadLe32(d) == engine::kDescriptorSignature)
        e->descriptorSize = 16;
      else if (readAt(f, size, dataEnd, d, 12) && engine::loadLe32(d) == c->crc32)
        e->descriptorSize = 12;
    }
    firstLocal = std::min(firstLocal, local);
    entries.append(std::move(e));
  }
  out.catalogue.entries = std::move(entries);
  out.catalogue.prefixCount = firstLocal;
  out.catalogue.centralDirectoryStart = static_cast<int64_t>(loc.end.directoryOffset) + extra;
  std::string comment(loc.end.commentLength, '\0');
  if (!readAt(f, size, loc.position + static_cast<int64_t>(engine::kEndRecordSize), comment.data(), comment.size()))
    comment.clear();
  out.catalogue.comment = comment;
  out.endRecordPosition = loc.position;
  out.fileSize = size;
  return kResultOk;
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
    if (s == engine::CatalogueStatus::Ok) {
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
  if (inPlace_) {
    engine::CentralRecord r = engine::centralRecordOf(entry);
    if (comment) r.comment = *comment;
    builder_.addRecord(std::move(r));
    return kResultOk;
  }
  errno = 0;
  if (builder_.copyEntry(source_, entry, comment) != engine::BuildStatus::Ok) {
    const int e = errno;
    if (builder_.overflows()) return kResultCannotAccess;
    return e == 0 ? static_cast<uint16_t>(kResultBadDirectory) : writeFailureCode(e);
  }
  return kResultOk;
}

uint16_t ArchiveUpdate::commit(std::string_view archiveComment) {
  if (builder_.overflows() || builder_.recordCount() > 0xFFFF) return kResultCannotAccess;  // would need ZIP64
  FileEvent phase;
  phase.name = command_.archive;
  if (!host_.fileEvent(kCbStatus, phase)) return kResultAborted;
  if (inPlace_ && !builder_.truncateTo(builder_.position())) return writeFailureCode(errno);
  errno = 0;
  if (builder_.finish(archiveComment) != engine::BuildStatus::Ok) {
    const int e = errno;
    if (builder_.overflows()) return kResultCannotAccess;
    return writeFailureCode(e);
  }
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
