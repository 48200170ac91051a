// One new entry's headers and data (see zip_entry_write.h).
#include "zipwrap/engine/zip/zip_entry_write.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "control/engine/format/zip_records.h"
#include "zipwrap/engine/methods/aes_crypt.h"
#include "zipwrap/engine/methods/aes_extra.h"
#include "zipwrap/engine/methods/modern_encoders.h"
#include "zipwrap/engine/zip/zip64_records.h"
#include "zipwrap/engine/zip/zip_names.h"

namespace vz::zipwrap {
namespace {

using engine::kFlagEncrypted;
using engine::kFlagUtf8Name;

// The AE-2 version of the 0x9901 field, and the version needed for AES.
constexpr uint16_t kAesVersionWritten = 2;
constexpr uint16_t kVersionNeededAes = 51;

uint16_t flagsOf(const NewEntry& e) {
  uint16_t flags = 0;
  if (e.encrypted) flags |= kFlagEncrypted;
  if (needsUtf8Flag(e.name)) flags |= kFlagUtf8Name;
  flags |= modernMethodFlags(e.method);
  if (e.method == engine::kMethodDeflated) {
    // Bits 1-2 of a deflated entry: 1 maximum, 2 fast, 3 super fast.
    if (e.level >= 8)
      flags |= 0x0002;
    else if (e.level == 2)
      flags |= 0x0004;
    else if (e.level == 1)
      flags |= 0x0006;
  }
  return flags;
}

uint16_t versionNeededOf(const NewEntry& e) {
  uint16_t v = e.method == engine::kMethodDeflated || e.encrypted ? engine::kVersionNeededDeflated
                                                                  : engine::kVersionNeededStored;
  if (isModernEncoderMethod(e.method)) v = std::max(v, modernMethodVersionNeeded(e.method));
  if (e.aes) v = std::max(v, kVersionNeededAes);
  return v;
}

// Whether the sizes move to the Zip64 field (in both headers).
bool sizesWide(const NewEntry& e) { return needsZip64(e.rawSize) || needsZip64(e.dataSize); }

uint16_t storedMethodOf(const NewEntry& e) { return e.aes ? kAesMethod : e.method; }
// AE-2 leaves the CRC field 0: the authentication code checks the data.
uint32_t storedCrcOf(const NewEntry& e) { return e.aes ? 0 : e.crc32; }

std::vector<uint8_t> aesExtra(const NewEntry& e) {
  std::vector<uint8_t> x(4 + kAesExtraDataSize);
  engine::storeLe16(x.data(), kAesExtraId);
  engine::storeLe16(x.data() + 2, kAesExtraDataSize);
  engine::storeLe16(x.data() + 4, kAesVersionWritten);
  x[6] = 'A';
  x[7] = 'E';
  x[8] = kWriterAesStrength;
  engine::storeLe16(x.data() + 9, e.method);
  return x;
}

std::vector<uint8_t> timestampExtra(uint32_t mtime) {
  std::vector<uint8_t> x(9);
  engine::storeLe16(x.data(), kExtendedTimestampTag);
  engine::storeLe16(x.data() + 2, 5);
  x[4] = 0x01;
  engine::storeLe32(x.data() + 5, mtime);
  return x;
}

uint64_t mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

}  // namespace

bool writeEntryHeader(engine::ArchiveBuilder& builder, const NewEntry& e, int64_t* at) {
  *at = builder.position();
  engine::LocalHeader h;
  h.versionNeeded = versionNeededOf(e);
  h.flags = flagsOf(e);
  h.method = storedMethodOf(e);
  h.time = static_cast<uint16_t>(e.dosDateTime & 0xFFFF);
  h.date = static_cast<uint16_t>(e.dosDateTime >> 16);
  h.crc32 = storedCrcOf(e);
  h.compressedSize = static_cast<uint32_t>(e.dataSize);
  h.uncompressedSize = static_cast<uint32_t>(e.rawSize);
  h.nameLength = static_cast<uint16_t>(e.name.size());
  std::vector<uint8_t> extra = timestampExtra(e.mtime);
  if (sizesWide(e)) {
    h.versionNeeded = std::max(h.versionNeeded, kVersionNeededZip64);
    h.compressedSize = h.uncompressedSize = kMarker32;
    const std::vector<uint8_t> wide = localZip64Extra(e.rawSize, e.dataSize);
    extra.insert(extra.end(), wide.begin(), wide.end());
  }
  if (e.aes) {
    const std::vector<uint8_t> x = aesExtra(e);
    extra.insert(extra.end(), x.begin(), x.end());
  }
  h.extraLength = static_cast<uint16_t>(extra.size());
  const auto bytes = engine::encodeLocalHeader(h);
  return builder.write(bytes.data(), bytes.size()) && builder.write(e.name.data(), e.name.size()) &&
         builder.write(extra.data(), extra.size());
}

void recordEntry(engine::ArchiveBuilder& builder, const NewEntry& e, int64_t at) {
  engine::CentralRecord r;
  engine::CentralHeader& c = r.header;
  c.versionMadeBy = kWriterVersionMadeBy;
  c.versionNeeded = versionNeededOf(e);
  c.flags = flagsOf(e);
  c.method = storedMethodOf(e);
  c.time = static_cast<uint16_t>(e.dosDateTime & 0xFFFF);
  c.date = static_cast<uint16_t>(e.dosDateTime >> 16);
  c.crc32 = storedCrcOf(e);
  c.externalAttributes = e.externalAttributes;
  r.name = e.name;
  std::vector<uint8_t> extra = timestampExtra(e.mtime);
  if (e.aes) {
    const std::vector<uint8_t> x = aesExtra(e);
    extra.insert(extra.end(), x.begin(), x.end());
  }
  r.extra = std::make_shared<const engine::ExtraBlock>(std::move(extra));
  r.comment = e.comment;
  // The sizes and offset, in the header or the Zip64 field.
  setCentralFacts(r, {e.rawSize, e.dataSize, static_cast<uint64_t>(at)});
  builder.addRecord(std::move(r));
}

bool encryptionRandomBytes(const std::string& name, uint32_t crc, uint8_t* out, size_t count) {
  if (const char* seed = std::getenv("VZ_ENCRYPTION_SEED"); seed && *seed) {
    uint64_t h = std::strtoull(seed, nullptr, 10) ^ crc;
    for (unsigned char c : name) h = mix(h ^ c);
    for (size_t i = 0; i < count; ++i) {
      h = mix(h);
      out[i] = static_cast<uint8_t>(h >> 24);
    }
    return true;
  }
  return engine::systemRandomBytes(out, count);
}

uint64_t encryptionOverhead(const NewEntry& e) {
  if (!e.encrypted) return 0;
  return e.aes ? aesOverheadBytes(kWriterAesStrength) : engine::kEncryptionHeaderSize;
}

// The AES cipher and code of one entry.
struct AesWriteState {
  AesWriteState(const AesKeys& keys)
      : cipher(keys.encryption, keys.keyBytes), code(keys.authentication, keys.keyBytes) {}
  AesCtr cipher;  // the key stream
  HmacSha1 code;  // over the encrypted bytes
};

EntryDataWriter::EntryDataWriter(engine::ArchiveBuilder& builder, const std::string* password, const NewEntry& entry)
    : builder_(builder), password_(password), entry_(entry) {}

EntryDataWriter::~EntryDataWriter() = default;

bool EntryDataWriter::begin() {
  if (!password_) return true;
  if (entry_.aes) {
    uint8_t head[aesHeaderBytes(kWriterAesStrength)];
    const size_t saltBytes = aesSaltBytes(kWriterAesStrength);
    if (!encryptionRandomBytes(entry_.name, entry_.crc32, head, saltBytes)) return false;
    const AesKeys keys = deriveAesKeys(kWriterAesStrength, *password_, std::span<const uint8_t>(head, saltBytes));
    if (keys.keyBytes == 0) return false;
    aes_ = std::make_unique<AesWriteState>(keys);
    if (!aes_->cipher.valid() || !aes_->code.valid()) return false;
    head[saltBytes] = keys.verifier[0];
    head[saltBytes + 1] = keys.verifier[1];
    return builder_.write(head, sizeof head);
  }
  keys_ = engine::initKeys(*password_);
  uint8_t random[10];
  if (!encryptionRandomBytes(entry_.name, entry_.crc32, random)) return false;
  uint8_t header[engine::kEncryptionHeaderSize];
  engine::buildEncryptionHeader(keys_, entry_.crc32, random, header);
  return builder_.write(header, sizeof header);
}

bool EntryDataWriter::write(uint8_t* data, size_t size) {
  if (size == 0) return true;
  if (aes_) {
    aes_->cipher.apply(data, size);
    aes_->code.update(data, size);
  } else if (password_) {
    engine::encryptBuffer(keys_, data, size);
  }
  return builder_.write(data, size);
}

bool EntryDataWriter::end() {
  if (!aes_) return true;
  uint8_t code[20];
  if (!aes_->code.finish(code)) return false;
  return builder_.write(code, kAesCodeBytes);
}

}  // namespace vz::zipwrap
