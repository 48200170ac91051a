// The ZIP records as the engine reads and writes them: signatures, record
// sizes, named field offsets, little-endian access, and the conversion of
// each record between its bytes and a plain structure.
//
// Every record is read through the named offsets below and the
// little-endian helpers; no packed structure is ever laid over file bytes.
// The parse functions take the record's bytes starting at its signature and
// fail (nullopt) when the span is too short or the signature is not there;
// they never look at the variable-length parts that follow a record (name,
// extra field, comments), whose lengths the caller checks where it reads
// them. Nothing in the format is wider than 32 bits.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace vz::engine {

// ---- little-endian access -------------------------------------------------

inline uint16_t loadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t loadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
inline void storeLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void storeLe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

// ---- signatures and sizes -------------------------------------------------

// Each signature is "PK" followed by two record-type bytes; the 32-bit values
// are the four bytes read little-endian.
constexpr uint32_t kLocalHeaderSignature = 0x04034B50;    // "PK" 03 04
constexpr uint32_t kCentralHeaderSignature = 0x02014B50;  // "PK" 01 02
constexpr uint32_t kEndRecordSignature = 0x06054B50;      // "PK" 05 06
constexpr uint32_t kDescriptorSignature = 0x08074B50;     // "PK" 07 08
constexpr size_t kSignatureSize = 4;

// Fixed parts of the records, signature included.
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kDescriptorSize = 16;  // always written and expected with its signature

// The longest archive comment (16-bit length) and so the longest distance of
// the end record's start from the end of the file: 65,535 + 22 bytes.
constexpr size_t kMaxCommentLength = 0xFFFF;
constexpr size_t kEndRecordSearchWindow = kMaxCommentLength + kEndRecordSize;

// ---- field offsets ----------------------------------------------------------

// Local file header:
//
//   0      4       6      8       10     12     14     18      22       26      28      30
//   +------+-------+------+-------+------+------+------+-------+--------+-------+-------+------+-------+
//   | sig  | vers. | flags| method| time | date | crc  | csize | usize  | nlen  | xlen  | name | extra |
//   | PK34 | need  |      |       |      |      |      |       |        |       |       |  n   |   m   |
//   +------+-------+------+-------+------+------+------+-------+--------+-------+-------+------+-------+
namespace local_field {
constexpr size_t kSignature = 0;
constexpr size_t kVersionNeeded = 4;
constexpr size_t kFlags = 6;
constexpr size_t kMethod = 8;
constexpr size_t kTime = 10;
constexpr size_t kDate = 12;
constexpr size_t kCrc32 = 14;
constexpr size_t kCompressedSize = 18;
constexpr size_t kUncompressedSize = 22;
constexpr size_t kNameLength = 26;
constexpr size_t kExtraLength = 28;
}  // namespace local_field

// Central directory file header:
//
//   0      4      6      8      10     12     14     16     20     24     28     30     32     34     36     38     42     46
//   +------+------+------+------+------+------+------+------+------+------+------+------+------+------+------+------+------+
//   | sig  | made | need | flags|method| time | date | crc  |csize |usize | nlen | xlen | klen | disk | int. | ext. |local |
//   | PK12 |  by  |      |      |      |      |      |      |      |      |      |      |      |start | attr | attr |offset|
//   +------+------+------+------+------+------+------+------+------+------+------+------+------+------+------+------+------+
//   then name (n), central extra field (m), file comment (k)
namespace central_field {
constexpr size_t kSignature = 0;
constexpr size_t kVersionMadeBy = 4;
constexpr size_t kVersionNeeded = 6;
constexpr size_t kFlags = 8;
constexpr size_t kMethod = 10;
constexpr size_t kTime = 12;
constexpr size_t kDate = 14;
constexpr size_t kCrc32 = 16;
constexpr size_t kCompressedSize = 20;
constexpr size_t kUncompressedSize = 24;
constexpr size_t kNameLength = 28;
constexpr size_t kExtraLength = 30;
constexpr size_t kCommentLength = 32;
constexpr size_t kDiskNumberStart = 34;
constexpr size_t kInternalAttributes = 36;
constexpr size_t kExternalAttributes = 38;
constexpr size_t kLocalHeaderOffset = 42;
}  // namespace central_field

// The run of fields that a central header shares with its local header, from
// version-needed to name-length: central offsets 6..29, local offsets 4..27.
constexpr size_t kSharedFieldsLength = 24;

// End of central directory record:
//
//   0      4       6       8        10       12       16       20     22
//   +------+-------+-------+--------+--------+--------+--------+------+---------+
//   | sig  | this  | dir   | entries| total  | dir    | dir    | clen | comment |
//   | PK56 | disk  | disk  | on disk| entries| size   | offset |      |    c    |
//   +------+-------+-------+--------+--------+--------+--------+------+---------+
namespace end_field {
constexpr size_t kSignature = 0;
constexpr size_t kThisDisk = 4;
constexpr size_t kDirectoryDisk = 6;
constexpr size_t kEntriesOnDisk = 8;
constexpr size_t kTotalEntries = 10;
constexpr size_t kDirectorySize = 12;
constexpr size_t kDirectoryOffset = 16;
constexpr size_t kCommentLength = 20;
}  // namespace end_field

// Data descriptor (with its signature, the only form the engine knows):
//
//   0      4      8       12      16
//   +------+------+-------+-------+
//   | sig  | crc  | csize | usize |
//   | PK78 |      |       |       |
//   +------+------+-------+-------+
namespace descriptor_field {
constexpr size_t kSignature = 0;
constexpr size_t kCrc32 = 4;
constexpr size_t kCompressedSize = 8;
constexpr size_t kUncompressedSize = 12;
}  // namespace descriptor_field

// ---- flags, methods, versions ----------------------------------------------

constexpr uint16_t kFlagEncrypted = 0x0001;       // bit 0: traditional encryption
constexpr uint16_t kFlagDataDescriptor = 0x0008;  // bit 3: CRC and sizes follow the data
constexpr uint16_t kFlagUtf8Name = 0x0800;        // bit 11: the name is UTF-8
// Bits 13 to 15, ignored when a central header is compared with its local
// header.
constexpr uint16_t kFlagsIgnoredOnCompare = 0xE000;

constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodShrunk = 1;
constexpr uint16_t kMethodReducedFirst = 2;  // reduced with factor 1 (methods 2..5: factors 1..4)
constexpr uint16_t kMethodReducedLast = 5;
constexpr uint16_t kMethodImploded = 6;
constexpr uint16_t kMethodTokenized = 7;
constexpr uint16_t kMethodDeflated = 8;

// ---- records ------------------------------------------------------------------

struct LocalHeader {
  uint16_t versionNeeded = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t time = 0;  // DOS time
  uint16_t date = 0;  // DOS date
  uint32_t crc32 = 0;
  uint32_t compressedSize = 0;  // encryption header included
  uint32_t uncompressedSize = 0;
  uint16_t nameLength = 0;
  uint16_t extraLength = 0;
  bool operator==(const LocalHeader&) const = default;
};

struct CentralHeader {
  uint16_t versionMadeBy = 0;  // low byte: version x 10; high byte: host system
  uint16_t versionNeeded = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t time = 0;
  uint16_t date = 0;
  uint32_t crc32 = 0;
  uint32_t compressedSize = 0;
  uint32_t uncompressedSize = 0;
  uint16_t nameLength = 0;
  uint16_t extraLength = 0;
  uint16_t commentLength = 0;
  uint16_t diskNumberStart = 0;
  uint16_t internalAttributes = 0;
  uint32_t externalAttributes = 0;
  uint32_t localHeaderOffset = 0;  // as stored (the readers add the extra bytes)
  bool operator==(const CentralHeader&) const = default;
};

struct EndRecord {
  uint16_t thisDisk = 0;
  uint16_t directoryDisk = 0;
  uint16_t entriesOnDisk = 0;
  uint16_t totalEntries = 0;
  uint32_t directorySize = 0;
  uint32_t directoryOffset = 0;
  uint16_t commentLength = 0;
  bool operator==(const EndRecord&) const = default;
};

struct DataDescriptor {
  uint32_t crc32 = 0;
  uint32_t compressedSize = 0;
  uint32_t uncompressedSize = 0;
  bool operator==(const DataDescriptor&) const = default;
};

// The signature at the start of bytes (which must hold at least 4 bytes).
inline uint32_t signatureAt(const uint8_t* bytes) { return loadLe32(bytes); }

std::optional<LocalHeader> parseLocalHeader(std::span<const uint8_t> bytes);
std::optional<CentralHeader> parseCentralHeader(std::span<const uint8_t> bytes);
std::optional<EndRecord> parseEndRecord(std::span<const uint8_t> bytes);
std::optional<DataDescriptor> parseDataDescriptor(std::span<const uint8_t> bytes);

std::array<uint8_t, kLocalHeaderSize> encodeLocalHeader(const LocalHeader& h);
std::array<uint8_t, kCentralHeaderSize> encodeCentralHeader(const CentralHeader& h);
std::array<uint8_t, kEndRecordSize> encodeEndRecord(const EndRecord& r);
std::array<uint8_t, kDescriptorSize> encodeDataDescriptor(const DataDescriptor& d);

// The local header that goes with a central header (the shared fields, the
// name length, and the given local extra length).
LocalHeader localHeaderFor(const CentralHeader& c, uint16_t localExtraLength);

// Whether a central header's shared fields (version needed to name length)
// equal a local header's, flag bits 13 to 15 ignored on both sides.
bool sharedFieldsMatch(const CentralHeader& c, const LocalHeader& l);

// ---- field values for a new entry -----------------------------------------

// The engine's own version-made-by: host 11, version 5.0.
constexpr uint16_t kEngineVersionMadeBy = 0x0B32;
constexpr uint16_t kVersionNeededStored = 10;
constexpr uint16_t kVersionNeededDeflated = 20;
// The Windows attribute bits kept in the external attributes of a new entry:
// read-only, hidden, system, directory, archive.
constexpr uint32_t kNewEntryAttributeMask = 0x37;

// What the writer knows about a file it is about to write or has written.
struct NewEntryFacts {
  bool deflated = false;           // method 8, else 0
  bool encrypted = false;          // flag bit 0
  bool descriptorFollows = false;  // flag bit 3 (while the local header is not yet rewritten)
  bool utf8Name = false;           // flag bit 11: the name holds non-ASCII bytes
  uint32_t dosDateTime = 0;        // time in the low half, date in the high half
  uint32_t attributes = 0;         // the file's attribute bits (masked here)
  uint32_t crc32 = 0;
  uint32_t compressedSize = 0;
  uint32_t uncompressedSize = 0;
  uint16_t nameLength = 0;
  uint32_t localHeaderOffset = 0;  // absolute position of the local header
};

// The central header the engine writes for a new or replaced entry: version
// made by 0x0B32, version needed 10 or 20, flags from the facts and nothing
// else, no extra field, no comment, disk 0, internal attributes 0, external
// attributes masked with 0x37.
CentralHeader newEntryRecord(const NewEntryFacts& facts);

}  // namespace vz::engine
