// The extractors' shared machinery (see un_base.h): the run, one entry's
// protocol of events, and the writing of files, folders and links inside
// the destination through directory descriptors (extract_target.h).
#include "manager/readers/un_base.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "manager/readers/arc_lister.h"
#include "manager/readers/extract_target.h"
#include "manager/readers/reader_errors.h"

namespace vz::readers {

namespace {

// A temporary name in the entry's folder that no stored name takes.
int openTemp(int dirFd, std::string& name) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = ".vz-extract-" + std::to_string(getpid()) + "-" + std::to_string(++counter) + ".tmp";
    const int fd = openat(dirFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// The archived time (with OrigDate) as both times of an open file, or of a
// name in a folder (a link itself with AT_SYMLINK_NOFOLLOW).
bool stampTimes(std::optional<std::time_t> mtime, struct timespec* ts) {
  if (!mtime) return false;
  ts[0].tv_sec = ts[1].tv_sec = *mtime;
  ts[0].tv_nsec = ts[1].tv_nsec = 0;
  return true;
}
void setTimes(int fd, std::optional<std::time_t> mtime) {
  struct timespec ts[2];
  if (stampTimes(mtime, ts)) futimens(fd, ts);
}
void setTimesAt(int dirFd, const std::string& name, std::optional<std::time_t> mtime) {
  struct timespec ts[2];
  if (stampTimes(mtime, ts)) utimensat(dirFd, name.c_str(), ts, AT_SYMLINK_NOFOLLOW);
}

}  // namespace

// ---- the output of one file

TUnBase::EntrySink::~EntrySink() {
  if (fd_ >= 0) close(fd_);
  if (!temp_.empty() && parentFd_ >= 0) unlinkat(parentFd_, temp_.c_str(), 0);
  if (parentFd_ >= 0) close(parentFd_);
}

bool TUnBase::EntrySink::write(const uint8_t* data, size_t count) {
  while (count > 0) {
    const ssize_t n = ::write(fd_, data, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    count -= static_cast<size_t>(n);
  }
  owner_->progress(*this, false);
  return true;
}

void TUnBase::progress(EntrySink& sink, bool done) {
  const int step = progressStep(ProgressNotify);
  const uint64_t size = sink.item_.size;
  // Without a known size (compress data) every step comes at the end.
  if (size == 0 && !done) return;
  const int percent = done ? 100 : static_cast<int>(std::min<uint64_t>(100, sink.total() * 100 / size));
  while (sink.nextStep_ <= percent && sink.nextStep_ <= 100) {
    if (OnProgress) OnProgress(*this, sink.item_.name, static_cast<uint8_t>(sink.nextStep_));
    sink.nextStep_ += step;
  }
}

// ---- the run

bool TUnBase::beginRun() {
  extracted_ = 0;
  written_.clear();
  folders_.clear();
  umask_ = ::umask(022);
  ::umask(umask_);
  if (OnActivate) OnActivate(*this);
  const std::string dir = ExtractDir.empty() ? std::string(".") : ExtractDir;
  destFd_ = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (destFd_ < 0 && errno == ENOENT && vz::makeDirectories(dir))
    destFd_ = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (destFd_ < 0) {
    raiseError(E_CREATEDIR);
    if (OnDeactivate) OnDeactivate(*this);
    return false;
  }
  return true;
}

int32_t TUnBase::endRun() {
  // Deepest first, so that making a folder's contents cannot move its time.
  for (auto it = folders_.rbegin(); it != folders_.rend(); ++it) {
    const int fd = openFolderChain(destFd_, it->parts, it->parts.size(), false);
    if (fd < 0) continue;
    if (it->unixMode) fchmod(fd, (it->unixMode & 0777 & ~umask_) | 0700);
    setTimes(fd, SetDateTo == OrigDate ? it->mtime : std::nullopt);
    close(fd);
  }
  folders_.clear();
  if (destFd_ >= 0) close(destFd_);
  destFd_ = -1;
  if (OnDeactivate) OnDeactivate(*this);
  return extracted_;
}

bool TUnBase::wanted(const std::string& name) const { return fileSpecMatches(name, FileSpec); }

// ---- one entry

int TUnBase::prepare(const ExtractItem& item, std::vector<std::string>& parts) {
  bool extract = true;
  if (OnBegin) OnBegin(*this, item.name, item.recNum, extract);
  if (!extract) return -1;
  parts = safeRelativePath(item.name, UseStoredDirs);
  if (parts.empty()) {
    raiseError(E_INVALIDNAME);
    return -1;
  }
  const int parent = openFolderChain(destFd_, parts, parts.size() - 1, true);
  if (parent < 0) raiseError(E_CREATEDIR);
  return parent;
}

std::vector<ArcEntry> TUnBase::walkedEntries(bool blankDirs) {
  std::vector<ArcEntry> entries;
  TArcLister lister;
  lister.FileSpec = "*.*";  // every entry (the mask rule's match-all)
  lister.ShowBlankDirs = blankDirs;
  lister.OnError = [this](TZipCommon&, const std::string&, const std::string& volume, int32_t code) {
    raiseError(code, volume);
  };
  lister.OnRead = [&entries](TArcLister& l, int32_t, int32_t) { entries.push_back(l.entry()); };
  lister.setArchiveFile(archiveFile_);
  lister.activate();
  return entries;
}

bool TUnBase::mayReplace(const ExtractItem& item, int parentFd, const std::string& leaf) {
  struct stat st;
  if (fstatat(parentFd, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return true;
  if (S_ISDIR(st.st_mode)) {
    raiseError(E_DIRECTORY);
    return false;
  }
  bool accept = true;  // no handler: replace
  if (OnFileExists) OnFileExists(*this, item.name, vz::toLocalTime(st.st_mtime), accept);
  return accept;
}

std::unique_ptr<TUnBase::EntrySink> TUnBase::beginEntry(const ExtractItem& item) {
  std::vector<std::string> parts;
  const int parent = prepare(item, parts);
  if (parent < 0) return nullptr;
  std::unique_ptr<EntrySink> sink(new EntrySink());
  sink->owner_ = this;
  sink->item_ = item;
  sink->parentFd_ = parent;
  sink->parts_ = std::move(parts);
  if (!mayReplace(item, parent, sink->parts_.back())) return nullptr;
  sink->fd_ = openTemp(parent, sink->temp_);
  if (sink->fd_ < 0) {
    sink->temp_.clear();
    raiseError(E_WRITE);
    return nullptr;
  }
  sink->setLimit(item.limit);
  sink->nextStep_ = progressStep(ProgressNotify);
  return sink;
}

std::unique_ptr<TUnBase::EntrySink> TUnBase::restartEntry(std::unique_ptr<EntrySink> sink) {
  if (!sink) return nullptr;
  if (ftruncate(sink->fd_, 0) != 0 || lseek(sink->fd_, 0, SEEK_SET) != 0) {
    raiseError(E_WRITE);
    return nullptr;
  }
  // A fresh sink takes the file over, so that the counts start from zero.
  std::unique_ptr<EntrySink> fresh(new EntrySink());
  fresh->owner_ = this;
  fresh->item_ = sink->item_;
  fresh->parts_ = std::move(sink->parts_);
  std::swap(fresh->parentFd_, sink->parentFd_);
  std::swap(fresh->fd_, sink->fd_);
  std::swap(fresh->temp_, sink->temp_);
  fresh->setLimit(fresh->item_.limit);
  fresh->nextStep_ = progressStep(ProgressNotify);
  return fresh;
}

bool TUnBase::finishEntry(std::unique_ptr<EntrySink> sink, int32_t error) {
  if (!sink) return false;
  if (error == 0 && sink->sinkFailed()) error = E_WRITE;
  const ExtractItem& item = sink->item_;
  if (error != 0) {
    raiseError(error);
    if (error == E_CRCERROR && OnEnd) OnEnd(*this, item.name, false);
    return false;  // the sink's destructor removes the temporary file
  }
  unsigned mode = item.unixMode ? item.unixMode & 0777 : 0666;
  mode &= ~umask_;
  if (item.dosAttributes & vz::kAttrReadOnly) mode &= ~0222u;
  fchmod(sink->fd_, mode);
  setTimes(sink->fd_, SetDateTo == OrigDate ? item.mtime : std::nullopt);
  const bool closed = close(sink->fd_) == 0;
  sink->fd_ = -1;
  if (!closed || renameat(sink->parentFd_, sink->temp_.c_str(), sink->parentFd_, sink->parts_.back().c_str()) != 0) {
    raiseError(closed ? E_WRITE : E_CLOSE);
    return false;
  }
  sink->temp_.clear();
  progress(*sink, true);
  written_.insert(joinPath(sink->parts_));
  ++extracted_;
  if (OnEnd) OnEnd(*this, item.name, true);
  return true;
}

bool TUnBase::makeFolder(const ExtractItem& item) {
  if (!UseStoredDirs) return false;
  bool extract = true;
  if (OnBegin) OnBegin(*this, item.name, item.recNum, extract);
  if (!extract) return false;
  std::vector<std::string> parts = safeRelativePath(item.name, true);
  if (parts.empty()) return false;  // the destination itself
  const int fd = openFolderChain(destFd_, parts, parts.size(), true);
  if (fd < 0) {
    raiseError(E_CREATEDIR);
    return false;
  }
  close(fd);
  folders_.push_back({std::move(parts), item.mtime, item.unixMode});
  if (OnEnd) OnEnd(*this, item.name, true);
  return true;
}

bool TUnBase::makeSymlink(const ExtractItem& item, const std::string& target) {
  std::vector<std::string> parts;
  const int parent = prepare(item, parts);
  if (parent < 0) return false;
  bool done = false;
  std::string temp = ".vz-link-" + std::to_string(getpid()) + ".tmp";
  if (!linkStaysInside(parts, target)) {
    raiseError(E_INVALIDNAME);
  } else if (mayReplace(item, parent, parts.back())) {
    unlinkat(parent, temp.c_str(), 0);
    if (symlinkat(target.c_str(), parent, temp.c_str()) != 0) {
      raiseError(E_WRITE);
    } else {
      setTimesAt(parent, temp, SetDateTo == OrigDate ? item.mtime : std::nullopt);
      done = renameat(parent, temp.c_str(), parent, parts.back().c_str()) == 0;
      if (!done) {
        unlinkat(parent, temp.c_str(), 0);
        raiseError(E_WRITE);
      }
    }
  }
  close(parent);
  if (done) {
    ++extracted_;
    if (OnEnd) OnEnd(*this, item.name, true);
  }
  return done;
}

bool TUnBase::copyEarlier(const ExtractItem& item, const std::string& earlierName) {
  const std::vector<std::string> source = safeRelativePath(earlierName, UseStoredDirs);
  int srcFd = -1;
  if (!source.empty() && written_.count(joinPath(source))) {
    const int dir = openFolderChain(destFd_, source, source.size() - 1, false);
    if (dir >= 0) {
      srcFd = openat(dir, source.back().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
      close(dir);
    }
  }
  if (srcFd < 0) {
    raiseError(E_FILENOTFOUND);
    return false;
  }
  struct stat st;
  ExtractItem copy = item;
  copy.size = copy.limit = fstat(srcFd, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
  std::unique_ptr<EntrySink> sink = beginEntry(copy);
  int32_t error = 0;
  if (sink) {
    uint8_t buf[65536];
    for (;;) {
      const ssize_t n = read(srcFd, buf, sizeof buf);
      if (n == 0) break;
      if (n < 0 || !sink->flush(buf, static_cast<size_t>(n))) {
        error = n < 0 ? E_READ : E_WRITE;
        break;
      }
    }
  }
  close(srcFd);
  return finishEntry(std::move(sink), error);
}

}  // namespace vz::readers
