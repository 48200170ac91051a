// Output paths and the destination checks (rules in extract_paths.h).
#include "control/engine/extract/extract_paths.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include "platform/paths.h"

namespace vz::engine {

namespace {

bool isDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The canonical form of an existing path (every link resolved); empty when
// it cannot be resolved (missing, a dangling link, a loop).
std::string resolved(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> r(::realpath(path.c_str(), nullptr), &std::free);
  return r ? std::string(r.get()) : std::string();
}

// A component as it may appear on disk; empty when it must be dropped.
std::string safeComponent(std::string_view c) {
  if (c.empty() || c == "." || c == "..") return {};
  std::string out(c);
  for (char& ch : out)
    if (ch == ':') ch = '_';
  return out;
}

}  // namespace

EntryPath mapEntryPath(std::string_view name) {
  EntryPath p;
  const size_t nul = name.find('\0');
  if (nul != std::string_view::npos) name = name.substr(0, nul);
  p.directoryEntry = !name.empty() && (name.back() == '\\' || name.back() == '/');

  // The drive of a name written the Windows way, in front of its first
  // component: "C:\X" and "C:X" both lose their "C:".
  if (name.size() >= 2 && isDriveLetter(name[0]) && name[1] == ':') name.remove_prefix(2);

  std::vector<std::string> parts;
  size_t i = 0;
  while (i <= name.size()) {
    size_t end = name.find_first_of("\\/", i);
    if (end == std::string_view::npos) end = name.size();
    std::string part = safeComponent(name.substr(i, end - i));
    if (!part.empty()) parts.push_back(std::move(part));
    i = end + 1;
  }
  if (!p.directoryEntry && !parts.empty()) {
    p.file = std::move(parts.back());
    parts.pop_back();
  }
  p.folders = std::move(parts);
  return p;
}

OutputFolders::OutputFolders(std::string root) : root_(std::move(root)) {
  while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
  resolvedRoot_ = resolved(root_);
  struct stat st {};
  if (!resolvedRoot_.empty() && (::stat(resolvedRoot_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)))
    resolvedRoot_.clear();
}

bool OutputFolders::folderInside(const std::string& path) const {
  const std::string r = resolved(path);
  if (r.empty()) return false;
  struct stat st {};
  if (::stat(r.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  return isPathInside(resolvedRoot_, r);
}

bool OutputFolders::ensure(const std::vector<std::string>& folders, std::string& out) {
  if (!valid()) return false;
  out = root_;
  for (const std::string& part : folders) {
    if (!out.empty() && out.back() != '/') out += '/';
    out += part;
    if (known_.count(out)) continue;
    struct stat st {};
    if (::lstat(out.c_str(), &st) != 0) {
      if (errno != ENOENT) return false;
      // A new folder below a checked one cannot lead anywhere else.
      if (::mkdir(out.c_str(), 0777) != 0 && !(errno == EEXIST && folderInside(out))) return false;
    } else if (S_ISLNK(st.st_mode)) {
      if (!folderInside(out)) return false;
    } else if (!S_ISDIR(st.st_mode)) {
      return false;  // a file stands where the folder should be
    }
    known_.insert(out);
  }
  return true;
}

bool OutputFolders::mayWriteFile(const std::string& path) const {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
  if (!valid()) return false;
  const std::string r = resolved(path);  // a dangling link would create its target: refused
  return !r.empty() && isPathInside(resolvedRoot_, r);
}

}  // namespace vz::engine
