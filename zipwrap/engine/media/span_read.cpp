// Reading a spanned set back as one archive (span_read.h).
//
//   1. An archive at the given path that is no part of a set (its end
//      record names disk 0 and the directory on disk 0) is copied as it is:
//      nothing is asked.
//   2. The parts: either files beside the archive named as split archives
//      are named (NAME.z01, NAME.z02, ..., NAME.zip last; nothing is asked),
//      or disks in the archive's removable drive, each holding a file of the
//      archive's name. A disk is asked for with callback 110: 0 for the last
//      disk first, then each disk needed by its number. A disk is the wrong
//      one when the file is missing, when its "PKBACK# nnn" label names
//      another disk, when the last disk holds no end record, or when disk 1
//      does not start with the spanning marker or a local header; it is
//      asked for again, and three wrong disks in a row give 420.
//   3. The last disk is copied aside at once (the drive gets other disks
//      after it). Its end record gives the number of disks and where the
//      directory starts.
//   4. Whole join: disks 1 .. N-1 in order, then the last disk up to its
//      end record, appended into the joined file (the marker of disk 1
//      dropped); every disk's start in the joined file is remembered. The
//      directory (which may itself start on an earlier disk) is read from
//      the joined file, each local offset turned into base(disk) + offset
//      with disk 0, and written again with an end record for one disk.
//      Directory only (listing, counting, the comment): only the disks that
//      hold the directory are asked for; the joined file is the directory
//      alone, at offset 0, every local offset 0 (nothing reads them).
// A damaged end record or directory gives 160; the joined file is removed
// on every failure.
#include "zipwrap/engine/media/span_read.h"

#include <cerrno>
#include <cstdio>
#include <new>
#include <optional>
#include <vector>

#include "control/engine/common/temp_base.h"
#include "control/engine/format/zip_records.h"
#include "platform/drives.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/tempname.h"
#include "zipwrap/engine/media/span_media.h"

namespace vz::zipwrap {

using namespace vz::engine;

namespace {

// Wrong disks in a row before the set is given up.
constexpr int kMaxWrongDisks = 3;

uint16_t writeFailure() { return (errno == ENOSPC || errno == EDQUOT) ? kResultDiskFull : kResultCannotWrite; }

bool startsWithSpanMarker(const File& f) {
  uint8_t b[4];
  if (f.readAt(0, b, 4) != 4) return false;
  const uint32_t sig = loadLe32(b);
  return sig == kSpanningSignature || sig == kSingleDiskSpanSignature;
}

// Where the parts of the set come from.
class PartSource {
 public:
  PartSource(const EngineCommand& command, EngineHost& host) : host_(host), native_(toNativePath(command.archive)) {
    const std::string ext = extensionPart(native_);
    base_ = native_.substr(0, native_.size() - ext.size());
    split_ = fileExists(splitName(1));
  }

  const std::string& native() const { return native_; }
  uint16_t failure() const { return failure_; }

  // The last part; end receives its end record.
  bool openLast(File& out, FoundEndRecord& end) {
    if (split_) {
      if (!out.open(native_, File::Mode::Read)) return fail(kResultArchiveNotFound);
      std::optional<FoundEndRecord> found = findEndRecord(out);
      if (!found) return fail(kResultNotAnArchive);
      end = *found;
      return true;
    }
    return askUntil(0, [&]() {
      if (!out.open(native_, File::Mode::Read)) return false;
      std::optional<FoundEndRecord> found = findEndRecord(out);
      const std::optional<uint32_t> labelled = labelDisk();
      if (!found || (labelled && *labelled != found->record.thisDisk + 1u)) return false;
      end = *found;
      return true;
    });
  }

  // Part disk (from 1) of a set of last disks, not the last one.
  bool openPart(uint32_t disk, File& out) {
    if (split_) {
      if (!out.open(splitName(disk), File::Mode::Read)) return fail(kResultCannotAccess);
      return true;
    }
    return askUntil(disk, [&]() {
      if (!out.open(native_, File::Mode::Read)) return false;
      const std::optional<uint32_t> labelled = labelDisk();
      if (labelled && *labelled != disk) return false;
      if (disk == 1 && !startsWithSpanMarker(out)) {
        uint8_t b[4];
        if (out.readAt(0, b, 4) != 4 || loadLe32(b) != kLocalHeaderSignature) return false;
      }
      return true;
    });
  }

 private:
  bool fail(uint16_t code) {
    failure_ = code;
    return false;
  }

  std::string splitName(uint32_t disk) const {
    char ext[16];
    std::snprintf(ext, sizeof ext, ".z%02u", disk);
    return base_ + ext;
  }

  std::optional<uint32_t> labelDisk() const {
    const std::optional<std::string> label = drives::volumeLabel(native_);
    return label ? diskOfLabel(*label) : std::nullopt;
  }

  // Asks for disk (0: the last) until check accepts what is inserted.
  template <typename Check>
  bool askUntil(uint32_t disk, Check check) {
    for (int wrong = 0; wrong < kMaxWrongDisks; ++wrong) {
      if (!host_.askForDisk(disk)) return fail(kResultAborted);
      if (check()) return true;
    }
    return fail(kResultWrongDiskTooOften);
  }

  EngineHost& host_;
  std::string native_;  // the archive's file-system path (on every disk)
  std::string base_;    // the path without its extension (split part names)
  bool split_ = false;  // the parts are files beside the archive
  uint16_t failure_ = kResultOk;
};

// The joined archive in the temporary folder; removed unless kept.
struct JoinedFile {
  std::string path;
  File file;
  bool keep = false;
  ~JoinedFile() {
    file.close();
    if (!keep && !path.empty()) removeFile(path);
  }
  bool create() {
    path = getTempFileName(computeTempBaseFolder(), "ZIP");
    return !path.empty() && file.open(path, File::Mode::Create, 0600);
  }
};

// A central record read from bytes, its local offset made absolute.
bool rewriteDirectory(const std::vector<uint8_t>& dir, uint32_t count, const std::vector<int64_t>* bases,
                      std::vector<uint8_t>& out) {
  size_t at = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (dir.size() - at < kCentralHeaderSize) return false;
    std::optional<CentralHeader> h = parseCentralHeader(std::span<const uint8_t>(&dir[at], kCentralHeaderSize));
    if (!h) return false;
    const size_t len = kCentralHeaderSize + h->nameLength + h->extraLength + h->commentLength;
    if (dir.size() - at < len) return false;
    const size_t start = out.size();
    out.insert(out.end(), dir.begin() + static_cast<std::ptrdiff_t>(at),
               dir.begin() + static_cast<std::ptrdiff_t>(at + len));
    int64_t offset = 0;
    if (bases) {
      if (h->diskNumberStart >= bases->size()) return false;
      offset = (*bases)[h->diskNumberStart] + h->localHeaderOffset;
      if (offset < 0 || offset > 0xFFFFFFFFll) return false;
    }
    storeLe16(&out[start + central_field::kDiskNumberStart], 0);
    storeLe32(&out[start + central_field::kLocalHeaderOffset], static_cast<uint32_t>(offset));
    at += len;
  }
  return true;
}

bool writeDirectoryAndEnd(File& out, const std::vector<uint8_t>& dir, uint32_t count, int64_t at,
                          const std::string& comment) {
  EndRecord rec;
  rec.entriesOnDisk = rec.totalEntries = static_cast<uint16_t>(count);
  rec.directorySize = static_cast<uint32_t>(dir.size());
  rec.directoryOffset = static_cast<uint32_t>(at);
  rec.commentLength = static_cast<uint16_t>(comment.size());
  const auto end = encodeEndRecord(rec);
  return out.truncate(at) && out.seek(at) && (dir.empty() || out.write(dir.data(), dir.size())) &&
         out.write(end.data(), end.size()) && (comment.empty() || out.write(comment.data(), comment.size())) &&
         out.sync();
}

OpResult copyWhole(const File& src, std::string& joinedPath) {
  JoinedFile joined;
  if (!joined.create()) return {kResultCannotWrite, 0};
  if (!copyRange(src, 0, src.size(), joined.file) || !joined.file.sync()) return {writeFailure(), 0};
  joined.keep = true;
  joinedPath = joined.path;
  return {kResultOk, 0};
}

OpResult join(const EngineCommand& command, EngineHost& host, bool directoryOnly, std::string& joinedPath) {
  PartSource source(command, host);
  {
    File plain;
    if (plain.open(source.native(), File::Mode::Read)) {
      const std::optional<FoundEndRecord> end = findEndRecord(plain);
      if (end && end->record.thisDisk == 0 && end->record.directoryDisk == 0) return copyWhole(plain, joinedPath);
    }
  }
  FoundEndRecord end;
  JoinedFile lastCopy;  // the last disk, kept while the others are inserted
  {
    File last;
    if (!source.openLast(last, end)) return {source.failure(), 0};
    if (end.record.thisDisk == 0) return copyWhole(last, joinedPath);
    if (!lastCopy.create() || !copyRange(last, 0, end.position, lastCopy.file)) return {writeFailure(), 0};
  }
  const EndRecord& r = end.record;
  const uint32_t disks = r.thisDisk + 1u;
  if (r.directoryDisk > r.thisDisk) return {kResultBadDirectory, 0};
  JoinedFile joined;
  if (!joined.create()) return {kResultCannotWrite, 0};
  std::vector<uint8_t> dir, rewritten;
  if (directoryOnly) {
    // Only the disks the directory lies on.
    for (uint32_t disk = r.directoryDisk + 1u; disk < disks; ++disk) {
      File part;
      if (!source.openPart(disk, part)) return {source.failure(), 0};
      const int64_t from = disk == r.directoryDisk + 1u ? r.directoryOffset : 0;
      const int64_t size = part.size();
      if (from > size) return {kResultBadDirectory, 0};
      const size_t was = dir.size();
      dir.resize(was + static_cast<size_t>(size - from));
      if (part.readAt(from, dir.data() + was, dir.size() - was) != static_cast<int64_t>(dir.size() - was))
        return {kResultCannotAccess, 0};
    }
    const int64_t from = r.directoryDisk == r.thisDisk ? r.directoryOffset : 0;
    if (from > end.position) return {kResultBadDirectory, 0};
    const size_t was = dir.size();
    dir.resize(was + static_cast<size_t>(end.position - from));
    if (lastCopy.file.readAt(from, dir.data() + was, dir.size() - was) != static_cast<int64_t>(dir.size() - was))
      return {kResultCannotWrite, 0};
    if (!rewriteDirectory(dir, r.totalEntries, nullptr, rewritten)) return {kResultBadDirectory, 0};
    if (!writeDirectoryAndEnd(joined.file, rewritten, r.totalEntries, 0, end.comment)) return {writeFailure(), 0};
  } else {
    std::vector<int64_t> bases(disks);
    for (uint32_t disk = 1; disk < disks; ++disk) {
      File part;
      if (!source.openPart(disk, part)) return {source.failure(), 0};
      const int64_t skip = disk == 1 && startsWithSpanMarker(part) ? 4 : 0;
      bases[disk - 1] = joined.file.tell() - skip;
      if (!copyRange(part, skip, part.size() - skip, joined.file)) return {writeFailure(), 0};
    }
    bases[disks - 1] = joined.file.tell();
    if (!copyRange(lastCopy.file, 0, end.position, joined.file)) return {writeFailure(), 0};
    const int64_t dirAt = bases[r.directoryDisk] + r.directoryOffset;
    const int64_t dirEnd = joined.file.tell();
    // The directory is exactly as long as the end record says (a lying
    // offset must not pull the whole set into memory).
    if (dirAt < 0 || dirAt > dirEnd || dirEnd - dirAt < static_cast<int64_t>(r.directorySize))
      return {kResultBadDirectory, 0};
    dir.resize(r.directorySize);
    if (joined.file.readAt(dirAt, dir.data(), dir.size()) != static_cast<int64_t>(dir.size()))
      return {kResultCannotWrite, 0};
    if (!rewriteDirectory(dir, r.totalEntries, &bases, rewritten)) return {kResultBadDirectory, 0};
    if (!writeDirectoryAndEnd(joined.file, rewritten, r.totalEntries, dirAt, end.comment)) return {writeFailure(), 0};
  }
  joined.keep = true;
  joinedPath = joined.path;
  return {kResultOk, 0};
}

}  // namespace

OpResult joinSpannedSet(const EngineCommand& command, EngineHost& host, bool directoryOnly, std::string& joinedPath) {
  joinedPath.clear();
  try {
    return join(command, host, directoryOnly, joinedPath);
  } catch (const std::bad_alloc&) {
    return {kResultOutOfMemory, 0};
  }
}

}  // namespace vz::zipwrap
