// The traditional ZIP cipher (see zip_crypto.h for the rules).
//
// Speed: the buffer loops keep the three keys and the CRC table pointer in
// locals, so the compiler holds them in registers for the whole buffer and
// each byte costs two table lookups, one multiply for the key and one for
// the stream byte, with no call and no memory traffic beyond the byte
// itself. The serial dependency through the keys is inherent to the cipher.
#include "control/engine/format/zip_crypto.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>

#include "control/engine/format/crc32.h"

namespace vz::engine {

namespace {

// Multiplier of the k1 update (the application note's constant).
constexpr uint32_t kKey1Multiplier = 134775813;

// The state of one buffer pass, held in locals.
struct LocalKeys {
  uint32_t k0, k1, k2;
  const uint32_t* table;

  explicit LocalKeys(const ZipKeys& keys) : k0(keys.k0), k1(keys.k1), k2(keys.k2), table(crc32Table()) {}
  void store(ZipKeys& keys) const {
    keys.k0 = k0;
    keys.k1 = k1;
    keys.k2 = k2;
  }
  uint8_t stream() const {
    const uint32_t t = (k2 & 0xFFFF) | 2;
    return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
  }
  void update(uint8_t plain) {
    k0 = table[(k0 ^ plain) & 0xFF] ^ (k0 >> 8);
    k1 = (k1 + (k0 & 0xFF)) * kKey1Multiplier + 1;
    k2 = table[(k2 ^ (k1 >> 24)) & 0xFF] ^ (k2 >> 8);
  }
};

}  // namespace

ZipKeys initKeys(std::string_view password) {
  ZipKeys keys;
  for (char c : password) {
    if (c == '\0') break;  // the password ends at its terminator
    updateKeys(keys, static_cast<uint8_t>(c));
  }
  return keys;
}

void updateKeys(ZipKeys& keys, uint8_t plain) {
  keys.k0 = crc32Step(keys.k0, plain);
  keys.k1 = (keys.k1 + (keys.k0 & 0xFF)) * kKey1Multiplier + 1;
  keys.k2 = crc32Step(keys.k2, static_cast<uint8_t>(keys.k1 >> 24));
}

uint8_t streamByte(const ZipKeys& keys) {
  const uint32_t t = (keys.k2 & 0xFFFF) | 2;
  return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
}

uint8_t encryptByte(ZipKeys& keys, uint8_t plain) {
  const uint8_t out = plain ^ streamByte(keys);
  updateKeys(keys, plain);
  return out;
}

uint8_t decryptByte(ZipKeys& keys, uint8_t cipher) {
  const uint8_t plain = cipher ^ streamByte(keys);
  updateKeys(keys, plain);
  return plain;
}

void encryptBuffer(ZipKeys& keys, uint8_t* data, size_t size) {
  LocalKeys k(keys);
  for (size_t i = 0; i < size; ++i) {
    const uint8_t plain = data[i];
    data[i] = plain ^ k.stream();
    k.update(plain);
  }
  k.store(keys);
}

void decryptBuffer(ZipKeys& keys, uint8_t* data, size_t size) {
  LocalKeys k(keys);
  for (size_t i = 0; i < size; ++i) {
    const uint8_t plain = data[i] ^ k.stream();
    data[i] = plain;
    k.update(plain);
  }
  k.store(keys);
}

void decryptHeader(ZipKeys& keys, uint8_t* header) { decryptBuffer(keys, header, kEncryptionHeaderSize); }

bool headerCheckPasses(const uint8_t* decrypted, uint32_t crc, uint16_t dosTime) {
  const uint8_t b11 = decrypted[10];
  const uint8_t b12 = decrypted[11];
  const uint16_t h = static_cast<uint16_t>(b11 | (b12 << 8));
  return h == dosTime || h == static_cast<uint16_t>(crc >> 16) || b12 == static_cast<uint8_t>(crc >> 24) ||
         b12 == static_cast<uint8_t>(dosTime >> 8);
}

bool tryPassword(std::string_view password, const uint8_t* header, uint32_t crc, uint16_t dosTime, ZipKeys* keys) {
  ZipKeys k = initKeys(password);
  EncryptionHeader copy;
  std::memcpy(copy.data(), header, kEncryptionHeaderSize);
  decryptHeader(k, copy.data());
  if (!headerCheckPasses(copy.data(), crc, dosTime)) return false;
  if (keys) *keys = k;
  return true;
}

void buildEncryptionHeader(ZipKeys& keys, uint32_t crc, const uint8_t* random10, uint8_t* out) {
  std::memcpy(out, random10, kEncryptionRandomBytes);
  out[10] = static_cast<uint8_t>(crc >> 16);
  out[11] = static_cast<uint8_t>(crc >> 24);
  encryptBuffer(keys, out, kEncryptionHeaderSize);
}

bool makeEncryptionHeader(ZipKeys& keys, uint32_t crc, uint8_t* out) {
  uint8_t random[kEncryptionRandomBytes];
  if (!systemRandomBytes(random, sizeof random)) return false;
  buildEncryptionHeader(keys, crc, random, out);
  return true;
}

bool systemRandomBytes(uint8_t* out, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t got = ::getrandom(out + done, size - done, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(got);
  }
  return true;
}

}  // namespace vz::engine
