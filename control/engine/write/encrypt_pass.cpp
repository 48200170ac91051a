// The encryption pass (see encrypt_pass.h).
#include "control/engine/write/encrypt_pass.h"

#include <algorithm>
#include <new>
#include <optional>
#include <vector>

#include "control/engine/write/archive_update_place.h"
#include "control/engine/write/archive_update_run.h"
#include "control/engine/read/catalogue.h"
#include "control/engine/format/zip_crypto.h"
#include "control/engine/write/zip_writer.h"
#include "control/engine/write/zip_writer_file.h"
#include "platform/drives.h"
#include "platform/file.h"

namespace vz::engine {

namespace {

// Room a new archive's end needs besides the comment: the end record and
// a little more, as the design reserves it.
constexpr uint64_t kEndRoom = 30;
// Room an entry needs besides its data.
constexpr uint64_t kEntryRoom = 22;

bool needsEncrypting(const ArchiveEntry& e) {
  return (e.flags & kFlagEncrypted) == 0 && !(e.name.empty() || e.name.back() == '/');
}

bool roomFor(const std::string& path, uint64_t bytes) {
  const std::optional<uint64_t> free = drives::freeSpace(path);
  return !free || *free >= bytes;
}

class Pass {
 public:
  Pass(WriteEngine& engine, const std::string& zipName, std::string_view password)
      : engine_(engine), zipName_(zipName), password_(password) {}

  EncryptStatus run() {
    const ArchiveTarget target = describeTarget(zipName_);
    LoadedCatalogue catalogue;
    if (const CatalogueStatus s = loadCatalogue(zipName_, {}, catalogue); s != CatalogueStatus::Ok)
      return s == CatalogueStatus::NoMemory ? EncryptStatus::NoMemory : EncryptStatus::BadArchive;
    const bool any = std::any_of(catalogue.byName.begin(), catalogue.byName.end(),
                                 [](const ArchiveEntry* e) { return needsEncrypting(*e); });
    if (!any) return EncryptStatus::NothingToDo;

    if (builder_.create() != BuildStatus::Ok || !old_.open(target.native, File::Mode::Read))
      return EncryptStatus::Failed;
    if (builder_.copyBytes(old_, 0, catalogue.prefixCount) != BuildStatus::Ok) return EncryptStatus::Failed;
    buffer_.resize(kEncryptBlockSize);
    for (const ArchiveEntry* e = catalogue.entries.first(); e; e = e->next.get()) {
      if (!needsEncrypting(*e)) {
        if (builder_.copyEntry(old_, *e) != BuildStatus::Ok) return EncryptStatus::Failed;
        continue;
      }
      if (const EncryptStatus s = encryptEntry(*e); s != EncryptStatus::Ok) return s;
    }
    old_.close();
    if (!roomFor(builder_.path(), catalogue.comment.size() + kEndRoom)) return EncryptStatus::DiskFull;
    if (builder_.finish(catalogue.comment) != BuildStatus::Ok) return EncryptStatus::Failed;
    report(engine_, kNotifyWriting, 0, zipName_);
    const PlaceStatus placed = putInPlace(builder_.path(), target);
    if (placed != PlaceStatus::Ok)
      return placed == PlaceStatus::DiskFull ? EncryptStatus::DiskFull : EncryptStatus::Failed;
    builder_.release();
    return EncryptStatus::Ok;
  }

 private:
  EncryptStatus encryptEntry(const ArchiveEntry& e) {
    const uint64_t size = e.compressedSize;
    if (!roomFor(builder_.path(), size == 0 ? kEntryRoom : size + kEntryRoom)) return EncryptStatus::DiskFull;
    const int64_t at = builder_.position();
    if (at < 0 || at > kMaxRecordOffset || size > 0xFFFFFFFFull - kEncryptionHeaderSize) return EncryptStatus::Failed;
    const auto newFlags = [](uint16_t f) { return static_cast<uint16_t>((f | kFlagEncrypted) & ~kFlagDataDescriptor); };

    LocalHeader lh = e.localHeader();
    lh.flags = newFlags(lh.flags);
    lh.compressedSize = static_cast<uint32_t>(size + kEncryptionHeaderSize);
    const auto lhBytes = encodeLocalHeader(lh);
    if (!builder_.write(lhBytes.data(), lhBytes.size()) || !builder_.write(e.name.data(), e.name.size()))
      return EncryptStatus::Failed;
    if (e.localExtra && !e.localExtra->empty() && !builder_.write(e.localExtra->data(), e.localExtra->size()))
      return EncryptStatus::Failed;

    ZipKeys keys = initKeys(password_);
    uint8_t header[kEncryptionHeaderSize];
    if (!makeEncryptionHeader(keys, e.crc32, header) || !builder_.write(header, sizeof header))
      return EncryptStatus::Failed;

    const int64_t dataStart = static_cast<int64_t>(e.localHeaderOffset) + static_cast<int64_t>(kLocalHeaderSize) +
                              e.nameLength + e.localExtraLength;
    if (!old_.seek(dataStart)) return EncryptStatus::Failed;
    uint64_t done = 0;
    while (done < size) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(size - done, buffer_.size()));
      if (!old_.readExact(buffer_.data(), n)) return EncryptStatus::Failed;
      encryptBuffer(keys, buffer_.data(), n);
      if (!builder_.write(buffer_.data(), n)) return EncryptStatus::Failed;
      done += n;
      report(engine_, kNotifyEncrypt, static_cast<WParam>(done * 100 / size), e.displayName);
    }
    if (builder_.overflows()) return EncryptStatus::Failed;

    CentralRecord r = centralRecordOf(e);
    r.header.flags = newFlags(r.header.flags);
    r.header.compressedSize = lh.compressedSize;
    r.header.localHeaderOffset = static_cast<uint32_t>(at);
    builder_.addRecord(std::move(r));
    return EncryptStatus::Ok;
  }

  WriteEngine& engine_;          // reports and pumping
  const std::string& zipName_;   // the archive as the host named it
  std::string_view password_;    // the password, up to its first NUL
  ArchiveBuilder builder_;       // the new archive
  File old_;                     // the archive being encrypted
  std::vector<uint8_t> buffer_;  // one block of data
};

}  // namespace

EncryptStatus runEncryptionPass(WriteEngine& engine, const std::string& zipName, std::string_view password) {
  try {
    return Pass(engine, zipName, password).run();
  } catch (const std::bad_alloc&) {
    return EncryptStatus::NoMemory;
  }
}

EncryptStatus encryptArchive(WriteEngine& engine, const std::string& zipName, std::string_view password) {
  const WriteOperation op;
  if (!op.acquired()) return EncryptStatus::Failed;
  return runEncryptionPass(engine, zipName, password);
}

}  // namespace vz::engine
