// TUnARJ's run (see arj_extract.h).
#include "manager/readers/arj_extract.h"

#include <memory>
#include <vector>

#include "manager/readers/archive_input.h"
#include "manager/readers/arj_header.h"
#include "manager/readers/crc_tee.h"
#include "manager/readers/codecs/arj_data.h"
#include "manager/readers/codecs/arj_garble.h"
#include "manager/readers/legacy_fields.h"
#include "manager/readers/password_loop.h"
#include "manager/readers/reader_errors.h"
#include "platform/file.h"

namespace vz::readers {

namespace {

using codecs::ArjStatus;

constexpr int kMaxVolumes = 999;
constexpr uint8_t kFolder = 3, kLabel = 4, kMainHeader = 2, kUnixSpecial = 6;
constexpr uint8_t kUnixHost = 2;

// One file of the set, open for reading.
struct Volume {
  std::string path;
  std::shared_ptr<vz::File> file;
  WalkContext ctx;     // the walk's view of it, for the header parser
  ArjHeader main;      // its main header
  int64_t pos = 0;     // the next header to read
  int32_t number = 0;  // 0 for the set's first file, else the volume number
};

// One part of an entry: its header and the volume it lies in.
struct Part {
  std::shared_ptr<vz::File> file;
  ArjHeader header;
};

// Opens the volume at path with its main header at start. 0 or the code.
int32_t openVolume(const std::string& path, int64_t start, int32_t number, Volume& v) {
  v = Volume{};
  v.path = path;
  v.number = number;
  v.file = std::make_shared<vz::File>();
  if (!v.file->open(path, vz::File::Mode::Read)) return E_OPEN;
  v.ctx.file = v.file.get();
  v.ctx.fileSize = v.file->size();
  v.ctx.end = v.ctx.fileSize;
  v.ctx.archiveStart = start;
  v.ctx.archivePath = path;
  return arjFirstLocalHeader(v.ctx, start, v.pos, &v.main);
}

int32_t statusError(ArjStatus s, const engine::DecodeOutput* sink) {
  switch (s) {
    case ArjStatus::Ok:
      return 0;
    case ArjStatus::BadTable:
      return E_BADHUFFMAN;
    case ArjStatus::BadData:
      return E_BADBLOCK;
    case ArjStatus::NoMemory:
      return E_OUTOFMEMORY;
    case ArjStatus::OutputStopped:
      return sink && sink->sinkFailed() ? E_WRITE : E_CRCERROR;
    case ArjStatus::Cancelled:
      return E_USERABORT;
    case ArjStatus::UnsupportedMethod:
      return E_UNSUPPORTEDMETHOD;
  }
  return E_BADBLOCK;
}

// Decodes one part into next (null: only its CRC is checked). 0, or the
// code of its fault (25118 for a CRC that does not match).
int32_t decodePart(const Part& part, const std::string* password, engine::DecodeOutput* next) {
  const ArjHeader& h = part.header;
  ArchiveInput raw(*part.file, h.dataStart, h.packed);
  std::unique_ptr<codecs::ArjGarbledInput> garbled;
  if (password) garbled = std::make_unique<codecs::ArjGarbledInput>(raw, *password, h.modifier);
  engine::DecodeInput& in = garbled ? static_cast<engine::DecodeInput&>(*garbled) : raw;
  CrcTee tee(next);
  tee.setLimit(h.unpacked);
  const ArjStatus s = codecs::decodeArjData(h.method, in, tee, h.unpacked);
  if (s != ArjStatus::Ok) return statusError(s, next);
  if (raw.failed()) return E_READ;
  return tee.crc() == h.crc ? 0 : E_CRCERROR;
}

}  // namespace

int32_t TUnARJ::activate() {
  if (!beginRun()) return 0;
  if (plainType(arcType_) != atARJ) {
    raiseError(arcType_ == atFileError ? E_OPEN : E_INVALIDTYPE);
    return endRun();
  }
  Volume vol;
  if (const int32_t err = openVolume(archiveFile_, archiveStart_, 0, vol)) {
    raiseError(err);
    return endRun();
  }
  const bool strongCipher = vol.main.encryptionVersion >= 2;
  int nextNumber = arjVolumeNumberAfter(archiveFile_);
  PasswordLoop passwords;
  int32_t recNum = 0;
  // Opens the next volume of the set into v; false (reported) when it is
  // missing or not one.
  auto nextVolume = [&](Volume& v) {
    if (nextNumber > kMaxVolumes) {
      raiseError(E_MAXVOLUMES);
      return false;
    }
    const std::string path = arjVolumeName(archiveFile_, nextNumber);
    if (const int32_t err = openVolume(path, 0, nextNumber, v)) {
      raiseError(err, path);
      return false;
    }
    ++nextNumber;
    return true;
  };
  for (;;) {
    ArjHeader h;
    if (const int32_t err = parseArjHeader(vol.ctx, vol.pos, h)) {
      raiseError(err, vol.number ? vol.path : std::string());
      break;
    }
    if (h.basicSize == 0) {
      // The end of this file: the set goes on when its main header says so.
      if (!(vol.main.flags & kArjVolume) || !nextVolume(vol)) break;
      continue;
    }
    vol.pos = h.dataStart + h.packed;
    if (h.fileType == kMainHeader) continue;
    if (h.flags & kArjExtFile) {
      raiseError(E_INCONSISTENT, vol.path);
      continue;
    }
    ++recNum;
    // The entry's parts: this one and the first header of each next volume.
    std::vector<Part> parts{{vol.file, h}};
    bool broken = false;
    while (parts.back().header.flags & kArjVolume) {
      Volume next;
      if (!nextVolume(next)) {
        broken = true;
        break;
      }
      ArjHeader c;
      int32_t err = parseArjHeader(next.ctx, next.pos, c);
      if (err == 0 && (c.basicSize == 0 || !(c.flags & kArjExtFile) || c.name != h.name)) err = E_INCONSISTENT;
      if (err != 0) {
        raiseError(err, next.path);
        broken = true;
        break;
      }
      next.pos = c.dataStart + c.packed;
      parts.push_back({next.file, c});
      vol = std::move(next);
    }
    if (broken) break;  // the walk cannot go on past a missing volume

    ExtractItem item;
    item.name = h.name;
    item.recNum = recNum;
    for (const Part& p : parts) item.size += p.header.unpacked;
    item.limit = item.size;
    if (const auto t = vz::fromLocalTime(arjStamp(h))) item.mtime = *t;
    if (h.hostOs == kUnixHost) {
      item.unixMode = h.accessMode & 07777;
    } else {
      item.dosAttributes = h.accessMode & 0xFF;
    }
    const bool unixFolder = h.hostOs == kUnixHost && (h.accessMode & 0xF000) == 0x4000;
    if (h.fileType == kFolder || unixFolder) {
      if (FileSpec.empty() || FileSpec == "*.*" || FileSpec == "*" || wanted(item.name)) makeFolder(item);
      continue;
    }
    if (h.fileType == kLabel || !wanted(item.name)) continue;
    if (h.fileType == kUnixSpecial) {
      // A hard link: a copy of the earlier entry it names (25132 when that
      // was not extracted in this run); other special files are not made.
      if (!h.unixLink.empty()) copyEarlier(item, h.unixLink);
      continue;
    }

    std::string password;
    // An entry without data has nothing garbled (and nothing to check a password on).
    const bool garbled = (h.flags & kArjEncrypted) != 0 && item.size > 0;
    if (garbled && strongCipher) {
      raiseError(E_UNSUPPORTEDMETHOD);
      continue;
    }
    if (garbled &&
        !passwords.find(
            *this, item.name, [&](const std::string& p) { return decodePart(parts[0], &p, nullptr) == 0; }, password)) {
      raiseError(E_PASSWORD);
      continue;
    }
    std::unique_ptr<EntrySink> sink = beginEntry(item);
    if (!sink) continue;
    int32_t error = 0;
    for (const Part& p : parts) {
      error = decodePart(p, garbled ? &password : nullptr, sink.get());
      if (error != 0) break;
    }
    finishEntry(std::move(sink), error);
  }
  return endRun();
}

}  // namespace vz::readers
