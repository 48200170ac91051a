// Keys, cipher and code of AES-encrypted entries (see aes_crypt.h).
#include "zipwrap/engine/methods/aes_crypt.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include <algorithm>
#include <bit>
#include <cstring>

#include "zipwrap/engine/methods/aes_extra.h"

namespace vz::zipwrap {

namespace {

constexpr int kPbkdf2Iterations = 1000;
constexpr size_t kSha1Bytes = 20;

// A 64-bit value to and from its little-endian bytes.
uint64_t le64(uint64_t v) {
  if constexpr (std::endian::native == std::endian::little) return v;
  return __builtin_bswap64(v);
}

EVP_CIPHER_CTX* cipherCtx(void* p) { return static_cast<EVP_CIPHER_CTX*>(p); }
EVP_MAC_CTX* macCtx(void* p) { return static_cast<EVP_MAC_CTX*>(p); }

const EVP_CIPHER* ecbFor(size_t keyBytes) {
  switch (keyBytes) {
    case 16:
      return EVP_aes_128_ecb();
    case 24:
      return EVP_aes_192_ecb();
    case 32:
      return EVP_aes_256_ecb();
    default:
      return nullptr;
  }
}

}  // namespace

AesKeys deriveAesKeys(uint8_t strength, std::string_view password, std::span<const uint8_t> salt) {
  AesKeys keys;
  if (strength < 1 || strength > 3 || salt.size() < aesSaltBytes(strength)) return keys;
  const size_t n = aesKeyBytes(strength);
  uint8_t derived[2 * 32 + kAesVerifierBytes];
  if (PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()), salt.data(),
                             static_cast<int>(aesSaltBytes(strength)), kPbkdf2Iterations,
                             static_cast<int>(2 * n + kAesVerifierBytes), derived) != 1)
    return keys;
  std::copy_n(derived, n, keys.encryption);
  std::copy_n(derived + n, n, keys.authentication);
  std::copy_n(derived + 2 * n, kAesVerifierBytes, keys.verifier);
  keys.keyBytes = n;
  OPENSSL_cleanse(derived, sizeof derived);
  return keys;
}

bool aesVerifierMatches(const AesKeys& keys, std::span<const uint8_t> header, uint8_t strength) {
  return keys.keyBytes != 0 && strength >= 1 && strength <= 3 && header.size() >= aesHeaderBytes(strength) &&
         CRYPTO_memcmp(keys.verifier, header.data() + aesSaltBytes(strength), kAesVerifierBytes) == 0;
}

bool aesPasswordMatches(uint8_t strength, std::string_view password, std::span<const uint8_t> header) {
  if (strength < 1 || strength > 3 || header.size() < aesHeaderBytes(strength)) return false;
  return aesVerifierMatches(deriveAesKeys(strength, password, header.first(aesSaltBytes(strength))), header, strength);
}

AesCtr::AesCtr(const uint8_t* key, size_t keyBytes) {
  const EVP_CIPHER* cipher = ecbFor(keyBytes);
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  if (cipher == nullptr || ctx == nullptr || EVP_EncryptInit_ex(ctx, cipher, nullptr, key, nullptr) != 1 ||
      EVP_CIPHER_CTX_set_padding(ctx, 0) != 1) {
    EVP_CIPHER_CTX_free(ctx);
    return;
  }
  ctx_ = ctx;
}

AesCtr::~AesCtr() {
  EVP_CIPHER_CTX_free(cipherCtx(ctx_));
  OPENSSL_cleanse(stream_, sizeof stream_);
}

void AesCtr::makeStream(size_t blocks) {
  // The counter is a 128-bit little-endian number: its low 64 bits are
  // counted as one word, a carry goes on into the high ones.
  uint64_t low = 0, high = 0;
  std::memcpy(&low, counter_, 8);
  std::memcpy(&high, counter_ + 8, 8);
  low = le64(low);
  high = le64(high);
  for (size_t b = 0; b < blocks; ++b) {
    const uint64_t l = le64(low), h = le64(high);
    std::memcpy(stream_ + 16 * b, &l, 8);
    std::memcpy(stream_ + 16 * b + 8, &h, 8);
    if (++low == 0) ++high;
  }
  low = le64(low);
  high = le64(high);
  std::memcpy(counter_, &low, 8);
  std::memcpy(counter_ + 8, &high, 8);
  int out = 0;
  // ECB over whole blocks in place: libcrypto allows the same buffer for
  // input and output.
  if (EVP_EncryptUpdate(cipherCtx(ctx_), stream_, &out, stream_, static_cast<int>(16 * blocks)) != 1) out = 0;
  streamEnd_ = static_cast<size_t>(out);
  streamPos_ = 0;
}

void AesCtr::apply(uint8_t* data, size_t n) {
  while (n > 0) {
    if (streamPos_ == streamEnd_) {
      makeStream(std::min(kBatchBlocks, (n + 15) / 16));
      if (streamEnd_ == 0) return;  // the cipher failed; the code check fails the entry
    }
    const size_t take = std::min(n, streamEnd_ - streamPos_);
    // Eight bytes at a time (the compiler makes vector code of it), then
    // the rest byte by byte.
    size_t i = 0;
    for (; i + 8 <= take; i += 8) {
      uint64_t d, k;
      std::memcpy(&d, data + i, 8);
      std::memcpy(&k, stream_ + streamPos_ + i, 8);
      d ^= k;
      std::memcpy(data + i, &d, 8);
    }
    for (; i < take; ++i) data[i] ^= stream_[streamPos_ + i];
    streamPos_ += take;
    data += take;
    n -= take;
  }
}

HmacSha1::HmacSha1(const uint8_t* key, size_t keyBytes) {
  EVP_MAC* mac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
  EVP_MAC_CTX* ctx = mac != nullptr ? EVP_MAC_CTX_new(mac) : nullptr;
  EVP_MAC_free(mac);  // the context keeps its own reference
  char digest[] = "SHA1";
  const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                               OSSL_PARAM_construct_end()};
  if (ctx == nullptr || EVP_MAC_init(ctx, key, keyBytes, params) != 1) {
    EVP_MAC_CTX_free(ctx);
    return;
  }
  ctx_ = ctx;
}

HmacSha1::~HmacSha1() { EVP_MAC_CTX_free(macCtx(ctx_)); }

void HmacSha1::update(const uint8_t* data, size_t n) {
  if (ctx_ != nullptr && n > 0 && EVP_MAC_update(macCtx(ctx_), data, n) != 1) {
    EVP_MAC_CTX_free(macCtx(ctx_));
    ctx_ = nullptr;
  }
}

bool HmacSha1::finish(uint8_t (&code)[20]) {
  size_t length = 0;
  const bool done =
      ctx_ != nullptr && EVP_MAC_final(macCtx(ctx_), code, &length, sizeof code) == 1 && length == kSha1Bytes;
  EVP_MAC_CTX_free(macCtx(ctx_));
  ctx_ = nullptr;
  return done;
}

bool HmacSha1::matches(const uint8_t* expected, size_t n) {
  uint8_t code[kSha1Bytes];
  return n <= kSha1Bytes && finish(code) && CRYPTO_memcmp(code, expected, n) == 0;
}

}  // namespace vz::zipwrap
