// Path text helpers.
//
// Everything here is lexical except toNativePath (which asks the drives
// service about drive letters), absolutePath (the current directory),
// executableDirectory (/proc/self/exe) and findFileNoCase (reads folders).
// isPathInside is the check that keeps extracted files inside their
// destination: it works on the normalised component lists of both paths, so
// "..", "." and repeated or trailing separators cannot fool it, and a sibling
// that merely shares a prefix ("/dest" and "/destination") is outside. It
// does not resolve symbolic links; callers that follow links on disk must
// check them separately.
#include "platform/paths.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>
#include <vector>

#include "platform/charcase.h"
#include "platform/drives.h"

namespace vz {

namespace {

inline bool isSeparator(char c) { return c == '/' || c == '\\'; }

// True when path begins with a drive letter and a colon ("C:", "a:\x").
bool hasDrivePrefix(std::string_view path) {
  if (path.size() < 2 || path[1] != ':') return false;
  const char c = path[0];
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The components of an absolute path after folding "." and ".."; ".." at
// the root stays at the root, as the kernel treats it.
std::vector<std::string_view> normalisedComponents(std::string_view absolute) {
  std::vector<std::string_view> parts;
  size_t i = 0;
  while (i < absolute.size()) {
    while (i < absolute.size() && absolute[i] == '/') ++i;
    size_t end = i;
    while (end < absolute.size() && absolute[end] != '/') ++end;
    const std::string_view part = absolute.substr(i, end - i);
    if (part.empty() || part == ".") {
      // nothing
    } else if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else {
      parts.push_back(part);
    }
    i = end;
  }
  return parts;
}

std::string currentDirectory() {
  std::string buf(256, '\0');
  for (;;) {
    if (getcwd(buf.data(), buf.size())) return std::string(buf.c_str());
    if (errno != ERANGE) return "/";  // the directory is gone: the root is the best guess
    buf.resize(buf.size() * 2);
  }
}

bool existsNoFollow(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// The entry of folder whose name equals name ignoring case; exact spelling
// first. Among several case-insensitive matches the smallest in byte order
// wins, so the answer does not depend on the order of the directory.
std::string findEntryNoCase(const std::string& folder, std::string_view name) {
  const std::string dir = folder.empty() ? std::string(".") : folder;
  const std::string exact = joinPath(folder, name);
  if (existsNoFollow(exact)) return std::string(name);
  DIR* d = opendir(dir.c_str());
  if (!d) return {};
  std::string best;
  bool found = false;
  while (const dirent* e = readdir(d)) {
    const std::string_view entry = e->d_name;
    if (entry == "." || entry == "..") continue;
    if (equalsNoCase(entry, name) && (!found || entry < best)) {
      best = std::string(entry);
      found = true;
    }
  }
  closedir(d);
  return found ? best : std::string();
}

}  // namespace

std::string toNativePath(std::string_view path) {
  std::string out(path);
  for (char& c : out)
    if (c == '\\') c = '/';
  if (hasDrivePrefix(out)) {
    if (std::optional<std::string> resolved = drives::resolveDrivePath(out)) return *resolved;
  }
  return out;
}

std::string joinPath(std::string_view a, std::string_view b) {
  if (a.empty()) return std::string(b);
  if (b.empty()) return std::string(a);
  if (isSeparator(b.front()) || hasDrivePrefix(b)) return std::string(b);
  std::string out(a);
  if (!isSeparator(out.back())) out += '/';
  out += b;
  return out;
}

std::string fileNamePart(std::string_view path) {
  const size_t pos = path.find_last_of("/\\");
  return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

std::string directoryPart(std::string_view path) {
  const size_t pos = path.find_last_of("/\\");
  return pos == std::string_view::npos ? std::string() : std::string(path.substr(0, pos + 1));
}

std::string extensionPart(std::string_view path) {
  const size_t slash = path.find_last_of("/\\");
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

std::string absolutePath(std::string_view path) {
  std::string full;
  if (!path.empty() && path.front() == '/') {
    full = std::string(path);
  } else {
    full = currentDirectory();
    full += '/';
    full += path;
  }
  std::string out;
  for (std::string_view part : normalisedComponents(full)) {
    out += '/';
    out += part;
  }
  return out.empty() ? std::string("/") : out;
}

std::string executableDirectory() {
  std::string buf(PATH_MAX, '\0');
  const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
  if (n <= 0 || static_cast<size_t>(n) >= buf.size()) return {};
  buf.resize(static_cast<size_t>(n));
  const size_t slash = buf.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? std::string("/") : buf.substr(0, slash);
}

std::string findFileNoCase(std::string_view folder, std::string_view name) {
  if (name.empty()) return {};
  // A name with folders ("SUB\FILE.TXT") is looked up one component at a
  // time, each ignoring case.
  std::string current(folder);
  size_t i = 0;
  bool any = false;
  while (i < name.size()) {
    size_t end = i;
    while (end < name.size() && !isSeparator(name[end])) ++end;
    const std::string_view part = name.substr(i, end - i);
    i = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      current = joinPath(current, "..");
      continue;
    }
    const std::string entry = findEntryNoCase(current, part);
    if (entry.empty()) return {};
    current = joinPath(current, entry);
    any = true;
  }
  return any ? current : std::string();
}

bool isPathInside(std::string_view parent, std::string_view child) {
  const std::string p = absolutePath(parent), c = absolutePath(child);
  const std::vector<std::string_view> pp = normalisedComponents(p), cc = normalisedComponents(c);
  if (cc.size() < pp.size()) return false;
  for (size_t k = 0; k < pp.size(); ++k)
    if (pp[k] != cc[k]) return false;
  return true;
}

}  // namespace vz
