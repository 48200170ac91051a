// Lock, read and atomic replacement of store files (see lockedstore.h).
#include "platform/lockedstore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <new>
#include <vector>

namespace vz::store {

namespace {

// How often a writer re-opens the lock file after finding that the file it
// locked was removed by the previous holder. Each retry means another
// process held the lock meanwhile, so the bound is only a guard against a
// pathological loop, never reached in practice.
constexpr int kLockAttempts = 10000;
// Permission of lock files and of temporary files before their final mode.
constexpr mode_t kPrivateFileMode = 0600;

// Folder part and name part of a path ("." for a bare name).
void splitPath(const std::string& path, std::string& folder, std::string& name) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    folder = ".";
    name = path;
  } else {
    folder = slash == 0 ? std::string("/") : path.substr(0, slash);
    name = path.substr(slash + 1);
  }
}

std::string siblingPath(const std::string& path, const std::string& suffix) {
  std::string folder, name;
  splitPath(path, folder, name);
  return (folder == "/" ? std::string() : folder) + "/." + name + suffix;
}

bool writeAll(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

WriteLock::WriteLock(const std::string& storePath) : lockPath_(siblingPath(storePath, ".lock")) {
  for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
    const int fd = open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kPrivateFileMode);
    if (fd < 0) return;
    int rc;
    while ((rc = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (rc != 0) {
      const int saved = errno;
      close(fd);
      errno = saved;
      return;
    }
    // The previous holder removes the lock file when it is done. When the
    // file we locked is no longer the one at lockPath_, start again.
    struct stat locked, current;
    if (fstat(fd, &locked) == 0 && stat(lockPath_.c_str(), &current) == 0 && locked.st_dev == current.st_dev &&
        locked.st_ino == current.st_ino) {
      fd_ = fd;
      return;
    }
    close(fd);
  }
}

WriteLock::~WriteLock() {
  if (fd_ < 0) return;
  const int saved = errno;  // releasing must not disturb the caller's error
  // Remove first, then unlock: a waiter that gets the lock afterwards sees
  // that its file is gone and retries on a fresh one.
  unlink(lockPath_.c_str());
  close(fd_);
  errno = saved;
}

ReadStatus readAll(const std::string& path, std::string& out) {
  out.clear();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);  // a FIFO must not block
  if (fd < 0) return (errno == ENOENT || errno == ENOTDIR) ? ReadStatus::Missing : ReadStatus::Failed;
  struct stat st;
  if (fstat(fd, &st) != 0) {
    const int saved = errno;
    close(fd);
    errno = saved;
    return ReadStatus::Failed;
  }
  if (!S_ISREG(st.st_mode)) {
    const int saved = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    close(fd);
    errno = saved;
    return ReadStatus::Failed;
  }
  try {
    out.reserve(static_cast<size_t>(st.st_size));
    char buf[16384];
    for (;;) {
      const ssize_t n = read(fd, buf, sizeof buf);
      if (n == 0) break;
      if (n < 0) {
        if (errno == EINTR) continue;
        const int saved = errno;
        close(fd);
        errno = saved;
        return ReadStatus::Failed;
      }
      out.append(buf, static_cast<size_t>(n));
    }
  } catch (const std::bad_alloc&) {
    close(fd);
    errno = ENOMEM;
    return ReadStatus::Failed;
  }
  close(fd);
  return ReadStatus::Ok;
}

bool replaceAtomically(const std::string& path, std::string_view bytes, unsigned createMode) {
  mode_t mode = static_cast<mode_t>(createMode) & 07777;
  struct stat st;
  if (stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;

  std::string tmpl = siblingPath(path, ".XXXXXX");
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  const int fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = writeAll(fd, bytes) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
  int saved = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (ok && rename(name.data(), path.c_str()) != 0) {
    ok = false;
    saved = errno;
  }
  if (!ok) {
    unlink(name.data());
    errno = saved;
  }
  return ok;
}

std::string followLinks(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* real = realpath(path.c_str(), nullptr);
  if (!real) return path;
  std::string out(real);
  std::free(real);
  return out;
}

}  // namespace vz::store
