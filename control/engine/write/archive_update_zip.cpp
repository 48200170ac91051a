// ZipFiles: adding and replacing files (steps in archive_update.h).
#include <map>
#include <new>
#include <optional>
#include <vector>

#include "control/engine/write/archive_update.h"
#include "control/engine/write/archive_update_run.h"
#include "control/engine/format/dos_time.h"
#include "control/engine/write/encrypt_pass.h"
#include "control/engine/write/file_select.h"
#include "control/engine/common/prompts.h"
#include "control/engine/write/zip_writer.h"
#include "control/engine/write/zip_writer_file.h"
#include "platform/attributes.h"
#include "platform/charcase.h"
#include "platform/file.h"

namespace vz::engine {

namespace {

// The most entries an end record can count.
constexpr size_t kMaxEntries = 0xFFFF;

struct NoCaseLess {
  bool operator()(const std::string& a, const std::string& b) const { return compareNoCase(a, b) < 0; }
};

// The DOS stamp of a file now; nullopt when it is gone.
std::optional<uint32_t> currentStamp(const std::string& path) {
  const std::optional<std::time_t> t = getFileTime(path);
  if (!t) return std::nullopt;
  return dosDateTimeOf(*t);
}

class ZipRun {
 public:
  ZipRun(WriteEngine& engine, const ZipFilesRequest& request) : engine_(engine), req_(request) {}

  WriteStatus run() {
    if (req_.zipName.empty() || req_.mask.empty()) return WriteStatus::NothingToDo;
    engine_.setCompressionMode(engine_.compressionMode);
    const ArchiveTarget target = describeTarget(req_.zipName);
    if (const CatalogueStatus s = loadCatalogue(req_.zipName, {}, catalogue_); s != CatalogueStatus::Ok)
      return writeStatusOfLoader(s);

    SelectOptions so;
    so.mask = splitMask(req_.mask);
    so.recurse = req_.recurse;
    so.storePathMethod = req_.storePathMethod;
    so.useArchiveFlag = req_.useArchiveFlag;
    so.excludeDevice = target.device;
    so.excludeInode = target.inode;
    found_ = selectFiles(so);
    sortOut();
    decideMarkedEntries();
    dropNewFiles();
    if (replacing_ == 0 && newFiles_.empty()) {
      const int16_t mode = engine_.requestedOverwriteMode;
      return (mode == kOverwriteNewer || mode == kOverwriteFreshen) ? WriteStatus::Ok : WriteStatus::NothingToDo;
    }

    if (const PlaceStatus s = checkWritable(target); s != PlaceStatus::Ok) return writeStatusOf(s);
    if (const WriteStatus s = build(target); s != WriteStatus::Ok) return s;
    const bool cancelled = engine_.cancel;
    if (const WriteStatus s = place(target); s != WriteStatus::Ok) return s;

    WriteStatus result = cancelled ? WriteStatus::Cancelled : warning_;
    if (!req_.password.empty()) {
      const EncryptStatus pass = runEncryptionPass(engine_, req_.zipName, req_.password);
      if (pass != EncryptStatus::Ok && pass != EncryptStatus::NothingToDo) result = WriteStatus::EncryptFailed;
    }
    return result;
  }

 private:
  // Each found file either marks the entry of its stored name or joins the
  // new files; a stored name is taken once.
  void sortOut() {
    std::map<std::string, size_t, NoCaseLess> seen;
    for (size_t i = 0; i < found_.size(); ++i) {
      if (!seen.emplace(found_[i].storedName, i).second) continue;
      ArchiveEntry* e = catalogue_.findByName(found_[i].storedName);
      if (e && e->mark == 0) {
        e->mark = static_cast<uint32_t>(i + 1);
      } else if (!e) {
        newFiles_.push_back(i);
      }
    }
  }

  // The overwrite mode decides each marked entry (step 4).
  void decideMarkedEntries() {
    for (ArchiveEntry* e = catalogue_.entries.first(); e; e = e->next.get()) {
      if (e->mark == 0) continue;
      const FoundFile& f = found_[e->mark - 1];
      const std::optional<uint32_t> t = currentStamp(f.nativePath);
      bool replace = false;
      if (t) {
        const bool newer = *t > e->dosDateTime;
        switch (engine_.currentOverwriteMode) {
          case kOverwriteAlways:
            replace = true;
            break;
          case kOverwriteNewer:
          case kOverwriteFreshen:
            replace = newer;
            break;
          case kOverwriteAsk:
            replace = (!e->name.empty() && e->name.back() == '/') || ask(*e, newer);
            break;
          default:  // never, and modes the design does not know: the archive keeps what it has
            replace = false;
            break;
        }
      }
      if (replace)
        ++replacing_;
      else
        e->mark = 0;
    }
  }

  // The replace question; "always" and "never" change the mode in force.
  bool ask(const ArchiveEntry& e, bool diskNewer) {
    engine_.archivedCopyOlder = diskNewer;
    ReplaceRequest rq;
    rq.path = e.displayName;
    rq.archiveNewer = !diskNewer;
    rq.allowRename = false;
    const ReplaceAnswer a = engine_.prompts ? engine_.prompts->askReplace(rq) : ReplaceAnswer::Never;
    engine_.archivedCopyOlder = false;
    switch (a) {
      case ReplaceAnswer::Yes:
        return true;
      case ReplaceAnswer::Always:
        engine_.currentOverwriteMode = kOverwriteAlways;
        return true;
      case ReplaceAnswer::Never:
        engine_.currentOverwriteMode = kOverwriteNever;
        return false;
      default:
        return false;
    }
  }

  // Step 5: freshening adds nothing; files gone meanwhile are not added.
  void dropNewFiles() {
    if (engine_.requestedOverwriteMode == kOverwriteFreshen) {
      newFiles_.clear();
      return;
    }
    std::vector<size_t> kept;
    for (size_t i : newFiles_)
      if (fileExists(found_[i].nativePath)) kept.push_back(i);
    newFiles_.swap(kept);
  }

  DiskFile diskFile(size_t i) const {
    const FoundFile& f = found_[i];
    return DiskFile{f.nativePath, f.shownPath, f.storedName, f.isDirectory};
  }

  // A file written (or failed as a warning). False for a fatal failure.
  bool account(const FileWriteResult& r, size_t i) {
    if (r.fatal) {
      fatal_ = r.status;
      return false;
    }
    if (r.status != WriteStatus::Ok)
      warning_ = r.status;
    else
      written_.push_back(i);
    return true;
  }

  // Steps 7 to 10 up to the finished temporary file.
  WriteStatus build(const ArchiveTarget& target) {
    if (const BuildStatus s = builder_.create(); s != BuildStatus::Ok) return writeStatusOf(s);
    File old;
    if (target.exists && !old.open(target.native, File::Mode::Read)) return WriteStatus::IoError;
    if (old.isOpen()) {
      if (const BuildStatus s = builder_.copyBytes(old, 0, catalogue_.prefixCount); s != BuildStatus::Ok)
        return writeStatusOf(s);
    }
    FileWriteOptions fo;
    fo.compressionMode = engine_.compressionMode;
    fo.window = engine_.window;
    fo.pump = engine_.pump;

    for (const ArchiveEntry* e = catalogue_.entries.first(); e; e = e->next.get()) {
      if (e->mark != 0 && !engine_.cancel) {
        const size_t i = e->mark - 1;
        const FileWriteResult r = writeDiskFile(builder_, diskFile(i), fo);
        if (!account(r, i)) return fatal_;
        if (r.status == WriteStatus::Ok) continue;  // replaced; otherwise the old entry stays
      }
      if (const BuildStatus s = builder_.copyEntry(old, *e); s != BuildStatus::Ok) return writeStatusOf(s);
    }
    for (size_t i : newFiles_) {
      if (engine_.cancel) break;
      if (builder_.recordCount() >= kMaxEntries) {
        warning_ = WriteStatus::Unreadable;
        continue;
      }
      if (!account(writeDiskFile(builder_, diskFile(i), fo), i)) return fatal_;
    }
    old.close();
    return writeStatusOf(builder_.finish(catalogue_.comment));
  }

  // Step 10's end and step 11.
  WriteStatus place(const ArchiveTarget& target) {
    report(engine_, kNotifyWriting, 0, req_.zipName);
    if (const PlaceStatus s = putInPlace(builder_.path(), target); s != PlaceStatus::Ok) return writeStatusOf(s);
    builder_.release();
    if (req_.removeArchiveFlag) {
      for (size_t i : written_) {
        const std::string& path = found_[i].nativePath;
        if (const std::optional<uint32_t> a = getFileAttributes(path); a && (*a & kAttrArchive))
          setFileAttributes(path, *a & ~kAttrArchive);
      }
    }
    return WriteStatus::Ok;
  }

  WriteEngine& engine_;                    // modes, reports, cancel request, prompts
  const ZipFilesRequest& req_;             // the host's arguments
  LoadedCatalogue catalogue_;              // the archive's entries; mark = index of the replacing file + 1
  std::vector<FoundFile> found_;           // the files the mask names, in search order
  std::vector<size_t> newFiles_;           // indexes into found_ of the files to add
  std::vector<size_t> written_;            // indexes into found_ of the files the new archive holds
  size_t replacing_ = 0;                   // entries to replace from their files
  WriteStatus warning_ = WriteStatus::Ok;  // the last warning (IoError or Unreadable)
  WriteStatus fatal_ = WriteStatus::Ok;    // the failure that ended the build
  ArchiveBuilder builder_;                 // the new archive
};

}  // namespace

WriteStatus zipFiles(WriteEngine& engine, const ZipFilesRequest& request) {
  const WriteOperation op;
  if (!op.acquired()) return WriteStatus::IoError;
  try {
    return ZipRun(engine, request).run();
  } catch (const std::bad_alloc&) {
    return WriteStatus::NoMemory;
  }
}

}  // namespace vz::engine
