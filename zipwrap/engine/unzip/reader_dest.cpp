// Safe names and the link-proof folder walk (rules in reader_dest.h).
#include "zipwrap/engine/unzip/reader_dest.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "control/engine/format/zip_crypto.h"
#include "platform/file.h"
#include "platform/paths.h"

namespace vz::zipwrap {
namespace {

bool isDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

int openFolderAt(int parent, const std::string& name) {
  return ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// A short random tag for temporary names.
std::string randomTag() {
  static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  uint8_t bytes[8] = {};
  if (!engine::systemRandomBytes(bytes, sizeof bytes)) {
    static unsigned counter = 0;
    const unsigned v = ++counter ^ static_cast<unsigned>(::getpid());
    for (size_t i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<uint8_t>(v >> (i % 4 * 8));
  }
  std::string tag;
  for (uint8_t b : bytes) tag += kDigits[b % 36];
  return tag;
}

}  // namespace

SafeName safeNameOf(std::string_view stored, bool junkPaths) {
  SafeName out;
  std::string_view name = stored;
  if (name.size() >= 2 && isDriveLetter(name[0]) && name[1] == ':') {
    name.remove_prefix(2);
    out.unsafe = true;
  }
  std::vector<std::string> parts;
  size_t i = 0;
  while (i <= name.size()) {
    size_t end = name.find_first_of("/\\", i);
    if (end == std::string_view::npos) end = name.size();
    const std::string_view part = name.substr(i, end - i);
    const bool last = end == name.size();
    if (part == "..") {
      out.unsafe = true;
    } else if (part == ".") {
      // "./a" names "a": nothing leaves the destination
    } else if (part.empty()) {
      if (i == 0 && !name.empty() && !last) out.unsafe = true;  // a leading separator: an absolute name
    } else {
      parts.emplace_back(part);
    }
    i = end + 1;
  }
  if (!parts.empty()) {
    out.leaf = std::move(parts.back());
    parts.pop_back();
  }
  if (!junkPaths) out.folders = std::move(parts);
  return out;
}

std::string joinedName(const SafeName& name) {
  std::string out;
  for (const std::string& f : name.folders) out += f + "/";
  return out + name.leaf;
}

DestinationTree::~DestinationTree() {
  closeFrom(0);
  if (rootFd_ >= 0) ::close(rootFd_);
}

void DestinationTree::closeFrom(size_t keep) {
  if (deepFd_ >= 0) ::close(deepFd_);
  deepFd_ = -1;
  while (openFds_.size() > keep) {
    ::close(openFds_.back());
    openFds_.pop_back();
    openPath_.pop_back();
  }
}

bool DestinationTree::open(const std::string& root) {
  root_ = root.empty() ? "." : root;
  if (!root.empty() && !makeDirectories(root_)) return false;
  rootFd_ = ::open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (rootFd_ < 0) return false;
  absoluteRoot_ = absolutePath(root_);
  while (absoluteRoot_.size() > 1 && absoluteRoot_.back() == '/') absoluteRoot_.pop_back();
  return true;
}

int DestinationTree::folder(const std::vector<std::string>& components) {
  if (components.empty()) return rootFd_;
  size_t shared = 0;
  while (shared < openPath_.size() && shared < components.size() && openPath_[shared] == components[shared]) ++shared;
  if (shared == components.size() && shared == openPath_.size() && deepFd_ < 0) return openFds_.back();
  closeFrom(shared);
  int fd = shared > 0 ? openFds_[shared - 1] : rootFd_;
  for (size_t i = shared; i < components.size(); ++i) {
    const std::string& c = components[i];
    int next = openFolderAt(fd, c);
    if (next < 0 && errno == ENOENT) {
      if (::mkdirat(fd, c.c_str(), 0777) != 0 && errno != EEXIST)
        next = -1;
      else
        next = openFolderAt(fd, c);
    }
    const int saved = errno;
    if (fd == deepFd_) {
      ::close(fd);
      deepFd_ = -1;
    }
    if (next < 0) {
      errno = saved;
      return -1;
    }
    if (i < kMaxOpenLevels) {
      openFds_.push_back(next);
      openPath_.push_back(c);
    } else {
      deepFd_ = next;
    }
    fd = next;
  }
  return fd;
}

std::string DestinationTree::pathOf(const SafeName& name) const {
  const std::string rel = joinedName(name);
  return root_ == "." ? rel : joinPath(root_, rel);
}

int createTemporary(int folderFd, const std::string& name, std::string& tempName) {
  // The temporary name keeps a short part of the final one, so that a file
  // left by a crash can be recognised.
  const std::string base = name.size() > 32 ? name.substr(0, 32) : name;
  for (int attempt = 0; attempt < 16; ++attempt) {
    tempName = "." + base + ".vz" + randomTag();
    const int fd = ::openat(folderFd, tempName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

}  // namespace vz::zipwrap
