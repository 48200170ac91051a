// Writing one new entry into the archive being built: its local header,
// the encryption header when it is encrypted, its data, and its central
// record.
//
// Every value of the local header is known before the data is written
// (the data was packed first, zip_pack_queue.h), so the header is written
// once with the CRC and sizes and no data descriptor is needed.
//
// Fields of a new entry: made by Unix (3), version 3.0; version needed the
// highest of what the entry uses: 1.0 stored, 2.0 deflated or
// traditionally encrypted, 4.5 Zip64, 4.6 bzip2, 5.1 AES, 6.3 LZMA, xz and
// Zstandard; flag bit 0 when encrypted, bits 1-2 the deflate level's
// class, bit 1 for LZMA's end marker, bit 11 for a name with non-ASCII
// bytes; external attributes = Unix mode << 16 | DOS bits. Both headers
// carry the extended timestamp (0x5455) with the modification time:
//
//   +------+------+-------+-------------+
//   | 5455 | 0005 | flags | mtime       |    flags 0x01: mtime present
//   +------+------+-------+-------------+
//     2      2      1       4 (Unix seconds, unsigned)
//
// Then, in this order, the Zip64 field when a size or (central only) the
// offset needs it (zip64_records.h), and for AES the 0x9901 field
// (methods/aes_extra.h): version 2 (AE-2), "AE", strength 3 (256 bits),
// the real method. An AES entry has method 99 and a CRC field of 0; its
// data is salt (16), verifier (2), the encrypted data and the first 10
// bytes of the HMAC-SHA1 over the encrypted data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <memory>

#include "control/engine/format/zip_crypto.h"
#include "control/engine/write/zip_writer.h"

namespace vz::zipwrap {

// Version made by: host Unix (3), version 3.0.
constexpr uint16_t kWriterVersionMadeBy = (3 << 8) | 30;
// The extended timestamp's tag.
constexpr uint16_t kExtendedTimestampTag = 0x5455;

// The strength written for AES entries (3: 256-bit keys) and its salt size.
constexpr uint8_t kWriterAesStrength = 3;

struct NewEntry {
  std::string name;     // stored name, as written
  uint16_t method = 0;  // the compression method (0, 8, 12, 14, 93, 95); AES entries store 99 in front of it
  int level = 6;        // the deflate level (flag bits 1-2)
  uint32_t crc32 = 0;
  uint64_t rawSize = 0;   // uncompressed
  uint64_t dataSize = 0;  // bytes after the header, encryption header included
  bool encrypted = false;
  bool aes = false;                 // encrypted with AES-256 (AE-2) rather than the traditional cipher
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

// The bytes an encryption adds to the entry's packed data.
uint64_t encryptionOverhead(const NewEntry& entry);

struct AesWriteState;

// The entry's data after its header: the encryption header (or AES salt
// and verifier) first when the entry is encrypted, then every byte through
// the cipher, then for AES the authentication code.
class EntryDataWriter {
 public:
  // password: nullptr for a plain entry.
  EntryDataWriter(engine::ArchiveBuilder& builder, const std::string* password, const NewEntry& entry);
  ~EntryDataWriter();
  // Writes the encryption header (nothing for a plain entry). False on a
  // failed write, when no random bytes could be had or libcrypto failed.
  [[nodiscard]] bool begin();
  // Writes data (encrypting it in place when the entry is encrypted).
  [[nodiscard]] bool write(uint8_t* data, size_t size);
  // Writes what follows the data (the AES code; nothing otherwise).
  [[nodiscard]] bool end();

 private:
  engine::ArchiveBuilder& builder_;     // where the bytes go
  const std::string* password_;         // null: not encrypted
  const NewEntry& entry_;               // the entry (CRC and name for the header)
  engine::ZipKeys keys_;                // the running traditional cipher keys
  std::unique_ptr<AesWriteState> aes_;  // AES: the cipher and the code under way
};

// The random bytes of an encryption header (10) or an AES salt (16): from
// the system's random source, or, when VZ_ENCRYPTION_SEED is set (tests),
// derived from that seed, the name and the CRC so that runs can be
// compared byte for byte.
[[nodiscard]] bool encryptionRandomBytes(const std::string& name, uint32_t crc, uint8_t* out, size_t count = 10);

}  // namespace vz::zipwrap
