// The reader's data operations: test (-t) and extract. Both walk the
// selected entries of the directory (reader_archive.h) in archive order and
// decode each one (reader_decode.h); testing only checks, extraction writes
// into the destination tree (reader_dest.h).
//
// Per entry, extraction:
//   1. the method must be one the engine decodes (else skip, reason 1) and
//      the data must be where the local header says (else reason 6);
//   2. the safe name (unsafe parts dropped: kResultMinorIssues); a folder
//      entry makes its folder and is done;
//   3. an existing file: -f / -u compare times (reason 3), -n keeps (7), -o
//      replaces, else callback 10 asks (keep 7, replace, or a new name that
//      goes through this step again);
//   4. encrypted entries get their keys (below), then the data is decoded
//      into a temporary file beside the final name, its size and CRC
//      checked, its permissions and times set, and it is renamed into place;
//      a failed entry leaves nothing behind;
//   5. callback 60 at 0 %, as decoding goes, and at 100 %.
// Symbolic links are made at the end of the run (so no later entry can be
// written through one) when their target stays inside the destination; the
// folders' permissions and times are set after that, when nothing more is
// written into them.
//
// Passwords (traditional encryption): the password that opened an earlier
// entry is tried first, then argv[0], then callback 100 asks. A password
// whose header check fails, or whose data then fails its checks, is wrong:
// the host is asked again for the same entry. A password the host gives
// again after it failed on this entry ends the asking (reason 5), so a host
// that always answers with the same wrong password cannot keep the run
// going forever.
//
// AES entries (method 99) go through the same questions; the candidate is
// tried on the entry's salt and verifier (reader_decode.h AesEntrySource),
// which tell a wrong password before any output is made, so the file is
// only created once the password fits. Data that then fails its
// authentication code is damaged (reason 6) rather than a sign of a wrong
// password: the verifier has already spoken for the password.
//
// Results: the worst condition of the run (engine_results.h): 200 when an
// entry failed its CRC or data check, 40 when entries were skipped, 30 when
// a name was made safe or a link not made, 140 when -f / -u found every
// match up to date, 10 (extract) or 210 (test) when the patterns
// matched nothing, 190 when the host stopped the run, 150 when the disk is
// full (the run ends there).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <functional>
#include <optional>

#include "control/engine/format/dos_time.h"
#include "control/engine/format/zip_crypto.h"
#include "zipwrap/engine/unzip/reader_decode.h"
#include "zipwrap/engine/unzip/reader_dest.h"
#include "zipwrap/engine/unzip/reader_match.h"
#include "zipwrap/engine/unzip/reader_open.h"
#include "zipwrap/engine/unzip/unzip_ops.h"
#include "zipwrap/engine/unzip/unzip_records.h"

namespace vz::zipwrap {
namespace {

// The longest link target taken from an entry.
constexpr size_t kMaxLinkTarget = 4096;
// Password rounds for one entry before it is skipped, whatever the host says.
constexpr int kMaxPasswordRounds = 64;
// Replace questions for one entry before it is kept.
constexpr int kMaxReplaceRounds = 64;
// Permission bits restored from a Unix entry (set-id and sticky bits dropped).
constexpr mode_t kRestoredModeMask = 0777;
constexpr uint32_t kDosReadOnly = 0x01;

bool isDiskFull(int error) { return error == ENOSPC || error == EDQUOT || error == EFBIG; }

mode_t currentUmask() {
  const mode_t m = ::umask(022);
  ::umask(m);
  return m;
}

// The times an entry gives its file: the extended timestamp (UTC) of the
// local or central extra field, else the DOS stamp as local time.
struct EntryTimes {
  bool known = false;
  bool precise = false;  // from the extended timestamp (to the second)
  std::time_t mtime = 0;
  std::time_t atime = 0;
};

EntryTimes timesOf(const ReaderEntry& e, std::span<const uint8_t> localExtra) {
  EntryTimes t;
  ExtraTimes x = readExtraTimes(localExtra);
  if (!x.hasMtime) x = readExtraTimes(e.extra);
  if (x.hasMtime) {
    t.known = t.precise = true;
    t.mtime = static_cast<std::time_t>(x.mtime);
    t.atime = x.hasAtime ? static_cast<std::time_t>(x.atime) : t.mtime;
    return t;
  }
  if (const auto dos = engine::timeOfDosDateTime(e.dosDateTime())) {
    t.known = true;
    t.mtime = t.atime = *dos;
  }
  return t;
}

void setTimes(int fd, const EntryTimes& t) {
  if (!t.known) return;
  struct timespec ts[2] = {{t.atime, 0}, {t.mtime, 0}};
  ::futimens(fd, ts);
}

// Whether a link target, resolved from the folder at depth components
// below the destination, stays inside it.
bool linkTargetInside(std::string_view target, size_t depth) {
  if (target.empty() || target.front() == '/' || target.find('\0') != std::string_view::npos) return false;
  long level = static_cast<long>(depth);
  size_t i = 0;
  while (i <= target.size()) {
    size_t end = target.find('/', i);
    if (end == std::string_view::npos) end = target.size();
    const std::string_view part = target.substr(i, end - i);
    if (part == "..") {
      if (--level < 0) return false;
    } else if (!part.empty() && part != ".") {
      ++level;
    }
    i = end + 1;
  }
  return true;
}

// A link to make at the end of the run.
struct PendingLink {
  SafeName name;       // where it goes
  std::string target;  // what it points at
};

// A folder whose permissions and times are set at the end of the run.
struct PendingFolder {
  std::vector<std::string> components;  // below the destination
  int32_t mode = -1;                    // permission bits to set; -1: leave
  EntryTimes times;                     // times to set
};

class ReaderRun {
 public:
  ReaderRun(const EngineCommand& command, EngineHost& host, ReaderArchive& archive, bool testing)
      : command_(command), host_(host), archive_(archive), testing_(testing), umask_(currentUmask()) {}

  OpResult run();

 private:
  // Decodes the entry from data with keys (traditional encryption) or from
  // an opened AES source; both null: not encrypted.
  using Attempt =
      std::function<EntryVerdict(std::span<const uint8_t> data, const engine::ZipKeys* keys, AesEntrySource* aes)>;
  struct Unlocked {
    bool skipped = false;  // no good password: reason 5
    EntryVerdict verdict = EntryVerdict::Ok;
  };

  void processEntry(const ReaderEntry& e);
  void testEntry(const ReaderEntry& e, const EntryData& data);
  void extractEntry(const ReaderEntry& e, const EntryData& data);
  void extractFolder(const ReaderEntry& e, const EntryData& data);
  // Decides where the entry goes, asking about an existing file; false when
  // the entry is not to be written (already reported).
  bool decideTarget(const ReaderEntry& e, const EntryTimes& times, SafeName& name, int& folderFd);
  // Runs attempt with the right keys (or none); stopped_ set when the host stopped.
  Unlocked unlockAndRun(const ReaderEntry& e, const EntryData& data, const Attempt& attempt);
  // The password loop: the remembered password, argv[0], then the host;
  // tryOne gives no verdict when the candidate is wrong.
  Unlocked askPasswords(const ReaderEntry& e,
                        const std::function<std::optional<EntryVerdict>(const std::string&)>& tryOne);
  // Reports a verdict other than Ok.
  void report(const ReaderEntry& e, EntryVerdict v, int error);
  void skip(const std::string& name, SkipReason reason);
  void note(uint16_t code) { result_ = worseResult(result_, code); }
  DecodeJob jobFor(const ReaderEntry& e, std::span<const uint8_t> data, const engine::ZipKeys* keys,
                   AesEntrySource* aes);
  mode_t fileModeOf(const ReaderEntry& e) const;
  void finishTree();

  const EngineCommand& command_;
  EngineHost& host_;
  ReaderArchive& archive_;
  const bool testing_;                  // -t: decode and check only
  const mode_t umask_;                  // the process's umask, for entries without Unix bits
  DestinationTree tree_;                // the destination (extraction only)
  std::vector<uint8_t> scratch_;        // reused output block (testing, small files)
  std::string goodPassword_;            // the password that opened an entry, tried first
  bool skipAllEncrypted_ = false;       // the host answered "skip every encrypted entry"
  bool stopped_ = false;                // the host stopped the run, or a fatal condition ended it
  uint16_t result_ = kResultOk;         // the worst condition so far
  uint32_t failed_ = 0;                 // entries that failed or were skipped for a fault
  size_t matched_ = 0;                  // entries selected
  size_t done_ = 0;                     // entries extracted or tested good
  size_t upToDate_ = 0;                 // entries left because the file was as new
  std::vector<PendingLink> links_;      // links made at the end
  std::vector<PendingFolder> folders_;  // folders finished at the end
};

OpResult ReaderRun::run() {
  if (!testing_ && !tree_.open(command_.extractDir)) {
    return {isDiskFull(errno) ? kResultDiskFull : kResultCannotWrite, 0};
  }
  const EntrySelector selector(command_);
  for (const ReaderEntry& e : archive_.entries()) {
    if (stopped_ || host_.stopped()) break;
    if (!selector.selects(e.name)) continue;
    ++matched_;
    processEntry(e);
  }
  if (host_.stopped()) note(kResultAborted);
  if (!testing_) finishTree();
  if (matched_ == 0) note(testing_ ? kResultNothingTested : kResultNothingToDo);
  if (!testing_ && done_ == 0 && upToDate_ > 0) note(kResultUpToDate);
  return {result_, failed_};
}

void ReaderRun::skip(const std::string& name, SkipReason reason) {
  switch (reason) {
    case kSkipUpToDate:
      ++upToDate_;
      break;
    case kSkipNotOverwriting:
      break;
    case kSkipCrcError:
    case kSkipCorruptData:
      note(kResultArchiveErrors);
      ++failed_;
      break;
    default:
      note(kResultSkipped);
      ++failed_;
      break;
  }
  host_.skipped(name, reason);
}

void ReaderRun::report(const ReaderEntry& e, EntryVerdict v, int error) {
  switch (v) {
    case EntryVerdict::Ok:
      ++done_;
      break;
    case EntryVerdict::UnknownMethod:
      skip(e.name, kSkipUnknownMethod);
      break;
    case EntryVerdict::CrcError:
      skip(e.name, kSkipCrcError);
      break;
    case EntryVerdict::CorruptData:
      skip(e.name, kSkipCorruptData);
      break;
    case EntryVerdict::Cancelled:
      stopped_ = true;
      break;
    case EntryVerdict::NoMemory:
      note(kResultOutOfMemory);
      ++failed_;
      break;
    case EntryVerdict::WriteFailed:
      if (isDiskFull(error)) {
        note(kResultDiskFull);
        stopped_ = true;
      } else {
        skip(e.name, kSkipCannotOpen);
      }
      break;
  }
}

DecodeJob ReaderRun::jobFor(const ReaderEntry& e, std::span<const uint8_t> data, const engine::ZipKeys* keys,
                            AesEntrySource* aes) {
  DecodeJob job;
  job.entry = &e;
  job.data = data;
  job.keys = keys;
  job.aes = aes;
  job.cancelled = [this] { return host_.stopped(); };
  if (!testing_) {
    job.progress = [this, &e](uint8_t pct) {
      FileEvent ev = fileEventOf(e);
      ev.percentDone = pct;
      host_.fileEvent(kCbExtracting, ev);
    };
  }
  return job;
}

void ReaderRun::processEntry(const ReaderEntry& e) {
  FileEvent ev = fileEventOf(e);
  if (testing_ && !host_.fileEvent(kCbTesting, ev)) return;
  EntryData data;
  if (!archive_.locate(e, data)) {
    skip(e.name, kSkipCorruptData);
    return;
  }
  if (e.isFolder()) {
    if (testing_) {
      ++done_;
    } else {
      extractFolder(e, data);
    }
    return;
  }
  // An AES entry is decoded with the method of its 0x9901 field; without a
  // readable one its method is unknown.
  AesEntryInfo aes;
  const bool aesOk = e.header.method == kAesMethod && aesInfoOf(e, data.localExtra, aes);
  if (aesOk ? !canDecodeMethod(aes.method) : !canDecodeMethod(e.header.method)) {
    skip(e.name, kSkipUnknownMethod);
    return;
  }
  if (testing_) {
    testEntry(e, data);
  } else {
    extractEntry(e, data);
  }
}

ReaderRun::Unlocked ReaderRun::unlockAndRun(const ReaderEntry& e, const EntryData& data, const Attempt& attempt) {
  const std::span<const uint8_t> bytes = data.bytes;
  if (e.header.method == kAesMethod) {
    AesEntryInfo info;
    if (!aesInfoOf(e, data.localExtra, info)) return {false, EntryVerdict::UnknownMethod};
    AesEntrySource source(bytes, info);
    return askPasswords(e, [&](const std::string& candidate) -> std::optional<EntryVerdict> {
      switch (source.open(candidate)) {
        case AesOpenStatus::Ok:
          return attempt(bytes, nullptr, &source);
        case AesOpenStatus::WrongPassword:
          return std::nullopt;
        case AesOpenStatus::BadData:
          return EntryVerdict::CorruptData;
        case AesOpenStatus::NoMemory:
          break;
      }
      return EntryVerdict::NoMemory;
    });
  }
  if (!e.encrypted()) return {false, attempt(bytes, nullptr, nullptr)};
  if (bytes.size() < engine::kEncryptionHeaderSize) return {false, EntryVerdict::CorruptData};
  const uint8_t* header = bytes.data();
  const std::span<const uint8_t> encrypted = bytes.subspan(engine::kEncryptionHeaderSize);
  return askPasswords(e, [&](const std::string& candidate) -> std::optional<EntryVerdict> {
    engine::ZipKeys keys;
    if (!engine::tryPassword(candidate, header, e.header.crc32, e.header.time, &keys)) return std::nullopt;
    const EntryVerdict v = attempt(encrypted, &keys, nullptr);
    // Data failing its checks behind a passing check byte: a wrong password.
    if (v == EntryVerdict::CrcError || v == EntryVerdict::CorruptData) return std::nullopt;
    return v;
  });
}

ReaderRun::Unlocked ReaderRun::askPasswords(
    const ReaderEntry& e, const std::function<std::optional<EntryVerdict>(const std::string&)>& tryOne) {
  Unlocked out;
  std::vector<std::string> failed;
  auto hasFailed = [&](const std::string& p) { return std::find(failed.begin(), failed.end(), p) != failed.end(); };
  std::vector<std::string> queue;
  if (!goodPassword_.empty()) queue.push_back(goodPassword_);
  if (!command_.password.empty() && command_.password != goodPassword_) queue.push_back(command_.password);
  size_t next = 0;
  for (int round = 0; round < kMaxPasswordRounds; ++round) {
    std::string candidate;
    if (next < queue.size()) {
      candidate = queue[next++];
    } else {
      if (skipAllEncrypted_) break;
      switch (host_.askPassword(e.name, candidate)) {
        case PasswordAnswer::Use:
          break;
        case PasswordAnswer::SkipAll:
          skipAllEncrypted_ = true;
          [[fallthrough]];
        case PasswordAnswer::SkipThis:
        case PasswordAnswer::Stop:
          out.skipped = true;
          return out;
      }
      if (hasFailed(candidate)) break;  // the same wrong password again
    }
    if (hasFailed(candidate)) continue;
    const std::optional<EntryVerdict> v = tryOne(candidate);
    if (!v) {
      failed.push_back(candidate);
      continue;
    }
    out.verdict = *v;
    if (out.verdict == EntryVerdict::Ok) goodPassword_ = candidate;
    return out;
  }
  out.skipped = true;
  return out;
}

void ReaderRun::testEntry(const ReaderEntry& e, const EntryData& data) {
  const Unlocked u =
      unlockAndRun(e, data, [&](std::span<const uint8_t> bytes, const engine::ZipKeys* keys, AesEntrySource* aes) {
        return decodeAndCheck(jobFor(e, bytes, keys, aes), scratch_);
      });
  if (host_.stopped()) return;
  if (u.skipped) {
    skip(e.name, kSkipBadPassword);
    return;
  }
  report(e, u.verdict, 0);
}

mode_t ReaderRun::fileModeOf(const ReaderEntry& e) const {
  const int32_t unix = e.unixMode();
  if (unix >= 0) return static_cast<mode_t>(unix) & kRestoredModeMask;
  mode_t mode = 0666 & ~umask_;
  if (e.header.externalAttributes & kDosReadOnly) mode &= ~0222;
  return mode;
}

bool ReaderRun::decideTarget(const ReaderEntry& e, const EntryTimes& times, SafeName& name, int& folderFd) {
  for (int round = 0; round < kMaxReplaceRounds; ++round) {
    if (name.unsafe) note(kResultMinorIssues);
    if (name.leaf.empty()) return false;  // nothing left of the name to write
    folderFd = tree_.folder(name.folders);
    if (folderFd < 0) {
      if (errno == ELOOP || errno == ENOTDIR) note(kResultMinorIssues);
      if (isDiskFull(errno)) {
        note(kResultDiskFull);
        stopped_ = true;
        return false;
      }
      skip(e.name, kSkipCannotOpen);
      return false;
    }
    struct stat st {};
    const bool exists = ::fstatat(folderFd, name.leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (command_.freshenOnly || command_.updateOnly) {
      // The entry is newer when its time lies past the file's; a DOS stamp
      // counts in two-second steps, so a second's difference is the same time.
      const bool newer = !exists || !times.known || times.mtime > st.st_mtime + (times.precise ? 0 : 1);
      if ((command_.freshenOnly && !exists) || !newer) {
        skip(e.name, kSkipUpToDate);
        return false;
      }
    }
    if (!exists) return true;
    if (S_ISDIR(st.st_mode)) {
      skip(e.name, kSkipCannotOpen);
      return false;
    }
    switch (command_.overwrite) {
      case ExtractOverwrite::Always:
        return true;
      case ExtractOverwrite::Never:
        skip(e.name, kSkipNotOverwriting);
        return false;
      case ExtractOverwrite::Ask:
        break;
    }
    std::string newName;
    switch (host_.askReplace(tree_.pathOf(name), newName)) {
      case ReplaceAnswer::Stop:
        return false;
      case ReplaceAnswer::Keep:
        skip(e.name, kSkipNotOverwriting);
        return false;
      case ReplaceAnswer::Replace:
        break;
    }
    if (newName.empty()) return true;
    // A new name: relative to the destination, or absolute inside it (an
    // absolute name elsewhere loses its leading "/" like a stored name).
    const std::string& root = tree_.absoluteRoot();
    const std::string prefix = root == "/" ? root : root + "/";
    if (newName.compare(0, prefix.size(), prefix) == 0) newName.erase(0, prefix.size());
    name = safeNameOf(newName, false);
  }
  skip(e.name, kSkipNotOverwriting);
  return false;
}

void ReaderRun::extractFolder(const ReaderEntry& e, const EntryData& data) {
  if (command_.junkPaths) return;  // no folders without paths
  SafeName name = safeNameOf(e.name, false);
  if (name.unsafe) note(kResultMinorIssues);
  if (name.leaf.empty()) return;
  std::vector<std::string> components = name.folders;
  components.push_back(name.leaf);
  if (tree_.folder(components) < 0) {
    if (errno == ELOOP || errno == ENOTDIR) note(kResultMinorIssues);
    skip(e.name, kSkipCannotOpen);
    return;
  }
  const int32_t unix = e.unixMode();
  folders_.push_back(
      {components, unix >= 0 ? static_cast<int32_t>(unix & kRestoredModeMask) : -1, timesOf(e, data.localExtra)});
  FileEvent ev = fileEventOf(e);
  ev.percentDone = 100;
  host_.fileEvent(kCbExtracting, ev);
  ++done_;
}

void ReaderRun::extractEntry(const ReaderEntry& e, const EntryData& data) {
  const EntryTimes times = timesOf(e, data.localExtra);
  SafeName name = safeNameOf(e.name, command_.junkPaths);
  int folderFd = -1;
  if (!decideTarget(e, times, name, folderFd)) return;
  FileEvent ev = fileEventOf(e);
  ev.percentDone = 0;
  if (!host_.fileEvent(kCbExtracting, ev)) return;

  if (e.isSymlink()) {
    std::string target;
    const Unlocked u =
        unlockAndRun(e, data, [&](std::span<const uint8_t> bytes, const engine::ZipKeys* keys, AesEntrySource* aes) {
          return decodeToString(jobFor(e, bytes, keys, aes), kMaxLinkTarget, target);
        });
    if (host_.stopped()) return;
    if (u.skipped) return skip(e.name, kSkipBadPassword);
    if (u.verdict != EntryVerdict::Ok) return report(e, u.verdict, 0);
    if (!linkTargetInside(target, name.folders.size())) {
      note(kResultMinorIssues);  // a link out of the destination is not made
      return;
    }
    links_.push_back({name, target});
  } else {
    int error = 0;
    const mode_t mode = fileModeOf(e);
    const Unlocked u =
        unlockAndRun(e, data, [&](std::span<const uint8_t> bytes, const engine::ZipKeys* keys, AesEntrySource* aes) {
          std::string temp;
          const int fd = createTemporary(folderFd, name.leaf, temp);
          if (fd < 0) {
            error = errno;
            return EntryVerdict::WriteFailed;
          }
          EntryVerdict v = decodeIntoFile(jobFor(e, bytes, keys, aes), fd, scratch_, error);
          if (v == EntryVerdict::Ok) {
            ::fchmod(fd, mode);
            setTimes(fd, times);
            if (::renameat(folderFd, temp.c_str(), folderFd, name.leaf.c_str()) != 0) {
              error = errno;
              v = EntryVerdict::WriteFailed;
            }
          }
          ::close(fd);
          if (v != EntryVerdict::Ok) ::unlinkat(folderFd, temp.c_str(), 0);
          return v;
        });
    if (host_.stopped()) return;
    if (u.skipped) return skip(e.name, kSkipBadPassword);
    if (u.verdict != EntryVerdict::Ok) return report(e, u.verdict, error);
  }
  ++done_;
  ev.percentDone = 100;
  host_.fileEvent(kCbExtracting, ev);
}

void ReaderRun::finishTree() {
  if (!host_.stopped()) {
    for (const PendingLink& link : links_) {
      const int folderFd = tree_.folder(link.name.folders);
      std::string temp;
      bool made = false;
      for (int attempt = 0; folderFd >= 0 && attempt < 4 && !made; ++attempt) {
        temp = "." + link.name.leaf.substr(0, 32) + ".vzlink" + std::to_string(attempt) + std::to_string(::getpid());
        if (::symlinkat(link.target.c_str(), folderFd, temp.c_str()) != 0) continue;
        made = ::renameat(folderFd, temp.c_str(), folderFd, link.name.leaf.c_str()) == 0;
        if (!made) ::unlinkat(folderFd, temp.c_str(), 0);
        break;
      }
      if (!made) note(kResultMinorIssues);
    }
  }
  // Deepest folders first, so that nothing written later changes a time set.
  std::stable_sort(folders_.begin(), folders_.end(), [](const PendingFolder& a, const PendingFolder& b) {
    return a.components.size() > b.components.size();
  });
  for (const PendingFolder& f : folders_) {
    const int fd = tree_.folder(f.components);
    if (fd < 0) continue;
    if (f.mode >= 0) ::fchmod(fd, static_cast<mode_t>(f.mode));
    setTimes(fd, f.times);
  }
}

OpResult runReader(const EngineCommand& command, EngineHost& host, bool testing) {
  OpenedArchive opened;
  if (uint16_t r = opened.open(command, host, false); r != kResultOk) return {r, 0};
  if (opened.archive().entries().empty()) return {kResultEmptyArchive, 0};
  ReaderRun run(command, host, opened.archive(), testing);
  return run.run();
}

}  // namespace

OpResult runTest(const EngineCommand& command, EngineHost& host) { return runReader(command, host, true); }
OpResult runExtract(const EngineCommand& command, EngineHost& host) { return runReader(command, host, false); }

}  // namespace vz::zipwrap
