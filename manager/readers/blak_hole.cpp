// TBlakHole's runs (see blak_hole.h): the archive's records read through
// the lister's walk, the new archive written record by record into a
// temporary file beside it (kept records copied byte for byte, new ones
// compressed with the control's levelled deflater and encrypted with its
// traditional ZIP cipher), then synced and renamed into place.
#include "manager/readers/blak_hole.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <memory>
#include <optional>

#include "control/engine/encode/deflate_io.h"
#include "control/engine/encode/level_deflate.h"
#include "control/engine/format/crc32.h"
#include "control/engine/format/dos_time.h"
#include "control/engine/format/zip_crypto.h"
#include "manager/readers/arc_lister.h"
#include "manager/readers/bh_layout.h"
#include "manager/readers/reader_errors.h"
#include "platform/file.h"

namespace vz::readers {

namespace {

constexpr size_t kCopyBlock = 1 << 16;
constexpr int kMaxDepth = 64;  // folder levels RecurseDirs enters

bool hasWildcard(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

// The lister's mask rule, with a lone "*" taken as every name (the rule's
// own "*" stops at the extension).
bool matches(const std::string& name, const std::string& pattern) {
  return pattern == "*" || fileSpecMatches(name, pattern);
}

// The lister's form of a name ("/" separators), for comparisons.
std::string listedForm(std::string s) {
  std::replace(s.begin(), s.end(), '\\', '/');
  return s;
}
std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// One record of the archive being rewritten.
struct OldRecord {
  ArcEntry entry;
  int64_t begin = 0, end = 0;  // its bytes: header through data
  bool dropped = false;
};

// One file to add.
struct Source {
  std::string path;    // on disk
  std::string stored;  // the record's name ("\" separators)
  bool folder = false;
};

// Writes the new archive at explicit offsets of an open descriptor.
class Output {
 public:
  explicit Output(int fd) : fd_(fd) {}
  bool writeAt(int64_t pos, const uint8_t* data, size_t n) {
    while (n > 0) {
      const ssize_t w = pwrite(fd_, data, n, pos);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return false;
      data += w, pos += w, n -= static_cast<size_t>(w);
    }
    return true;
  }
  int fd() const { return fd_; }

 private:
  int fd_;
};

// The deflater's output: encrypts when keys are given and appends at pos.
class RecordData final : public engine::DeflateOutput {
 public:
  RecordData(Output& out, int64_t pos, engine::ZipKeys* keys) : out_(out), pos_(pos), keys_(keys) {}
  bool write(const uint8_t* data, size_t count) override {
    if (!keys_) return put(data, count);
    buf_.assign(data, data + count);
    engine::encryptBuffer(*keys_, buf_.data(), count);
    return put(buf_.data(), count);
  }
  int64_t pos() const { return pos_; }

 private:
  bool put(const uint8_t* data, size_t count) {
    if (!out_.writeAt(pos_, data, count)) return false;
    pos_ += static_cast<int64_t>(count);
    return true;
  }
  Output& out_;
  int64_t pos_;            // where the next byte goes
  engine::ZipKeys* keys_;  // the cipher's keys, null when not encrypting
  std::vector<uint8_t> buf_;
};

// The source file's reads, counted for the progress events.
class CountedInput final : public engine::DeflateInput {
 public:
  CountedInput(vz::File& f, uint64_t length, std::function<void(uint64_t)> progress)
      : file_(f), length_(length), progress_(std::move(progress)) {}
  size_t read(uint8_t* buf, size_t n) override {
    size_t got = 0;
    while (got < n) {
      const int64_t r = file_.read(buf + got, n - got);
      if (r <= 0) break;
      got += static_cast<size_t>(r);
    }
    done_ += got;
    crc_ = engine::crc32Update(crc_, buf, got);
    if (progress_) progress_(done_);
    return got;
  }
  uint64_t length() const override { return length_; }
  uint32_t crc() const { return crc_; }
  uint64_t done() const { return done_; }

 private:
  vz::File& file_;
  uint64_t length_;
  std::function<void(uint64_t)> progress_;
  uint64_t done_ = 0;
  uint32_t crc_ = 0;
};

uint16_t dosAttributesOf(const struct stat& st, const std::string& name) {
  uint16_t a = S_ISDIR(st.st_mode) ? 0x10 : 0x20;
  if (!(st.st_mode & S_IWUSR)) a |= 0x01;
  if (!name.empty() && name[0] == '.') a |= 0x02;
  return a;
}

}  // namespace

bool splitFileSpec(const std::string& spec, std::vector<std::string>& items) {
  items.clear();
  if (spec.find('\n') != std::string::npos) {
    // A list: one item per line, blanks kept; quotes around a line dropped.
    size_t start = 0;
    while (start <= spec.size()) {
      size_t end = spec.find('\n', start);
      if (end == std::string::npos) end = spec.size();
      std::string line = spec.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.size() >= 2 && line.front() == '"' && line.back() == '"') line = line.substr(1, line.size() - 2);
      if (!line.empty()) items.push_back(line);
      start = end + 1;
    }
    return true;
  }
  size_t i = 0;
  while (i < spec.size()) {
    const unsigned char c = static_cast<unsigned char>(spec[i]);
    if (std::isspace(c)) {
      ++i;
      continue;
    }
    if (c == '"') {
      const size_t close = spec.find('"', i + 1);
      if (close == std::string::npos) return false;
      items.push_back(spec.substr(i + 1, close - i - 1));
      i = close + 1;
      continue;
    }
    size_t j = i;
    while (j < spec.size() && !std::isspace(static_cast<unsigned char>(spec[j]))) ++j;
    items.push_back(spec.substr(i, j - i));
    i = j;
  }
  return true;
}

namespace {

class Run {
 public:
  explicit Run(TBlakHole& owner) : x_(owner) {}
  int32_t go();

 private:
  bool readOld();
  void collect(const std::string& item);
  void walk(const std::string& dir, const std::string& prefix, const std::string& pattern, int depth);
  // Writes one new record at pos; returns its end, or nullopt when the file
  // was skipped (*failed set when the run must stop).
  std::optional<int64_t> writeRecord(Output& out, int64_t pos, const Source& s, int32_t recNum, bool* failed);
  bool rewrite();
  void progress(const std::string& fn, uint64_t done, uint64_t size, int& next);

  TBlakHole& x_;
  std::string archive_;
  std::vector<OldRecord> old_;
  std::vector<Source> sources_;
  std::vector<std::string> added_;  // source paths that went in (for swMove)
  std::optional<std::string> password_;
  engine::LevelDeflater* deflater_ = nullptr;
  std::unique_ptr<engine::LevelDeflater> ownDeflater_;
  vz::File oldFile_;
  int32_t count_ = 0;
};

bool Run::readOld() {
  if (!vz::fileExists(archive_)) return true;
  TArcLister lister;
  bool bad = false;
  lister.OnError = [&](TZipCommon&, const std::string&, const std::string&, int32_t code) {
    x_.raiseError(code);
    bad = true;
  };
  lister.ShowBlankDirs = true;
  lister.OnRead = [&](TArcLister& l, int32_t, int32_t) {
    OldRecord r;
    r.entry = l.entry();
    r.begin = r.entry.headerOffset;
    r.end = r.entry.dataOffset + r.entry.packedSize;
    old_.push_back(std::move(r));
  };
  lister.setArchiveFile(archive_);
  if (lister.ArcType() != atBH) {
    x_.raiseError(E_INVALIDTYPE);
    return false;
  }
  lister.activate();
  if (bad) return false;
  if (!oldFile_.open(archive_, vz::File::Mode::Read)) {
    x_.raiseError(E_OPEN);
    return false;
  }
  return true;
}

void Run::walk(const std::string& dir, const std::string& prefix, const std::string& pattern, int depth) {
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return;
  std::vector<std::string> names;
  while (const dirent* e = readdir(d)) {
    const std::string n = e->d_name;
    if (n != "." && n != "..") names.push_back(n);
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  for (const std::string& n : names) {
    const std::string path = dir.empty() ? n : dir + "/" + n;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) continue;
    if (n[0] == '.' && !(x_.FileAttribute & ftHidden)) continue;
    const std::string stored = prefix.empty() ? n : prefix + "\\" + n;
    if (S_ISDIR(st.st_mode)) {
      if (!x_.RecurseDirs || depth >= kMaxDepth) continue;
      if (x_.OnRecurseDir) x_.OnRecurseDir(x_, path);
      if (x_.StoreDirs && (x_.FileAttribute & ftDirectory)) sources_.push_back({path, stored, true});
      walk(path, x_.StoreDirs ? stored : std::string(), pattern, depth + 1);
    } else if (S_ISREG(st.st_mode) && matches(n, pattern)) {
      sources_.push_back({path, x_.StoreDirs ? stored : n, false});
    }
  }
}

void Run::collect(const std::string& item) {
  std::string path = item;
  if (path.empty()) return;
  if (path[0] != '/' && !x_.DefaultDir.empty()) path = x_.DefaultDir + "/" + path;
  const size_t before = sources_.size();
  if (!hasWildcard(path) && vz::isDirectory(path)) {
    // A folder: its files (and, with RecurseDirs, everything below), stored
    // under the folder's own name.
    std::string base = path;
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    const size_t slash = base.find_last_of('/');
    const std::string name = slash == std::string::npos ? base : base.substr(slash + 1);
    walk(base, x_.StoreDirs ? name : std::string(), "*", 0);
  } else {
    const size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash);
    const std::string pattern = slash == std::string::npos ? path : path.substr(slash + 1);
    if (hasWildcard(pattern) || x_.RecurseDirs) {
      walk(dir, std::string(), pattern, 0);
    } else if (vz::isRegularFile(path)) {
      sources_.push_back({path, pattern, false});
    }
  }
  if (sources_.size() == before) x_.raiseError(E_FILENOTFOUND, item);
}

void Run::progress(const std::string& fn, uint64_t done, uint64_t size, int& next) {
  const int step = progressStep(x_.ProgressNotify);
  const int percent = size == 0 ? 100 : static_cast<int>(std::min<uint64_t>(100, done * 100 / size));
  while (next <= percent && next <= 100) {
    if (x_.OnProgress) x_.OnProgress(x_, fn, static_cast<uint8_t>(next));
    next += step;
  }
}

std::optional<int64_t> Run::writeRecord(Output& out, int64_t pos, const Source& s, int32_t recNum, bool* failed) {
  const std::string listed = listedForm(s.stored);
  bool take = true;
  if (x_.OnBegin) x_.OnBegin(x_, listed, recNum, take);
  if (!take) return std::nullopt;
  struct stat st;
  if (stat(s.path.c_str(), &st) != 0) {
    x_.raiseError(E_FILENOTFOUND, s.path);
    return std::nullopt;
  }
  const std::string leaf = s.path.substr(s.path.find_last_of('/') + 1);
  BhRecordFields f;
  f.name = s.stored;
  f.dosStamp = engine::dosDateTimeOf(st.st_mtime);
  f.attributes = dosAttributesOf(st, leaf);
  const int64_t dataAt = pos + kBhNameAt + static_cast<int64_t>(f.name.size());
  int64_t end = dataAt;
  if (!s.folder) {
    if (st.st_size > 0xFFFFFFFFLL) {
      x_.raiseError(E_UPDATE, s.path);
      return std::nullopt;
    }
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    vz::File in;
    if (!in.open(s.path, vz::File::Mode::Read)) {
      x_.raiseError(E_OPEN, s.path);
      return std::nullopt;
    }
    const bool encrypt = password_.has_value() && size > 0;
    uint32_t crc = 0;
    if (encrypt) {
      // The encryption header's check bytes need the CRC before the data.
      std::vector<uint8_t> buf(kCopyBlock);
      for (int64_t r; (r = in.read(buf.data(), buf.size())) > 0;)
        crc = engine::crc32Update(crc, buf.data(), static_cast<size_t>(r));
      in.seek(0);
    }
    const BhMethodChoice choice = size == 0 ? BhMethodChoice{} : bhMethodOf(x_.CompressMethod);
    // One attempt with the chosen method; a deflate that does not shrink
    // the file is written again stored.
    for (uint8_t method : {choice.method, kBhStored}) {
      in.seek(0);
      engine::ZipKeys keys = engine::initKeys(encrypt ? *password_ : std::string());
      int64_t payloadAt = dataAt;
      if (encrypt) {
        uint8_t header[engine::kEncryptionHeaderSize];
        if (!engine::makeEncryptionHeader(keys, crc, header) || !out.writeAt(dataAt, header, sizeof header)) {
          x_.raiseError(E_WRITE);
          *failed = true;
          return std::nullopt;
        }
        payloadAt += static_cast<int64_t>(sizeof header);
      }
      RecordData data(out, payloadAt, encrypt ? &keys : nullptr);
      int next = progressStep(x_.ProgressNotify);
      CountedInput counted(in, size, [&](uint64_t done) { progress(listed, done, size, next); });
      bool writeFailed = false;
      if (method == kBhDeflated) {
        if (!deflater_) {
          ownDeflater_ = std::make_unique<engine::LevelDeflater>();
          deflater_ = ownDeflater_.get();
        }
        const engine::LevelDeflateResult r = deflater_->compress(choice.level, counted, data);
        writeFailed = r.outputError;
      } else {
        std::vector<uint8_t> buf(kCopyBlock);
        for (size_t r; (r = counted.read(buf.data(), buf.size())) > 0;)
          if (!data.write(buf.data(), r)) {
            writeFailed = true;
            break;
          }
      }
      if (writeFailed || counted.done() != size || (encrypt && counted.crc() != crc)) {
        x_.raiseError(writeFailed ? E_WRITE : E_READ, s.path);
        *failed = true;
        return std::nullopt;
      }
      f.method = method;
      f.crc = counted.crc();
      end = data.pos();
      const uint64_t packed = static_cast<uint64_t>(end - dataAt) - (encrypt ? engine::kEncryptionHeaderSize : 0);
      if (method == kBhStored || packed < size) break;
    }
    f.flags = encrypt ? kBhEncrypted : 0;
    f.unpacked = static_cast<uint32_t>(size);
    f.packed = static_cast<uint32_t>(end - dataAt);
  }
  const std::vector<uint8_t> header = bhMakeHeader(f);
  if (!out.writeAt(pos, header.data(), header.size())) {
    x_.raiseError(E_WRITE);
    *failed = true;
    return std::nullopt;
  }
  if (x_.OnEnd) x_.OnEnd(x_, listed, true);
  if (!s.folder) added_.push_back(s.path);
  ++count_;
  return end;
}

bool Run::rewrite() {
  const size_t slash = archive_.find_last_of('/');
  const std::string dir = slash == std::string::npos ? std::string(".") : archive_.substr(0, slash);
  std::string temp = dir + "/.vz-bh-XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) {
    x_.raiseError(E_UPDATE);
    return false;
  }
  Output out(fd);
  bool failed = false;
  int64_t pos = 0;
  // Which old records a new file takes the place of.
  std::vector<std::optional<size_t>> replaces(old_.size());
  std::vector<Source> appended;
  std::vector<bool> seen(sources_.size(), false);
  std::vector<std::string> newNames;
  for (const Source& s : sources_) {
    const std::string key = lower(listedForm(s.stored));
    if (std::find(newNames.begin(), newNames.end(), key) != newNames.end()) continue;  // named twice
    newNames.push_back(key);
    bool placed = false;
    for (size_t i = 0; i < old_.size(); ++i) {
      if (old_[i].dropped || replaces[i] || lower(old_[i].entry.fileName) != key) continue;
      placed = true;
      bool replace = true;
      if (x_.OnReplaceFile) {
        struct stat st;
        stat(s.path.c_str(), &st);
        const ArcEntry& e = old_[i].entry;
        x_.OnReplaceFile(x_, listedForm(s.stored), e.dateTime, vz::toLocalTime(st.st_mtime),
                         static_cast<int32_t>(e.unpackedSize), static_cast<int32_t>(st.st_size), e.attributes16,
                         dosAttributesOf(st, s.path.substr(s.path.find_last_of('/') + 1)), replace);
      }
      if (replace) replaces[i] = appended.size(), appended.push_back(s);
      break;
    }
    if (!placed) appended.push_back(s);
  }
  std::vector<bool> written(appended.size(), false);
  std::vector<uint8_t> buf(kCopyBlock);
  auto copyOld = [&](const OldRecord& r) {
    for (int64_t at = r.begin; at < r.end && !failed;) {
      const size_t n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(buf.size()), r.end - at));
      if (oldFile_.readAt(at, buf.data(), n) != static_cast<int64_t>(n) || !out.writeAt(pos, buf.data(), n)) {
        x_.raiseError(E_UPDATE);
        failed = true;
      }
      at += static_cast<int64_t>(n), pos += static_cast<int64_t>(n);
    }
  };
  int32_t recNum = 0;
  for (size_t i = 0; i < old_.size() && !failed; ++i) {
    ++recNum;
    if (old_[i].dropped) continue;
    if (replaces[i]) {
      written[*replaces[i]] = true;
      if (const auto end = writeRecord(out, pos, appended[*replaces[i]], recNum, &failed)) {
        pos = *end;
        continue;
      }
      if (failed) break;
    }
    copyOld(old_[i]);
  }
  for (size_t k = 0; k < appended.size() && !failed; ++k) {
    if (written[k]) continue;
    if (const auto end = writeRecord(out, pos, appended[k], ++recNum, &failed)) pos = *end;
  }
  if (!failed) {
    const std::vector<uint8_t> endRecord = bhEndRecord();
    failed = !out.writeAt(pos, endRecord.data(), endRecord.size());
    pos += static_cast<int64_t>(endRecord.size());
  }
  // The new archive keeps the old one's permissions (a new one: 0666 less the umask).
  struct stat st;
  mode_t mode = 0666;
  if (stat(archive_.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = umask(022);
    umask(mask);
    mode &= ~mask;
  }
  if (!failed) failed = ftruncate(fd, pos) != 0 || fchmod(fd, mode) != 0 || fsync(fd) != 0;
  if (close(fd) != 0) failed = true;
  if (!failed && rename(temp.c_str(), archive_.c_str()) != 0) failed = true;
  if (failed) {
    unlink(temp.c_str());
    x_.raiseError(E_UPDATE);
    return false;
  }
  return true;
}

int32_t Run::go() {
  archive_ = x_.ArchiveFile();
  std::vector<std::string> items;
  if (!splitFileSpec(x_.FileSpec, items)) {
    x_.raiseError(E_OPENQUOTE);
    return 0;
  }
  if (!readOld()) return 0;
  if (x_.Switch == swRead) {
    int32_t n = 0;
    for (const OldRecord& r : old_)
      if (x_.OnRead) x_.OnRead(x_, static_cast<int32_t>(r.begin + 1), ++n);
    return static_cast<int32_t>(old_.size());
  }
  if (x_.Switch == swDelete) {
    if (old_.empty() && !vz::fileExists(archive_)) {
      x_.raiseError(E_FILENOTFOUND);
      return 0;
    }
    int32_t dropped = 0;
    for (OldRecord& r : old_) {
      for (const std::string& item : items) {
        const std::string mask = listedForm(item);
        const bool rootOnly = mask.find('/') == std::string::npos && !x_.RecurseDirs;
        if (rootOnly && r.entry.fileName.find('/') != std::string::npos) continue;
        if (matches(r.entry.fileName, mask)) {
          r.dropped = true;
          ++dropped;
          break;
        }
      }
    }
    if (dropped == 0) {
      x_.raiseError(E_FILENOTFOUND);
      return 0;
    }
    return rewrite() ? dropped : 0;
  }
  for (const std::string& item : items) collect(item);
  if (!x_.Passwords.empty() && !x_.Passwords.front().empty()) {
    password_ = x_.Passwords.front();
  } else if (x_.OnGetPassword) {
    std::string p;
    bool again = false;
    x_.OnGetPassword(x_, archive_, p, again);
    if (!p.empty()) password_ = p;
  }
  if (sources_.empty()) return 0;
  if (!rewrite()) return 0;
  if (x_.Switch == swMove) {
    for (const std::string& p : added_)
      if (unlink(p.c_str()) != 0) x_.raiseError(E_DELETE, p);
  }
  return count_;
}

}  // namespace

int32_t TBlakHole::activate() {
  if (!ArchiveFile().empty()) {
    const std::string& a = ArchiveFile();
    const size_t slash = a.find_last_of('/');
    const size_t dot = a.find_last_of('.');
    if ((dot == std::string::npos || (slash != std::string::npos && dot < slash)) && !DefaultExt.empty())
      setArchiveFile(a + DefaultExt);
  }
  if (OnActivate) OnActivate(*this);
  int32_t n = 0;
  if (ArchiveFile().empty()) {
    raiseError(E_OPEN);
  } else {
    Run run(*this);
    n = run.go();
  }
  if (OnDeactivate) OnDeactivate(*this);
  return n;
}

}  // namespace vz::readers
