// Output paths of extracted entries, and the checks that keep every file
// the driver writes inside its destination folder.
//
// An entry name (processed: upper case, "\" separators) becomes a list of
// folder components and a file component:
//   - the name ends at its first NUL byte (the file system cannot hold one);
//   - empty components, "." and ".." are dropped, so that neither a leading
//     separator ("\ETC\X", "/ETC/X") nor "..\" can leave the destination;
//     "A\..\..\B" becomes A\B;
//   - a drive prefix in front of the first component ("C:\X", "C:X") is
//     dropped;
//   - ":" becomes "_" in every component;
//   - a name that ends with a separator is a directory entry.
// A file entry whose file component is left empty is skipped by the driver.
//
// Links on disk: the names above cannot leave the destination, but a
// symbolic link already inside it could (a folder link pointing elsewhere,
// or a file link that a write would follow). OutputFolders therefore
// resolves every existing folder it walks through and refuses one whose
// resolved path lies outside the resolved destination, before it creates
// anything below it; and a file that is a symbolic link may only be written
// when its resolved target lies inside the destination too.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace vz::engine {

struct EntryPath {
  std::vector<std::string> folders;  // safe folder components, in order
  std::string file;                  // safe file component; empty for a directory entry
  bool directoryEntry = false;       // the name ends with a separator
};

EntryPath mapEntryPath(std::string_view processedName);

// Creates folders below one destination, checking each existing one.
class OutputFolders {
 public:
  // root: the destination folder (native, absolute). Resolved once here.
  explicit OutputFolders(std::string root);

  const std::string& root() const { return root_; }
  // True when the destination exists as a folder (it is resolved).
  bool valid() const { return !resolvedRoot_.empty(); }

  // The native folder root/folders..., each missing folder created. False
  // (the driver's status 5) when a component exists as something other
  // than a folder, cannot be created, or resolves outside the destination.
  bool ensure(const std::vector<std::string>& folders, std::string& out);
  // Whether writing the file at path stays inside the destination: true
  // when path is not a symbolic link, or when it is one whose target
  // resolves inside the destination.
  bool mayWriteFile(const std::string& path) const;

 private:
  // Whether an existing path resolves to a folder inside the destination.
  bool folderInside(const std::string& path) const;

  std::string root_;                       // the destination as given
  std::string resolvedRoot_;               // its canonical form; empty when it does not exist
  std::unordered_set<std::string> known_;  // folders made or checked in this run
};

}  // namespace vz::engine
