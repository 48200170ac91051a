// The reader side's view of one archive: the file mapped read-only, its end
// record found (with the Zip64 end record when there is one), the central
// directory read into a list of entries with their names as UTF-8 text, and
// each entry's data located behind its local header.
//
// The control's directory reader serves the control's own rules (names
// upper-cased with "\" separators, 32-bit fields, its prefix quirks); this
// engine is a modern archiver's reader, so it keeps names as they are stored,
// reads Zip64 sizes and offsets, and works on the mapped bytes directly. It
// reuses the control's record parsers (format/zip_records.h), name
// conversion (format/entry_name.h) and bounds helper (format/bounded_reader.h).
//
// End of the archive, read backwards from the end record:
//
//   ... | central directory | [Zip64 end record | Zip64 locator] | end record | comment |
//
//   Zip64 end record ("PK" 06 06, 56 bytes and more):
//     0 sig | 4 record size (8) | 12 made by | 14 needed | 16 this disk (4) |
//     20 directory disk (4) | 24 entries on disk (8) | 32 total entries (8) |
//     40 directory size (8) | 48 directory offset (8)
//   Zip64 locator ("PK" 06 07, 20 bytes, just before the end record):
//     0 sig | 4 disk of the Zip64 end record (4) | 8 its offset (8) | 16 disks (4)
//
// Prefix data (a program or junk in front of the archive): the directory is
// expected to end where the end record (or the Zip64 end record) begins; the
// difference between that position and the stored offset plus size is added
// to every stored offset. When the central directory's signature is not there
// but at the stored offset itself, the stored offsets are taken as they are.
//
// Split sets (reader_parts.h): when the end record names a disk other than
// the first, the parts beside the archive are mapped end to end and every
// offset counts from the start of the disk its record names (the end
// record's and the Zip64 records' disks, each central header's start disk);
// a set of numbered parts whose records all name disk 0 is one archive cut
// into pieces and read as their concatenation. The multi-disk mode (-!) of
// removable disks goes through span_read.h instead.
//
// Entry counts: more central headers than a 16-bit count without Zip64
// records says (a writer that let the count wrap) are all read, as long as
// they lie before the end records.
//
// Every offset and length comes from the file and is checked against the
// mapped size before it is used; the entry count is bounded by the directory
// bytes really there (46 bytes at least per entry), so memory stays bounded
// by the archive's size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "control/engine/format/zip_records.h"

namespace vz::zipwrap {

// Extra field tags read here.
constexpr uint16_t kExtraZip64 = 0x0001;        // 64-bit sizes and offset
constexpr uint16_t kExtraTimestamp = 0x5455;    // extended timestamp (UTC seconds)
constexpr uint16_t kExtraUnicodePath = 0x7075;  // the name in UTF-8, with the CRC of the stored name
// Host systems of version-made-by's high byte.
constexpr uint8_t kHostUnix = 3;

struct ReaderEntry {
  engine::CentralHeader header;  // as stored (32-bit sizes may be Zip64 markers)
  uint64_t compressedSize = 0;   // Zip64 resolved; the encryption header included
  uint64_t uncompressedSize = 0;
  uint64_t localOffset = 0;        // stored local header offset (Zip64 resolved), prefix not added
  uint32_t disk = 0;               // the disk (part) its local header is on (Zip64 resolved)
  std::string name;                // UTF-8, "/" separators, cut at a NUL
  std::string comment;             // file comment as UTF-8
  std::span<const uint8_t> extra;  // central extra field (inside the mapping)

  uint8_t hostSystem() const { return static_cast<uint8_t>(header.versionMadeBy >> 8); }
  bool encrypted() const { return (header.flags & engine::kFlagEncrypted) != 0; }
  // Unix type and permission bits when the entry was made on Unix and
  // carries them, else -1.
  int32_t unixMode() const;
  bool isSymlink() const;
  // A folder: the name ends with "/", its Unix mode says so, or (without a
  // Unix mode) it carries the DOS folder bit, whatever data it holds.
  bool isFolder() const;
  uint8_t dosAttributes() const { return static_cast<uint8_t>(header.externalAttributes & 0x3F); }
  uint32_t dosDateTime() const {
    return static_cast<uint32_t>(header.time) | (static_cast<uint32_t>(header.date) << 16);
  }
};

// The data of one entry, found through its local header.
struct EntryData {
  std::span<const uint8_t> bytes;       // the compressed bytes, encryption header included
  std::span<const uint8_t> localExtra;  // the local extra field
};

class ReaderArchive {
 public:
  ReaderArchive() = default;
  ~ReaderArchive();
  ReaderArchive(const ReaderArchive&) = delete;
  ReaderArchive& operator=(const ReaderArchive&) = delete;

  // Opens and reads the directory. Returns a result code of
  // engine_results.h: 0, 100 (missing), 400 (not a readable file), 110 (no
  // end record), 160 (damaged directory), 410 (one disk of a set whose other
  // parts are not beside it, multiDisk false), 120 (out of memory).
  // multiDisk: path is an already joined set (span_read.h), whose end
  // record may still name its last disk; otherwise an earlier part of a
  // split set ("NAME.z01") opens the set through "NAME.zip".
  [[nodiscard]] uint16_t open(const std::string& path, bool multiDisk);

  const std::vector<ReaderEntry>& entries() const { return entries_; }
  // The archive comment as stored (cut where the file ends).
  std::string_view comment() const { return comment_; }
  std::span<const uint8_t> bytes() const { return {data_, size_}; }

  // Finds an entry's local header and data; false when the header is not
  // there or the data runs past the end of the file.
  bool locate(const ReaderEntry& entry, EntryData& out) const;

 private:
  // Where the central directory lies and how many entries it claims.
  struct DirectorySpot {
    uint64_t count = 0;       // entries claimed
    uint64_t start = 0;       // first central header in the mapping
    uint64_t end = 0;         // where the end records begin
    bool countWraps = false;  // the count is a 16-bit field without Zip64 records
    uint32_t lastDisk = 0;    // the disk the end record names as its own
  };
  uint16_t mapFile(const std::string& path);
  uint16_t readEndRecords(bool multiDisk, DirectorySpot& spot);
  uint16_t readDirectory(const DirectorySpot& spot);
  // An offset on a disk as a position in the mapping; -1 when out of reach.
  int64_t positionOf(uint32_t disk, uint64_t offset) const;
  // The sizes of an entry whose central header saturates them without a
  // Zip64 value, from the Zip64 block of its local header.
  void sizesFromLocal(ReaderEntry& e) const;
  void unmap();

  const uint8_t* data_ = nullptr;     // the mapped file or set; null when empty or closed
  size_t size_ = 0;                   // its length
  int64_t prefix_ = 0;                // added to every stored offset (single archives)
  std::vector<uint64_t> diskStarts_;  // a split set: where each disk begins; empty otherwise
  std::string fallbackName_;          // the name of an entry whose stored name is empty
  std::string comment_;               // the archive comment's bytes
  std::vector<ReaderEntry> entries_;  // the central directory, in order
};

// The data of the first extra field block with tag id, empty when none.
std::span<const uint8_t> findExtra(std::span<const uint8_t> extra, uint16_t id);

// The modification and access times of an extended-timestamp block, when it
// carries them.
struct ExtraTimes {
  bool hasMtime = false;
  int64_t mtime = 0;
  bool hasAtime = false;
  int64_t atime = 0;
};
ExtraTimes readExtraTimes(std::span<const uint8_t> extra);

}  // namespace vz::zipwrap
