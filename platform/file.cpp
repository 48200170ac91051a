// Files over POSIX descriptors.
//
// Every descriptor is opened with O_CLOEXEC so that programs we start never
// inherit the archives we hold open. Every system call that can be
// interrupted by a signal is retried on EINTR, and reads and writes loop
// until the whole request is served, so callers never see a short transfer
// that the kernel merely split.
//
// Simulated drives (drives.h) impose their limits here: opening for writing
// on a write-protected simulated medium fails with EROFS, and the free space
// of a simulated medium is taken as a budget by which the file may grow;
// a write that would pass it writes what fits and fails with ENOSPC, as a
// full disk does.
#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/drives.h"

namespace vz {

namespace {

// One read(2) that retries on EINTR.
ssize_t readOnce(int fd, void* buf, size_t n) {
  ssize_t r;
  do {
    r = ::read(fd, buf, n);
  } while (r < 0 && errno == EINTR);
  return r;
}

// Reads until n bytes or the end; the count read, -1 on an error.
int64_t readLoop(int fd, void* buf, size_t n) {
  auto* p = static_cast<unsigned char*>(buf);
  size_t done = 0;
  while (done < n) {
    ssize_t r = readOnce(fd, p + done, n - done);
    if (r < 0) return -1;
    if (r == 0) break;
    done += static_cast<size_t>(r);
  }
  return static_cast<int64_t>(done);
}

// Writes all n bytes; false on an error (errno kept).
bool writeLoop(int fd, const void* buf, size_t n) {
  const auto* p = static_cast<const unsigned char*>(buf);
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (w == 0) {  // no progress and no error: treat as a full medium
      errno = ENOSPC;
      return false;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

int closeFd(int fd) {
  // Linux releases the descriptor even when close reports EINTR, so it is
  // never retried (a retry could close a descriptor another thread got).
  return ::close(fd);
}

bool isWriteMode(File::Mode mode) { return mode != File::Mode::Read; }

}  // namespace

File::~File() { close(); }

File::File(File&& other) noexcept : fd_(other.fd_), writeAllowance_(other.writeAllowance_) {
  other.fd_ = -1;
  other.writeAllowance_.reset();
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.fd_;
    writeAllowance_ = other.writeAllowance_;
    other.fd_ = -1;
    other.writeAllowance_.reset();
  }
  return *this;
}

bool File::open(const std::string& path, Mode mode, unsigned createMode) {
  close();
  int flags = O_CLOEXEC;
  switch (mode) {
    case Mode::Read:
      flags |= O_RDONLY;
      break;
    case Mode::ReadWrite:
      flags |= O_RDWR;
      break;
    case Mode::Create:
      flags |= O_RDWR | O_CREAT | O_TRUNC;
      break;
    case Mode::CreateNew:
      flags |= O_RDWR | O_CREAT | O_EXCL;
      break;
  }
  std::optional<uint64_t> allowance;
  if (isWriteMode(mode)) {
    // Refuse before touching the file, so a write-protected simulated
    // medium is left exactly as it was.
    bool readOnly = false;
    allowance = drives::simulatedWriteAllowance(path, &readOnly);
    if (readOnly) {
      errno = EROFS;
      return false;
    }
  }
  int fd;
  do {
    fd = ::open(path.c_str(), flags, static_cast<mode_t>(createMode));
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  if (allowance && mode == Mode::Create) {
    // Truncation gave the old content's bytes back to the medium.
    bool readOnly = false;
    allowance = drives::simulatedWriteAllowance(path, &readOnly);
  }
  fd_ = fd;
  writeAllowance_ = allowance;
  return true;
}

void File::close() {
  if (fd_ >= 0) {
    closeFd(fd_);
    fd_ = -1;
  }
  writeAllowance_.reset();
}

int64_t File::size() const {
  struct stat st;
  if (fd_ < 0) {
    errno = EBADF;
    return -1;
  }
  if (::fstat(fd_, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool File::seek(int64_t pos) {
  if (pos < 0) {
    errno = EINVAL;
    return false;
  }
  return ::lseek(fd_, static_cast<off_t>(pos), SEEK_SET) == static_cast<off_t>(pos);
}

int64_t File::tell() const {
  off_t p = ::lseek(fd_, 0, SEEK_CUR);
  return p < 0 ? -1 : static_cast<int64_t>(p);
}

int64_t File::read(void* buf, size_t n) {
  if (fd_ < 0) {
    errno = EBADF;
    return -1;
  }
  return readLoop(fd_, buf, n);
}

bool File::readExact(void* buf, size_t n) {
  int64_t r = read(buf, n);
  if (r < 0) return false;
  if (static_cast<size_t>(r) != n) {
    errno = EIO;  // the file ended early
    return false;
  }
  return true;
}

int64_t File::readAt(int64_t offset, void* buf, size_t n) const {
  if (fd_ < 0) {
    errno = EBADF;
    return -1;
  }
  if (offset < 0) {
    errno = EINVAL;
    return -1;
  }
  auto* p = static_cast<unsigned char*>(buf);
  size_t done = 0;
  while (done < n) {
    ssize_t r = ::pread(fd_, p + done, n - done, static_cast<off_t>(offset + static_cast<int64_t>(done)));
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) break;
    done += static_cast<size_t>(r);
  }
  return static_cast<int64_t>(done);
}

size_t File::bytesThatFit(size_t n) const {
  if (!writeAllowance_) return n;
  int64_t pos = tell();
  int64_t sz = size();
  if (pos < 0 || sz < 0) return n;  // the write itself will report the error
  // Only bytes past the current end take space from the medium.
  uint64_t end = static_cast<uint64_t>(pos) + n;
  uint64_t limit = static_cast<uint64_t>(sz) + *writeAllowance_;
  if (end <= limit) return n;
  return static_cast<uint64_t>(pos) >= limit ? 0 : static_cast<size_t>(limit - static_cast<uint64_t>(pos));
}

bool File::write(const void* buf, size_t n) {
  if (fd_ < 0) {
    errno = EBADF;
    return false;
  }
  size_t fit = bytesThatFit(n);
  int64_t sizeBefore = writeAllowance_ ? size() : 0;
  bool ok = writeLoop(fd_, buf, fit);
  if (writeAllowance_ && sizeBefore >= 0) {
    int64_t sizeAfter = size();
    if (sizeAfter > sizeBefore) {
      uint64_t grown = static_cast<uint64_t>(sizeAfter - sizeBefore);
      *writeAllowance_ = grown >= *writeAllowance_ ? 0 : *writeAllowance_ - grown;
    }
  }
  if (!ok) return false;
  if (fit < n) {
    errno = ENOSPC;
    return false;
  }
  return true;
}

bool File::truncate(int64_t length) {
  if (length < 0) {
    errno = EINVAL;
    return false;
  }
  int r;
  do {
    r = ::ftruncate(fd_, static_cast<off_t>(length));
  } while (r != 0 && errno == EINTR);
  return r == 0;
}

bool File::sync() {
  int r;
  do {
    r = ::fsync(fd_);
  } while (r != 0 && errno == EINTR);
  return r == 0;
}

bool fileExists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

bool isRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<int64_t> fileSize(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return static_cast<int64_t>(st.st_size);
}

bool removeFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool makeDirectories(const std::string& path) {
  if (path.empty()) {
    errno = ENOENT;
    return false;
  }
  if (isDirectory(path)) return true;
  // Create each missing level from the top down.
  size_t pos = 0;
  while (pos != std::string::npos) {
    pos = path.find('/', pos + 1);
    std::string part = path.substr(0, pos);
    if (part.empty()) continue;
    if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
  }
  return isDirectory(path);
}

bool removeDirectory(const std::string& path) { return ::rmdir(path.c_str()) == 0; }

bool renameFile(const std::string& from, const std::string& to) { return ::rename(from.c_str(), to.c_str()) == 0; }

bool writeFileAtomic(const std::string& path, std::string_view bytes, unsigned createMode) {
  // A link is replaced through its target, so the link itself survives.
  std::string target = path;
  struct stat lst;
  if (::lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
    if (char* real = ::realpath(path.c_str(), nullptr)) {
      target = real;
      std::free(real);
    }
  }
  struct stat old;
  bool hadOld = ::stat(target.c_str(), &old) == 0;
  if (hadOld && S_ISDIR(old.st_mode)) {
    errno = EISDIR;
    return false;
  }

  // The temporary name: beside the target (one file system, so rename is
  // atomic), unique per process and call; retried if someone else has it.
  static std::atomic<unsigned> counter{0};
  File tmp;
  std::string tmpPath;
  for (int attempt = 0;; ++attempt) {
    tmpPath = target + ".vztmp" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
    if (tmp.open(tmpPath, File::Mode::CreateNew, hadOld ? 0600 : createMode)) break;
    if (errno != EEXIST || attempt > 100) return false;
  }
  auto fail = [&] {
    int saved = errno;
    tmp.close();
    ::unlink(tmpPath.c_str());
    errno = saved;
    return false;
  };
  if (hadOld && ::fchmod(tmp.fd(), old.st_mode & 07777) != 0) return fail();
  if (!tmp.write(bytes.data(), bytes.size())) return fail();
  if (!tmp.sync()) return fail();
  tmp.close();
  if (::rename(tmpPath.c_str(), target.c_str()) != 0) {
    int saved = errno;
    ::unlink(tmpPath.c_str());
    errno = saved;
    return false;
  }
  // Make the rename itself durable; a failure here does not undo it.
  size_t slash = target.rfind('/');
  std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
  int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    closeFd(dfd);
  }
  return true;
}

std::optional<std::string> readWholeFile(const std::string& path) {
  File f;
  if (!f.open(path, File::Mode::Read)) return std::nullopt;
  std::string out;
  try {
    int64_t sz = f.size();
    if (sz > 0) out.reserve(static_cast<size_t>(sz));
    char buf[65536];
    for (;;) {
      int64_t r = f.read(buf, sizeof buf);
      if (r < 0) return std::nullopt;
      if (r == 0) break;
      out.append(buf, static_cast<size_t>(r));
    }
  } catch (const std::bad_alloc&) {
    errno = ENOMEM;
    return std::nullopt;
  }
  return out;
}

}  // namespace vz
