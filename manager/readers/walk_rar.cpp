// Header walk of RAR archives (plain or behind a self-extractor): the block
// format of versions 1.5 to 4.x, and version 5's own header format, both
// behind the "Rar!" marker.
//
// 1.5 - 4.x: marker "Rar!" 1A 07 00 (7 bytes), then blocks:
//   0     header CRC      low 16 bits of the CRC-32 of bytes 2 .. head size
//   2     type            73 main, 74 file, 75 comment, 7A service, 7B end, ...
//   3     flags           u16; 8000 = a data size follows the header
//   5     head size       u16, at least 7
//   7     data size       u32 (files: packed size)
//   file headers (type 74):
//   11    unpacked size   15 host OS (0 DOS ... 3 Unix)   16 CRC-32
//   20    DOS stamp       24 version needed   25 method (30 hex = stored)
//   26    name length     28 attributes (u32)
//   32    high 32 bits of packed and unpacked sizes when flags & 0100
//   ...   name            (flags & 0200: the DOS name, a 0, then the
//                         Unicode name packed as described at
//                         unicodeName; without the 0 the whole name is
//                         UTF-8)
//   flags: 0004 encrypted, 00E0 = 00E0 a folder
// The main header (13 bytes, longer ones skipped) comes first; its flag 0080
// means encrypted headers, which cannot be listed (25190). A file header's
// CRC that does not match reports 25136. Other block types are stepped over
// by their sizes; type 7B ends the list.
//
// 5: marker "Rar!" 1A 07 01 00 (8 bytes), then blocks:
//   0     header CRC-32   of the bytes from the header size on
//   4     header size     vint: bytes from the type on
//   ...   type (vint: 1 main, 2 file, 3 service, 4 encryption, 5 end),
//         header flags (vint: 1 extra area, 2 data area), extra area size,
//         data size (vints, when flagged)
//   file headers (type 2): file flags (vint: 1 folder, 2 mtime, 4 CRC),
//   unpacked size, attributes (vints), mtime (u32, Unix), CRC-32, method
//   (vint: version in bits 0-5, method in bits 7-9), host OS (vint: 0
//   Windows, 1 Unix), name length (vint), name (UTF-8); the extra area's
//   records (size, type vints): 1 encryption, 3 times (flags: 1 Unix format,
//   2 mtime present; Windows times are 100 ns ticks since 1601).
//   The next block follows the header and its data.
//
// A vint is 7 bits per byte, least significant first, the top bit set on
// every byte but the last; more than 10 bytes do not fit.
#include <cstring>
#include <optional>
#include <string_view>
#include <string>
#include <algorithm>
#include <vector>

#include "control/engine/format/crc32.h"
#include "manager/readers/reader_errors.h"
#include "manager/readers/format_walkers.h"
#include "manager/readers/legacy_fields.h"
#include "platform/codepage.h"

namespace vz::readers {
namespace {

constexpr int64_t kHeader = 32;  // a 1.5-4.x file header's fixed part
constexpr int64_t kHeader5 = 7;  // the smallest version 5 block (CRC, size, type, flags)
const uint8_t kMarker4[7] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};
const uint8_t kMarker5[8] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x01, 0x00};

// Reads vints from a byte buffer; a vint past the end or longer than 10
// bytes marks the cursor failed.
// Unpacks the Unicode form of a 1.5-4.x name. The packed bytes start with
// the high byte shared by most characters, then groups of four 2-bit
// opcodes (one flag byte, most significant pair first) each followed by
// its operands:
//   0  one byte: a character below 256
//   1  one byte: the low byte, with the shared high byte
//   2  two bytes: the character, little-endian
//   3  a length byte L: with its top bit clear, (L + 2) characters are the
//      DOS name's bytes at the same positions; with it set, a correction
//      byte C follows and (L & 7F) + 2 characters are the DOS name's bytes
//      plus C (modulo 256), with the shared high byte.
// The result is UTF-8; nullopt when the packed form runs past its bytes or
// names characters past the DOS name, so the DOS name is taken instead.
std::optional<std::string> unicodeName(std::string_view dos, std::string_view packed) {
  if (packed.empty()) return std::nullopt;
  const auto at = [&](size_t i) { return static_cast<uint8_t>(packed[i]); };
  const uint32_t high = at(0) << 8;
  std::u16string units;
  size_t pos = 1;
  unsigned flags = 0, flagBits = 0;
  // Each character consumes at least a quarter of a byte, so the output is
  // bounded by four characters per packed byte plus one run's length.
  while (pos < packed.size() && units.size() < dos.size() + 4 * packed.size()) {
    if (flagBits == 0) {
      flags = at(pos++);
      flagBits = 8;
      if (pos >= packed.size()) break;
    }
    switch (flags >> 6) {
      case 0:
        units.push_back(at(pos++));
        break;
      case 1:
        units.push_back(static_cast<char16_t>(high | at(pos++)));
        break;
      case 2:
        if (pos + 1 >= packed.size()) return std::nullopt;
        units.push_back(static_cast<char16_t>(at(pos) | (at(pos + 1) << 8)));
        pos += 2;
        break;
      default: {
        const uint8_t length = at(pos++);
        uint8_t correction = 0;
        if (length & 0x80) {
          if (pos >= packed.size()) return std::nullopt;
          correction = at(pos++);
        }
        for (unsigned n = (length & 0x7F) + 2; n > 0; --n) {
          if (units.size() >= dos.size()) return std::nullopt;
          const uint8_t b = static_cast<uint8_t>(dos[units.size()]);
          units.push_back(length & 0x80 ? static_cast<char16_t>(high | static_cast<uint8_t>(b + correction)) : b);
        }
      }
    }
    flags = (flags << 2) & 0xFF;
    flagBits -= 2;
  }
  std::string out;
  for (size_t i = 0; i < units.size(); ++i) {
    uint32_t c = units[i];
    if (c == 0) break;
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000)
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
    else if (c >= 0xD800 && c < 0xE000)
      c = 0xFFFD;  // a lone surrogate
    vz::appendUtf8(out, c);
  }
  if (out.empty()) return std::nullopt;
  return out;
}

// A 1.5-4.x file name: with flag 0200 the Unicode form after the DOS name
// (or the whole field as UTF-8 when there is no DOS part), else the DOS
// name.
std::string rar4Name(std::string_view field, bool unicode) {
  if (unicode) {
    const size_t zero = field.find('\0');
    if (zero == std::string_view::npos) return storedName(field);
    if (auto name = unicodeName(field.substr(0, zero), field.substr(zero + 1))) {
      for (char& c : *name)
        if (c == '\\') c = '/';
      return *name;
    }
  }
  return storedName(field);
}

struct VintCursor {
  const std::vector<uint8_t>& bytes;
  size_t pos = 0;
  bool failed = false;
  uint64_t next() {
    uint64_t v = 0;
    for (int shift = 0; shift < 70; shift += 7) {
      if (pos >= bytes.size()) break;
      const uint8_t b = bytes[pos++];
      v |= static_cast<uint64_t>(b & 0x7F) << shift;
      if (!(b & 0x80)) return v;
    }
    failed = true;
    return 0;
  }
  uint32_t u32() {
    if (pos + 4 > bytes.size()) {
      failed = true;
      return 0;
    }
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | bytes[pos + i];
    pos += 4;
    return v;
  }
  bool skip(uint64_t n) {
    if (n > bytes.size() - pos) return failed = true, false;
    pos += static_cast<size_t>(n);
    return true;
  }
};

class RarWalker final : public FormatWalker {
 public:
  int64_t headerLength() const override { return rar5_ ? kHeader5 : kHeader; }

  bool begin(WalkContext& ctx, int32_t* error) override {
    std::vector<uint8_t> m;
    if (!readSpan(ctx, ctx.archiveStart, 8, m)) return fail(error, E_BADHEADR);
    if (std::memcmp(m.data(), kMarker5, 8) == 0) {
      rar5_ = true;
      ctx.next = ctx.archiveStart + 8;
      return true;
    }
    if (std::memcmp(m.data(), kMarker4, 7) != 0) return fail(error, E_BADHEADR);
    rar5_ = false;
    std::vector<uint8_t> main;
    const int64_t mainAt = ctx.archiveStart + 7;
    if (!readSpan(ctx, mainAt, 13, main) || main[2] != 0x73) return fail(error, E_BADHEADR);
    const int64_t mainSize = main[5] | (main[6] << 8);
    if (mainSize < 13) return fail(error, E_BADHEADR);
    if (main[3] & 0x80) return fail(error, E_PASSWORD);  // headers encrypted
    ctx.next = mainAt + mainSize;
    return true;
  }

  Step step(WalkContext& ctx, const uint8_t* h, ArcEntry& entry, int32_t* error) override {
    return rar5_ ? step5(ctx, entry, error) : step4(ctx, h, entry, error);
  }

 private:
  Step step4(WalkContext& ctx, const uint8_t* h, ArcEntry& entry, int32_t* error) {
    vz::engine::BoundedReader r({h, static_cast<size_t>(kHeader)});
    const uint8_t type = h[2];
    const uint16_t flags = r.le16(3);
    const int64_t headSize = r.le16(5);
    if (headSize < 7) return stepError(error, E_BADHEADR);
    if (type == 0x7B) return Step::End;
    const int64_t addSize = (flags & 0x8000) ? r.le32(7) : 0;
    if (type != 0x74) {
      ctx.next = ctx.current + headSize + addSize;
      return Step::Skip;
    }
    std::vector<uint8_t> b;
    if (headSize < kHeader || !readSpan(ctx, ctx.current, headSize, b)) return stepError(error, E_READ);
    vz::engine::BoundedReader br(b);
    if ((vz::engine::crc32Update(0, b.data() + 2, b.size() - 2) & 0xFFFF) != br.le16(0))
      return stepError(error, E_HEADERCRC);
    int64_t packed = br.le32(7);
    int64_t unpacked = br.le32(11);
    int64_t nameAt = 32;
    if (flags & 0x0100) {
      packed |= static_cast<int64_t>(br.le32(32)) << 32;
      unpacked |= static_cast<int64_t>(br.le32(36)) << 32;
      nameAt = 40;
    }
    const int64_t nameLength = br.le16(26);
    if (!br.ok() || nameAt + nameLength > headSize) return stepError(error, E_BADLENGTHS);
    const int64_t dataStart = ctx.current + headSize;
    if (packed < 0 || !vz::engine::rangeFits(dataStart, packed, ctx.fileSize)) return stepError(error, E_READ);
    entry.fileName =
        rar4Name(std::string_view(reinterpret_cast<const char*>(b.data()) + nameAt, nameLength), flags & 0x0200);
    entry.packedSize = packed;
    entry.unpackedSize = unpacked;
    entry.crc = br.le32(16);
    entry.dateTime = dosStamp(br.le32(20));
    entry.versionMadeBy = h[15];  // the host
    entry.versionNeeded = h[24];
    entry.method = h[25];
    entry.encrypted = (flags & 0x0004) != 0;
    entry.attributes32 = br.le32(28);
    const bool unixHost = h[15] == 3;
    if (unixHost) {
      entry.unixMode = entry.attributes32 & 0xFFFF;
      if ((entry.unixMode & 0xF000) == 0x4000) entry.isFolder = true;
    } else {
      entry.attributes16 = static_cast<uint16_t>(entry.attributes32 & 0xFFFF);
    }
    if ((flags & 0x00E0) == 0x00E0) entry.isFolder = true;
    entry.dataOffset = dataStart;
    ctx.next = dataStart + packed;
    finishEntry(entry);
    return Step::Entry;
  }

  Step step5(WalkContext& ctx, ArcEntry& entry, int32_t* error) {
    // CRC (4) and the header size vint (at most 3 bytes for the 2 MB limit).
    std::vector<uint8_t> pre;
    if (!readSpan(ctx, ctx.current, std::min<int64_t>(7, ctx.fileSize - ctx.current), pre) || pre.size() < 5)
      return stepError(error, E_READ);
    std::vector<uint8_t> sizeBytes(pre.begin() + 4, pre.end());
    VintCursor sc{sizeBytes};
    const uint64_t headerSize = sc.next();
    if (sc.failed || headerSize == 0 || headerSize > static_cast<uint64_t>(kMaxHeaderBytes))
      return stepError(error, E_BADHEADR);
    const int64_t bodyAt = ctx.current + 4 + static_cast<int64_t>(sc.pos);
    std::vector<uint8_t> body;
    if (!readSpan(ctx, bodyAt, static_cast<int64_t>(headerSize), body)) return stepError(error, E_READ);
    {
      uint32_t stored = pre[0] | (pre[1] << 8) | (pre[2] << 16) | (static_cast<uint32_t>(pre[3]) << 24);
      uint32_t crc = vz::engine::crc32Update(0, sizeBytes.data(), sc.pos);
      crc = vz::engine::crc32Update(crc, body.data(), body.size());
      if (crc != stored) return stepError(error, E_HEADERCRC);
    }
    VintCursor c{body};
    const uint64_t type = c.next();
    const uint64_t flags = c.next();
    const uint64_t extraSize = (flags & 1) ? c.next() : 0;
    const uint64_t dataSize = (flags & 2) ? c.next() : 0;
    if (c.failed || extraSize > headerSize) return stepError(error, E_BADHEADR);
    const int64_t dataStart = bodyAt + static_cast<int64_t>(headerSize);
    if (dataSize > static_cast<uint64_t>(ctx.fileSize) ||
        !vz::engine::rangeFits(dataStart, static_cast<int64_t>(dataSize), ctx.fileSize))
      return stepError(error, E_READ);
    ctx.next = dataStart + static_cast<int64_t>(dataSize);
    if (type == 5) return Step::End;
    if (type == 4) return stepError(error, E_PASSWORD);  // headers encrypted
    if (type != 2) return Step::Skip;
    const uint64_t fileFlags = c.next();
    const uint64_t unpacked = c.next();
    const uint64_t attributes = c.next();
    const uint32_t mtime = (fileFlags & 2) ? c.u32() : 0;
    const uint32_t crc = (fileFlags & 4) ? c.u32() : 0;
    const uint64_t compression = c.next();
    const uint64_t host = c.next();
    const uint64_t nameLength = c.next();
    if (c.failed || nameLength > body.size() - c.pos) return stepError(error, E_BADLENGTHS);
    entry.fileName = storedName(std::string_view(reinterpret_cast<const char*>(body.data()) + c.pos, nameLength));
    c.skip(nameLength);
    entry.packedSize = static_cast<int64_t>(dataSize);
    entry.unpackedSize = (fileFlags & 8) || unpacked > (uint64_t{1} << 62) ? 0 : static_cast<int64_t>(unpacked);
    entry.crc = crc;
    entry.attributes32 = static_cast<uint32_t>(attributes);
    entry.versionMadeBy = static_cast<uint16_t>(host);
    entry.versionNeeded = static_cast<uint16_t>(compression & 0x3F);
    entry.method = static_cast<int32_t>((compression >> 7) & 7);
    entry.isFolder = (fileFlags & 1) != 0;
    if (host == 1)
      entry.unixMode = static_cast<uint32_t>(attributes);
    else
      entry.attributes16 = static_cast<uint16_t>(attributes & 0xFFFF);
    if (fileFlags & 2) entry.dateTime = unixStamp(mtime);
    readExtra(body, headerSize - extraSize, entry);
    entry.dataOffset = dataStart;
    finishEntry(entry);
    return Step::Entry;
  }

  // The extra area's records a listing needs: encryption and the mtime.
  static void readExtra(const std::vector<uint8_t>& body, uint64_t from, ArcEntry& entry) {
    VintCursor c{body, static_cast<size_t>(from)};
    for (int i = 0; i < 64 && c.pos < body.size() && !c.failed; ++i) {
      const uint64_t size = c.next();
      const size_t start = c.pos;
      if (c.failed || size == 0 || size > body.size() - start) return;
      const uint64_t type = c.next();
      if (type == 1) entry.encrypted = true;
      if (type == 3) {
        const uint64_t timeFlags = c.next();
        if (timeFlags & 2) {
          if (timeFlags & 1) {
            entry.dateTime = unixStamp(c.u32());
          } else if (c.pos + 8 <= body.size()) {
            const uint64_t lo = c.u32(), hi = c.u32();
            const uint64_t ticks = (hi << 32) | lo;
            entry.dateTime = unixStamp(static_cast<int64_t>(ticks / 10000000) - 11644473600LL);
          }
        }
      }
      c.pos = start + static_cast<size_t>(size);
    }
  }

  static bool fail(int32_t* error, int32_t code) {
    *error = code;
    return false;
  }
  static Step stepError(int32_t* error, int32_t code) {
    *error = code;
    return Step::Error;
  }

  bool rar5_ = false;  // the archive is in the version 5 format
};

}  // namespace

std::unique_ptr<FormatWalker> makeRarWalker() { return std::make_unique<RarWalker>(); }

}  // namespace vz::readers
