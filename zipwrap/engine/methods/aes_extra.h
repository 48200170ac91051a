// The AES encryption of ZIP entries: what the 0x9901 extra field says and
// the sizes that follow from it.
//
// An AES-encrypted entry has method 99 and general-purpose bit 0 set; its
// extra field (local and central) carries the real method:
//
//   offset size
//   0      2    header id 0x9901
//   2      2    data size (7)
//   4      2    version: 1 (AE-1: the CRC is stored and checked)
//                        2 (AE-2: the CRC is 0 and not checked)
//   6      2    the letters "AE"
//   8      1    key strength: 1 = AES-128, 2 = AES-192, 3 = AES-256
//   9      2    the method the data was compressed with before encryption
//
// The entry's stored data is then
//
//   | salt (8, 12, 16) | verifier (2) | encrypted data ... | code (10) |
//
// and its compressed size counts all of it. The keys come from the password
// and the salt (aes_keys.h); the code authenticates the encrypted data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vz::zipwrap {

constexpr int kAesMethod = 99;
constexpr uint16_t kAesExtraId = 0x9901;
constexpr size_t kAesExtraDataSize = 7;
constexpr size_t kAesVerifierBytes = 2;
constexpr size_t kAesCodeBytes = 10;  // the HMAC-SHA1 code, cut to its first 10 bytes

// What the extra field says about an entry.
struct AesEntryInfo {
  uint16_t version = 0;  // 1 (AE-1) or 2 (AE-2)
  uint8_t strength = 0;  // 1, 2 or 3 (128, 192, 256-bit keys)
  uint16_t method = 0;   // compression method of the decrypted data
};

enum class AesExtraStatus : uint8_t {
  Found,      // a valid field was read into the info
  Missing,    // no 0x9901 field
  Malformed,  // a 0x9901 field too short, or with a version, vendor or strength not listed above
};

// Walks an extra-field block (id, size, data records) for the 0x9901 field.
// A record whose size runs past the block ends the walk.
[[nodiscard]] AesExtraStatus readAesExtra(std::span<const uint8_t> extra, AesEntryInfo& info);

// Key length in bytes for a strength of 1 to 3: 16, 24, 32.
constexpr size_t aesKeyBytes(uint8_t strength) { return 8 + 8 * size_t{strength}; }
// Salt length in bytes for a strength of 1 to 3: 8, 12, 16.
constexpr size_t aesSaltBytes(uint8_t strength) { return 4 + 4 * size_t{strength}; }
// The bytes in front of the encrypted data: salt and verifier.
constexpr size_t aesHeaderBytes(uint8_t strength) { return aesSaltBytes(strength) + kAesVerifierBytes; }
// Stored bytes beyond the encrypted data: salt, verifier and code.
constexpr size_t aesOverheadBytes(uint8_t strength) { return aesHeaderBytes(strength) + kAesCodeBytes; }

// Whether the reader checks the entry's CRC after decoding: AE-1 keeps a
// real CRC, AE-2 stores 0 and relies on the authentication code alone.
constexpr bool aesEntryHasCrc(const AesEntryInfo& info) { return info.version == 1; }

}  // namespace vz::zipwrap
