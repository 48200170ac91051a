// The archive search: an explicit stack of folders (no recursion, so a deep
// tree cannot exhaust the call stack), a set of the folders entered (device
// and inode) against link loops, and per file the mask, then the kind.
#include "manager/app/archive_search.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <set>
#include <utility>

#include "control/engine/format/mask.h"
#include "manager/readers/type_detect.h"

namespace vz::manager {

namespace {

// One kind's row: label, extensions, and the readers' types it covers.
struct KindRow {
  SearchKind kind;
  const char* label;
  std::vector<std::string> extensions;
  std::vector<readers::TArcType> types;
};

const std::vector<KindRow>& kindTable() {
  using namespace readers;
  static const std::vector<KindRow> rows = {
      {SearchKind::Zip, "ZIP", {".zip"}, {atZIP, atZip250}},
      {SearchKind::Arc, "ARC", {".arc"}, {atARC}},
      {SearchKind::Arj, "ARJ", {".arj"}, {atARJ}},
      {SearchKind::BlakHole, "Blak-Hole", {".bh"}, {atBH}},
      {SearchKind::Cabinet, "Cabinet", {".cab"}, {atCAB}},
      {SearchKind::GZip, "GZip / Z", {".gz", ".tgz", ".z", ".taz"}, {atGZip}},
      {SearchKind::Ha, "HA", {".ha"}, {atHA}},
      {SearchKind::Lha, "LHA / LZH", {".lha", ".lzh", ".lhz"}, {atLHA, atLZH}},
      {SearchKind::Pak, "PAK", {".pak"}, {atPAK}},
      {SearchKind::Rar, "RAR", {".rar"}, {atRAR}},
      {SearchKind::Tar, "TAR", {".tar"}, {atTAR}},
      {SearchKind::Zoo, "ZOO", {".zoo"}, {atZOO}},
      {SearchKind::SelfExtracting,
       "Self-extracting",
       {".exe", ".sfx"},
       {atArcExe, atArjExe, atBHExe, atLhaExe, atLzhExe, atPakExe, atRarExe, atZipExe, atZip250Exe}},
  };
  return rows;
}

const KindRow& rowOf(SearchKind kind) { return kindTable()[static_cast<size_t>(kind)]; }

std::string lowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// The readers' display names are blank-padded (one ends in a tab).
std::string trimmedTypeName(readers::TArcType type) {
  std::string name(readers::arcTypeName(type));
  while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.pop_back();
  return name;
}

// The kind of a file by its extension; false when none of the kinds has it.
bool kindOfExtension(const std::string& fileName, SearchKind& kind) {
  size_t dot = fileName.find_last_of('.');
  if (dot == std::string::npos || dot == 0) return false;
  std::string ext = lowerAscii(fileName.substr(dot));
  for (const KindRow& row : kindTable()) {
    if (std::find(row.extensions.begin(), row.extensions.end(), ext) != row.extensions.end()) {
      kind = row.kind;
      return true;
    }
  }
  return false;
}

// A folder waiting to be read, with its depth below the start.
struct PendingFolder {
  std::string path;
  int depth = 0;
};

}  // namespace

const char* searchKindLabel(SearchKind kind) { return rowOf(kind).label; }

const std::vector<std::string>& searchKindExtensions(SearchKind kind) { return rowOf(kind).extensions; }

bool searchKindOfType(readers::TArcType type, SearchKind& kind) {
  for (const KindRow& row : kindTable()) {
    if (std::find(row.types.begin(), row.types.end(), type) != row.types.end()) {
      kind = row.kind;
      return true;
    }
  }
  return false;
}

bool searchMaskMatches(const std::string& fileName, const std::string& mask) {
  size_t start = 0;
  bool anyPattern = false;
  while (start <= mask.size()) {
    size_t end = mask.find(';', start);
    if (end == std::string::npos) end = mask.size();
    std::string pattern = mask.substr(start, end - start);
    // Blanks around the patterns are the user's separators, not names.
    while (!pattern.empty() && pattern.front() == ' ') pattern.erase(pattern.begin());
    while (!pattern.empty() && pattern.back() == ' ') pattern.pop_back();
    if (!pattern.empty()) {
      anyPattern = true;
      if (pattern == "*" || engine::wildcardMatch(fileName, pattern)) return true;
    }
    start = end + 1;
  }
  return !anyPattern;
}

SearchSummary searchArchives(const SearchOptions& options, const SearchVisitor& visitor,
                             const std::atomic<bool>* stop) {
  SearchSummary summary;
  std::set<std::pair<dev_t, ino_t>> entered;  // folders already read (loop guard)
  std::vector<PendingFolder> pending;         // folders still to read, last first
  std::string start = options.folder;
  while (start.size() > 1 && start.back() == '/') start.pop_back();
  pending.push_back({start, 0});
  bool first = true;

  auto stopped = [&] {
    if (stop && stop->load(std::memory_order_relaxed)) summary.stopped = true;
    return summary.stopped;
  };

  while (!pending.empty() && !stopped()) {
    PendingFolder folder = std::move(pending.back());
    pending.pop_back();
    struct stat st;
    if (::stat(folder.path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      if (first) summary.folderMissing = true;
      first = false;
      continue;
    }
    first = false;
    if (!entered.insert({st.st_dev, st.st_ino}).second) continue;
    if (visitor.entering && !visitor.entering(folder.path)) {
      summary.stopped = true;
      break;
    }
    DIR* dir = ::opendir(folder.path.c_str());
    if (!dir) {
      if (folder.depth == 0) summary.folderMissing = true;
      continue;
    }
    ++summary.foldersRead;
    std::vector<std::string> names;  // read whole, so results come in name order
    while (dirent* e = ::readdir(dir)) {
      std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(std::move(name));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());

    std::vector<PendingFolder> below;
    for (const std::string& name : names) {
      if (stopped()) break;
      std::string full = folder.path == "/" ? "/" + name : folder.path + "/" + name;
      struct stat fst;
      if (::stat(full.c_str(), &fst) != 0) continue;  // a dangling link, a vanished file
      if (S_ISDIR(fst.st_mode)) {
        if (options.subfolders && folder.depth < options.maxDepth) below.push_back({full, folder.depth + 1});
        continue;
      }
      if (!S_ISREG(fst.st_mode) || !searchMaskMatches(name, options.mask)) continue;
      if (visitor.checking && !visitor.checking(full)) {
        summary.stopped = true;
        break;
      }
      ++summary.filesSeen;

      SearchResult r;
      if (options.byExtension) {
        if (!kindOfExtension(name, r.kind)) continue;
        r.kindName = searchKindLabel(r.kind);
      } else {
        readers::DetectedType t = readers::detectArchiveType(full, 0);
        if (!searchKindOfType(t.type, r.kind)) continue;
        r.kindName = trimmedTypeName(t.type);
      }
      if ((options.kinds & searchKindBit(r.kind)) == 0) continue;
      r.path = full;
      r.size = static_cast<uint64_t>(fst.st_size);
      r.modified = fst.st_mtime;
      ++summary.found;
      if (visitor.found && !visitor.found(r)) {
        summary.stopped = true;
        break;
      }
    }
    // Sub-folders are read in name order: push them last first.
    for (auto it = below.rbegin(); it != below.rend(); ++it) pending.push_back(std::move(*it));
  }
  return summary;
}

}  // namespace vz::manager
