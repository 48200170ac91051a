// Header walk of ARC and PAK archives (plain or behind a self-extractor).
//
// An archive is a run of entries, each a header followed by its data:
//
//   0     1A              marker
//   1     method          0 = end of archive; 1 = old stored (no unpacked
//                         size: a 25-byte header); 2..9 ARC, 10..11 PAK;
//                         20..29 information records; 30 a folder whose data
//                         is a nested run of entries; 31 end of that folder
//   2     name[13]        zero-terminated, DOS code page
//   15    packed size     u32
//   19    date, 21 time   DOS stamp
//   23    CRC-16
//   25    unpacked size   u32 (absent for method 1)
//   29    data (packed size bytes)
//
// PAK's extended records sit behind the end marker, so the walk has already
// stopped when it would meet them. ARC 7's information records (20..29) are
// stepped over by their size; its folders (30) are entered, their entries
// listed with the folder's name in front: a folder's data is a run of
// entries closed by its own end marker, after which the walk goes on behind
// the folder's data. Folder nesting is bounded.
#include <string>
#include <vector>

#include "manager/readers/reader_errors.h"
#include "control/engine/format/dos_time.h"
#include "manager/readers/format_walkers.h"
#include "manager/readers/legacy_fields.h"

namespace vz::readers {
namespace {

constexpr int64_t kHeader = 29;
constexpr int kMaxDepth = 32;  // folders inside folders beyond this do not fit

class ArcWalker final : public FormatWalker {
 public:
  int64_t headerLength() const override { return kHeader; }

  bool begin(WalkContext& ctx, int32_t* /*error*/) override {
    ctx.next = ctx.archiveStart;
    folders_.clear();
    return true;
  }

  Step step(WalkContext& ctx, const uint8_t* h, ArcEntry& entry, int32_t* error) override {
    if (h[0] != 0x1A) {
      // Trailing bytes after the last entry are no entry; within a folder a
      // missing marker is a broken header.
      if (folders_.empty()) return Step::End;
      *error = E_BADHEADR;
      return Step::Error;
    }
    const uint8_t method = h[1];
    if (method == 0) {
      if (folders_.empty()) return Step::End;
      ctx.next = folders_.back().end;  // the folder's run ended: on behind it
      folders_.pop_back();
      return Step::Skip;
    }
    if (method > 30 || (method > 11 && method < 20)) {
      *error = E_BADHEADR;
      return Step::Error;
    }
    vz::engine::BoundedReader r({h, static_cast<size_t>(kHeader)});
    const int64_t packed = r.le32(15);
    const int64_t headerSize = method == 1 ? 25 : kHeader;
    const int64_t dataStart = ctx.current + headerSize;
    if (!vz::engine::rangeFits(dataStart, packed, ctx.fileSize)) {
      *error = E_READ;
      return Step::Error;
    }
    std::string name = storedName(std::string_view(reinterpret_cast<const char*>(h + 2), 13));
    if (method >= 20 && method <= 29) {  // information record
      ctx.next = dataStart + packed;
      return Step::Skip;
    }
    if (method == 30) {  // a folder: its data holds its entries
      if (static_cast<int>(folders_.size()) >= kMaxDepth) {
        *error = E_NESTEDDIRS;
        return Step::Error;
      }
      folders_.push_back({prefix() + name + "/", dataStart + packed});
      ctx.next = dataStart;
      return Step::Skip;
    }
    entry.fileName = prefix() + name;
    entry.method = method;
    entry.packedSize = packed;
    entry.unpackedSize = method == 1 ? packed : r.le32(25);
    entry.dateTime = dosStamp(vz::engine::combineDosDateTime(r.le16(21), r.le16(19)));
    entry.crc = r.le16(23);
    entry.attributes16 = 0x20;
    entry.attributes32 = 0x20;
    entry.dataOffset = dataStart;
    ctx.next = dataStart + packed;
    finishEntry(entry);
    return Step::Entry;
  }

 private:
  struct Folder {
    std::string path;  // the folder's name with "/", behind its parents' names
    int64_t end = 0;   // the position behind the folder's data
  };
  std::string prefix() const { return folders_.empty() ? std::string() : folders_.back().path; }

  std::vector<Folder> folders_;  // the folders entered, innermost last
};

}  // namespace

std::unique_ptr<FormatWalker> makeArcWalker() { return std::make_unique<ArcWalker>(); }

}  // namespace vz::readers
