// TUnCAB's run (see cab_extract.h).
//
//   file record (16 bytes + name):
//     0 size (32) | 4 offset in the folder's data (32) | 8 folder (16)
//     10 date (DOS) | 12 time (DOS) | 14 attributes (0x80: the name is UTF-8)
//     16 name, NUL-terminated
//   folder 0xFFFD: continued from the previous cabinet (folder 0 here),
//   0xFFFE: continued in the next (the last folder), 0xFFFF: both.
#include "manager/readers/cab_extract.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <vector>

#include "manager/readers/archive_input.h"
#include "manager/readers/codecs/cab_folder.h"
#include "manager/readers/reader_errors.h"
#include "manager/readers/walk_fields.h"
#include "platform/file.h"

namespace vz::readers {

namespace {

using codecs::CabStatus;

constexpr uint16_t kFromPrevious = 0xFFFD, kToNext = 0xFFFE, kBoth = 0xFFFF;
constexpr int kMaxVolumes = 999;
// The most header bytes (cabinet header, reserve, names, folder records)
// read before the file records.
constexpr uint32_t kMaxHeader = 32u << 20;
constexpr size_t kMaxName = 256;

struct FileRecord {
  std::string name;  // UTF-8, "/" separators
  uint32_t size = 0;
  uint32_t offset = 0;
  uint16_t folder = 0;
  uint16_t date = 0, time = 0, attributes = 0;
  int32_t recNum = 0;
};

struct Cabinet {
  vz::File file;
  std::string path;
  codecs::CabHeader header;
  std::vector<FileRecord> files;
};

// Reads the header and file records of the cabinet at path. 0 or the code.
int32_t readCabinet(const std::string& path, Cabinet& cab, int32_t& recNum) {
  cab.path = path;
  if (!cab.file.open(path, vz::File::Mode::Read)) return E_OPEN;
  const int64_t size = cab.file.size();
  uint8_t fixed[36];
  if (size < 36 || cab.file.readAt(0, fixed, sizeof fixed) != 36 || le32(fixed) != 0x4643534D) return E_BADHEADR;
  const uint32_t filesAt = le32(fixed + 16);
  if (filesAt < 36 || filesAt > kMaxHeader || filesAt > size) return E_BADHEADR;
  std::vector<uint8_t> head(filesAt);
  if (cab.file.readAt(0, head.data(), head.size()) != static_cast<int64_t>(head.size())) return E_READ;
  if (codecs::parseCabHeader(head.data(), head.size(), cab.header) != CabStatus::Ok) return E_BADHEADR;
  int64_t pos = filesAt;
  for (unsigned i = 0; i < cab.header.fileCount; ++i) {
    uint8_t r[16 + kMaxName + 1];
    const int64_t n = cab.file.readAt(pos, r, static_cast<size_t>(std::min<int64_t>(sizeof r, size - pos)));
    if (n < 17) return E_BADHEADR;
    const auto* nul = std::find(r + 16, r + n, uint8_t{0});
    if (nul == r + n) return E_BADHEADR;
    FileRecord f;
    f.size = le32(r), f.offset = le32(r + 4), f.folder = le16(r + 8);
    f.date = le16(r + 10), f.time = le16(r + 12), f.attributes = le16(r + 14);
    const std::string raw(reinterpret_cast<const char*>(r + 16), static_cast<size_t>(nul - (r + 16)));
    f.name = (f.attributes & 0x80) ? raw : vz::cp437ToUtf8(raw);
    std::replace(f.name.begin(), f.name.end(), '\\', '/');
    pos += (nul - r) + 1;
    if (f.folder != kFromPrevious && f.folder != kBoth) f.recNum = ++recNum;
    cab.files.push_back(std::move(f));
  }
  return 0;
}

// The next cabinet beside the current one, its name matched ignoring case
// when the exact name is missing.
std::string siblingPath(const std::string& current, const std::string& name) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(current).parent_path();
  std::error_code ec;
  if (fs::exists(dir / name, ec)) return (dir / name).string();
  auto lower = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  for (const auto& it : fs::directory_iterator(dir.empty() ? fs::path(".") : dir, ec))
    if (lower(it.path().filename().string()) == lower(name)) return it.path().string();
  return (dir / name).string();
}

int32_t folderError(CabStatus s) {
  switch (s) {
    case CabStatus::Ok:
      return 0;
    case CabStatus::BadHeader:
      return E_BADHEADR;
    case CabStatus::BadBlock:
      return E_BADBLOCK;
    case CabStatus::BadChecksum:
      return E_CRCERROR;
    case CabStatus::BadData:
      return E_BADBLOCK;
    case CabStatus::LzxUnsupported:
      return E_LZXUNSUPPORTED;
    case CabStatus::MethodUnsupported:
      return E_UNSUPPORTEDMETHOD;
    case CabStatus::NoMemory:
      return E_OUTOFMEMORY;
    case CabStatus::OutputStopped:
      return E_WRITE;
    case CabStatus::Cancelled:
      return E_USERABORT;
  }
  return E_BADBLOCK;
}

}  // namespace

// One folder's data routed to its files. Bytes reach a file when they lie
// in its range; the file starts when the data reaches its offset and ends
// with its last byte. Once every file is done, flush refuses more and the
// decoding stops early.
class TUnCAB::FolderStream final : public engine::DecodeOutput {
 public:
  FolderStream(TUnCAB& owner, uint16_t typeCompress) : owner_(owner), decoder_(typeCompress) {}

  void add(const FileRecord& f) {
    if (!owner_.wanted(f.name)) return;
    targets_.push_back({f, nullptr, false, false});
  }
  bool allDone() const {
    return std::all_of(targets_.begin(), targets_.end(), [](const Target& t) { return t.done; });
  }
  // Decodes the folder's records in one cabinet; 0 or the code.
  int32_t decode(const Cabinet& cab, const codecs::CabFolderRecord& folder) {
    startEmpty();
    if (allDone()) return 0;
    ArchiveInput in(cab.file, folder.dataOffset, static_cast<uint64_t>(cab.file.size()) - folder.dataOffset);
    const CabStatus s = decoder_.decodeBlocks(in, folder.blockCount, cab.header.dataReserve, *this);
    if (s == CabStatus::OutputStopped && !sinkFailed()) return 0;  // every file had its bytes
    return folderError(s);
  }
  bool continues() const { return decoder_.splitPending() || !allDone(); }
  // Ends the files still open: those that got no bytes report the code
  // (E_READ when the data ended before them) without an OnBegin.
  void finish(int32_t error) {
    for (Target& t : targets_) {
      if (t.done) continue;
      t.done = true;
      if (t.sink)
        owner_.finishEntry(std::move(t.sink), error ? error : E_READ);
      else if (!t.started)
        owner_.raiseError(error ? error : E_READ);
    }
  }

 protected:
  bool write(const uint8_t* data, size_t count) override {
    const uint64_t start = pos_, end = pos_ + count;
    for (Target& t : targets_) {
      if (t.done) continue;
      const uint64_t from = t.rec.offset, to = from + t.rec.size;
      if (end <= from || start >= to) continue;
      if (!t.started && !begin(t)) continue;
      const uint64_t a = std::max(start, from), b = std::min(end, to);
      if (!t.sink->flush(data + (a - start), static_cast<size_t>(b - a))) {
        t.done = true;
        owner_.finishEntry(std::move(t.sink), E_WRITE);
        continue;
      }
      if (b == to) {
        t.done = true;
        owner_.finishEntry(std::move(t.sink), 0);
      }
    }
    pos_ = end;
    return !allDone();
  }

 private:
  struct Target {
    FileRecord rec;
    std::unique_ptr<EntrySink> sink;  // open while the file is being written
    bool started;                     // OnBegin was raised
    bool done;                        // written, failed or refused
  };

  bool begin(Target& t) {
    t.started = true;
    ExtractItem item;
    item.name = t.rec.name;
    item.recNum = t.rec.recNum;
    item.size = item.limit = t.rec.size;
    if (const auto when = vz::fromLocalTime(localTimeOfDosStamp(t.rec.time, t.rec.date))) item.mtime = *when;
    item.dosAttributes = t.rec.attributes & 0x3F;
    t.sink = owner_.beginEntry(item);
    if (!t.sink) t.done = true;
    return t.sink != nullptr;
  }
  // Files of no bytes are complete as soon as they start.
  void startEmpty() {
    for (Target& t : targets_)
      if (!t.done && t.rec.size == 0 && begin(t)) {
        t.done = true;
        owner_.finishEntry(std::move(t.sink), 0);
      }
  }

  TUnCAB& owner_;
  codecs::CabFolderDecoder decoder_;  // the folder's method and its state across cabinets
  std::vector<Target> targets_;       // the folder's files, in record order
  uint64_t pos_ = 0;                  // folder bytes delivered so far
};

int32_t TUnCAB::activate() {
  if (!beginRun()) return 0;
  if (arcType_ != atCAB) {
    raiseError(arcType_ == atFileError ? E_OPEN : E_INVALIDTYPE);
    return endRun();
  }
  auto cab = std::make_unique<Cabinet>();
  int32_t recNum = 0;
  if (const int32_t error = readCabinet(archiveFile_, *cab, recNum)) {
    raiseError(error);
    return endRun();
  }
  const uint16_t setId = cab->header.setId;
  std::unique_ptr<FolderStream> carried;  // the last folder, going on in the next cabinet
  bool first = true;
  for (int volumes = 1;; ++volumes) {
    const codecs::CabHeader& h = cab->header;
    const size_t last = h.folders.size() - (h.folders.empty() ? 0 : 1);
    const bool hasNext = h.flags & codecs::kCabNext;
    for (size_t fi = 0; fi < h.folders.size(); ++fi) {
      std::unique_ptr<FolderStream> stream;
      if (fi == 0 && carried)
        stream = std::move(carried);
      else
        stream = std::make_unique<FolderStream>(*this, h.folders[fi].typeCompress);
      const uint16_t method = codecs::cabMethodOf(h.folders[fi].typeCompress);
      for (const FileRecord& f : cab->files) {
        const bool continued = f.folder == kFromPrevious || f.folder == kBoth;
        const size_t index = continued ? 0 : f.folder == kToNext ? last : f.folder;
        if (index != fi || (continued && !first)) continue;  // the earlier cabinet had it
        if (continued) {
          if (wanted(f.name)) raiseError(E_CABFIRSTDISK);
          continue;
        }
        if (method == codecs::kCabLzx || method > codecs::kCabMszip) {
          if (wanted(f.name)) raiseError(method == codecs::kCabLzx ? E_LZXUNSUPPORTED : E_UNSUPPORTEDMETHOD);
          continue;
        }
        stream->add(f);
      }
      if (first && fi == 0 && (h.flags & codecs::kCabPrevious)) {
        stream->finish(E_CABFIRSTDISK);  // its data starts in an earlier cabinet
        continue;
      }
      const int32_t error = stream->decode(*cab, h.folders[fi]);
      if (error == 0 && fi == last && hasNext && stream->continues()) {
        carried = std::move(stream);
      } else {
        stream->finish(error);
      }
    }
    if (!hasNext) break;
    // On to the next cabinet of the set.
    const std::string path = siblingPath(cab->path, h.nextCabinet);
    int32_t error = 0;
    bool cancel = false;
    if (volumes >= kMaxVolumes || path == cab->path) error = E_MAXVOLUMES;
    if (!error && OnNextCabinet) OnNextCabinet(*this, path, h.nextDisk, cancel);
    if (!error && cancel) error = E_USERABORT;
    auto next = std::make_unique<Cabinet>();
    if (!error) error = readCabinet(path, *next, recNum);
    if (!error && next->header.setId != setId) error = E_CABWRONGSET;
    if (error) {
      if (error != E_USERABORT) {
        if (OnError) OnError(*this, path, h.nextDisk, error);
      }
      if (carried) carried->finish(error);
      break;
    }
    cab = std::move(next);
    first = false;
  }
  if (carried) carried->finish(E_READ);
  return endRun();
}

}  // namespace vz::readers
