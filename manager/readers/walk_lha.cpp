// Header walk of LHA and LZH archives (plain or behind a self-extractor),
// header levels 0 to 3.
//
//   level 0 and 1                          level 2 and 3
//   0   header size (u8, from byte 2)     0   level 2: total header size (u16)
//   1   checksum (sum of bytes 2..)           level 3: 4, the size-field width
//   2   method "-lh5-" ("-lhd-" = folder) 2   method
//   7   packed size (level 1: data +      7   packed size
//       extended headers)
//   11  unpacked size                     11  unpacked size
//   15  DOS stamp (time low, date high)   15  Unix time
//   19  DOS attribute (level 1: 20 hex)   19  20 hex
//   20  level                             20  level
//   21  name length, 22 name              21  header CRC-16, 23 OS id
//   then CRC-16 of the data; level 1:     24  level 2: first extended header
//       OS id and the first extended          size (u16); level 3: total
//       header size (the last 2 bytes)        header size (u32), 28 first
//                                             extended header size (u32)
//
// Extended headers: size (including the size field itself) -> for level 1
// and 2 a u16, level 3 a u32; each header is a type byte, its data and the
// next header's size at its end (0 ends the chain). Types read: 01 file
// name, 02 folder name (FF between folders), 40 DOS attributes, 42 64-bit
// sizes, 50 Unix permission, 54 Unix time (level 0 keeps the last two in an
// extension area behind the CRC, see below). A level-0/1 header whose
// checksum fails, or whose extended header 00 (the CRC-16 of the whole
// header with that field counted as 0) does not match, reports 25136. The entry's CRC is the data's CRC-16, its
// version made by the OS id ('U' Unix, 'M' DOS, 'm' Mac, ...; 0 when the
// header has none).
//
// Next header: level 0 and 1: header start + header size + 2 + packed size
// (level 1's counts the extended headers, which the entry's packed size
// leaves out); level 2 and 3: header start + total header size + packed
// size. The extended headers must lie inside the header.
#include <string>
#include <vector>

#include "manager/readers/codecs/lh_crc16.h"
#include "manager/readers/reader_errors.h"
#include "manager/readers/format_walkers.h"
#include "manager/readers/legacy_fields.h"

namespace vz::readers {
namespace {

constexpr int64_t kHeader = 22;
constexpr int kMaxExtHeaders = 256;

class LhaWalker final : public FormatWalker {
 public:
  int64_t headerLength() const override { return kHeader; }

  bool begin(WalkContext& ctx, int32_t* /*error*/) override {
    ctx.next = ctx.archiveStart;
    return true;
  }

  Step step(WalkContext& ctx, const uint8_t* h, ArcEntry& entry, int32_t* error) override {
    if (h[0] == 0) return Step::End;
    const int level = h[20];
    if (h[2] != '-' || h[6] != '-' || level > 3) {
      *error = E_BADHEADR;
      return Step::Error;
    }
    vz::engine::BoundedReader r({h, static_cast<size_t>(kHeader)});
    entry.method = h[5];
    entry.packedSize = r.le32(7);
    entry.unpackedSize = r.le32(11);
    std::string name, folder;
    int64_t extStart = 0;      // position of the first extended header's size field
    int64_t extSizeWidth = 2;  // width of the extended headers' size fields
    int64_t firstExtSize = 0;  // size of the first extended header
    int64_t headerEnd = 0;     // the data's position (the end of the whole header)
    const int64_t at = ctx.current;
    std::vector<uint8_t> b;
    if (level <= 1) {
      const int64_t size = h[0];
      // The size counts from byte 2 and must hold the fixed fields.
      if (size + 2 < kHeader) return fail(error, E_BADLENGTHS);
      if (!readSpan(ctx, at, size + 2, b)) return fail(error, E_READ);
      uint8_t sum = 0;
      for (int64_t i = 2; i < size + 2; ++i) sum = static_cast<uint8_t>(sum + b[static_cast<size_t>(i)]);
      if (sum != b[1]) return fail(error, E_HEADERCRC);
      const int64_t nameLength = b[21];
      if (22 + nameLength > size + 2) return fail(error, E_BADLENGTHS);
      name = storedName(std::string_view(reinterpret_cast<const char*>(b.data()) + 22, nameLength), true);
      entry.dateTime = dosStamp(r.le32(15));
      if (level == 0) entry.attributes16 = h[19];
      headerEnd = at + size + 2;
      // The data's CRC-16 follows the name, then (level 1, and level 0
      // headers with an extension area) the OS id.
      if (24 + nameLength <= size + 2) entry.crc = b[22 + nameLength] | (b[23 + nameLength] << 8);
      if (25 + nameLength <= size + 2) entry.versionMadeBy = b[24 + nameLength];
      // A level-0 header's extension area behind the CRC: Unix LHA writes
      // 'U', 0, the Unix time (u32), then the permissions, user and group
      // (u16 each) at the area's end. PMarc keeps comments there instead.
      const size_t areaAt = static_cast<size_t>(24 + nameLength);
      const size_t areaEnd = static_cast<size_t>(size + 2);
      if (level == 0 && h[3] != 'p' && areaAt + 12 <= areaEnd && b[areaAt] == 'U' && b[areaAt + 1] == 0) {
        vz::engine::BoundedReader ar(b);
        entry.dateTime = unixStamp(ar.le32(areaAt + 2));
        entry.unixMode = ar.le16(areaEnd - 6);
      }
      if (level == 1) {
        if (22 + nameLength + 5 > size + 2) return fail(error, E_BADLENGTHS);
        firstExtSize = b[static_cast<size_t>(size)] | (b[static_cast<size_t>(size) + 1] << 8);
        extStart = headerEnd;  // the chain starts behind the base header
      }
    } else {
      const int64_t base = level == 2 ? 26 : 32;
      if (!readSpan(ctx, at, base, b)) return fail(error, E_READ);
      vz::engine::BoundedReader br(b);
      entry.dateTime = unixStamp(br.le32(15));
      entry.crc = br.le16(21);
      entry.versionMadeBy = b[23];
      extSizeWidth = level == 2 ? 2 : 4;
      firstExtSize = level == 2 ? br.le16(24) : br.le32(28);
      extStart = at + base;
      headerEnd = at + (level == 2 ? br.le16(0) : br.le32(24));
      // LHA for OS-9/68k (OS id 'K') writes level-2 header sizes two bytes
      // short: the size of the header without its size field.
      if (level == 2 && b[23] == 'K') headerEnd += 2;
      if (level == 3 && br.le16(0) != 4) return fail(error, E_BADHEADR);
      if (headerEnd < extStart) return fail(error, E_BADLENGTHS);
    }
    // The extended headers.
    int64_t pos = extStart;
    int64_t headerCrcAt = -1;  // position of the header CRC's value (extended header 00), -1 when none
    uint32_t headerCrc = 0;
    int64_t extTotal = 0;
    for (int i = 0; firstExtSize != 0 && extStart != 0; ++i) {
      if (i == kMaxExtHeaders || firstExtSize < extSizeWidth + 1) return fail(error, E_BADHEADR);
      std::vector<uint8_t> e;
      if (!readSpan(ctx, pos, firstExtSize, e)) return fail(error, E_READ);
      vz::engine::BoundedReader er(e);
      const uint8_t type = e[0];
      const size_t dataLength = static_cast<size_t>(firstExtSize - 1 - extSizeWidth);
      std::string_view data(reinterpret_cast<const char*>(e.data()) + 1, dataLength);
      switch (type) {
        case 0x00:
          if (dataLength >= 2) headerCrcAt = pos + 1, headerCrc = er.le16(1);
          break;
        case 0x01:
          name = storedName(data);
          break;
        case 0x02:
          folder = storedName(data, true);
          break;
        case 0x40:
          if (dataLength >= 2) entry.attributes16 = er.le16(1);
          break;
        case 0x42:
          if (dataLength >= 16) {
            entry.packedSize = static_cast<int64_t>(er.le64(1) & 0x7FFFFFFFFFFFFFFF);
            entry.unpackedSize = static_cast<int64_t>(er.le64(9) & 0x7FFFFFFFFFFFFFFF);
          }
          break;
        case 0x50:
          if (dataLength >= 2) entry.unixMode = er.le16(1);
          break;
        case 0x54:
          if (dataLength >= 4) entry.dateTime = unixStamp(er.le32(1));
          break;
        default:
          break;
      }
      extTotal += firstExtSize;
      pos += firstExtSize;
      firstExtSize = extSizeWidth == 2 ? er.le16(1 + dataLength) : er.le32(1 + dataLength);
    }
    if (level == 1) {
      // The level-1 packed size counts the extended headers as well.
      if (extTotal > entry.packedSize) return fail(error, E_BADLENGTHS);
      entry.packedSize -= extTotal;
      headerEnd = pos;
    } else if (pos > headerEnd) {
      return fail(error, E_BADLENGTHS);
    }
    if (headerEnd <= at || !vz::engine::rangeFits(headerEnd, entry.packedSize, ctx.fileSize))
      return fail(error, E_READ);
    // Extended header 00: the CRC-16 of the whole header (extended headers
    // included) with its own two bytes counted as 0.
    if (headerCrcAt >= 0 && headerEnd - at <= kMaxHeaderBytes) {
      std::vector<uint8_t> whole;
      if (!readSpan(ctx, at, headerEnd - at, whole)) return fail(error, E_READ);
      whole[static_cast<size_t>(headerCrcAt - at)] = whole[static_cast<size_t>(headerCrcAt - at) + 1] = 0;
      if (codecs::lhCrc16(0, whole.data(), whole.size()) != headerCrc) return fail(error, E_HEADERCRC);
    }
    if (!folder.empty() && folder.back() != '/') folder += '/';
    entry.fileName = folder + name;
    entry.isFolder = std::string_view(reinterpret_cast<const char*>(h) + 2, 5) == "-lhd-";
    // Some Amiga archivers store folders as empty -lh0- entries that carry
    // a folder name and no file name.
    if (name.empty() && !folder.empty() && entry.unpackedSize == 0) entry.isFolder = true;
    if ((entry.unixMode & 0xF000) == 0x4000) entry.isFolder = true;
    entry.attributes32 = entry.attributes16;
    entry.dataOffset = headerEnd;
    ctx.next = headerEnd + entry.packedSize;
    // A PMarc self-extractor keeps its program in a first "-pms-" entry
    // with no name: not a file of the archive.
    if (std::string_view(reinterpret_cast<const char*>(h) + 2, 5) == "-pms-") return Step::Skip;
    finishEntry(entry);
    return Step::Entry;
  }

 private:
  static Step fail(int32_t* error, int32_t code) {
    *error = code;
    return Step::Error;
  }
};

}  // namespace

std::unique_ptr<FormatWalker> makeLhaWalker() { return std::make_unique<LhaWalker>(); }

}  // namespace vz::readers
