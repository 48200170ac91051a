// Header walk of ZOO archives: a linked list of directory entries.
//
// Archive header (at the archive start):
//   0     text            "ZOO 2.10 Archive." 1A ... (20 bytes)
//   20    FDC4A7DC        tag (u32)
//   24    first entry     u32, offset of the first directory entry
//   28    minus first     u32, its negation (a check)
//   32    major, 33 minor version ...
// Directory entry:
//   0     FDC4A7DC        tag
//   4     type            1 or 2 (2 has the variable part)
//   5     method          0 stored, 1 LZW, 2 LZH
//   6     next entry      u32 offset; below 1 ends the list
//   10    data offset     u32
//   14    DOS date, 16 time
//   18    CRC-16          20 unpacked size   24 packed size
//   28    major, 29 minor version needed
//   30    deleted         1 = a deleted entry, skipped
//   31    structure       32 comment offset (u32)   36 comment size (u16)
//   38    name[13]        the short name, zero-terminated
//   51    variable size   u16 (type 2)   53 time zone   54 entry CRC-16
//   56    name length, 57 folder length (when the variable size reaches them)
//   58    long name, then the folder name ("/" separators), then more
//
// Each entry names the next one; a next offset that does not lie behind
// the current entry (a loop) or past the file ends the walk.
#include <vector>

#include "manager/readers/reader_errors.h"
#include "control/engine/format/dos_time.h"
#include "manager/readers/format_walkers.h"
#include "manager/readers/legacy_fields.h"

namespace vz::readers {
namespace {

constexpr int64_t kEntry = 56;  // an entry's fixed part, read by the lister
constexpr uint32_t kTag = 0xFDC4A7DC;

class ZooWalker final : public FormatWalker {
 public:
  int64_t headerLength() const override { return kEntry; }

  bool begin(WalkContext& ctx, int32_t* error) override {
    std::vector<uint8_t> b;
    if (!readSpan(ctx, ctx.archiveStart, 34, b)) return fail(error, E_BADHEADR);
    vz::engine::BoundedReader r(b);
    const int64_t first = r.le32(24);
    if (r.le32(20) != kTag || first < 34 || ctx.archiveStart + first >= ctx.fileSize) return fail(error, E_BADHEADR);
    ctx.next = ctx.archiveStart + first;
    return true;
  }

  Step step(WalkContext& ctx, const uint8_t* h, ArcEntry& entry, int32_t* error) override {
    vz::engine::BoundedReader r({h, static_cast<size_t>(kEntry)});
    if (r.le32(0) != kTag) return stepError(error, E_HEADERID);
    const int64_t next = r.le32(6);
    if (next < 1) return Step::End;
    const int64_t nextAt = ctx.archiveStart + next;
    if (nextAt <= ctx.current || nextAt >= ctx.fileSize) return stepError(error, E_BADHEADR);
    ctx.next = nextAt;
    if (h[30] & 1) return Step::Skip;  // deleted
    const int type = h[4];
    const int64_t packed = r.le32(24);
    const int64_t dataAt = ctx.archiveStart + r.le32(10);
    if (!vz::engine::rangeFits(dataAt, packed, ctx.fileSize)) return stepError(error, E_READ);
    std::string name = storedName(std::string_view(reinterpret_cast<const char*>(h) + 38, 13));
    std::string folder;
    if (type == 2) {
      const int64_t varSize = r.le16(51);
      std::vector<uint8_t> v;
      if (varSize >= 2) {
        if (!readSpan(ctx, ctx.current + kEntry, varSize, v)) return stepError(error, E_BADLENGTHS);
        const int64_t nameLength = v[0], folderLength = v[1];
        if (2 + nameLength + folderLength > varSize) return stepError(error, E_BADLENGTHS);
        const char* chars = reinterpret_cast<const char*>(v.data()) + 2;
        if (nameLength > 0) name = storedName(std::string_view(chars, nameLength));
        if (folderLength > 0) folder = storedName(std::string_view(chars + nameLength, folderLength));
      }
    }
    if (!folder.empty() && folder.back() != '/') folder += '/';
    entry.fileName = folder + name;
    entry.method = h[5];
    entry.dateTime = dosStamp(vz::engine::combineDosDateTime(r.le16(16), r.le16(14)));
    entry.crc = r.le16(18);
    entry.unpackedSize = r.le32(20);
    entry.packedSize = packed;
    entry.versionMadeBy = h[28];
    entry.versionNeeded = h[29];
    entry.dataOffset = dataAt;
    finishEntry(entry);
    return Step::Entry;
  }

 private:
  static bool fail(int32_t* error, int32_t code) {
    *error = code;
    return false;
  }
  static Step stepError(int32_t* error, int32_t code) {
    *error = code;
    return Step::Error;
  }
};

}  // namespace

std::unique_ptr<FormatWalker> makeZooWalker() { return std::make_unique<ZooWalker>(); }

}  // namespace vz::readers
