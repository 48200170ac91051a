// Test helper: builds ZIP archives byte by byte, with every field open to
// override, so that tests can make the damaged and unusual shapes no peer
// tool writes. Written independently of the engine's own record code (its
// own little-endian writer and a bit-by-bit CRC), so the engine is never
// checked against itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vz::test {

// The CRC-32 of the ZIP format, one bit at a time: slow and obviously right.
inline uint32_t referenceCrc32(const void* data, size_t n, uint32_t crc = 0) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  uint32_t r = ~crc;
  for (size_t i = 0; i < n; ++i) {
    r ^= p[i];
    for (int b = 0; b < 8; ++b) r = (r >> 1) ^ (0xEDB88320u & (0u - (r & 1u)));
  }
  return ~r;
}
inline uint32_t referenceCrc32(const std::string& s) { return referenceCrc32(s.data(), s.size()); }

inline void put16(std::string& out, uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
inline void put32(std::string& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

struct TestEntry {
  std::string name = "A.TXT";
  std::string data;  // stored as is (the method field is only a label)
  uint16_t method = 0;
  uint16_t flags = 0;  // local and central unless centralFlags is set
  std::optional<uint16_t> centralFlags;
  uint16_t versionMadeBy = 0x0014;  // host 0, version 2.0
  uint16_t versionNeeded = 10;
  uint16_t time = 0x6000;                    // 12:00:00
  uint16_t date = 0x5021;                    // 2020-01-01
  std::optional<uint32_t> crc;               // default: CRC of data
  std::optional<uint32_t> centralCrc;        // default: crc
  std::optional<uint32_t> uncompressedSize;  // default: data size
  std::string localExtra;
  std::string centralExtra;
  std::string comment;
  uint32_t externalAttributes = 0x20;
  std::optional<uint32_t> localOffset;     // default: the real (possibly prefix-adjusted) offset
  std::optional<std::string> centralName;  // default: name
  // Bit-3 shapes: write a descriptor behind the data; with a descriptor or
  // flag bit 3, zeroLocalSizes leaves the local CRC and sizes 0.
  bool descriptor = false;
  bool zeroLocalSizes = true;
  bool descriptorWithoutFlag = false;           // write a descriptor although bit 3 is clear
  std::optional<uint16_t> nameLengthOverride;   // central name length field
  std::optional<uint16_t> extraLengthOverride;  // central extra length field
  std::optional<uint16_t> commentLengthOverride;

  uint32_t crcValue() const { return crc ? *crc : referenceCrc32(data); }
  uint32_t usize() const { return uncompressedSize ? *uncompressedSize : static_cast<uint32_t>(data.size()); }
};

struct ZipBuilder {
  std::string prefix;                // bytes in front of the archive
  bool offsetsIncludePrefix = true;  // false: offsets relative to the archive's own start (an unadjusted stub)
  std::vector<TestEntry> entries;
  std::string comment;
  std::optional<uint16_t> thisDisk, directoryDisk, entriesOnDisk, totalEntries, commentLength;
  std::optional<uint32_t> directorySize, directoryOffset;
  std::string trailing;      // bytes behind the archive comment
  bool writeCentral = true;  // false: leave the central directory and end record out

  std::string build() const {
    std::string out = prefix;
    const uint32_t base = offsetsIncludePrefix ? 0 : static_cast<uint32_t>(prefix.size());
    std::vector<uint32_t> offsets;
    for (const TestEntry& e : entries) {
      offsets.push_back(static_cast<uint32_t>(out.size()) - base);
      const bool zero = e.zeroLocalSizes && (e.descriptor || (e.flags & 0x0008));
      put32(out, 0x04034B50);
      put16(out, e.versionNeeded);
      put16(out, e.flags);
      put16(out, e.method);
      put16(out, e.time);
      put16(out, e.date);
      put32(out, zero ? 0 : e.crcValue());
      put32(out, zero ? 0 : static_cast<uint32_t>(e.data.size()));
      put32(out, zero ? 0 : e.usize());
      put16(out, static_cast<uint32_t>(e.name.size()));
      put16(out, static_cast<uint32_t>(e.localExtra.size()));
      out += e.name;
      out += e.localExtra;
      out += e.data;
      if (e.descriptor || e.descriptorWithoutFlag) {
        put32(out, 0x08074B50);
        put32(out, e.crcValue());
        put32(out, static_cast<uint32_t>(e.data.size()));
        put32(out, e.usize());
      }
    }
    if (!writeCentral) return out;
    const uint32_t dirStart = static_cast<uint32_t>(out.size());
    for (size_t i = 0; i < entries.size(); ++i) {
      const TestEntry& e = entries[i];
      const std::string& cname = e.centralName ? *e.centralName : e.name;
      put32(out, 0x02014B50);
      put16(out, e.versionMadeBy);
      put16(out, e.versionNeeded);
      put16(out, e.centralFlags ? *e.centralFlags : e.flags);
      put16(out, e.method);
      put16(out, e.time);
      put16(out, e.date);
      put32(out, e.centralCrc.value_or(e.crcValue()));
      put32(out, static_cast<uint32_t>(e.data.size()));
      put32(out, e.usize());
      put16(out, e.nameLengthOverride ? *e.nameLengthOverride : static_cast<uint32_t>(cname.size()));
      put16(out, e.extraLengthOverride ? *e.extraLengthOverride : static_cast<uint32_t>(e.centralExtra.size()));
      put16(out, e.commentLengthOverride ? *e.commentLengthOverride : static_cast<uint32_t>(e.comment.size()));
      put16(out, 0);
      put16(out, 0);
      put32(out, e.externalAttributes);
      put32(out, e.localOffset ? *e.localOffset : offsets[i]);
      out += cname;
      out += e.centralExtra;
      out += e.comment;
    }
    const uint32_t dirSize = static_cast<uint32_t>(out.size()) - dirStart;
    put32(out, 0x06054B50);
    put16(out, thisDisk.value_or(0));
    put16(out, directoryDisk.value_or(0));
    put16(out, entriesOnDisk.value_or(static_cast<uint16_t>(entries.size())));
    put16(out, totalEntries.value_or(static_cast<uint16_t>(entries.size())));
    put32(out, directorySize.value_or(dirSize));
    put32(out, directoryOffset.value_or(dirStart - base));
    put16(out, commentLength.value_or(static_cast<uint16_t>(comment.size())));
    out += comment;
    out += trailing;
    return out;
  }
};

// The 22-byte end record of an empty archive followed by a comment.
inline std::string emptyArchive(const std::string& comment = "") {
  ZipBuilder b;
  b.comment = comment;
  return b.build();
}

}  // namespace vz::test
