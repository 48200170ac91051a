// The safe output path of an extracted entry (see extract_target.h).
#include "manager/readers/extract_target.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vz::readers {

namespace {

// Splits on "/" keeping empty components (the callers drop them).
std::vector<std::string> split(const std::string& s) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t i = 0; i <= s.size(); ++i) {
    if (i == s.size() || s[i] == '/') {
      parts.push_back(s.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

}  // namespace

std::vector<std::string> safeRelativePath(const std::string& stored, bool useStoredDirs) {
  std::string name = stored;
  for (char& c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\\')
      c = '/';
    else if (u < 0x20 || u == 0x7F)
      c = '_';
  }
  // A drive prefix: a letter and ":" in front.
  if (name.size() >= 2 && name[1] == ':' && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z')))
    name.erase(0, 2);
  std::vector<std::string> parts;
  for (std::string& part : split(name))
    if (!part.empty() && part != "." && part != "..") parts.push_back(std::move(part));
  if (!useStoredDirs && parts.size() > 1) parts.erase(parts.begin(), parts.end() - 1);
  return parts;
}

std::string joinPath(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& p : parts) {
    if (!out.empty()) out += '/';
    out += p;
  }
  return out;
}

int openFolderChain(int rootFd, const std::vector<std::string>& parts, size_t count, bool create) {
  int fd = fcntl(rootFd, F_DUPFD_CLOEXEC, 0);
  for (size_t i = 0; fd >= 0 && i < count && i < parts.size(); ++i) {
    const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int next = openat(fd, parts[i].c_str(), flags);
    if (next < 0 && errno == ENOENT && create) {
      if (mkdirat(fd, parts[i].c_str(), 0777) == 0 || errno == EEXIST) next = openat(fd, parts[i].c_str(), flags);
    }
    const int saved = errno;
    close(fd);
    errno = saved;
    fd = next;
  }
  return fd;
}

bool linkStaysInside(const std::vector<std::string>& linkPath, const std::string& target) {
  if (target.empty() || target[0] == '/' || target.find('\\') != std::string::npos) return false;
  const size_t depth = linkPath.empty() ? 0 : linkPath.size() - 1;
  size_t up = 0;
  bool plain = false;  // a plain component was seen: no ".." may follow
  for (const std::string& part : split(target)) {
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (plain || ++up > depth) return false;
    } else {
      plain = true;
    }
  }
  return true;
}

}  // namespace vz::readers
