// Walking the patterns (see zip_sources.h).
#include "zipwrap/engine/zip/zip_sources.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <set>

#include "control/engine/format/dos_time.h"
#include "platform/attributes.h"
#include "platform/drives.h"
#include "platform/paths.h"
#include "zipwrap/engine/zip/zip_names.h"

namespace vz::zipwrap {
namespace {

// The walk's state for one command.
class Walker {
 public:
  Walker(const EngineCommand& command, const std::vector<FileIdentity>& exclude)
      : command_(command), exclude_(exclude) {
    if (command.since) {
      LocalTime t;
      t.year = command.since->year;
      t.month = command.since->month;
      t.day = command.since->day;
      since_ = fromLocalTime(t).value_or(0);
    }
  }

  void spec(const std::string& given) {
    const std::string native = toNativePath(given);
    visited_.clear();  // each pattern walks its folders afresh
    const size_t before = out_.sources.size();
    bool found = false;
    const std::string last = fileNamePart(given);
    if (hasWildcards(last)) {
      std::string folderGiven = directoryPart(given);
      std::string folderNative = folderGiven.empty() ? std::string(".") : toNativePath(folderGiven);
      found = walkMask(folderNative, storedNameOf(folderGiven), last);
    } else {
      struct stat st {};
      if (stat(native.c_str(), &st) == 0) {
        found = true;
        const std::string stored = storedNameOf(given);
        if (S_ISDIR(st.st_mode)) {
          if (command_.directoryEntries && !stored.empty()) take(native, stored, st, true);
          if (command_.recurse) walkFolder(native, stored, "", true);
        } else {
          take(native, stored, st, false);
        }
      }
    }
    if (found) out_.anyFound = true;
    if (!found && out_.sources.size() == before) out_.notFound.push_back(given);
  }

  void volumeLabel() {
    if (command_.files.empty()) return;
    const std::optional<std::string> label = drives::volumeLabel(toNativePath(command_.files.front()));
    if (!label || label->empty()) return;
    Source s;
    s.stored = *label;
    s.isVolumeLabel = true;
    s.dosAttributes = 0x08;
    s.mtime = std::time(nullptr);
    addSource(std::move(s));
  }

  SourceSelection result() { return std::move(out_); }

 private:
  // A mask in one folder; recursing applies it below too. True when
  // anything matched.
  bool walkMask(const std::string& folderNative, const std::string& folderStored, const std::string& pattern) {
    return walkFolder(folderNative, folderStored, pattern, command_.recurse);
  }

  // Lists one folder; pattern empty takes everything. True when anything
  // matched the pattern (taken or filtered).
  bool walkFolder(const std::string& native, const std::string& stored, const std::string& pattern, bool deeper) {
    struct stat self {};
    if (stat(native.c_str(), &self) != 0) return false;
    if (!visited_.insert({static_cast<uint64_t>(self.st_dev), static_cast<uint64_t>(self.st_ino)}).second) return false;
    std::vector<std::string> names;
    if (DIR* d = opendir(native.c_str())) {
      while (dirent* e = readdir(d)) {
        const std::string n = e->d_name;
        if (n != "." && n != "..") names.push_back(n);
      }
      closedir(d);
    }
    // Sorted, so that an archive made twice from the same tree is the same.
    std::sort(names.begin(), names.end());
    bool matched = false;
    for (const std::string& n : names) {
      if (n[0] == '.' && !command_.includeHidden) continue;
      const std::string childNative = native == "." ? n : joinPath(native, n);
      const std::string childStored = stored.empty() ? n : stored + "/" + n;
      struct stat st {};
      if (stat(childNative.c_str(), &st) != 0) continue;
      const bool isDir = S_ISDIR(st.st_mode);
      const bool fits = pattern.empty() || wildcardMatches(pattern, n);
      if (isDir) {
        if (!deeper) continue;
        if (command_.directoryEntries && pattern.empty()) take(childNative, childStored, st, true);
        if (walkFolder(childNative, childStored, pattern, true)) matched = true;
      } else if (fits) {
        matched = true;
        take(childNative, childStored, st, false);
      }
    }
    return matched || (pattern.empty() && !names.empty());
  }

  void take(const std::string& native, const std::string& stored, const struct stat& st, bool isFolder) {
    const FileIdentity id{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    if (std::find(exclude_.begin(), exclude_.end(), id) != exclude_.end()) return;
    if (!isFolder && !S_ISREG(st.st_mode)) return;  // devices, pipes and sockets hold no file data
    if (isFolder && command_.junkPaths) return;
    if (!isFolder && command_.since && st.st_mtime < since_) return;
    Source s;
    s.native = native;
    s.stored = command_.junkPaths ? lastComponent(stored) : stored;
    if (s.stored.empty()) return;
    if (isFolder) s.stored += '/';
    if (!passesFilters(s.stored, command_.includes, command_.excludes)) return;
    s.isFolder = isFolder;
    s.size = isFolder ? 0 : static_cast<uint64_t>(st.st_size);
    s.mtime = st.st_mtime;
    s.unixMode = static_cast<uint32_t>(st.st_mode);
    s.identity = id;
    uint32_t dos = 0;
    if ((st.st_mode & S_IWUSR) == 0) dos |= kAttrReadOnly;
    if (lastComponent(s.stored).starts_with(".")) dos |= kAttrHidden;
    if (isFolder) dos |= kAttrDirectory;
    dos |= getFileAttributes(native).value_or(0) & kAttrArchive;
    s.dosAttributes = static_cast<uint8_t>(dos);
    addSource(std::move(s));
  }

  void addSource(Source s) {
    const auto it = byName_.find(s.stored);
    if (it != byName_.end()) {
      const Source& earlier = out_.sources[it->second];
      if (!(earlier.identity == s.identity) || earlier.isVolumeLabel != s.isVolumeLabel) {
        if (out_.duplicateName.empty()) out_.duplicateName = s.stored;
      }
      return;
    }
    byName_.emplace(s.stored, out_.sources.size());
    out_.sources.push_back(std::move(s));
  }

  const EngineCommand& command_;
  const std::vector<FileIdentity>& exclude_;         // never taken (archive, temporary file)
  std::time_t since_ = 0;                            // -t as a moment (local midnight)
  std::set<std::pair<uint64_t, uint64_t>> visited_;  // folders walked (device, inode)
  std::map<std::string, size_t> byName_;             // stored name -> index in out_.sources
  SourceSelection out_;                              // what was found
};

}  // namespace

bool identityOf(const std::string& native, FileIdentity& out) {
  struct stat st {};
  if (stat(native.c_str(), &st) != 0) return false;
  out = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  return true;
}

SourceSelection selectSources(const EngineCommand& command, const std::vector<FileIdentity>& exclude) {
  Walker walker(command, exclude);
  if (command.volumeLabel) walker.volumeLabel();
  for (const std::string& spec : command.files) walker.spec(spec);
  return walker.result();
}

}  // namespace vz::zipwrap
