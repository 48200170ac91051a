// Fuzz target: the password check of the traditional ZIP encryption. Random
// headers, CRCs, times and passwords go through key initialisation, header
// decryption and the check; the data behind them through the buffer cipher.
// Beyond not crashing, it checks the cipher's invariants:
//   - tryPassword agrees with decrypting the header and checking it by hand;
//   - a header the writer makes for a password always passes the check for
//     that password, and leaves the reader's keys where the writer's stand;
//   - decrypting what was encrypted gives the data back, in any split.
// Input: 12 header bytes, CRC (4, little-endian), DOS time (2), password
// length (1, taken modulo what remains), the password, then the data.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "control/engine/format/zip_crypto.h"

using namespace vz::engine;

namespace {

constexpr size_t kFixedPart = kEncryptionHeaderSize + 4 + 2 + 1;

void fail(const char* what) {
  std::fprintf(stderr, "password check: %s\n", what);
  std::abort();
}

bool sameKeys(const ZipKeys& a, const ZipKeys& b) { return a.k0 == b.k0 && a.k1 == b.k1 && a.k2 == b.k2; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kFixedPart) return 0;
  const uint8_t* header = data;
  const uint32_t crc = static_cast<uint32_t>(data[12]) | (static_cast<uint32_t>(data[13]) << 8) |
                       (static_cast<uint32_t>(data[14]) << 16) | (static_cast<uint32_t>(data[15]) << 24);
  const uint16_t time = static_cast<uint16_t>(data[16] | (data[17] << 8));
  const size_t rest = size - kFixedPart;
  const size_t passwordLength = rest == 0 ? 0 : data[18] % (rest + 1);
  const std::string_view password(reinterpret_cast<const char*>(data + kFixedPart), passwordLength);
  const uint8_t* body = data + kFixedPart + passwordLength;
  const size_t bodySize = rest - passwordLength;

  // The check on the given header, two ways.
  ZipKeys keys;
  const bool accepted = tryPassword(password, header, crc, time, &keys);
  ZipKeys manual = initKeys(password);
  EncryptionHeader plain;
  std::memcpy(plain.data(), header, kEncryptionHeaderSize);
  decryptHeader(manual, plain.data());
  if (accepted != headerCheckPasses(plain.data(), crc, time)) fail("tryPassword disagrees with the check");
  if (accepted && !sameKeys(keys, manual)) fail("keys after the header differ");

  // The writer's header for this password passes the check for it.
  ZipKeys writer = initKeys(password);
  EncryptionHeader made;
  buildEncryptionHeader(writer, crc, header, made.data());
  ZipKeys reader;
  if (!tryPassword(password, made.data(), crc, time, &reader)) fail("a written header is refused");
  if (!sameKeys(reader, writer)) fail("reader and writer keys differ after the header");

  // Round trip of the data, decrypted in two pieces.
  std::vector<uint8_t> buffer(body, body + bodySize);
  encryptBuffer(writer, buffer.data(), buffer.size());
  const size_t split = bodySize == 0 ? 0 : data[17] % (bodySize + 1);
  decryptBuffer(reader, buffer.data(), split);
  decryptBuffer(reader, buffer.data() + split, buffer.size() - split);
  if (bodySize && std::memcmp(buffer.data(), body, bodySize) != 0) fail("round trip changed the data");
  if (!sameKeys(reader, writer)) fail("keys differ after the data");
  return 0;
}
