// Where extracted entries go: the stored name made safe, and the folder
// tree below the destination walked without ever following a link.
//
// Safe names: "\" is a separator like "/"; a drive ("C:") in front of the
// first component, empty components (a leading "/"), "." and ".." are
// dropped, so no name can leave the destination; anything dropped makes the
// name "unsafe" (the run reports kResultMinorIssues). With junk paths only the
// last component stays.
//
// The tree: the destination folder is opened once; every folder below it is
// opened component by component relative to its parent with O_NOFOLLOW, and
// created (mkdirat) when missing, so a symbolic link already in the
// destination (a folder link pointing elsewhere) stops the walk instead of
// leading out. Files are created under a temporary name in their folder
// (O_CREAT | O_EXCL | O_NOFOLLOW) and renamed over the final name only when
// complete; a rename replaces a link at the final name rather than writing
// through it.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

namespace vz::zipwrap {

struct SafeName {
  std::vector<std::string> folders;  // folder components below the destination
  std::string leaf;                  // last component; empty when nothing is left
  bool unsafe = false;               // something was dropped to keep the name inside
};

// The safe form of a stored name ("/" separators; a trailing "/" is a
// folder and ignored here: its last component becomes the leaf).
SafeName safeNameOf(std::string_view stored, bool junkPaths);

// The relative path of folders and leaf ("a/b/c").
std::string joinedName(const SafeName& name);

class DestinationTree {
 public:
  DestinationTree() = default;
  ~DestinationTree();
  DestinationTree(const DestinationTree&) = delete;
  DestinationTree& operator=(const DestinationTree&) = delete;

  // Opens (creating it and its parents) the destination; "" is the current
  // folder. False with errno on failure.
  bool open(const std::string& root);
  const std::string& root() const { return root_; }
  // The absolute form of the destination (for names the host gives back).
  const std::string& absoluteRoot() const { return absoluteRoot_; }

  // A descriptor of the folder, each missing component created; -1 with
  // errno (ELOOP or ENOTDIR when a link or a file is in the way). The
  // descriptor stays owned by the tree and valid until the next call.
  int folder(const std::vector<std::string>& components);

  // The display path of a name below the destination.
  std::string pathOf(const SafeName& name) const;

 private:
  // Closes the open folders from level keep on.
  void closeFrom(size_t keep);
  // Folders kept open along the last path; deeper ones are opened each time.
  static constexpr size_t kMaxOpenLevels = 32;

  std::string root_;          // the destination as given ("." when empty)
  std::string absoluteRoot_;  // its absolute form
  int rootFd_ = -1;           // the destination, opened once
  // The folders of the last path asked for, open from the top down, so that
  // the next path reuses the part it shares (archives keep a folder's
  // entries together, so most walks open one folder or none).
  std::vector<std::string> openPath_;  // components of the folders in openFds_
  std::vector<int> openFds_;           // openFds_[i]: the folder of openPath_[0..i]
  int deepFd_ = -1;                    // the last folder asked for when deeper than kMaxOpenLevels
};

// Creates a new file in folder fd under a temporary name beside name, with
// permission 0600; -1 with errno on failure.
int createTemporary(int folderFd, const std::string& name, std::string& tempName);

}  // namespace vz::zipwrap
