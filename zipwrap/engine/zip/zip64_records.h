// Zip64 on the writer side: the records an archive needs once an entry's
// size, an offset, the directory or the entry count no longer fits the
// classic fields, and only then, so a small archive keeps the classic
// layout that every old reader opens.
//
// A field that does not fit holds its marker (0xFFFFFFFF, 0xFFFF for the
// counts) and its value moves to a Zip64 record:
//
// Zip64 extra field (tag 0x0001), in the local and the central header:
//
//   +------+------+--------------+--------------+--------------+
//   | 0001 | size | uncompressed | compressed   | local offset |
//   +------+------+--------------+--------------+--------------+
//     2      2      8              8              8
//
//   Only the fields whose header value is the marker are present, in this
//   order. The local header's field, when it has one, always holds both
//   sizes (and the local header's sizes are both markers).
//
// Zip64 end record, after the central directory:
//
//   offset size
//   0      4    signature "PK" 06 06
//   4      8    size of the rest of the record (44)
//   12     2    version made by
//   14     2    version needed (4.5)
//   16     4    this disk (0)
//   20     4    the directory's disk (0)
//   24     8    entries on this disk
//   32     8    entries in all
//   40     8    directory size
//   48     8    directory offset
//
// Zip64 end locator, just before the classic end record:
//
//   offset size
//   0      4    signature "PK" 06 07
//   4      4    disk of the Zip64 end record (0)
//   8      8    offset of the Zip64 end record
//   16     4    number of disks (1)
//
// Sizes are known before a new entry's local header is written (the pack
// queue packs first, zip_pack_queue.h), including a file that grew after
// it was found: what was packed is what is written, so a local header
// never needs a data descriptor.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "control/engine/write/zip_writer.h"

namespace vz::zipwrap {

constexpr uint16_t kZip64ExtraTag = 0x0001;
constexpr uint32_t kMarker32 = 0xFFFFFFFFu;
constexpr uint16_t kMarker16 = 0xFFFF;
constexpr uint16_t kVersionNeededZip64 = 45;
constexpr uint32_t kZip64EndSignature = 0x06064B50;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr size_t kZip64EndSize = 56;
constexpr size_t kZip64LocatorSize = 20;

// Whether a value must move to a Zip64 field.
constexpr bool needsZip64(uint64_t value) { return value >= kMarker32; }

// An entry's sizes and offset in full.
struct WideFacts {
  uint64_t rawSize = 0;      // uncompressed
  uint64_t dataSize = 0;     // stored bytes (encryption overhead included)
  uint64_t localOffset = 0;  // the local header's position
};

// The local header's Zip64 field (both sizes).
std::vector<uint8_t> localZip64Extra(uint64_t rawSize, uint64_t dataSize);

// An extra block without its Zip64 fields.
std::vector<uint8_t> withoutZip64(std::span<const uint8_t> extra);

// Reads the Zip64 field of an extra block for the header fields that hold
// their marker (raw, data, offset), filling those values of facts. False
// when a marked field has no value there.
bool readZip64Extra(std::span<const uint8_t> extra, bool rawMarked, bool dataMarked, bool offsetMarked,
                    WideFacts& facts);

// Whether an extra block holds a Zip64 field.
bool hasZip64Extra(std::span<const uint8_t> extra);

// Sets a central record's sizes and offset from facts: each one that fits
// is written in the header, unless keep... asks to leave it in the Zip64
// field where the record had it (another writer's choice, kept on copy);
// the others hold the marker and go to a rebuilt Zip64 field at the end of
// the extra block. A record that needs no Zip64 field and had none is left
// as it was apart from its fields. Raises the version needed to 4.5 when
// the field is present.
void setCentralFacts(engine::CentralRecord& record, const WideFacts& facts, bool keepRaw = false, bool keepData = false,
                     bool keepOffset = false);

// Writes the builder's central directory, the Zip64 end record and locator
// when the count, the directory's size or offset need them (or forceZip64
// asks for them), and the end record with the archive comment; flushes the
// file to the medium and closes it. False when a write fails (errno kept)
// or the comment is too long; *wroteZip64 tells whether the Zip64 records
// were written.
[[nodiscard]] bool finishArchive(engine::ArchiveBuilder& builder, std::string_view archiveComment, bool forceZip64,
                                 bool* wroteZip64);

// What the Zip64 end record of an archive says.
struct Zip64End {
  uint64_t entries = 0;          // entries in all
  uint64_t directorySize = 0;    // bytes
  uint64_t directoryOffset = 0;  // as stored
  int64_t position = -1;         // where the record really is
  int64_t storedPosition = -1;   // where the locator says it is
  uint32_t thisDisk = 0;         // its disk numbers (0 for a single file)
  uint32_t directoryDisk = 0;
};

// Parses the locator (kZip64LocatorSize bytes just before the end record)
// and, through read, the record it points at (kZip64EndSize bytes at a
// position). read(offset, buffer, count) returns whether all bytes were
// read. The record is taken where the locator says, or, for an archive
// behind a prefix, right before the locator. False when there is no
// locator or no record.
template <typename ReadAt>
bool readZip64End(const uint8_t* locator, int64_t locatorPosition, ReadAt read, Zip64End& out);

// The record's fields from its bytes; false without its signature.
bool parseZip64End(const uint8_t* bytes, Zip64End& out);

uint64_t loadLe64(const uint8_t* p);
void storeLe64(uint8_t* p, uint64_t v);

template <typename ReadAt>
bool readZip64End(const uint8_t* locator, int64_t locatorPosition, ReadAt read, Zip64End& out) {
  if (locatorPosition < 0 || engine::loadLe32(locator) != kZip64LocatorSignature) return false;
  const uint64_t stored = loadLe64(locator + 8);
  uint8_t rec[kZip64EndSize];
  const int64_t behind = locatorPosition - static_cast<int64_t>(kZip64EndSize);
  if (stored < static_cast<uint64_t>(INT64_MAX) && read(static_cast<int64_t>(stored), rec, sizeof rec) &&
      parseZip64End(rec, out)) {
    out.position = static_cast<int64_t>(stored);
  } else if (behind >= 0 && read(behind, rec, sizeof rec) && parseZip64End(rec, out)) {
    out.position = behind;
  } else {
    return false;
  }
  out.storedPosition = stored < static_cast<uint64_t>(INT64_MAX) ? static_cast<int64_t>(stored) : -1;
  return true;
}

}  // namespace vz::zipwrap
