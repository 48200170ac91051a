// The cryptography of AES-encrypted ZIP entries, over libcrypto.
//
// Keys: PBKDF2 with HMAC-SHA1, 1000 iterations, over the password and the
// entry's salt, gives 2 * key length + 2 bytes:
//
//   | encryption key (16/24/32) | authentication key (16/24/32) | verifier (2) |
//
// The verifier is stored in front of the encrypted data, so a wrong password
// is told apart from damaged data before anything is decrypted (a wrong
// password still passes it once in 65,536 times; the code then fails).
//
// Cipher: AES in counter mode, where the counter is a 16-byte little-endian
// number starting at 1 for the first block of data (not the big-endian
// counter of the usual CTR mode, hence the blocks are made here and only
// the block cipher comes from libcrypto).
//
// Code: HMAC-SHA1 with the authentication key over the encrypted bytes; the
// first 10 bytes of it are stored after them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace vz::zipwrap {

// The keys derived for one entry (sizes by strength, aes_extra.h).
struct AesKeys {
  uint8_t encryption[32] = {};  // the first aesKeyBytes(strength) bytes are used
  uint8_t authentication[32] = {};
  uint8_t verifier[2] = {};
  size_t keyBytes = 0;  // 16, 24 or 32; 0 when derivation failed
};

// Derives the keys from the password and the salt (aesSaltBytes(strength)
// bytes). keyBytes is 0 when libcrypto failed.
AesKeys deriveAesKeys(uint8_t strength, std::string_view password, std::span<const uint8_t> salt);

// Whether derived keys fit the verifier stored in header (the first
// aesHeaderBytes(strength) stored bytes).
bool aesVerifierMatches(const AesKeys& keys, std::span<const uint8_t> header, uint8_t strength);

// Whether the password fits the entry's salt and verifier (the first
// aesHeaderBytes(strength) stored bytes); false when header is shorter.
bool aesPasswordMatches(uint8_t strength, std::string_view password, std::span<const uint8_t> header);

// AES-CTR with the little-endian counter; decryption and encryption are the
// same operation.
class AesCtr {
 public:
  AesCtr(const uint8_t* key, size_t keyBytes);
  ~AesCtr();
  AesCtr(const AesCtr&) = delete;
  AesCtr& operator=(const AesCtr&) = delete;

  // False when libcrypto could not set the cipher up.
  bool valid() const { return ctx_ != nullptr; }
  // XORs the next n bytes of key stream into data.
  void apply(uint8_t* data, size_t n);

 private:
  // Counter blocks encrypted at once.
  static constexpr size_t kBatchBlocks = 256;
  // Encrypts the next blocks counter values into stream_.
  void makeStream(size_t blocks);

  void* ctx_ = nullptr;                     // libcrypto's EVP_CIPHER_CTX (AES-ECB, no padding)
  uint8_t counter_[16] = {1};               // the next counter block, little-endian
  uint8_t stream_[kBatchBlocks * 16] = {};  // key stream made ahead
  size_t streamEnd_ = 0;                    // bytes of stream_ made
  size_t streamPos_ = 0;                    // bytes of stream_ used
};

// HMAC-SHA1 computed piece by piece.
class HmacSha1 {
 public:
  HmacSha1(const uint8_t* key, size_t keyBytes);
  ~HmacSha1();
  HmacSha1(const HmacSha1&) = delete;
  HmacSha1& operator=(const HmacSha1&) = delete;

  bool valid() const { return ctx_ != nullptr; }
  void update(const uint8_t* data, size_t n);
  // Ends the computation: the 20 bytes of the code into code; false when
  // libcrypto failed. Nothing may be added afterwards.
  bool finish(uint8_t (&code)[20]);
  // Ends it and compares: whether the code begins with the n (at most 20)
  // bytes of expected.
  bool matches(const uint8_t* expected, size_t n);

 private:
  void* ctx_ = nullptr;  // libcrypto's EVP_MAC_CTX
};

}  // namespace vz::zipwrap
