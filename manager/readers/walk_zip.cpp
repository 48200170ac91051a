// Header walk of ZIP and ZIP250 archives (plain and inside programs): the
// central directory, found from the end record.
//
//   end record (22 bytes + comment):
//     0 "PK" 5 6 | 4 disk | 6 cd disk | 8 entries here | 10 entries
//     12 cd size (32) | 16 cd offset (32) | 20 comment length (16)
//   Zip64 locator (20 bytes, just before it): 0 "PK" 6 7 | 8 end offset (64)
//   Zip64 end record: 0 "PK" 6 6 | 40 cd size (64) | 48 cd offset (64)
//
//   central header (46 bytes + name + extra + comment):
//     0 "PK" 1 2 | 4 made by | 6 needed | 8 flags | 10 method | 12 time
//     14 date | 16 CRC-32 | 20 packed | 24 unpacked | 28 name length
//     30 extra length | 32 comment length | 34 disk | 36 internal attr.
//     38 external attr. (32) | 42 local header offset (32)
//
// A self-extracting program's archive may keep its offsets counted from the
// archive's own start; the walk then finds the directory where the end
// record says it must be (just before it) and shifts every offset by the
// difference. The same shift follows the remembered SFX start.
#include <algorithm>
#include <vector>

#include "control/engine/format/crc32.h"
#include "manager/readers/format_walkers.h"
#include "manager/readers/reader_errors.h"
#include "manager/readers/walk_fields.h"

namespace vz::readers {

namespace {

constexpr uint32_t kCentralSig = 0x02014B50;
constexpr uint32_t kEndSig = 0x06054B50;
constexpr uint32_t kZip64LocatorSig = 0x07064B50;
constexpr uint32_t kZip64EndSig = 0x06064B50;
constexpr int64_t kCentralLength = 46;
// The end record with the longest comment it can carry.
constexpr int64_t kEndSearch = 0xFFFF + 22;

class ZipWalker : public FormatWalker {
 public:
  int64_t headerLength() const override { return kCentralLength; }
  bool foldersUncounted() const override { return true; }

  bool begin(WalkContext& ctx, int32_t* error) override {
    const int64_t endAt = findEndRecord(ctx);
    if (endAt < 0) return *error = E_HEADERID, false;
    uint8_t rec[22];
    ctx.read(endAt, rec, sizeof rec);
    int64_t cdSize = le32(rec + 12), cdOffset = le32(rec + 16);
    int64_t directoryEnd = endAt;  // where the directory must end
    uint8_t loc[20], z64[56];
    if ((cdSize == 0xFFFFFFFF || cdOffset == 0xFFFFFFFF || le16(rec + 10) == 0xFFFF) && endAt >= 20 &&
        ctx.read(endAt - 20, loc, sizeof loc) && le32(loc) == kZip64LocatorSig) {
      // The Zip64 end record: at its recorded place, or just before the
      // locator.
      const uint64_t recorded = le64(loc + 8);
      int64_t at = recorded <= static_cast<uint64_t>(ctx.fileSize) ? static_cast<int64_t>(recorded) : -1;
      if (!(at >= 0 && ctx.read(at, z64, sizeof z64) && le32(z64) == kZip64EndSig)) {
        at = endAt - 20 - 56;
        if (!(at >= 0 && ctx.read(at, z64, sizeof z64) && le32(z64) == kZip64EndSig)) at = -1;
      }
      if (at >= 0) {
        const uint64_t size64 = le64(z64 + 40), offset64 = le64(z64 + 48);
        if (size64 > static_cast<uint64_t>(ctx.fileSize) || offset64 > static_cast<uint64_t>(ctx.fileSize))
          return *error = E_BADHEADR, false;
        cdSize = static_cast<int64_t>(size64);
        cdOffset = static_cast<int64_t>(offset64);
        directoryEnd = at;
      }
    }
    // The recorded offset, then shifted by the SFX start, then the place
    // the directory's size puts it.
    const int64_t candidates[] = {0, ctx.zipStart > 0 ? ctx.zipStart : 0, directoryEnd - cdSize - cdOffset};
    ctx.next = cdOffset;
    for (const int64_t shift : candidates) {
      uint8_t sig[4];
      if (ctx.read(cdOffset + shift, sig, 4) && le32(sig) == kCentralSig) {
        shift_ = shift;
        ctx.next = cdOffset + shift;
        break;
      }
    }
    if (ctx.next < 0 || ctx.next > ctx.end) ctx.next = ctx.end;
    return true;
  }

  Step step(WalkContext& ctx, const uint8_t* h, ArcEntry& e, int32_t* error) override {
    if (le32(h) != kCentralSig) {
      if (records_ == 0) return *error = E_BADHEADR, Step::Error;
      return Step::End;
    }
    const uint32_t nameLen = le16(h + 28), extraLen = le16(h + 30), commentLen = le16(h + 32);
    std::vector<uint8_t> var(size_t{nameLen} + extraLen);
    if (!var.empty() && !ctx.read(ctx.next, var.data(), var.size())) return *error = E_READ, Step::Error;
    ++records_;
    const uint16_t flags = le16(h + 8);
    e.versionMadeBy = le16(h + 4);
    e.versionNeeded = le16(h + 6);
    e.encrypted = flags & 1;
    e.zipStrength = (flags & 6) == 6 ? 6 : (flags & 4) ? 4 : (flags & 2) ? 2 : 0;
    e.method = le16(h + 10);
    e.dateTime = localTimeOfDosStamp(le16(h + 12), le16(h + 14));
    e.crc = le32(h + 16);
    e.packedSize = le32(h + 20);
    e.unpackedSize = le32(h + 24);
    e.attributes32 = le32(h + 38);
    e.attributes16 = static_cast<uint16_t>(e.attributes32 & 0xFFFF);
    if ((e.versionMadeBy >> 8) == 3) e.unixMode = e.attributes32 >> 16;
    int64_t localOffset = le32(h + 42);
    const std::string raw(reinterpret_cast<const char*>(var.data()), nameLen);
    // Bit 11: the name is UTF-8; names from Unix hosts are UTF-8 in practice.
    e.fileName = (flags & 0x800) ? raw : ((e.versionMadeBy >> 8) == 3 ? nameToUtf8(raw) : vz::cp437ToUtf8(raw));
    readExtra(var.data() + nameLen, extraLen, raw, e, localOffset);
    e.dataOffset = localOffset + shift_;
    e.isFolder = (e.attributes32 & 0x10) || (!e.fileName.empty() && e.fileName.back() == '/');
    ctx.next += int64_t{nameLen} + extraLen + commentLen;
    return Step::Entry;
  }

 private:
  // The last end record in the file's tail, -1 when there is none.
  static int64_t findEndRecord(const WalkContext& ctx) {
    const int64_t span = std::min(ctx.fileSize, kEndSearch);
    if (span < 22) return -1;
    std::vector<uint8_t> tail(static_cast<size_t>(span));
    if (!ctx.read(ctx.fileSize - span, tail.data(), tail.size())) return -1;
    for (int64_t i = span - 22; i >= 0; --i)
      if (le32(tail.data() + i) == kEndSig) return ctx.fileSize - span + i;
    return -1;
  }

  // Zip64 sizes and offset (tag 1) and the UTF-8 name (the last tag 0x7075
  // whose CRC of the stored name matches).
  static void readExtra(const uint8_t* x, uint32_t len, const std::string& rawName, ArcEntry& e, int64_t& localOffset) {
    uint32_t pos = 0;
    while (pos + 4 <= len) {
      const uint16_t tag = le16(x + pos), size = le16(x + pos + 2);
      const uint8_t* d = x + pos + 4;
      if (size > len - pos - 4) break;
      if (tag == 0x0001) {
        uint32_t at = 0;
        auto take = [&](int64_t& field) {
          if (field == 0xFFFFFFFF && at + 8 <= size) {
            field = static_cast<int64_t>(le64(d + at) & 0x7FFFFFFFFFFFFFFF);
            at += 8;
          }
        };
        take(e.unpackedSize);
        take(e.packedSize);
        take(localOffset);
      } else if (tag == 0x7075 && size > 5 && d[0] == 1 &&
                 le32(d + 1) == vz::engine::crc32Update(0, rawName.data(), rawName.size())) {
        const std::string utf8(reinterpret_cast<const char*>(d + 5), size - 5);
        if (vz::isValidUtf8(utf8)) e.fileName = utf8;
      }
      pos += 4 + size;
    }
  }

  int64_t shift_ = 0;    // added to the recorded offsets (SFX archives counted from their own start)
  int32_t records_ = 0;  // central headers walked
};

}  // namespace

std::unique_ptr<FormatWalker> makeZipWalker() { return std::make_unique<ZipWalker>(); }

}  // namespace vz::readers
