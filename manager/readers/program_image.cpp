// Program headers read by type detection: PE sections and string
// resources, the DOS image end, and the ELF image end.
//
// PE layout used here (offsets in bytes):
//
//   MZ header:  +0x3C  e_lfanew (32 bits): position of "PE\0\0"
//   PE:         +0 "PE\0\0", then the COFF header (20 bytes):
//               +6 number of sections (16), +20 size of optional header (16)
//   optional:   +24 magic 0x10B (PE32) or 0x20B (PE32+);
//               data directory count at +92 / +108, the directories at
//               +96 / +112 (8 bytes each: RVA, size); index 2 = resources
//   sections:   after the optional header, 40 bytes each:
//               +8 virtual size, +12 RVA, +16 raw size, +20 raw pointer
//
//   resource directory (16 bytes): +12 named entries, +14 id entries, then
//   8-byte entries: +0 name or id, +4 offset (high bit: a subdirectory)
//   relative to the resource section start; the leaf: RVA, size.
//   Levels: type (RT_STRING = 6), name (block = id / 16 + 1), language.
//   A string block holds 16 strings, each a 16-bit length and that many
//   UTF-16 units.
#include "manager/readers/program_image.h"

#include <algorithm>
#include <vector>

#include "control/engine/format/bounded_reader.h"

namespace vz::readers {

namespace {

using vz::engine::rangeFits;

uint32_t le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint64_t le64(const uint8_t* p) { return le32(p) | (static_cast<uint64_t>(le32(p + 4)) << 32); }

// Reads n bytes at offset, all inside the file.
bool readFully(const vz::File& file, int64_t offset, void* out, size_t n) {
  const int64_t size = file.size();
  if (!rangeFits(offset, static_cast<int64_t>(n), size)) return false;
  return file.readAt(offset, out, n) == static_cast<int64_t>(n);
}

struct Section {
  uint32_t rva = 0, virtualSize = 0, rawSize = 0, rawPointer = 0;
};

// The PE program's sections and resource directory entry.
struct PeLayout {
  std::vector<Section> sections;
  uint32_t resourceRva = 0, resourceSize = 0;
};

// The most sections the COFF header's 16-bit count can name.
constexpr uint32_t kMaxSections = 0xFFFF;

std::optional<PeLayout> readPeLayout(const vz::File& file) {
  uint8_t mz[64];
  if (!readFully(file, 0, mz, sizeof mz) || mz[0] != 'M' || mz[1] != 'Z') return std::nullopt;
  const int64_t pe = le32(mz + 0x3C);
  uint8_t head[26];
  if (!readFully(file, pe, head, sizeof head)) return std::nullopt;
  if (head[0] != 'P' || head[1] != 'E' || head[2] != 0 || head[3] != 0) return std::nullopt;
  const uint32_t sectionCount = le16(head + 6);
  const uint32_t optionalSize = le16(head + 20);
  PeLayout layout;
  const uint16_t magic = le16(head + 24);
  const int64_t opt = pe + 24;  // the optional header
  const uint32_t countAt = magic == 0x20B ? 108 : 92;
  const uint32_t dirsAt = magic == 0x20B ? 112 : 96;
  if ((magic == 0x10B || magic == 0x20B) && optionalSize >= dirsAt + 3 * 8) {
    // The directory count, and the resource directory (index 2) when counted.
    uint8_t cnt[4], dir[8];
    if (readFully(file, opt + countAt, cnt, 4) && le32(cnt) > 2 && readFully(file, opt + dirsAt + 16, dir, 8)) {
      layout.resourceRva = le32(dir);
      layout.resourceSize = le32(dir + 4);
    }
  }
  const int64_t table = pe + 24 + optionalSize;
  if (sectionCount > kMaxSections || !rangeFits(table, int64_t{40} * sectionCount, file.size())) return std::nullopt;
  std::vector<uint8_t> raw(40 * static_cast<size_t>(sectionCount));
  if (!raw.empty() && !readFully(file, table, raw.data(), raw.size())) return std::nullopt;
  for (uint32_t i = 0; i < sectionCount; ++i) {
    const uint8_t* s = raw.data() + 40 * static_cast<size_t>(i);
    layout.sections.push_back({le32(s + 12), le32(s + 8), le32(s + 16), le32(s + 20)});
  }
  return layout;
}

// The file offset of an RVA, through the section holding it.
std::optional<int64_t> fileOffsetOfRva(const PeLayout& layout, uint32_t rva) {
  for (const Section& s : layout.sections) {
    const uint32_t span = std::max(s.virtualSize, s.rawSize);
    if (rva >= s.rva && rva - s.rva < span) {
      const uint32_t into = rva - s.rva;
      if (into >= s.rawSize) return std::nullopt;  // in the zero-filled tail
      return static_cast<int64_t>(s.rawPointer) + into;
    }
  }
  return std::nullopt;
}

// Finds the entry with the id in the resource directory at dirOffset (file
// position); returns its offset field, nullopt when missing. first: take the
// first id entry whatever its id (the language level).
std::optional<uint32_t> findResourceEntry(const vz::File& file, int64_t base, int64_t limit, uint32_t dirOffset,
                                          uint32_t id, bool first) {
  uint8_t dir[16];
  if (!rangeFits(dirOffset, 16, limit) || !readFully(file, base + dirOffset, dir, 16)) return std::nullopt;
  const uint32_t named = le16(dir + 12), ids = le16(dir + 14);
  for (uint32_t i = 0; i < named + ids; ++i) {
    const int64_t at = int64_t{dirOffset} + 16 + int64_t{8} * i;
    uint8_t e[8];
    if (!rangeFits(at, 8, limit) || !readFully(file, base + at, e, 8)) return std::nullopt;
    const uint32_t nameField = le32(e);
    if (i < named || (nameField & 0x80000000u)) continue;  // named entries are never the ones we look for
    if (first || nameField == id) return le32(e + 4);
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> peStringResource(const vz::File& file, uint32_t id) {
  const auto layout = readPeLayout(file);
  if (!layout || layout->resourceRva == 0) return std::nullopt;
  const auto base = fileOffsetOfRva(*layout, layout->resourceRva);
  if (!base) return std::nullopt;
  // Offsets inside the resource tree are relative to its start and must stay
  // inside the resource directory's size and the file.
  const int64_t limit = std::min<int64_t>(layout->resourceSize, std::max<int64_t>(file.size() - *base, 0));
  constexpr uint32_t kRtString = 6;
  constexpr uint32_t kSubdirectory = 0x80000000u;
  auto typeDir = findResourceEntry(file, *base, limit, 0, kRtString, false);
  if (!typeDir || !(*typeDir & kSubdirectory)) return std::nullopt;
  auto nameDir = findResourceEntry(file, *base, limit, *typeDir & ~kSubdirectory, id / 16 + 1, false);
  if (!nameDir || !(*nameDir & kSubdirectory)) return std::nullopt;
  auto leaf = findResourceEntry(file, *base, limit, *nameDir & ~kSubdirectory, 0, true);
  if (!leaf || (*leaf & kSubdirectory)) return std::nullopt;
  uint8_t data[8];
  if (!rangeFits(*leaf, 8, limit) || !readFully(file, *base + *leaf, data, 8)) return std::nullopt;
  const auto blockAt = fileOffsetOfRva(*layout, le32(data));
  const uint32_t blockSize = le32(data + 4);
  if (!blockAt || !rangeFits(*blockAt, blockSize, file.size())) return std::nullopt;
  // Walk the block's strings up to the one wanted (index id mod 16).
  int64_t pos = *blockAt;
  const int64_t blockEnd = *blockAt + blockSize;
  for (uint32_t index = 0; index <= id % 16; ++index) {
    uint8_t len[2];
    if (!rangeFits(pos, 2, blockEnd) || !readFully(file, pos, len, 2)) return std::nullopt;
    const uint32_t units = le16(len);
    pos += 2;
    if (!rangeFits(pos, int64_t{2} * units, blockEnd)) return std::nullopt;
    if (index == id % 16) {
      if (units == 0) return std::nullopt;
      std::vector<uint8_t> text(2 * static_cast<size_t>(units));
      if (!readFully(file, pos, text.data(), text.size())) return std::nullopt;
      std::string out;
      for (uint32_t u = 0; u < units; ++u) {
        const uint16_t c = le16(text.data() + 2 * u);
        out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
      }
      return out;
    }
    pos += int64_t{2} * units;
  }
  return std::nullopt;
}

std::optional<int64_t> dosImageEnd(const vz::File& file) {
  uint8_t h[6];
  if (!readFully(file, 0, h, sizeof h) || h[0] != 'M' || h[1] != 'Z') return std::nullopt;
  const int64_t pages = le16(h + 4), lastPage = le16(h + 2);
  return (pages - 1) * 512 + lastPage;
}

std::optional<int64_t> peImageEnd(const vz::File& file) {
  const auto layout = readPeLayout(file);
  if (!layout || layout->sections.empty()) return std::nullopt;
  int64_t end = 0;
  for (const Section& s : layout->sections)
    if (s.rawSize != 0) end = std::max<int64_t>(end, int64_t{s.rawPointer} + s.rawSize);
  return end;
}

std::optional<int64_t> elfImageEnd(const vz::File& file) {
  // ELF header fields (class 1 = 32-bit, 2 = 64-bit; data 1 = little-endian):
  //   +4 class, +5 data; 64-bit: +32 phoff, +40 shoff, +54 phentsize,
  //   +56 phnum, +58 shentsize, +60 shnum; 32-bit: +28 phoff, +32 shoff,
  //   +42 phentsize, +44 phnum, +46 shentsize, +48 shnum.
  uint8_t h[64];
  if (!readFully(file, 0, h, 52) || h[0] != 0x7F || h[1] != 'E' || h[2] != 'L' || h[3] != 'F' || h[5] != 1)
    return std::nullopt;
  const bool is64 = h[4] == 2;
  if (is64 && !readFully(file, 0, h, 64)) return std::nullopt;
  if (!is64 && h[4] != 1) return std::nullopt;
  const uint64_t phoff = is64 ? le64(h + 32) : le32(h + 28);
  const uint64_t shoff = is64 ? le64(h + 40) : le32(h + 32);
  const uint32_t phentsize = le16(h + (is64 ? 54 : 42)), phnum = le16(h + (is64 ? 56 : 44));
  const uint32_t shentsize = le16(h + (is64 ? 58 : 46)), shnum = le16(h + (is64 ? 60 : 48));
  const int64_t size = file.size();
  int64_t end = is64 ? 64 : 52;
  auto extend = [&](uint64_t offset, uint64_t length) {
    // Ends beyond the file are ignored: the image cannot end past the file.
    if (offset <= static_cast<uint64_t>(size) && length <= static_cast<uint64_t>(size) - offset)
      end = std::max<int64_t>(end, static_cast<int64_t>(offset + length));
  };
  const uint32_t phMin = is64 ? 56 : 32, shMin = is64 ? 64 : 40;
  if (phnum != 0 && phentsize >= phMin && rangeFits(static_cast<int64_t>(phoff), int64_t{phentsize} * phnum, size)) {
    extend(phoff, uint64_t{phentsize} * phnum);
    for (uint32_t i = 0; i < phnum; ++i) {
      uint8_t p[56];
      if (!readFully(file, static_cast<int64_t>(phoff) + int64_t{phentsize} * i, p, phMin)) break;
      extend(is64 ? le64(p + 8) : le32(p + 4), is64 ? le64(p + 32) : le32(p + 16));
    }
  }
  if (shnum != 0 && shentsize >= shMin && rangeFits(static_cast<int64_t>(shoff), int64_t{shentsize} * shnum, size)) {
    extend(shoff, uint64_t{shentsize} * shnum);
    for (uint32_t i = 0; i < shnum; ++i) {
      uint8_t s[64];
      if (!readFully(file, static_cast<int64_t>(shoff) + int64_t{shentsize} * i, s, shMin)) break;
      constexpr uint32_t kNoBits = 8;
      if (le32(s + 4) == kNoBits) continue;
      extend(is64 ? le64(s + 24) : le32(s + 16), is64 ? le64(s + 32) : le32(s + 20));
    }
  }
  return end;
}

}  // namespace vz::readers
