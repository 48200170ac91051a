// Header walk of ARJ archives (plain or behind a self-extractor), with
// entries continued across the volumes of a multi-volume set.
//
// Every header, the main header first, has the same frame:
//
//   0     60 EA           id
//   2     basic size      u16: bytes from 4 to the header CRC; 0 = end of archive
//   4     first size      u16 -> u8: size of the fixed part (30, 34 with bit 3 of
//                         the flags, more in newer versions)
//   5     version made    6  version needed   7  host OS
//   8     flags           bit 0 encrypted, bit 2 continued in the next volume,
//                         bit 3 continued from the previous one (four more
//                         bytes: the position in the whole file), bit 4 "/"
//                         used as the separator
//   9     method          10 file type (0 binary, 1 text, 2 main header,
//                         3 folder, 4 volume label)
//   12    stamp           u32: DOS date and time (time low, date high); from
//                         a Unix host (7, value 2) seconds since 1970, as
//                         arj itself writes and reads them there
//   16    packed size     20 unpacked size   24 CRC-32 of the data
//   28    name position   30 access mode (DOS attributes for DOS hosts)
//   4 + first size        name, zero-terminated; then the comment, zero-terminated
//   4 + basic size        CRC-32 of the basic header (bytes 4 .. 4 + basic size)
//   then                  extended headers: u16 size (0 ends them), bytes, CRC-32;
//                         a Unix host's hard link (file type 6) has one of
//                         "U", two bytes (00 21 from arj), the name it links to
//   then                  the data (packed size bytes)
//
// The first local header follows the main header's CRC and extended
// headers. A header whose CRC does not match reports 25136.
//
// Volumes: the set's first file keeps its own extension (".ARJ"); the next
// ones replace it with the extension's first letter and the volume number
// in two digits, three from 100 on (NAME.A01 ... NAME.A99, NAME.100 ...
// NAME.999), in the case of the first file's extension. An entry whose
// flags say it goes on is followed into the next volume, where it must be
// the first header, marked continued from the previous one; its sizes are
// added. A missing volume reports 25134, more than 999 reports 25150; the
// entry keeps the sizes found so far.
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "control/engine/format/crc32.h"
#include "manager/readers/arj_header.h"
#include "manager/readers/reader_errors.h"
#include "manager/readers/format_walkers.h"
#include "manager/readers/legacy_fields.h"

namespace vz::readers {
namespace {

constexpr int64_t kFixed = 34;        // the fixed header bytes read by the lister
constexpr uint32_t kMaxBasic = 2600;  // the largest basic header the format allows
constexpr int kMaxVolumes = 999;
constexpr int kMaxExtHeaders = 64;  // extended headers per header beyond this do not fit

constexpr uint8_t kEncrypted = kArjEncrypted, kVolume = kArjVolume, kExtFile = kArjExtFile;

// Parses the header at pos of file (size bytes long). Returns 0, or the
// error code of a header that does not fit.
int32_t parseHeader(const WalkContext& ctx, int64_t pos, ArjHeader& out) {
  std::vector<uint8_t> b;
  if (!readSpan(ctx, pos, 4, b)) return E_READ;
  if (b[0] != 0x60 || b[1] != 0xEA) return E_HEADERID;
  out.basicSize = static_cast<uint16_t>(b[2] | (b[3] << 8));
  if (out.basicSize == 0) return 0;
  if (out.basicSize > kMaxBasic || out.basicSize < 30) return E_BADHEADR;
  std::vector<uint8_t> basic;
  if (!readSpan(ctx, pos + 4, out.basicSize + 4, basic)) return E_READ;
  vz::engine::BoundedReader r(basic);
  const uint32_t stored = r.le32(out.basicSize);
  if (vz::engine::crc32Update(0, basic.data(), out.basicSize) != stored) return E_HEADERCRC;
  out.firstSize = basic[0];
  if (out.firstSize < 30 || out.firstSize > out.basicSize) return E_BADHEADR;
  out.versionMade = basic[1];
  out.versionNeeded = basic[2];
  out.hostOs = basic[3];
  out.flags = basic[4];
  out.method = basic[5];
  out.fileType = basic[6];
  out.modifier = basic[7];
  out.encryptionVersion = out.firstSize > 28 ? basic[28] : 0;
  out.stamp = r.le32(8);
  out.packed = r.le32(12);
  out.unpacked = r.le32(16);
  out.crc = r.le32(20);
  out.accessMode = r.le16(26);
  out.name = storedName(
      std::string_view(reinterpret_cast<const char*>(basic.data()) + out.firstSize, out.basicSize - out.firstSize));
  // Extended headers: u16 size, bytes, CRC-32, until a size of 0.
  int64_t p = pos + 4 + out.basicSize + 4;
  for (int i = 0;; ++i) {
    std::vector<uint8_t> sz;
    if (i == kMaxExtHeaders || !readSpan(ctx, p, 2, sz)) return E_BADHEADR;
    const int64_t extSize = sz[0] | (sz[1] << 8);
    p += 2;
    if (extSize == 0) break;
    // A Unix host's special-file header: "U", two bytes, the link target.
    std::vector<uint8_t> ext;
    if (extSize > 3 && extSize <= kMaxBasic && readSpan(ctx, p, extSize, ext) && ext[0] == 'U')
      out.unixLink = storedName(std::string_view(reinterpret_cast<const char*>(ext.data()) + 3, ext.size() - 3));
    p += extSize + 4;
  }
  out.dataStart = p;
  // A main header has no data: its size field holds another stamp.
  if (out.fileType == 2) out.packed = out.unpacked = 0;
  if (!vz::engine::rangeFits(out.dataStart, out.packed, ctx.fileSize)) return E_READ;
  return 0;
}

// The first local header's position behind the main header at pos, or an error.
int32_t firstLocalHeader(const WalkContext& ctx, int64_t pos, int64_t& first, ArjHeader* mainHeader = nullptr) {
  ArjHeader main;
  const int32_t err = parseHeader(ctx, pos, main);
  if (err != 0) return err;
  if (main.basicSize == 0 || main.fileType != 2) return E_BADHEADR;
  first = main.dataStart;  // a main header has no data
  if (mainHeader) *mainHeader = main;
  return 0;
}

// The entry's time: seconds since 1970 from a Unix host, else DOS.
vz::LocalTime stampOf(const ArjHeader& h) { return h.hostOs == 2 ? unixStamp(h.stamp) : dosStamp(h.stamp); }

// The name of volume number (1..999) of the set whose first file is path.
std::string volumeName(const std::string& path, int number) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const std::string stem = hasExt ? path.substr(0, dot) : path;
  const char letter = hasExt && dot + 1 < path.size() ? path[dot + 1] : 'A';
  const bool lower = std::islower(static_cast<unsigned char>(letter)) != 0;
  char ext[8];
  if (number < 100)
    std::snprintf(ext, sizeof ext, ".%c%02d", lower ? 'a' : 'A', number);
  else
    std::snprintf(ext, sizeof ext, ".%03d", number);
  if (number < 100 && std::isalpha(static_cast<unsigned char>(letter))) ext[1] = letter;
  return stem + ext;
}

class ArjWalker final : public FormatWalker {
 public:
  int64_t headerLength() const override { return kFixed; }

  bool begin(WalkContext& ctx, int32_t* error) override {
    int64_t first = 0;
    const int32_t err = firstLocalHeader(ctx, ctx.archiveStart, first);
    if (err != 0) {
      *error = err;
      return false;
    }
    ctx.next = first;
    return true;
  }

  Step step(WalkContext& ctx, const uint8_t* h, ArcEntry& entry, int32_t* error) override {
    if (h[0] != 0x60 || h[1] != 0xEA) return Step::End;  // any other id ends the list
    ArjHeader hd;
    const int32_t err = parseHeader(ctx, ctx.current, hd);
    if (hd.basicSize == 0 && err == 0) return Step::End;
    if (err != 0) {
      *error = err;
      return Step::Error;
    }
    ctx.next = hd.dataStart + hd.packed;
    if (hd.fileType == 2) return Step::Skip;  // a second main header is no entry
    entry.fileName = hd.name;
    entry.method = hd.method;
    entry.versionMadeBy = hd.versionMade;
    entry.versionNeeded = hd.versionNeeded;
    entry.encrypted = (hd.flags & kEncrypted) != 0;
    entry.packedSize = hd.packed;
    entry.unpackedSize = hd.unpacked;
    entry.crc = hd.crc;
    entry.dateTime = arjStamp(hd);
    entry.isFolder = hd.fileType == 3;
    entry.attributes32 = hd.accessMode;
    // DOS-like hosts keep DOS attributes; Unix hosts (2) a Unix mode.
    if (hd.hostOs == 2) {
      entry.unixMode = hd.accessMode;
      if ((hd.accessMode & 0xF000) == 0x4000) entry.isFolder = true;
    } else {
      entry.attributes16 = hd.accessMode & 0xFF;
    }
    entry.dataOffset = hd.dataStart;
    entry.volume = ctx.volume;
    if (hd.flags & kVolume) followVolumes(ctx, hd, entry);
    finishEntry(entry);
    return Step::Entry;
  }

 private:
  // Adds the sizes of the entry's continuations in the next volumes.
  void followVolumes(WalkContext& ctx, const ArjHeader& start, ArcEntry& entry) {
    ArjHeader part = start;
    for (int number = volumeNumberAfter(ctx.archivePath); part.flags & kVolume; ++number) {
      if (number > kMaxVolumes) {
        raise(ctx, E_MAXVOLUMES, {});
        return;
      }
      const std::string path = volumeName(ctx.archivePath, number);
      vz::File vol;
      if (!vol.open(path, vz::File::Mode::Read)) {
        raise(ctx, E_OPEN, path);
        return;
      }
      WalkContext vctx;
      vctx.file = &vol;
      vctx.fileSize = vol.size();
      vctx.end = vctx.fileSize;
      vctx.archivePath = path;
      int64_t first = 0;
      int32_t err = firstLocalHeader(vctx, 0, first);
      ArjHeader next;
      if (err == 0) err = parseHeader(vctx, first, next);
      if (err == 0 && (next.basicSize == 0 || !(next.flags & kExtFile) || next.name != start.name))
        err = E_INCONSISTENT;
      if (err != 0) {
        raise(ctx, err, path);
        return;
      }
      entry.packedSize += next.packed;
      entry.unpackedSize += next.unpacked;
      part = next;
    }
  }

  static void raise(WalkContext& ctx, int32_t code, const std::string& volume) {
    if (ctx.lister) ctx.lister->raiseError(code, volume);
  }

 public:
  // The number of the volume after the one being walked (NAME.A01 -> 2).
  static int volumeNumberAfter(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || path.size() - dot != 4) return 1;
    const std::string ext = path.substr(dot + 1);
    int n = 0, digits = 0;
    for (size_t i = 0; i < ext.size(); ++i) {
      if (std::isdigit(static_cast<unsigned char>(ext[i]))) {
        n = n * 10 + (ext[i] - '0');
        ++digits;
      } else if (i != 0) {
        return 1;
      }
    }
    return digits >= 2 ? n + 1 : 1;
  }
};

}  // namespace

std::unique_ptr<FormatWalker> makeArjWalker() { return std::make_unique<ArjWalker>(); }

// Exposed for the tests of the volume names, and for TUnARJ (arj_header.h).
std::string arjVolumeName(const std::string& path, int number) { return volumeName(path, number); }
int32_t parseArjHeader(const WalkContext& ctx, int64_t pos, ArjHeader& out) { return parseHeader(ctx, pos, out); }
int32_t arjFirstLocalHeader(const WalkContext& ctx, int64_t pos, int64_t& first, ArjHeader* mainHeader) {
  return firstLocalHeader(ctx, pos, first, mainHeader);
}
vz::LocalTime arjStamp(const ArjHeader& h) { return stampOf(h); }
int arjVolumeNumberAfter(const std::string& path) { return ArjWalker::volumeNumberAfter(path); }

}  // namespace vz::readers
