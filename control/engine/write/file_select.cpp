// Selecting the files ZipFiles adds (see file_select.h).
#include "control/engine/write/file_select.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cctype>

#include "control/engine/format/mask.h"
#include "platform/attributes.h"
#include "platform/paths.h"

namespace vz::engine {

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

class Search {
 public:
  Search(const SelectOptions& o, std::vector<FoundFile>& out) : o_(o), out_(out) {
    const std::string& given = o.mask.folderGiven;
    backslashes_ = given.find('\\') != std::string::npos && given.find('/') == std::string::npos;
  }

  // Searches one folder (native path) whose path relative to the mask's
  // folder is rel ("" or ending in "/").
  void folder(const std::string& native, const std::string& rel) {
    std::vector<std::string> names;
    if (DIR* d = opendir(native.c_str())) {
      while (const dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
      }
      closedir(d);
    }
    std::vector<std::string> subfolders;
    for (const std::string& name : names) {
      const std::string path = joinPath(native, name);
      struct stat st {};
      if (lstat(path.c_str(), &st) != 0) continue;
      bool descend = false;
      if (S_ISLNK(st.st_mode)) {
        // Followed to a file only: a link to a folder could lead back up.
        if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
      } else if (S_ISDIR(st.st_mode)) {
        descend = true;
      } else if (!S_ISREG(st.st_mode)) {
        continue;
      }
      if (descend) subfolders.push_back(name);
      if (o_.excludeInode != 0 && static_cast<uint64_t>(st.st_dev) == o_.excludeDevice &&
          static_cast<uint64_t>(st.st_ino) == o_.excludeInode)
        continue;
      if (!filePatternMatches(name, o_.mask.pattern)) continue;
      if (o_.useArchiveFlag && (getFileAttributes(path).value_or(0) & kAttrArchive) == 0) continue;
      FoundFile f;
      f.nativePath = path;
      f.isDirectory = S_ISDIR(st.st_mode);
      f.storedName = storedNameFor(o_.mask, rel + name, o_.storePathMethod, f.isDirectory);
      f.shownPath = o_.mask.folderGiven + shown(rel + name);
      if (!f.storedName.empty()) out_.push_back(std::move(f));
    }
    if (!o_.recurse) return;
    for (const std::string& name : subfolders) folder(joinPath(native, name), rel + name + "/");
  }

 private:
  std::string shown(std::string rel) const {
    if (backslashes_)
      for (char& c : rel)
        if (c == '/') c = '\\';
    return rel;
  }

  const SelectOptions& o_;
  std::vector<FoundFile>& out_;
  bool backslashes_ = false;  // the host writes its paths with "\": progress texts follow
};

}  // namespace

MaskParts splitMask(std::string_view mask) {
  MaskParts p;
  p.folderGiven = directoryPart(mask);
  p.pattern = fileNamePart(mask);
  if (p.folderGiven.empty()) {
    p.folderNative = ".";
  } else {
    p.folderNative = toNativePath(p.folderGiven);
    while (p.folderNative.size() > 1 && p.folderNative.back() == '/') p.folderNative.pop_back();
    if (p.folderNative.empty()) p.folderNative = ".";
  }
  return p;
}

std::string storedPathOf(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) path.remove_prefix(2);
  // Components folded lexically: "." goes, ".." takes the folder before it
  // away, and a ".." with nothing before it is dropped.
  std::vector<std::string_view> parts;
  size_t i = 0;
  while (i < path.size()) {
    while (i < path.size() && isSeparator(path[i])) ++i;
    size_t j = i;
    while (j < path.size() && !isSeparator(path[j])) ++j;
    const std::string_view part = path.substr(i, j - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = j;
  }
  std::string out;
  for (std::string_view p : parts) {
    if (!out.empty()) out += '/';
    out += p;
  }
  return out;
}

bool filePatternMatches(std::string_view name, std::string_view pattern) {
  return wildcardMatch(fileNamePart(name), fileNamePart(pattern));
}

std::string storedNameFor(const MaskParts& mask, std::string_view rel, int storePathMethod, bool isDirectory) {
  std::string name;
  switch (storePathMethod) {
    case kStoreRelativePath:
      name = storedPathOf(rel);
      break;
    case kStoreWholePath:
      name = storedPathOf(mask.folderGiven + "/" + std::string(rel));
      break;
    default:
      name = storedPathOf(fileNamePart(rel));
      break;
  }
  if (isDirectory && !name.empty()) name += '/';
  return name;
}

std::vector<FoundFile> selectFiles(const SelectOptions& options) {
  std::vector<FoundFile> out;
  if (options.mask.pattern.empty()) return out;
  Search(options, out).folder(options.mask.folderNative, "");
  return out;
}

}  // namespace vz::engine
