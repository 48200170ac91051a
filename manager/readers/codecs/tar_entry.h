// TAR headers as the extractor reads them: a state machine fed one 512-byte
// block at a time, which folds GNU long-name records ('L', 'K') and pax
// extended headers ('x', and the global 'g', which is skipped) into the
// entry that follows them.
//
// Header block (ustar; GNU and v7 headers share the first 257 bytes):
//   0   name (100)       100 mode (8, octal)   108 uid (8)   116 gid (8)
//   124 size (12, octal; GNU: base-256 when the first byte has bit 7 set)
//   136 mtime (12, octal, Unix seconds)   148 checksum (8, octal)
//   156 type flag        157 link name (100)
//   257 magic "ustar\0" "00" (ustar, pax) or "ustar  \0" (GNU)
//   265 user name (32)   297 group name (32)   329 device numbers (16)
//   345 prefix (155, ustar and pax: the name's leading folders)
//
// The checksum is the sum of the block's 512 bytes with the checksum field
// counted as 8 blanks (old programs summed signed bytes; both are taken).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vz::readers::codecs {

constexpr size_t kTarBlock = 512;

enum class TarKind : uint8_t { Regular, Folder, Symlink, HardLink, Other };
enum class TarFormat : uint8_t { V7, Ustar, Gnu, Pax };

struct TarEntry {
  std::string name;      // the full path: pax path, GNU long name, or prefix "/" name
  std::string linkName;  // symlink or hard-link target (pax linkpath, GNU 'K', or the field)
  TarKind kind = TarKind::Regular;
  char typeFlag = '0';    // the header's own flag ('\0' read as '0')
  uint32_t mode = 0;      // permission and type bits of the mode field
  uint64_t size = 0;      // data bytes following the header (pax size wins)
  int64_t mtime = 0;      // Unix seconds (pax mtime wins; its fraction is dropped)
  uint32_t checksum = 0;  // the header's checksum field
  TarFormat format = TarFormat::V7;
  // Blocks taken for this entry: its header and the long-name and pax
  // records (headers and data) in front of it.
  uint32_t headerBlocks = 0;
  // Blocks of data that follow: the size rounded up to whole blocks.
  uint64_t dataBlocks() const { return (size + kTarBlock - 1) / kTarBlock; }
};

enum class TarStep : uint8_t {
  NeedBlock,     // the block was taken; feed the next one
  Entry,         // an entry header is complete: entry() is valid, its data follows
  EndOfArchive,  // a zero block (the archive's end mark)
  BadChecksum,   // the block's checksum does not match (25108 Bad file header)
  BadHeader,     // a field cannot be read, or a long-name or pax record is too big or damaged
};

// Checks a block's checksum field against its bytes.
bool tarChecksumOk(const uint8_t* block);
// Reads an octal field (leading blanks, then digits, ended by a blank or
// NUL) or a GNU base-256 field; false when it holds neither.
bool tarNumber(const uint8_t* field, size_t size, uint64_t& value);

class TarHeaderReader {
 public:
  // Longest long-name or pax record kept; larger ones are BadHeader.
  static constexpr uint64_t kMaxRecord = 1 << 20;

  // Takes the next block (kTarBlock bytes) of header data.
  [[nodiscard]] TarStep feed(const uint8_t* block);
  // The last entry completed (valid after TarStep::Entry until the next feed).
  const TarEntry& entry() const { return entry_; }

 private:
  TarStep header(const uint8_t* block);
  TarStep finishRecord();
  void applyPax(const std::string& record);
  void reset();

  TarEntry entry_;           // the entry being built, then the one completed
  char recordType_ = 0;      // the meta record whose data is being collected ('L', 'K', 'x', 'g'), 0: none
  uint64_t recordLeft_ = 0;  // its data bytes not yet fed
  std::string record_;       // its data so far
  uint32_t blocks_ = 0;      // blocks taken for the entry being built
  bool entryDone_ = false;   // entry_ holds a completed entry (the next feed starts afresh)
  // Overrides from long-name and pax records for the next header.
  bool havePath_ = false, haveLink_ = false, haveSize_ = false, haveMtime_ = false;
  bool sawPax_ = false;  // a pax record came in front of the header
  std::string path_, link_;
  uint64_t size_ = 0;
  int64_t mtime_ = 0;
};

}  // namespace vz::readers::codecs
