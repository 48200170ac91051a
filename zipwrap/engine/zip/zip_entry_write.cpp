// One new entry's headers and data (see zip_entry_write.h).
#include "zipwrap/engine/zip/zip_entry_write.h"

#include <cstdlib>
#include <memory>

#include "control/engine/format/zip_records.h"
#include "zipwrap/engine/zip/zip_names.h"

namespace vz::zipwrap {
namespace {

using engine::kFlagEncrypted;
using engine::kFlagUtf8Name;

uint16_t flagsOf(const NewEntry& e) {
  uint16_t flags = 0;
  if (e.encrypted) flags |= kFlagEncrypted;
  if (needsUtf8Flag(e.name)) flags |= kFlagUtf8Name;
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
  return e.method == engine::kMethodDeflated || e.encrypted ? engine::kVersionNeededDeflated
                                                            : engine::kVersionNeededStored;
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
  h.method = e.method;
  h.time = static_cast<uint16_t>(e.dosDateTime & 0xFFFF);
  h.date = static_cast<uint16_t>(e.dosDateTime >> 16);
  h.crc32 = e.crc32;
  h.compressedSize = static_cast<uint32_t>(e.dataSize);
  h.uncompressedSize = static_cast<uint32_t>(e.rawSize);
  h.nameLength = static_cast<uint16_t>(e.name.size());
  const std::vector<uint8_t> extra = timestampExtra(e.mtime);
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
  c.method = e.method;
  c.time = static_cast<uint16_t>(e.dosDateTime & 0xFFFF);
  c.date = static_cast<uint16_t>(e.dosDateTime >> 16);
  c.crc32 = e.crc32;
  c.compressedSize = static_cast<uint32_t>(e.dataSize);
  c.uncompressedSize = static_cast<uint32_t>(e.rawSize);
  c.externalAttributes = e.externalAttributes;
  c.localHeaderOffset = static_cast<uint32_t>(at);
  r.name = e.name;
  r.extra = std::make_shared<const engine::ExtraBlock>(timestampExtra(e.mtime));
  r.comment = e.comment;
  builder.addRecord(std::move(r));
}

bool encryptionRandomBytes(const std::string& name, uint32_t crc, uint8_t* out10) {
  if (const char* seed = std::getenv("VZ_ENCRYPTION_SEED"); seed && *seed) {
    uint64_t h = std::strtoull(seed, nullptr, 10) ^ crc;
    for (unsigned char c : name) h = mix(h ^ c);
    for (int i = 0; i < 10; ++i) {
      h = mix(h);
      out10[i] = static_cast<uint8_t>(h >> 24);
    }
    return true;
  }
  return engine::systemRandomBytes(out10, 10);
}

EntryDataWriter::EntryDataWriter(engine::ArchiveBuilder& builder, const std::string* password, const NewEntry& entry)
    : builder_(builder), password_(password), entry_(entry) {}

bool EntryDataWriter::begin() {
  if (!password_) return true;
  keys_ = engine::initKeys(*password_);
  uint8_t random[10];
  if (!encryptionRandomBytes(entry_.name, entry_.crc32, random)) return false;
  uint8_t header[engine::kEncryptionHeaderSize];
  engine::buildEncryptionHeader(keys_, entry_.crc32, random, header);
  return builder_.write(header, sizeof header);
}

bool EntryDataWriter::write(uint8_t* data, size_t size) {
  if (size == 0) return true;
  if (password_) engine::encryptBuffer(keys_, data, size);
  return builder_.write(data, size);
}

}  // namespace vz::zipwrap
