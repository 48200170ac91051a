// Writing one new entry into the archive being built: its local header,
// the encryption header when it is encrypted, its data, and its central
// record.
//
// Every value of the local header is known before the data is written
// (the data was packed first, zip_pack_queue.h), so the header is written
// once with the CRC and sizes and no data descriptor is needed.
//
// Fields of a new entry: made by Unix (3), version 3.0; version needed 1.0
// stored, 2.0 deflated or encrypted; flag bit 0 when encrypted, bits 1-2
// the deflate level's class, bit 11 for a name with non-ASCII bytes;
// external attributes = Unix mode << 16 | DOS bits. Both headers carry the
// extended timestamp (0x5455) with the modification time:
//
//   +------+------+-------+-------------+
//   | 5455 | 0005 | flags | mtime       |    flags 0x01: mtime present
//   +------+------+-------+-------------+
//     2      2      1       4 (Unix seconds, unsigned)
//
// Entry sizes and offsets stay below 4 GiB: ZIP64 is not written, the
// callers refuse what would need it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "control/engine/format/zip_crypto.h"
#include "control/engine/write/zip_writer.h"

namespace vz::zipwrap {

// Version made by: host Unix (3), version 3.0.
constexpr uint16_t kWriterVersionMadeBy = (3 << 8) | 30;
// The extended timestamp's tag.
constexpr uint16_t kExtendedTimestampTag = 0x5455;

struct NewEntry {
  std::string name;     // stored name, as written
  uint16_t method = 0;  // 0 or 8
  int level = 6;        // the deflate level (flag bits 1-2)
  uint32_t crc32 = 0;
  uint64_t rawSize = 0;   // uncompressed
  uint64_t dataSize = 0;  // bytes after the header, encryption header included
  bool encrypted = false;
  uint32_t dosDateTime = 0;         // time low, date high
  uint32_t mtime = 0;               // Unix seconds for the 0x5455 field
  uint32_t externalAttributes = 0;  // mode << 16 | DOS bits
  std::string comment;              // file comment (at most 65,535 bytes)
};

// Writes the local header at the builder's position; *at receives its
// offset. False when the write fails (errno kept).
[[nodiscard]] bool writeEntryHeader(engine::ArchiveBuilder& builder, const NewEntry& entry, int64_t* at);
// Records the entry's central record (local header at at).
void recordEntry(engine::ArchiveBuilder& builder, const NewEntry& entry, int64_t at);

// The entry's data after its header: the encryption header first when the
// entry is encrypted, then every byte through the cipher.
class EntryDataWriter {
 public:
  // password: nullptr for a plain entry.
  EntryDataWriter(engine::ArchiveBuilder& builder, const std::string* password, const NewEntry& entry);
  // Writes the encryption header (nothing for a plain entry). False on a
  // failed write or when no random bytes could be had.
  [[nodiscard]] bool begin();
  // Writes data (encrypting it in place when the entry is encrypted).
  [[nodiscard]] bool write(uint8_t* data, size_t size);

 private:
  engine::ArchiveBuilder& builder_;  // where the bytes go
  const std::string* password_;      // null: not encrypted
  const NewEntry& entry_;            // the entry (CRC and name for the header)
  engine::ZipKeys keys_;             // the running cipher keys
};

// The ten random bytes of an encryption header: from the system's random
// source, or, when VZ_ENCRYPTION_SEED is set (tests), derived from that
// seed, the name and the CRC so that runs can be compared byte for byte.
[[nodiscard]] bool encryptionRandomBytes(const std::string& name, uint32_t crc, uint8_t* out10);

}  // namespace vz::zipwrap
