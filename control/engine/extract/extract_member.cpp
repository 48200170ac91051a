// One entry of an extraction run: its output path, password, the decision
// about an existing file, and the extraction of the member itself.
//
// Extracting a member:
//   1. The output file is opened (created or truncated): the mapped path,
//      or a new temporary file in the test run (whose drive is checked once
//      per run: 13, 14, 15). First the drive must have the entry's size
//      free, else the run ends with 8. An existing read-only file is
//      replaced only with erase-read-only (its attributes become archive
//      only first), else the entry counts as skipped (10). A file that
//      cannot be created: 12 when it did not exist, 11 when it did.
//   2. ZNOpenFile; the data is decoded by its method, the output limited to
//      the declared size; messages are pumped between blocks.
//   3. The output buffer is flushed. A write failure: ZNCloseFile(FALSE),
//      the file closed (deleted in the test run), status 8, and the run
//      ends. Otherwise ZNExpanding(100) outside the test run.
//   4. Outside the test run: the file's time becomes the entry's DOS time
//      (local time) and its attributes the low seven bits of the external
//      attributes when they are not 0.
//   5. Status 5 when the data ran past the declared size, when less came
//      out than declared, or when the CRC differs (compared whenever the
//      declared size is not 0; an entry declared empty that produced data
//      has already failed by running past its size). The decoder's own
//      verdict is not consulted: a damaged stream shows in these checks.
//   6. ZNCloseFile(status is 0); in the test run ZNTest(status), and the
//      temporary file is deleted.
//
// A wrong password: the header check compares one byte (or two) of the
// decrypted encryption header, so about one wrong password in 128 passes
// it, and the entry's data then comes out as garbage. An encrypted entry
// whose data fails the checks of step 5 (or, declared empty, does not
// decode at all) is therefore taken as a wrong password rather than as a
// damaged entry: ZNCloseFile(FALSE) ends the attempt (no ZNTest), the file
// it wrote is deleted (the temporary file, or the partly written output
// file, so that nothing damaged stays behind), and the entry goes back to
// the password question as for a password the header check refused: with
// the retry text, or skipped when asking is off or answered Never. A retry
// writes the file again from the start.
//
// Folder entries: a name that ends with a separator, or an entry declared
// empty whose external attributes carry the DOS folder bit (0x10; archives
// made on DOS and Windows hosts may name a folder without the trailing
// separator). A folder entry creates its folder and is done, whatever data
// it carries (some writers deflate an empty folder entry into two bytes); it
// never counts as skipped.
//
// An entry whose local header has an empty name is extracted under its
// central name, in every mode alike.
#include <sys/stat.h>

#include <algorithm>

#include "control/engine/decode/decode_entry.h"
#include "control/engine/format/dos_time.h"
#include "control/engine/extract/extract_io.h"
#include "control/engine/extract/extract_job.h"
#include "control/engine/common/notify.h"
#include "control/engine/common/prompts.h"
#include "control/engine/common/status.h"
#include "platform/attributes.h"
#include "platform/drives.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/tempname.h"
#include "platform/window.h"

namespace vz::engine {

namespace {

// Permission bits of a new output file before the umask.
constexpr unsigned kNewFileMode = 0666;
// The longest password the read side keeps.
constexpr size_t kMaxReaderPassword = 79;
// The DOS folder attribute in the low byte of the external attributes.
constexpr uint32_t kFolderAttribute = 0x10;

LParam textParam(const std::string& s) { return reinterpret_cast<LParam>(s.c_str()); }

// The entry name as the password prompt takes it: "/" separators.
std::string storedFormOf(const std::string& processed) {
  std::string out = processed;
  std::replace(out.begin(), out.end(), '\\', '/');
  return out;
}

// A folder only by its DOS attributes: no trailing separator, the folder
// bit set and nothing declared to come out of it (an entry with data stays
// a file, as the attributes alone are not trusted over the data).
bool folderByAttributes(const EntryFacts& f) {
  return (f.externalAttributes & kFolderAttribute) != 0 && f.uncompressedSize == 0;
}

// A decoder result that says the data is no valid stream of its method.
bool isDataError(DecodeStatus s) {
  return s == DecodeStatus::BadData || s == DecodeStatus::BadBlockType || s == DecodeStatus::BadShannonFano;
}

// The path a name typed in the rename dialog stands for: a bare name stays
// in the folder of the file it replaces; a path is taken as typed.
std::string renamedPath(const std::string& original, const std::string& typed) {
  const std::string native = toNativePath(typed);
  if (native.find('/') == std::string::npos) return directoryPart(original) + native;
  return absolutePath(joinPath(directoryPart(original), native));
}

}  // namespace

void ExtractJob::processEntry(const Selected& sel) {
  LocalEntry local;
  const ReadStatus read = reader_.readLocalHeader(sel.header, local);
  if (read == ReadStatus::NotZip) {
    fail(ReadStatus::NotZip);
    return;
  }
  if (read == ReadStatus::Skipped) {  // the local name was cut: it cannot name the file
    skip();
    return;
  }
  // A local header without a name: the central name names the entry.
  if (local.name.empty()) local.name = sel.name;
  const EntryFacts f = entryFactsOf(local.header, sel.header);
  const bool directoryEntry = (!local.name.empty() && local.name.back() == '\\') || folderByAttributes(f);

  std::string path;
  switch (opt_.mode) {
    case ExtractMode::Test:
    case ExtractMode::ToFile:
      if (directoryEntry) return;  // nothing to write or test: done
      path = opt_.destFile;        // empty in the test run: a temporary file is made
      break;
    case ExtractMode::Normal:
    case ExtractMode::View:
      if (!mapOutput(local, f, path)) return;
      break;
  }

  ZipKeys keys;
  const bool encrypted = (f.flags & kFlagEncrypted) != 0;
  if (encrypted && !unlock(local, f, keys, false)) return;
  const int64_t dataPosition = local.dataOffset + (encrypted ? static_cast<int64_t>(kEncryptionHeaderSize) : 0);

  if (opt_.mode != ExtractMode::Test) {
    if (isArchiveItself(path)) {  // writing there would destroy the archive being read
      fail(ReadStatus::ExistingNotReplaced);
      return;
    }
    const std::string mapped = path;
    if (!decideExisting(path, f)) {
      skip();
      return;
    }
    if (path != mapped && isArchiveItself(path)) {  // renamed onto the archive
      fail(ReadStatus::ExistingNotReplaced);
      return;
    }
  }

  ReadStatus s = extractMember(local.name, f, path, encrypted ? &keys : nullptr, dataPosition);
  while (s == kWrongKeys) {  // the password passed the header check by chance
    if (!unlock(local, f, keys, true)) return;
    s = extractMember(local.name, f, path, &keys, dataPosition);
  }
  if (s == ReadStatus::Skipped) {
    skip();
  } else if (s != ReadStatus::Ok) {
    fail(s);
  } else if (opt_.mode == ExtractMode::View) {
    if (openViewer(path)) {
      ++viewersStarted_;
    } else {
      // A viewer that does not start ends the run.
      fail(ReadStatus::Skipped);
      st_.cancel = true;
    }
  }
}

bool ExtractJob::mapOutput(const LocalEntry& local, const EntryFacts& f, std::string& path) {
  EntryPath p = mapEntryPath(local.name);
  if (!p.directoryEntry && folderByAttributes(f)) {
    if (!p.file.empty()) p.folders.push_back(std::move(p.file));
    p.file.clear();
    p.directoryEntry = true;
  }
  std::string folder;
  if (p.directoryEntry) {
    if (!opt_.dropPaths && !folders_->ensure(p.folders, folder)) {
      fail(ReadStatus::CrcError);
      return false;
    }
    // A name with no folder left ("\", "..\") names nothing: skipped,
    // with or without the stored folders.
    if (p.folders.empty()) skip();
    return false;
  }
  if (p.file.empty()) {
    skip();
    return false;
  }
  if (opt_.dropPaths) {
    if (!folders_->valid()) {
      fail(ReadStatus::CrcError);
      return false;
    }
    folder = folders_->root();
  } else if (!folders_->ensure(p.folders, folder)) {
    fail(ReadStatus::CrcError);
    return false;
  }
  path = joinPath(folder, p.file);
  if (!folders_->mayWriteFile(path)) {  // a link that leads out of the destination
    fail(ReadStatus::ExistingNotReplaced);
    return false;
  }
  return true;
}

bool ExtractJob::unlock(const LocalEntry& local, const EntryFacts& f, ZipKeys& keys, bool currentFailed) {
  EncryptionHeader header{};
  if (f.compressedSize < kEncryptionHeaderSize || !reader_.input().seek(local.dataOffset) ||
      !reader_.input().read(header.data(), header.size())) {
    fail(ReadStatus::CrcError);
    return false;
  }
  // A password given for the call and failing counts as rejected, and so
  // does one that passed the header check but not the data's checks.
  bool rejected = currentFailed || !st_.password.empty();
  bool untried = !currentFailed;
  for (;;) {
    if (untried && tryPassword(st_.password, header.data(), f.crc, f.time, &keys)) return true;
    untried = true;
    if (!st_.askPassword || st_.passwordAnswer == kPasswordSkipAll) {
      skip();
      return false;
    }
    PasswordRequest req;
    req.entryName = storedFormOf(local.name);
    req.lastPassword = st_.password;
    req.firstAttempt = !rejected;
    std::string typed;
    const PasswordAnswer answer = st_.prompts ? st_.prompts->askPassword(req, &typed) : PasswordAnswer::Never;
    if (answer == PasswordAnswer::Retry) {
      st_.password = typed.substr(0, kMaxReaderPassword);
      rejected = true;
      continue;
    }
    st_.passwordAnswer = answer == PasswordAnswer::Bypass ? kPasswordSkipOne : kPasswordSkipAll;
    skip();
    return false;
  }
}

bool ExtractJob::entryIsNewer(const std::string& path, const EntryFacts& f) const {
  const std::optional<std::time_t> entry = timeOfDosDateTime(combineDosDateTime(f.time, f.date));
  struct stat s {};
  if (!entry || ::stat(path.c_str(), &s) != 0) return false;
  // The disk time rounded up to an even second, as DOS times count.
  int64_t disk = static_cast<int64_t>(s.st_mtim.tv_sec) + (s.st_mtim.tv_nsec > 0 ? 1 : 0);
  if (disk % 2 != 0) ++disk;
  return static_cast<int64_t>(*entry) > disk;
}

bool ExtractJob::decideExisting(std::string& path, const EntryFacts& f) {
  if (!fileExists(path)) return true;
  // UnzipToFile and View always overwrite.
  const OverwriteMode mode = opt_.mode == ExtractMode::Normal ? opt_.overwrite : OverwriteMode::Always;
  switch (mode) {
    case OverwriteMode::Never:
      return false;
    case OverwriteMode::Always:
      return true;
    case OverwriteMode::NewerOnly:
      return entryIsNewer(path, f);
    case OverwriteMode::Ask:
      break;
  }
  if (st_.replaceAnswer == kReplaceAlways) return true;
  if (st_.replaceAnswer == kReplaceNever) return false;
  ReplaceRequest req;
  req.path = path;
  req.archiveNewer = entryIsNewer(path, f);
  req.allowRename = true;
  for (;;) {
    const ReplaceAnswer answer = st_.prompts ? st_.prompts->askReplace(req) : ReplaceAnswer::Never;
    switch (answer) {
      case ReplaceAnswer::Yes:
        return true;
      case ReplaceAnswer::No:
        return false;
      case ReplaceAnswer::Always:
        st_.replaceAnswer = kReplaceAlways;
        return true;
      case ReplaceAnswer::Never:
        st_.replaceAnswer = kReplaceNever;
        return false;
      case ReplaceAnswer::Rename:
        if (std::optional<std::string> name = st_.prompts->askRename(fileNamePart(path)); name && !name->empty()) {
          path = renamedPath(path, *name);
          return true;
        }
        break;  // cancelled: the replace question again
    }
  }
}

bool ExtractJob::isArchiveItself(const std::string& path) const {
  struct stat s {};
  return archiveKnown_ && ::stat(path.c_str(), &s) == 0 && s.st_dev == archiveDevice_ && s.st_ino == archiveInode_;
}

bool ExtractJob::enoughSpace(const std::string& path, uint64_t size) {
  if (size == 0 || freeUnknown_) return true;
  // The free space is read again only when the bytes counted down since the
  // last reading no longer cover the entry, so a run does not ask the file
  // system once per entry; a refusal always rests on a fresh reading.
  if (!knownFree_ || *knownFree_ < size) {
    knownFree_ = drives::freeSpace(path);
    if (!knownFree_) {
      freeUnknown_ = true;
      return true;
    }
  }
  if (*knownFree_ < size) return false;
  *knownFree_ -= size;
  return true;
}

ReadStatus ExtractJob::createOutput(File& out, const std::string& path) {
  const bool exists = fileExists(path);
  if (exists) {
    const std::optional<uint32_t> attributes = getFileAttributes(path);
    if (attributes && (*attributes & kAttrReadOnly) && !(*attributes & kAttrDirectory)) {
      // Checked here rather than left to the open, which succeeds for a
      // privileged user whatever the file's permissions say.
      if (!st_.eraseReadOnly) return ReadStatus::Skipped;
      setFileAttributes(path, kAttrArchive);
      return out.open(path, File::Mode::Create, kNewFileMode) ? ReadStatus::Ok : ReadStatus::ExistingNotReplaced;
    }
  }
  if (out.open(path, File::Mode::Create, kNewFileMode)) return ReadStatus::Ok;
  if (!exists) return ReadStatus::NotCreated;
  if (st_.eraseReadOnly) {
    setFileAttributes(path, kAttrArchive);
    if (out.open(path, File::Mode::Create, kNewFileMode)) return ReadStatus::Ok;
  }
  return ReadStatus::ExistingNotReplaced;
}

ReadStatus ExtractJob::extractMember(const std::string& name, const EntryFacts& f, const std::string& target,
                                     ZipKeys* keys, int64_t dataPosition) {
  const bool test = opt_.mode == ExtractMode::Test;
  std::string path = target;
  if (test) {
    if (!tempDrive_) tempDrive_ = destinationDriveStatus(tempFolder_);
    if (*tempDrive_ != ReadStatus::Ok) return *tempDrive_;
    path = getTempFileName(tempFolder_, kTestFilePrefix);
    if (path.empty()) return ReadStatus::NotCreated;
  }
  auto dropTemporary = [&] {
    if (test) removeFile(path);
  };
  if (!enoughSpace(path, f.uncompressedSize)) {
    dropTemporary();
    writeFailed_ = true;
    return ReadStatus::WriteFailed;
  }
  File out;
  if (const ReadStatus created = createOutput(out, path); created != ReadStatus::Ok) {
    dropTemporary();
    return created;
  }

  const uint64_t compressed = f.compressedSize - (keys ? kEncryptionHeaderSize : 0);
  EntryOutput sink(out, st_, name, f.uncompressedSize, !test);
  EntryInput source(reader_.input(), dataPosition, compressed, keys);
  if (!sink.valid() || !source.valid()) {
    out.close();
    dropTemporary();
    return ReadStatus::TestOpenFailed;  // the buffers cannot be allocated
  }

  notify(st_, kNotifyOpenFile, 0, textParam(name));
  DecodeHooks hooks;
  if (st_.pump) hooks.pump = [] { pumpMessages(); };
  const DecodeStatus decoded = decodeEntryData(f.method, f.flags, f.uncompressedSize, source, sink, &hooks);

  if (!sink.finish()) {
    notify(st_, kNotifyCloseFile, 0, textParam(name));
    out.close();
    dropTemporary();
    writeFailed_ = true;
    return ReadStatus::WriteFailed;
  }
  if (!test) notify(st_, kNotifyExpanding, 100, textParam(name));
  out.close();

  const bool damaged =
      sink.overran() || sink.total() < f.uncompressedSize || (f.uncompressedSize != 0 && sink.crc() != f.crc);
  // Encrypted: bad data means a wrong password that passed the header check
  // (an entry declared empty has no CRC to show it, only its decoding).
  if (keys && (damaged || (f.uncompressedSize == 0 && isDataError(decoded)))) {
    notify(st_, kNotifyCloseFile, 0, textParam(name));
    removeFile(path);
    return kWrongKeys;
  }

  if (!test) {
    if (const std::optional<std::time_t> t = timeOfDosDateTime(combineDosDateTime(f.time, f.date)))
      setFileTime(path, *t);
    if (const uint32_t attributes = f.externalAttributes & kRestoredAttributeMask; attributes != 0)
      setFileAttributes(path, attributes);
  }

  const ReadStatus status = damaged ? ReadStatus::CrcError : ReadStatus::Ok;
  notify(st_, kNotifyCloseFile, status == ReadStatus::Ok ? 1 : 0, textParam(name));
  if (test) {
    notify(st_, kNotifyTest, static_cast<WParam>(statusCode(status)), textParam(name));
    removeFile(path);
  }
  return status;
}

}  // namespace vz::engine
