// The traditional ZIP encryption (the application note's "traditional
// PKWARE encryption"): three 32-bit keys driven by the CRC-32 table, a
// 12-byte encryption header in front of each encrypted entry's data, and
// general-purpose flag bit 0 on the entry.
//
//   keys    k0 = 0x12345678, k1 = 0x23456789, k2 = 0x34567890, then every
//           password byte (up to a NUL) through update()
//   update  k0 = crc32Step(k0, c)
//           k1 = (k1 + (k0 & 0xFF)) * 134775813 + 1        (mod 2^32)
//           k2 = crc32Step(k2, k1 >> 24)
//   stream  t = (k2 & 0xFFFF) | 2;  s = ((t * (t ^ 1)) >> 8) & 0xFF
//   encrypt out = plain ^ s, then update(plain)
//   decrypt plain = cipher ^ s, then update(plain)
//
// Encryption header (12 bytes, encrypted with the password's keys, the
// entry's compressed data follows under the same running keys):
//
//   +----+----+----+----+----+----+----+----+----+----+----+----+
//   |            ten random bytes (1..10)             | 11 | 12 |
//   +----+----+----+----+----+----+----+----+----+----+----+----+
//   byte 11 = CRC-32 bits 16-23, byte 12 = CRC-32 bits 24-31 (as written)
//
// Check on reading, h = byte 11 + 256 * byte 12 after decryption: the
// password is accepted when h equals the entry's DOS time, or h equals CRC
// bits 16-31, or byte 12 equals CRC bits 24-31, or byte 12 equals DOS time
// bits 8-15. So headers made by writers that put the time in the check
// bytes (entries with a data descriptor) pass as well as CRC-based ones.
//
// Random bytes of the header: taken from the system's random source
// (getrandom). A generator reseeded with the clock would repeat the same ten
// bytes for every header made within one second, which weakens the cipher
// further; the check bytes are the ones fixed above either way.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vz::engine {

// Length of the encryption header in front of an encrypted entry's data.
inline constexpr size_t kEncryptionHeaderSize = 12;
// Number of random bytes at the start of the header.
inline constexpr size_t kEncryptionRandomBytes = 10;

using EncryptionHeader = std::array<uint8_t, kEncryptionHeaderSize>;

// The cipher's running state.
struct ZipKeys {
  uint32_t k0 = 0x12345678;  // CRC register over the plain bytes
  uint32_t k1 = 0x23456789;  // linear congruential mix of k0's low byte
  uint32_t k2 = 0x34567890;  // CRC register over k1's top byte; gives the stream byte
};

// Keys initialised from the password's bytes (up to its first NUL, if any).
ZipKeys initKeys(std::string_view password);
// Feeds one plain byte into the keys.
void updateKeys(ZipKeys& keys, uint8_t plain);
// The byte the current keys xor into the next byte.
uint8_t streamByte(const ZipKeys& keys);
// One byte through the cipher; the keys advance.
uint8_t encryptByte(ZipKeys& keys, uint8_t plain);
uint8_t decryptByte(ZipKeys& keys, uint8_t cipher);
// A buffer through the cipher, in place; the keys advance over it, so a
// stream may be processed in pieces of any size.
void encryptBuffer(ZipKeys& keys, uint8_t* data, size_t size);
void decryptBuffer(ZipKeys& keys, uint8_t* data, size_t size);

// Decrypts the 12 header bytes in place; keys are then ready for the data.
void decryptHeader(ZipKeys& keys, uint8_t* header);
// The check rule above on a decrypted header.
bool headerCheckPasses(const uint8_t* decrypted, uint32_t crc, uint16_t dosTime);
// Tests a password against an entry's (still encrypted) header: keys from
// the password, header decrypted on a copy, check. On success *keys (when
// given) holds the keys ready for the entry's data.
bool tryPassword(std::string_view password, const uint8_t* header, uint32_t crc, uint16_t dosTime,
                 ZipKeys* keys = nullptr);

// The writer's header: random bytes 1-10, check bytes from the CRC, all
// encrypted with keys (which advance over them). buildEncryptionHeader takes
// the random bytes from the caller (for tests); makeEncryptionHeader takes
// them from the system's random source and returns false, leaving keys
// untouched, when that source fails.
void buildEncryptionHeader(ZipKeys& keys, uint32_t crc, const uint8_t* random10, uint8_t* out);
[[nodiscard]] bool makeEncryptionHeader(ZipKeys& keys, uint32_t crc, uint8_t* out);
// size bytes from the system's random source; false when it fails.
[[nodiscard]] bool systemRandomBytes(uint8_t* out, size_t size);

}  // namespace vz::engine
