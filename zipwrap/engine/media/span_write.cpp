// Spreading a finished archive over removable disks (span_write.h).
//
// The built archive is a plain single-file archive in a temporary file. Its
// central directory gives every entry's local header; the entries are
// copied in file order onto the disks of the set (span_media.h for the
// layout), each central header with its disk number and its offset on that
// disk, then the end record. When the whole archive fits on the first disk
// it is copied as it is: a set of one disk is a plain archive.
//
// Each disk, before anything is written to it:
//   1. asked for with callback 110 (its number from 1); a stop gives 190;
//   2. refused when write-protected (the label cannot be written): asked for
//      again;
//   3. with -& emptied of every file; without, only an old file of the
//      archive's name is removed;
//   4. labelled "PKBACK# 00n";
//   5. its free space is what it takes; a disk without room for the next
//      header (or with less than kMinDiskRoom) is full: asked for again.
// After kMaxRefusals disks refused in a row the set is given up (150 for
// full disks, 400 for write-protected ones). A drive that is not removable
// takes the whole archive on one disk without being asked for.
#include "zipwrap/engine/media/span_write.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <new>
#include <optional>
#include <vector>

#include "control/engine/format/zip_records.h"
#include "platform/drives.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "zipwrap/engine/media/span_media.h"

namespace vz::zipwrap {

using namespace vz::engine;

namespace {

// Disks refused in a row (full or write-protected) before the set is given up.
constexpr int kMaxRefusals = 10;
// The least free space a disk must have to be used at all; less counts as
// a full disk.
constexpr int64_t kMinDiskRoom = 1024;

uint16_t writeFailure() { return (errno == ENOSPC || errno == EDQUOT) ? kResultDiskFull : kResultCannotWrite; }

// One central record of the built archive, its bytes whole.
struct DirectoryRecord {
  CentralHeader header;
  std::vector<uint8_t> bytes;  // header, name, extra field, comment
};

// The disks of the set being written, one after another.
class DiskWriter {
 public:
  DiskWriter(const EngineCommand& command, EngineHost& host)
      : command_(command), host_(host), native_(toNativePath(command.archive)) {
    removable_ = drives::driveType(native_) == DriveType::Removable;
  }

  // Number of the disk being written, from 1 (0 before the first).
  uint32_t disk() const { return disk_; }
  // Position in the current disk's file.
  int64_t position() const { return position_; }
  // Bytes the current disk still takes.
  int64_t room() const { return room_; }
  uint16_t failure() const { return failure_; }

  // Closes the current disk and gets the next one ready, with room for at
  // least need bytes.
  bool nextDisk(int64_t need) {
    if (out_.isOpen() && !out_.sync()) return fail(writeFailure());
    out_.close();
    if (!removable_ && disk_ > 0) return fail(kResultDiskFull);  // a fixed drive has one disk
    const uint32_t wanted = disk_ + 1;
    int full = 0, protectedDisks = 0;
    while (true) {
      if (full + protectedDisks >= kMaxRefusals)
        return fail(full >= protectedDisks ? kResultDiskFull : kResultCannotAccess);
      if (removable_ && !host_.askForDisk(wanted)) return fail(kResultAborted);
      if (removable_ && (drives::isWriteProtected(native_) || !drives::setVolumeLabel(native_, diskLabel(wanted)))) {
        ++protectedDisks;
        continue;
      }
      if (removable_) {
        clearDisk();
        if (!drives::setVolumeLabel(native_, diskLabel(wanted))) {
          ++protectedDisks;
          continue;
        }
      } else {
        removeFile(native_);
      }
      const std::optional<uint64_t> free = drives::freeSpace(native_);
      const int64_t room = free ? static_cast<int64_t>(std::min<uint64_t>(*free, INT64_MAX)) : INT64_MAX;
      if (room < std::max(need, kMinDiskRoom)) {
        if (!removable_) return fail(kResultDiskFull);
        ++full;
        continue;
      }
      if (!out_.open(native_, File::Mode::Create)) {
        if (errno == EROFS || errno == EACCES) {
          ++protectedDisks;
          continue;
        }
        return fail(kResultCannotAccess);
      }
      disk_ = wanted;
      room_ = room;
      position_ = 0;
      return true;
    }
  }

  // A header: never cut, so a new disk when this one has no room for it.
  bool writeWhole(const void* data, size_t n) {
    if (room_ < static_cast<int64_t>(n) && !nextDisk(static_cast<int64_t>(n))) return false;
    return put(data, n);
  }

  // Entry data: as much as fits on each disk.
  bool writeRange(const File& src, int64_t at, int64_t count) {
    std::vector<uint8_t> buf(65536);
    while (count > 0) {
      if (room_ == 0 && !nextDisk(1)) return false;
      const size_t n = static_cast<size_t>(std::min<int64_t>({count, room_, static_cast<int64_t>(buf.size())}));
      if (src.readAt(at, buf.data(), n) != static_cast<int64_t>(n)) return fail(kResultCannotWrite);
      if (!put(buf.data(), n)) return false;
      at += static_cast<int64_t>(n);
      count -= static_cast<int64_t>(n);
    }
    return true;
  }

  bool finish() {
    if (!out_.sync()) return fail(writeFailure());
    out_.close();
    return true;
  }

 private:
  bool fail(uint16_t code) {
    failure_ = code;
    return false;
  }

  bool put(const void* data, size_t n) {
    if (!out_.write(data, n)) return fail(writeFailure());
    position_ += static_cast<int64_t>(n);
    room_ -= static_cast<int64_t>(n);
    return true;
  }

  // -&: every file of the disk goes (the label is written again after);
  // otherwise only an old file of the archive's name.
  void clearDisk() {
    if (!command_.wipeDisks) {
      removeFile(native_);
      return;
    }
    const std::optional<DriveInfo> drive = drives::driveOf(native_);
    if (!drive || drive->root.empty() || drive->root == "/") return;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(drive->root, ec))
      std::filesystem::remove_all(e.path(), ec);
  }

  const EngineCommand& command_;
  EngineHost& host_;
  std::string native_;      // the archive's file-system path (the same on every disk)
  bool removable_ = false;  // the archive's drive takes removable disks
  uint32_t disk_ = 0;       // the disk being written (from 1), 0 before the first
  File out_;                // the archive's file on the current disk
  int64_t position_ = 0;    // bytes written to it
  int64_t room_ = 0;        // bytes the disk still takes
  uint16_t failure_ = kResultOk;
};

// The central directory of the built archive, in order.
bool readDirectory(const File& built, const FoundEndRecord& end, std::vector<DirectoryRecord>& out) {
  int64_t at = end.record.directoryOffset;
  for (uint32_t i = 0; i < end.record.totalEntries; ++i) {
    uint8_t raw[kCentralHeaderSize];
    if (built.readAt(at, raw, sizeof raw) != static_cast<int64_t>(sizeof raw)) return false;
    std::optional<CentralHeader> h = parseCentralHeader(raw);
    if (!h) return false;
    DirectoryRecord r;
    r.header = *h;
    r.bytes.resize(kCentralHeaderSize + h->nameLength + h->extraLength + h->commentLength);
    if (built.readAt(at, r.bytes.data(), r.bytes.size()) != static_cast<int64_t>(r.bytes.size())) return false;
    at += static_cast<int64_t>(r.bytes.size());
    out.push_back(std::move(r));
  }
  return true;
}

// The bytes of the local header (with name and extra field) at at.
bool localHeaderBytes(const File& built, int64_t at, std::vector<uint8_t>& out) {
  uint8_t raw[kLocalHeaderSize];
  if (built.readAt(at, raw, sizeof raw) != static_cast<int64_t>(sizeof raw)) return false;
  std::optional<LocalHeader> h = parseLocalHeader(raw);
  if (!h) return false;
  out.resize(kLocalHeaderSize + h->nameLength + h->extraLength);
  return built.readAt(at, out.data(), out.size()) == static_cast<int64_t>(out.size());
}

OpResult spread(const EngineCommand& command, EngineHost& host, const File& built) {
  const std::optional<FoundEndRecord> end = findEndRecord(built);
  std::vector<DirectoryRecord> records;
  if (!end || !readDirectory(built, *end, records)) return {kResultCannotWrite, 0};
  const int64_t size = built.size();
  DiskWriter w(command, host);
  if (!w.nextDisk(1)) return {w.failure(), 0};
  if (w.room() >= size) {
    if (!w.writeRange(built, 0, size) || !w.finish()) return {w.failure(), 0};
    return {kResultOk, 0};
  }
  // Entries in the order of their local headers; each runs to the next one
  // (or to the directory).
  std::vector<size_t> order(records.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return records[a].header.localHeaderOffset < records[b].header.localHeaderOffset;
  });
  uint8_t marker[4];
  storeLe32(marker, kSpanningSignature);
  if (!w.writeWhole(marker, sizeof marker)) return {w.failure(), 0};
  std::vector<uint8_t> header;
  for (size_t k = 0; k < order.size(); ++k) {
    DirectoryRecord& r = records[order[k]];
    const int64_t at = r.header.localHeaderOffset;
    const int64_t next = k + 1 < order.size() ? records[order[k + 1]].header.localHeaderOffset
                                              : static_cast<int64_t>(end->record.directoryOffset);
    if (!localHeaderBytes(built, at, header) || at + static_cast<int64_t>(header.size()) > next)
      return {kResultCannotWrite, 0};
    if (w.room() < static_cast<int64_t>(header.size()) && !w.nextDisk(static_cast<int64_t>(header.size())))
      return {w.failure(), 0};
    storeLe16(&r.bytes[central_field::kDiskNumberStart], static_cast<uint16_t>(w.disk() - 1));
    storeLe32(&r.bytes[central_field::kLocalHeaderOffset], static_cast<uint32_t>(w.position()));
    if (!w.writeWhole(header.data(), header.size())) return {w.failure(), 0};
    const int64_t dataAt = at + static_cast<int64_t>(header.size());
    if (!w.writeRange(built, dataAt, next - dataAt)) return {w.failure(), 0};
  }
  // The directory, then the end record on the disk it ends on.
  uint32_t directoryDisk = 0, directoryOffset = 0;
  uint32_t onLastDisk = 0, countedDisk = 0;  // central headers on the disk countedDisk
  int64_t directorySize = 0;
  for (size_t i = 0; i < records.size(); ++i) {
    const std::vector<uint8_t>& bytes = records[i].bytes;
    if (w.room() < static_cast<int64_t>(bytes.size()) && !w.nextDisk(static_cast<int64_t>(bytes.size())))
      return {w.failure(), 0};
    if (i == 0) {
      directoryDisk = w.disk();
      directoryOffset = static_cast<uint32_t>(w.position());
    }
    if (!w.writeWhole(bytes.data(), bytes.size())) return {w.failure(), 0};
    onLastDisk = w.disk() == countedDisk ? onLastDisk + 1 : 1;
    countedDisk = w.disk();
    directorySize += static_cast<int64_t>(bytes.size());
  }
  if (records.empty()) {
    directoryDisk = w.disk();
    directoryOffset = static_cast<uint32_t>(w.position());
  }
  const size_t endSize = kEndRecordSize + end->comment.size();
  if (w.room() < static_cast<int64_t>(endSize)) {
    if (!w.nextDisk(static_cast<int64_t>(endSize))) return {w.failure(), 0};
    onLastDisk = 0;
  }
  EndRecord rec;
  rec.thisDisk = static_cast<uint16_t>(w.disk() - 1);
  rec.directoryDisk = static_cast<uint16_t>(directoryDisk - 1);
  rec.entriesOnDisk = static_cast<uint16_t>(onLastDisk);
  rec.totalEntries = static_cast<uint16_t>(records.size());
  rec.directorySize = static_cast<uint32_t>(directorySize);
  rec.directoryOffset = directoryOffset;
  rec.commentLength = static_cast<uint16_t>(end->comment.size());
  std::vector<uint8_t> tail(endSize);
  const auto bytes = encodeEndRecord(rec);
  std::copy(bytes.begin(), bytes.end(), tail.begin());
  std::copy(end->comment.begin(), end->comment.end(), tail.begin() + kEndRecordSize);
  if (!w.writeWhole(tail.data(), tail.size()) || !w.finish()) return {w.failure(), 0};
  return {kResultOk, 0};
}

}  // namespace

OpResult spanArchiveToDisks(const EngineCommand& command, EngineHost& host, const std::string& builtArchive) {
  try {
    File built;
    if (!built.open(builtArchive, File::Mode::Read)) return {kResultCannotWrite, 0};
    return spread(command, host, built);
  } catch (const std::bad_alloc&) {
    return {kResultOutOfMemory, 0};
  }
}

}  // namespace vz::zipwrap
