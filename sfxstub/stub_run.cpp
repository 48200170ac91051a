// The stub's extraction run (see stub_run.h).
//
// The central directory is walked in batches of up to 64 records; each
// queued entry is read from its local header and written through the
// engine's entry input and output (extract_io.h) and its inflate decoder
// (method 8), or copied (method 0), decrypted on the fly when it is
// encrypted. Entry names go through the extraction rules of the engine
// (extract_paths.h): "..", empty components, a leading separator and a drive
// prefix are dropped, ":" becomes "_", and no folder or file outside the
// destination is ever written.
#include "sfxstub/stub_run.h"

#include <algorithm>
#include <new>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/inflate.h"
#include "control/engine/extract/extract_io.h"
#include "control/engine/extract/extract_paths.h"
#include "control/engine/format/dos_time.h"
#include "control/engine/format/entry_name.h"
#include "control/engine/format/zip_crypto.h"
#include "control/engine/format/zip_records.h"
#include "control/engine/read/archive_input.h"
#include "platform/attributes.h"
#include "platform/drives.h"
#include "platform/file.h"
#include "platform/paths.h"

namespace vz::sfx {

namespace {

using namespace vz::engine;

constexpr size_t kBatch = 64;                 // central records read per batch
constexpr size_t kNameBuffer = 260;           // names of this length or more are refused
constexpr uint64_t kFreeSpaceReserve = 8192;  // kept free on the destination drive
constexpr size_t kPasswordMax = 80;

// One queued entry, from its central record.
struct Queued {
  int64_t localOffset;
  uint32_t externalAttributes;
};

// One entry being extracted: its local header, name and where its data lies.
struct Entry {
  LocalHeader header;
  std::string name;     // "\" separators, as shown in the questions
  int64_t dataPos = 0;  // first byte behind the header, name and extra field
  uint32_t externalAttributes = 0;
  bool encrypted() const { return (header.flags & kFlagEncrypted) != 0; }
};

// What the password question left for an entry.
enum class Unlock { Open, Skip, Damaged };

// The run's process-wide state.
struct RunState {
  bool replaceAll = false;
  bool replaceNone = false;
  bool updateOnly = false;
  std::string password;           // the current password
  bool neverAskPassword = false;  // "never" answered
  bool fatal = false;             // disk full or short write
};

bool existingIsNewer(const std::string& path, uint16_t time, uint16_t date) {
  const auto mtime = getFileTime(path);
  const auto entry = timeOfDosDateTime(combineDosDateTime(time, date));
  if (!mtime || !entry) return true;
  const std::time_t rounded = *mtime + (*mtime % 2);  // up to an even second
  return rounded >= *entry;
}

class Run {
 public:
  Run(const RunInput& in, StubUi& ui, CreatedItems& created, bool& aborted)
      : in_(in), ui_(ui), created_(created), aborted_(aborted), folders_(in.destination) {}

  int go() {
    if (!archive_.open(in_.archivePath)) return kRunCannotOpen;
    switch (in_.config.overwriteMode) {
      case '0':
        st_.replaceNone = true;
        break;
      case '1':
        st_.replaceAll = true;
        break;
      case '3':
        st_.updateOnly = true;
        break;
      default:
        break;
    }
    int64_t pos = in_.payload.centralOffset;
    size_t left = in_.payload.totalEntries;
    int walkStatus = kRunOk;
    int lastError = -1;
    bool stopWalk = false;
    while (left > 0 && !stopWalk && !aborted_) {
      std::vector<Queued> queue;
      const int batch = readBatch(pos, left, queue, stopWalk);
      if (batch == kRunDamaged) return kRunDamaged;
      if (batch != kRunOk) walkStatus = batch;
      for (const Queued& q : queue) {
        if (aborted_) break;
        const int r = extractOne(q);
        if (st_.fatal) return r;
        if (r > kRunWarning) lastError = r;
      }
    }
    if (lastError >= 0) return lastError;
    return walkStatus;
  }

 private:
  // Reads up to 64 central records from pos on, queueing those the stub
  // extracts. A name of 260 bytes or more ends the walk (code 10).
  int readBatch(int64_t& pos, size_t& left, std::vector<Queued>& queue, bool& stopWalk) {
    for (size_t i = 0; i < kBatch && left > 0; ++i, --left) {
      uint8_t raw[kCentralHeaderSize];
      if (!archive_.seek(pos) || !archive_.read(raw, sizeof raw)) return kRunDamaged;
      const auto c = parseCentralHeader(raw);
      if (!c) return kRunDamaged;
      pos += static_cast<int64_t>(kCentralHeaderSize) + c->nameLength + c->extraLength + c->commentLength;
      if (c->nameLength >= kNameBuffer) {
        stopWalk = true;
        return kRunUnsupported;
      }
      if ((c->method > kMethodImploded && c->method != kMethodDeflated) || (c->versionNeeded & 0xFF) > 20 ||
          (c->versionNeeded >> 8) == 2)
        continue;
      queue.push_back({static_cast<int64_t>(c->localHeaderOffset) + in_.payload.extraBytes, c->externalAttributes});
    }
    return kRunOk;
  }

  int extractOne(const Queued& q) {
    Entry e;
    if (const int r = readEntry(q, e); r != kRunOk) return r;
    std::string path;
    if (const int r = outputPath(e, path); r != kRunOk || path.empty()) return r;

    ZipKeys keys{};
    if (e.encrypted()) {
      const Unlock u = unlock(e, keys, false);
      if (u == Unlock::Damaged) return kRunDamaged;
      if (u == Unlock::Skip) return kRunOk;
    }
    if (!mayReplace(e, path)) return kRunOk;
    if (aborted_) return kRunOk;
    if (!roomFor(e)) {
      st_.fatal = true;
      return kRunDiskFull;
    }

    const bool existed = fileExists(path);
    for (bool first = true;; first = false) {
      const int r = writeFile(e, path, keys, first);
      if (first && !existed && r != kRunCannotCreate) created_.files.push_back(path);
      // A password that opened the 12-byte header but not the data is wrong
      // for this entry: ask again, and write the file again from its start.
      if (!e.encrypted() || r != kRunFileError || st_.fatal) return r;
      if (unlock(e, keys, true) != Unlock::Open) {
        removeFile(path);  // never left behind damaged
        return kRunOk;
      }
    }
  }

  // The local header ("PK" 03 04), the name with "\" separators, and the
  // data position.
  int readEntry(const Queued& q, Entry& e) {
    uint8_t raw[kLocalHeaderSize];
    if (q.localOffset < 0 || !archive_.seek(q.localOffset) || !archive_.read(raw, sizeof raw)) return kRunDamaged;
    const auto h = parseLocalHeader(raw);
    if (!h) return kRunDamaged;
    e.header = *h;
    e.externalAttributes = q.externalAttributes;
    if (h->nameLength >= kNameBuffer) return kRunUnsupported;
    std::string raw_name(h->nameLength, '\0');
    if (!archive_.read(raw_name.data(), raw_name.size())) return kRunDamaged;
    e.dataPos = q.localOffset + static_cast<int64_t>(kLocalHeaderSize) + h->nameLength + h->extraLength;
    e.name = entryNameToUtf8(raw_name, h->flags);
    std::replace(e.name.begin(), e.name.end(), '/', '\\');
    return kRunOk;
  }

  // The output path, inside the destination whatever the name says; its
  // folders are made (and those this run made are noted). path stays empty
  // for a directory entry.
  int outputPath(const Entry& e, std::string& path) {
    const EntryPath ep = mapEntryPath(e.name);
    std::vector<std::string> before;
    std::string folder;
    {
      std::string p = folders_.root();
      for (const std::string& f : ep.folders) {
        p += "/" + f;
        if (!fileExists(p)) before.push_back(p);
      }
    }
    if (!folders_.ensure(ep.folders, folder)) return kRunFileError;
    for (const std::string& f : before) {
      if (isDirectory(f)) created_.folders.push_back(f);
    }
    if (ep.directoryEntry || ep.file.empty()) return kRunOk;
    path = folder + "/" + ep.file;
    if (!folders_.mayWriteFile(path)) {
      path.clear();
      return kRunFileError;
    }
    return kRunOk;
  }

  // The password must open the 12-byte header. rejected: the current
  // password opened the header but not the data, so it counts as wrong.
  Unlock unlock(const Entry& e, ZipKeys& keys, bool rejected) {
    uint8_t header[kEncryptionHeaderSize];
    if (e.header.compressedSize < kEncryptionHeaderSize ||
        archive_.readAt(e.dataPos, header, sizeof header) != static_cast<int64_t>(sizeof header))
      return Unlock::Damaged;
    for (;;) {
      if (!rejected && !st_.password.empty() && tryPassword(st_.password, header, e.header.crc32, e.header.time, &keys))
        return Unlock::Open;
      if (st_.neverAskPassword) return Unlock::Skip;
      std::string typed = st_.password;
      const PasswordAnswer a = ui_.askPassword(e.name, typed);
      if (a == PasswordAnswer::Skip) return Unlock::Skip;
      if (a == PasswordAnswer::NeverAsk) {
        st_.neverAskPassword = true;
        return Unlock::Skip;
      }
      if (typed.size() > kPasswordMax) typed.resize(kPasswordMax);
      // A retry with the very password that just failed cannot succeed:
      // it passes over the entry (an unattended run answers every question
      // with its default, which would otherwise ask for ever).
      if (typed == st_.password) return Unlock::Skip;
      st_.password = typed;
      rejected = false;
    }
  }

  // An existing file: the overwrite policy, or the question.
  bool mayReplace(const Entry& e, const std::string& path) {
    if (!fileExists(path)) return true;
    const bool newer = existingIsNewer(path, e.header.time, e.header.date);
    bool ask = false;
    if (!newer) {
      if (st_.replaceNone && !st_.updateOnly) return false;
      ask = !st_.replaceAll && !st_.updateOnly;
    } else {
      if (st_.replaceNone || st_.updateOnly) return false;
      ask = !st_.replaceAll;
    }
    if (!ask) return true;
    switch (ui_.askReplace(path, newer)) {
      case ReplaceAnswer::Yes:
        return true;
      case ReplaceAnswer::No:
        return false;
      case ReplaceAnswer::Always:
        st_.replaceAll = true;
        return true;
      case ReplaceAnswer::Never:
        st_.replaceNone = true;
        return false;
    }
    return false;
  }

  // Free space on the destination drive, less a reserve.
  bool roomFor(const Entry& e) {
    const auto free = drives::freeSpace(in_.destination);
    const uint64_t room = free && *free > kFreeSpaceReserve ? *free - kFreeSpaceReserve : 0;
    return room >= e.header.uncompressedSize;
  }

  // Creates (or empties) the file and writes the entry's data into it.
  // first: the entry's first attempt (the processed count goes up once).
  int writeFile(const Entry& e, const std::string& path, ZipKeys keys, bool first) {
    File out;
    if (!out.open(path, File::Mode::Create)) return kRunCannotCreate;
    if (first) {
      ui_.entryStarted();
      if (ui_.pump()) aborted_ = true;
    }
    const LocalHeader& h = e.header;
    if (h.method != kMethodStored && h.method != kMethodDeflated) {
      ui_.warning(kUnsupportedMethodText);
      return kRunUnsupported;
    }
    const bool encrypted = e.encrypted();
    const int64_t dataPos = encrypted ? e.dataPos + static_cast<int64_t>(kEncryptionHeaderSize) : e.dataPos;
    const uint64_t dataSize = encrypted ? h.compressedSize - kEncryptionHeaderSize : h.compressedSize;
    EntryInput input(archive_, dataPos,
                     h.method == kMethodStored ? std::min<uint64_t>(dataSize, h.uncompressedSize) : dataSize,
                     encrypted ? &keys : nullptr);
    const uint64_t usize = h.uncompressedSize;
    EntryOutput output(out, [&](uint64_t, uint64_t after, bool) {
      const int pct = usize == 0 ? 0 : static_cast<int>(std::min<uint64_t>(100, after * 100 / usize));
      ui_.fileProgress(pct, e.name);
      if (ui_.pump()) aborted_ = true;
    });
    if (!input.valid() || !output.valid()) throw std::bad_alloc();
    output.setLimit(usize);
    bool ok = true;
    if (h.method == kMethodDeflated) {
      DecodeHooks hooks;
      hooks.pump = [this] {
        if (ui_.pump()) aborted_ = true;
      };
      ok = inflate(input, output, &hooks) == DecodeStatus::Ok;
    } else {
      while (input.refill()) {
        if (!output.flush(input.data(), input.available())) {
          ok = false;
          break;
        }
        input.consume(input.available());
      }
      if (output.total() != usize) ok = false;
    }
    if (!output.finish() || output.writeFailed()) {
      st_.fatal = true;
      return kRunDiskFull;
    }
    out.close();
    if (const uint32_t attributes = e.externalAttributes & kRestoredAttributeMask; attributes != 0)
      setFileAttributes(path, attributes);
    if (!ok) return kRunFileError;
    ui_.fileProgress(100, e.name);
    if (output.crc() != h.crc32 && usize != 0) return kRunFileError;
    return kRunOk;
  }

  const RunInput& in_;
  StubUi& ui_;
  CreatedItems& created_;
  bool& aborted_;
  ArchiveInput archive_;   // the stub's own file
  OutputFolders folders_;  // below the destination
  RunState st_;
};

}  // namespace

int runExtraction(const RunInput& in, StubUi& ui, CreatedItems& created, bool& aborted) {
  try {
    Run run(in, ui, created, aborted);
    return run.go();
  } catch (const std::bad_alloc&) {
    return kRunNoMemory;
  }
}

void cleanUp(const CreatedItems& created) {
  for (const std::string& f : created.files) {
    setFileAttributes(f, 0);
    removeFile(f);
  }
  for (auto it = created.folders.rbegin(); it != created.folders.rend(); ++it) removeDirectory(*it);
}

std::string substitutePercent(const std::string& text, const std::string& value) {
  if (text.find("%1") == std::string::npos) return text;
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%') {
      out += value;
      ++i;  // the character after "%" goes too
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace vz::sfx
