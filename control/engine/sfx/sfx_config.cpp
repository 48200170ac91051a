// The configuration block's field table, its writer and reader, and the
// location of the archive behind it (see sfx_config.h).
#include "control/engine/sfx/sfx_config.h"

#include <algorithm>
#include <cstring>

#include "control/engine/format/bounded_reader.h"
#include "control/engine/format/zip_records.h"
#include "control/engine/read/end_record_search.h"
#include "control/engine/sfx/sfx_fields.h"

namespace vz::engine {

namespace {

using sfx_fields::kFields;
using sfx_fields::TextField;

// The description field is written over 100 bytes and read over 99 (the
// last byte is read and ignored).
constexpr size_t kDescriptionOffset = 322;
constexpr size_t kDescriptionReadWidth = 99;

void putText(uint8_t* block, size_t offset, size_t width, const std::string& text) {
  std::memset(block + offset, ' ', width);
  std::memcpy(block + offset, text.data(), std::min(width, text.size()));
}

std::string getText(const uint8_t* block, size_t offset, size_t width) {
  std::string s(reinterpret_cast<const char*>(block + offset), width);
  // The text ends at a NUL (the stub reads into zeroed buffers) and loses
  // its trailing blanks.
  const size_t nul = s.find('\0');
  if (nul != std::string::npos) s.resize(nul);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

}  // namespace

std::array<uint8_t, kSfxConfigSize> encodeSfxConfig(const SfxConfig& c) {
  std::array<uint8_t, kSfxConfigSize> block{};
  block[0] = static_cast<uint8_t>(c.overwriteMode);
  block[1] = static_cast<uint8_t>(c.askDirectory);
  for (const TextField& f : kFields) putText(block.data(), f.offset, f.width, c.*(f.member));
  return block;
}

SfxConfig decodeSfxConfig(const uint8_t* block) {
  SfxConfig c;
  c.overwriteMode = static_cast<char>(block[0]);
  c.askDirectory = static_cast<char>(block[1]);
  for (const TextField& f : kFields) {
    const size_t width = f.offset == kDescriptionOffset ? kDescriptionReadWidth : f.width;
    c.*(f.member) = getText(block, f.offset, width);
  }
  return c;
}

int locateSfxArchive(ArchiveInput& f, SfxPayload& out) {
  EndRecordLocation loc;
  if (findEndRecord(f, loc) != EndRecordSearch::Found) return kSfxLocateNotFound;
  out.endRecordOffset = loc.position;
  out.totalEntries = loc.end.totalEntries;
  out.centralSize = loc.end.directorySize;
  // An archive without entries has no central header to check.
  if (!(out.centralSize == 0 && out.totalEntries == 0) && checkCentralStart(f, loc) == CentralStart::Missing)
    return kSfxLocateDamaged;
  out.extraBytes = loc.extraBytes;
  out.centralOffset = static_cast<int64_t>(loc.end.directoryOffset) + loc.extraBytes;
  return kSfxLocateOk;
}

namespace {

// The ELF file header and program header fields read here, for the 64- and
// the 32-bit class (little-endian only).
//
//   e_ident: 7F 'E' 'L' 'F', class (1: 32-bit, 2: 64-bit), data (1: little-endian), ...
namespace elf_field {
constexpr size_t kClass = 4;
constexpr size_t kData = 5;
constexpr uint8_t kClass32 = 1;
constexpr uint8_t kClass64 = 2;
constexpr uint8_t kLittleEndian = 1;
constexpr size_t kHeaderSize64 = 64;  // read whole for either class (a 32-bit header is 52)
}  // namespace elf_field
namespace elf64_field {
constexpr size_t kPhOff = 32;
constexpr size_t kShOff = 40;
constexpr size_t kPhEntSize = 54;
constexpr size_t kPhNum = 56;
constexpr size_t kShEntSize = 58;
constexpr size_t kShNum = 60;
// Program header.
constexpr size_t kSegmentOffset = 8;
constexpr size_t kSegmentFileSize = 32;
constexpr size_t kProgramHeaderSize = 56;
}  // namespace elf64_field
namespace elf32_field {
constexpr size_t kPhOff = 28;
constexpr size_t kShOff = 32;
constexpr size_t kPhEntSize = 42;
constexpr size_t kPhNum = 44;
constexpr size_t kShEntSize = 46;
constexpr size_t kShNum = 48;
// Program header.
constexpr size_t kSegmentOffset = 4;
constexpr size_t kSegmentFileSize = 16;
constexpr size_t kProgramHeaderSize = 32;
}  // namespace elf32_field

constexpr uint8_t kElfMagic[4] = {0x7F, 'E', 'L', 'F'};

uint64_t loadLe64(const uint8_t* p) { return loadLe32(p) | (static_cast<uint64_t>(loadLe32(p + 4)) << 32); }

// The length of an ELF image: the end of the section header table or of the
// farthest segment, whichever lies farther. 0 when f is not a readable ELF
// file of the class and byte order read here (64- or 32-bit little-endian).
int64_t elfImageLength(ArchiveInput& f) {
  uint8_t h[elf_field::kHeaderSize64];
  if (f.readAt(0, h, sizeof h) != static_cast<int64_t>(sizeof h)) return 0;
  if (std::memcmp(h, kElfMagic, sizeof kElfMagic) != 0 || h[elf_field::kData] != elf_field::kLittleEndian) return 0;
  const bool is64 = h[elf_field::kClass] == elf_field::kClass64;
  uint64_t phoff, shoff;
  uint16_t phentsize, phnum, shentsize, shnum;
  if (is64) {
    phoff = loadLe64(h + elf64_field::kPhOff);
    shoff = loadLe64(h + elf64_field::kShOff);
    phentsize = loadLe16(h + elf64_field::kPhEntSize);
    phnum = loadLe16(h + elf64_field::kPhNum);
    shentsize = loadLe16(h + elf64_field::kShEntSize);
    shnum = loadLe16(h + elf64_field::kShNum);
  } else if (h[elf_field::kClass] == elf_field::kClass32) {
    phoff = loadLe32(h + elf32_field::kPhOff);
    shoff = loadLe32(h + elf32_field::kShOff);
    phentsize = loadLe16(h + elf32_field::kPhEntSize);
    phnum = loadLe16(h + elf32_field::kPhNum);
    shentsize = loadLe16(h + elf32_field::kShEntSize);
    shnum = loadLe16(h + elf32_field::kShNum);
  } else {
    return 0;
  }
  constexpr uint64_t kLimit = uint64_t{1} << 40;  // far beyond any stub; keeps the sums from overflowing
  if (phoff > kLimit || shoff > kLimit) return 0;
  uint64_t end = shoff + static_cast<uint64_t>(shentsize) * shnum;
  const size_t need = is64 ? elf64_field::kProgramHeaderSize : elf32_field::kProgramHeaderSize;
  if (phentsize < need) return 0;
  for (uint16_t i = 0; i < phnum; ++i) {
    uint8_t p[elf64_field::kProgramHeaderSize];
    if (f.readAt(static_cast<int64_t>(phoff + static_cast<uint64_t>(i) * phentsize), p, need) !=
        static_cast<int64_t>(need))
      return 0;
    const uint64_t off = is64 ? loadLe64(p + elf64_field::kSegmentOffset) : loadLe32(p + elf32_field::kSegmentOffset);
    const uint64_t filesz =
        is64 ? loadLe64(p + elf64_field::kSegmentFileSize) : loadLe32(p + elf32_field::kSegmentFileSize);
    if (off > kLimit || filesz > kLimit) return 0;
    end = std::max(end, off + filesz);
  }
  return static_cast<int64_t>(end);
}

}  // namespace

int64_t sfxStubLength(ArchiveInput& f) { return elfImageLength(f); }

bool locateSfxPayload(ArchiveInput& f, SfxPayload& out, int* archiveStatus) {
  const int st = locateSfxArchive(f, out);
  if (archiveStatus) *archiveStatus = st;
  if (st != kSfxLocateOk) return false;
  const int64_t limit = out.endRecordOffset - static_cast<int64_t>(kSfxConfigSize);
  const int64_t elf = elfImageLength(f);
  if (elf > 0 && elf <= limit) {
    out.configOffset = elf;
    return true;
  }
  // The start of the ZIP data: the lowest local-header offset named by the
  // central directory (read in the same bounded way as the stub reads it),
  // else the central directory itself.
  int64_t start = out.centralOffset;
  int64_t pos = out.centralOffset;
  for (uint32_t i = 0; i < out.totalEntries; ++i) {
    uint8_t c[kCentralHeaderSize];
    if (pos < 0 || f.readAt(pos, c, sizeof c) != static_cast<int64_t>(sizeof c)) break;
    const BoundedReader header{std::span<const uint8_t>(c)};
    if (header.le32(0) != kCentralHeaderSignature) break;
    start = std::min(start, static_cast<int64_t>(header.le32(central_field::kLocalHeaderOffset)) + out.extraBytes);
    pos += static_cast<int64_t>(kCentralHeaderSize) + header.le16(central_field::kNameLength) +
           header.le16(central_field::kExtraLength) + header.le16(central_field::kCommentLength);
  }
  out.configOffset = start - static_cast<int64_t>(kSfxConfigSize);
  return out.configOffset >= 0;
}

}  // namespace vz::engine
