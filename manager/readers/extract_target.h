// Where an extracted entry goes, decided in one place for every extractor.
//
// A stored name becomes a path relative to the destination folder:
//   - "\" separators are read as "/";
//   - a drive prefix ("C:") and leading "/" are dropped (no absolute path);
//   - "." and ".." components and empty ones are dropped, so no name can
//     climb out of the destination;
//   - control characters (below 0x20, and 0x7F) become "_".
// Without UseStoredDirs only the last component is kept.
//
// The destination is then reached through directory descriptors only: every
// folder of the path is opened with openat(O_DIRECTORY | O_NOFOLLOW) from
// the one above it (created with mkdirat when missing), so a symbolic link
// that already sits in the destination, or that an earlier entry made, is
// never followed to a place outside it.
#pragma once

#include <string>
#include <vector>

namespace vz::readers {

// The components of the safe relative path of a stored name; empty when
// nothing is left (the entry is then refused with 25140).
std::vector<std::string> safeRelativePath(const std::string& stored, bool useStoredDirs);

// The components joined with "/".
std::string joinPath(const std::vector<std::string>& parts);

// Opens the folder made of the first count components below rootFd, never
// following a symbolic link; missing folders are created when create is
// set. Returns a descriptor (the caller closes it) or -1 with errno set.
int openFolderChain(int rootFd, const std::vector<std::string>& parts, size_t count, bool create);

// Whether a symbolic link at linkPath (its components, the last one the link
// itself) pointing to target resolves inside the destination. Accepted:
// a relative target of leading ".." components (no more than the link's
// folder depth) followed by plain components. Such a target climbs through
// real folders only (the link's own folders were opened without following
// links), and every other link it passes through was held to the same rule.
bool linkStaysInside(const std::vector<std::string>& linkPath, const std::string& target);

}  // namespace vz::readers
