// The stub's extraction run (see stub_run.h).
//
// The central directory is walked in batches of up to 64 records; each
// queued entry is read from its local header and written through the
// engine's inflate decoder (method 8) or copied (method 0), decrypted on the
// fly when it is encrypted. Entry names go through the extraction rules of
// the engine (extract_paths.h): "..", empty components, a leading separator
// and a drive prefix are dropped, ":" becomes "_", and no folder or file
// outside the destination is ever written.
#include "sfxstub/stub_run.h"

#include <sys/stat.h>

#include <algorithm>
#include <new>

#include "control/engine/format/crc32.h"
#include "control/engine/decode/decode_io.h"
#include "control/engine/format/dos_time.h"
#include "control/engine/format/entry_name.h"
#include "control/engine/extract/extract_paths.h"
#include "control/engine/decode/inflate.h"
#include "control/engine/format/zip_crypto.h"
#include "control/engine/format/zip_records.h"
#include "platform/attributes.h"
#include "platform/drives.h"
#include "platform/file.h"
#include "platform/paths.h"

namespace vz::sfx {

namespace {

using namespace vz::engine;

constexpr size_t kBatch = 64;            // central records read per batch
constexpr size_t kNameBuffer = 260;      // names of this length or more are refused
constexpr size_t kIoBlock = 24576;       // read and output buffer size
constexpr uint64_t kFreeSpaceReserve = 8192;  // kept free on the destination drive
constexpr size_t kPasswordMax = 80;

// One queued entry, from its central record.
struct Queued {
  int64_t localOffset;
  uint32_t externalAttributes;
};

// Reads an entry's compressed bytes from the archive file, decrypting them
// when keys are given.
class ArchiveInput final : public DecodeInput {
 public:
  ArchiveInput(const File& f, int64_t pos, uint64_t size, ZipKeys* keys)
      : DecodeInput(size), f_(f), pos_(pos), keys_(keys), buf_(kIoBlock) {}

 protected:
  size_t fetch(const uint8_t** data, size_t maxBytes) override {
    const size_t n = std::min(maxBytes, buf_.size());
    const int64_t got = f_.readAt(pos_, buf_.data(), n);
    if (got <= 0) return 0;
    pos_ += got;
    if (keys_) decryptBuffer(*keys_, buf_.data(), static_cast<size_t>(got));
    *data = buf_.data();
    return static_cast<size_t>(got);
  }

 private:
  const File& f_;              // the archive
  int64_t pos_;                // next byte to read
  ZipKeys* keys_;              // running keys; null when not encrypted
  std::vector<uint8_t> buf_;   // the read buffer
};

// Writes decoded bytes to the output file through a 24,576-byte buffer,
// updating the CRC and reporting progress at each flush.
class FileOutput final : public DecodeOutput {
 public:
  FileOutput(File& f, uint64_t size, const std::string& name, StubUi& ui, bool& aborted)
      : f_(f), size_(size), name_(name), ui_(ui), aborted_(aborted) {
    buf_.reserve(kIoBlock);
  }
  bool finish() { return drain(); }
  uint32_t crc() const { return crc_; }
  bool shortWrite() const { return shortWrite_; }

 protected:
  bool write(const uint8_t* data, size_t count) override {
    while (count > 0) {
      const size_t n = std::min(count, kIoBlock - buf_.size());
      buf_.insert(buf_.end(), data, data + n);
      data += n;
      count -= n;
      if (buf_.size() == kIoBlock && !drain()) return false;
    }
    return true;
  }

 private:
  bool drain() {
    if (buf_.empty()) return true;
    crc_ = crc32Update(crc_, buf_.data(), buf_.size());
    if (!f_.write(buf_.data(), buf_.size())) {
      shortWrite_ = true;
      return false;
    }
    written_ += buf_.size();
    buf_.clear();
    const int pct = size_ == 0 ? 0 : static_cast<int>(std::min<uint64_t>(100, written_ * 100 / size_));
    ui_.fileProgress(pct, name_);
    if (ui_.pump()) aborted_ = true;
    return true;
  }

  File& f_;                    // the file being written
  uint64_t size_;              // the entry's uncompressed size
  const std::string& name_;    // the entry's path, for the progress report
  StubUi& ui_;
  bool& aborted_;              // set when the user stops the run
  std::vector<uint8_t> buf_;   // the output buffer
  uint64_t written_ = 0;       // bytes written so far
  uint32_t crc_ = 0;           // CRC-32 of the bytes written
  bool shortWrite_ = false;    // a write failed
};

// The run's process-wide state.
struct RunState {
  bool replaceAll = false;
  bool replaceNone = false;
  bool updateOnly = false;
  std::string password;                 // the current password
  bool neverAskPassword = false;        // "never" answered
  bool fatal = false;                   // disk full or short write
};

// The archive name as a file-system name: UTF-8 names (flag bit 11, or text
// that is valid UTF-8) as they are, others read as the OEM code page.
std::string nativeName(const std::string& raw, uint16_t flags) { return entryNameToUtf8(raw, flags); }

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
    if (!archive_.open(in_.archivePath, File::Mode::Read)) return kRunCannotOpen;
    switch (in_.config.overwriteMode) {
      case '0': st_.replaceNone = true; break;
      case '1': st_.replaceAll = true; break;
      case '3': st_.updateOnly = true; break;
      default: break;
    }
    const int64_t extra = in_.payload.extraBytes;
    int64_t pos = in_.payload.centralOffset;
    size_t left = in_.payload.totalEntries;
    int walkStatus = kRunOk;
    int lastError = -1;
    bool stopWalk = false;
    while (left > 0 && !stopWalk && !aborted_) {
      std::vector<Queued> queue;
      for (size_t i = 0; i < kBatch && left > 0; ++i, --left) {
        uint8_t c[kCentralHeaderSize];
        if (archive_.readAt(pos, c, sizeof c) != static_cast<int64_t>(sizeof c) ||
            loadLe32(c) != kCentralHeaderSignature)
          return kRunDamaged;
        const uint16_t nameLength = loadLe16(c + central_field::kNameLength);
        pos += static_cast<int64_t>(kCentralHeaderSize) + nameLength + loadLe16(c + central_field::kExtraLength) +
               loadLe16(c + central_field::kCommentLength);
        if (nameLength >= kNameBuffer) {
          walkStatus = kRunUnsupported;
          stopWalk = true;
          break;
        }
        const uint16_t method = loadLe16(c + central_field::kMethod);
        const uint16_t needed = loadLe16(c + central_field::kVersionNeeded);
        if ((method > kMethodImploded && method != kMethodDeflated) || (needed & 0xFF) > 20 || (needed >> 8) == 2)
          continue;
        queue.push_back({static_cast<int64_t>(loadLe32(c + central_field::kLocalHeaderOffset)) + extra,
                         loadLe32(c + central_field::kExternalAttributes)});
      }
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
  int extractOne(const Queued& q) {
    uint8_t h[kLocalHeaderSize];
    if (q.localOffset < 0 || archive_.readAt(q.localOffset, h, sizeof h) != static_cast<int64_t>(sizeof h) ||
        loadLe32(h) != kLocalHeaderSignature)
      return kRunDamaged;
    const uint16_t flags = loadLe16(h + local_field::kFlags);
    const uint16_t method = loadLe16(h + local_field::kMethod);
    const uint16_t time = loadLe16(h + local_field::kTime);
    const uint16_t date = loadLe16(h + local_field::kDate);
    const uint32_t crc = loadLe32(h + local_field::kCrc32);
    const uint32_t csize = loadLe32(h + local_field::kCompressedSize);
    const uint32_t usize = loadLe32(h + local_field::kUncompressedSize);
    const uint16_t nameLength = loadLe16(h + local_field::kNameLength);
    const uint16_t extraLength = loadLe16(h + local_field::kExtraLength);
    if (nameLength >= kNameBuffer) return kRunUnsupported;
    std::string raw(nameLength, '\0');
    if (archive_.readAt(q.localOffset + static_cast<int64_t>(kLocalHeaderSize), raw.data(), nameLength) !=
        nameLength)
      return kRunDamaged;
    int64_t dataPos = q.localOffset + static_cast<int64_t>(kLocalHeaderSize) + nameLength + extraLength;
    std::string name = nativeName(raw, flags);
    std::replace(name.begin(), name.end(), '/', '\\');

    // The output path, inside the destination whatever the name says.
    const EntryPath ep = mapEntryPath(name);
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
    const std::string path = folder + "/" + ep.file;
    if (!folders_.mayWriteFile(path)) return kRunFileError;

    // Encryption: the password must open the 12-byte header.
    ZipKeys keys{};
    const bool encrypted = (flags & kFlagEncrypted) != 0;
    if (encrypted) {
      uint8_t header[kEncryptionHeaderSize];
      if (csize < kEncryptionHeaderSize ||
          archive_.readAt(dataPos, header, sizeof header) != static_cast<int64_t>(sizeof header))
        return kRunDamaged;
      std::string failed;
      for (;;) {
        if (!st_.password.empty() && tryPassword(st_.password, header, crc, time, &keys)) break;
        if (st_.neverAskPassword) return kRunOk;
        std::string typed = st_.password;
        const PasswordAnswer a = ui_.askPassword(name, typed);
        if (a == PasswordAnswer::Skip) return kRunOk;
        if (a == PasswordAnswer::NeverAsk) {
          st_.neverAskPassword = true;
          return kRunOk;
        }
        if (typed.size() > kPasswordMax) typed.resize(kPasswordMax);
        // A retry with the very password that just failed cannot succeed:
        // it passes over the entry (an unattended run answers every question
        // with its default, which would otherwise ask for ever).
        if (typed == st_.password) return kRunOk;
        st_.password = typed;
      }
      dataPos += kEncryptionHeaderSize;
    }

    // An existing file: the overwrite policy, or the question.
    if (fileExists(path)) {
      const bool newer = existingIsNewer(path, time, date);
      bool ask = false;
      if (!newer) {
        if (st_.replaceNone && !st_.updateOnly) return kRunOk;
        ask = !st_.replaceAll && !st_.updateOnly;
      } else {
        if (st_.replaceNone || st_.updateOnly) return kRunOk;
        ask = !st_.replaceAll;
      }
      if (ask) {
        switch (ui_.askReplace(path, newer)) {
          case ReplaceAnswer::Yes: break;
          case ReplaceAnswer::No: return kRunOk;
          case ReplaceAnswer::Always: st_.replaceAll = true; break;
          case ReplaceAnswer::Never: st_.replaceNone = true; return kRunOk;
        }
      }
    }

    if (aborted_) return kRunOk;
    const auto free = drives::freeSpace(in_.destination);
    const uint64_t room = free && *free > kFreeSpaceReserve ? *free - kFreeSpaceReserve : 0;
    if (room < usize) {
      st_.fatal = true;
      return kRunDiskFull;
    }

    const bool existed = fileExists(path);
    File out;
    if (!out.open(path, File::Mode::Create)) return kRunCannotCreate;
    if (!existed) created_.files.push_back(path);

    ui_.entryStarted();
    if (ui_.pump()) aborted_ = true;
    if (method != kMethodStored && method != kMethodDeflated) {
      ui_.warning(kUnsupportedMethodText);
      return kRunUnsupported;
    }
    const uint64_t dataSize = encrypted ? csize - kEncryptionHeaderSize : csize;
    ArchiveInput input(archive_, dataPos, method == kMethodStored ? std::min<uint64_t>(dataSize, usize) : dataSize,
                       encrypted ? &keys : nullptr);
    FileOutput output(out, usize, name, ui_, aborted_);
    output.setLimit(usize);
    bool ok = true;
    if (method == kMethodDeflated) {
      DecodeHooks hooks;
      hooks.pump = [this] {
        if (ui_.pump()) aborted_ = true;
      };
      const DecodeStatus s = inflate(input, output, &hooks);
      ok = s == DecodeStatus::Ok;
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
    if (!output.finish() || output.shortWrite()) {
      st_.fatal = true;
      return kRunDiskFull;
    }
    out.close();
    if (q.externalAttributes & 0x7F) setFileAttributes(path, q.externalAttributes & 0x7F);
    if (!ok) return kRunFileError;
    ui_.fileProgress(100, name);
    if (output.crc() != crc && usize != 0) return kRunFileError;
    return kRunOk;
  }

  const RunInput& in_;
  StubUi& ui_;
  CreatedItems& created_;
  bool& aborted_;
  File archive_;                 // the stub's own file
  OutputFolders folders_;        // below the destination
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
