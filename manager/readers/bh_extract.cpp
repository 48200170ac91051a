// TUnBH's run (see bh_extract.h).
#include "manager/readers/bh_extract.h"

#include <memory>
#include <vector>

#include "control/engine/decode/inflate.h"
#include "control/engine/format/zip_crypto.h"
#include "manager/readers/arc_lister.h"
#include "manager/readers/archive_input.h"
#include "manager/readers/bh_layout.h"
#include "manager/readers/codecs/zip_crypt_input.h"
#include "manager/readers/crc_tee.h"
#include "manager/readers/password_loop.h"
#include "manager/readers/reader_errors.h"
#include "manager/readers/walk_fields.h"
#include "platform/file.h"

namespace vz::readers {

namespace {

// Copies the stored bytes through.
engine::DecodeStatus copyStored(engine::DecodeInput& in, engine::DecodeOutput& out) {
  while (in.available() > 0 || in.refill()) {
    const size_t n = in.available();
    if (!out.flush(in.data(), n)) return engine::DecodeStatus::OutputStopped;
    in.consume(n);
  }
  return in.failed() ? engine::DecodeStatus::BadData : engine::DecodeStatus::Ok;
}

int32_t decodeError(engine::DecodeStatus s, const engine::DecodeOutput& sink) {
  switch (s) {
    case engine::DecodeStatus::Ok:
      return 0;
    case engine::DecodeStatus::NoMemory:
      return E_OUTOFMEMORY;
    case engine::DecodeStatus::OutputStopped:
      return sink.sinkFailed() ? E_WRITE : E_CRCERROR;
    case engine::DecodeStatus::Cancelled:
      return E_USERABORT;
    default:
      return E_BADBLOCK;
  }
}

}  // namespace

int32_t TUnBH::activate() {
  if (!beginRun()) return 0;
  if (plainType(arcType_) != atBH) {
    raiseError(arcType_ == atFileError ? E_OPEN : E_INVALIDTYPE);
    return endRun();
  }
  const std::vector<ArcEntry> entries = walkedEntries();
  vz::File file;
  if (!file.open(archiveFile_, vz::File::Mode::Read)) {
    raiseError(E_OPEN);
    return endRun();
  }
  PasswordLoop passwords;
  int32_t recNum = 0;
  for (const ArcEntry& e : entries) {
    ExtractItem item;
    item.name = e.fileName;
    item.recNum = ++recNum;
    item.size = item.limit = static_cast<uint64_t>(e.unpackedSize);
    if (const auto t = vz::fromLocalTime(e.dateTime)) item.mtime = *t;
    item.dosAttributes = e.attributes16;
    if (e.isFolder) {
      if (FileSpec.empty() || FileSpec == "*.*" || FileSpec == "*" || wanted(item.name)) makeFolder(item);
      continue;
    }
    if (!wanted(item.name)) continue;
    if (e.method != kBhStored && e.method != kBhDeflated) {
      raiseError(E_UNSUPPORTEDMETHOD);
      continue;
    }
    int64_t dataAt = e.dataOffset;
    uint64_t packed = static_cast<uint64_t>(e.packedSize);
    engine::ZipKeys keys;
    if (e.encrypted) {
      uint8_t header[engine::kEncryptionHeaderSize];
      uint8_t stamp[2] = {0, 0};
      file.readAt(e.headerOffset + 11, stamp, 2);
      if (packed < sizeof header || file.readAt(dataAt, header, sizeof header) != sizeof header) {
        raiseError(E_READ);
        continue;
      }
      std::string chosen;
      const bool found = passwords.find(
          *this, item.name,
          [&](const std::string& p) { return engine::tryPassword(p, header, e.crc, le16(stamp), &keys); }, chosen);
      if (!found) {
        raiseError(E_PASSWORD);
        continue;
      }
      engine::tryPassword(chosen, header, e.crc, le16(stamp), &keys);
      dataAt += sizeof header;
      packed -= sizeof header;
    }
    std::unique_ptr<EntrySink> sink = beginEntry(item);
    if (!sink) continue;
    ArchiveInput raw(file, dataAt, packed);
    std::unique_ptr<codecs::ZipCryptInput> plain;
    if (e.encrypted) plain = std::make_unique<codecs::ZipCryptInput>(raw, keys);
    engine::DecodeInput& in = plain ? static_cast<engine::DecodeInput&>(*plain) : raw;
    CrcTee tee(sink.get());
    const engine::DecodeStatus s = e.method == kBhStored ? copyStored(in, tee) : engine::inflate(in, tee);
    int32_t error = decodeError(s, *sink);
    if (error == 0 && (tee.crc() != e.crc || tee.total() != item.size)) error = E_CRCERROR;
    finishEntry(std::move(sink), error);
  }
  return endRun();
}

}  // namespace vz::readers
