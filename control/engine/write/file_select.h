// Selecting the disk files that ZipFiles adds: the mask, the directory
// search, the archive-attribute option, and the stored name of each file.
//
// The mask is a path whose last component is the pattern ("C:\Data\*.TXT",
// "docs/*.*", "*.c"); its folder part names the folder to search (the
// current folder when there is none). The pattern is matched against each
// name the search returns with the file-name pattern rule (mask.h's
// wildcard comparison: case-insensitive, "*.*" matches everything, "*"
// stops at the extension, "?" is one character, "README." and "README.*"
// match README). "." and ".." are skipped. With recursion every subfolder
// is searched with the same pattern, after the folder's own matches.
// Names come in the order the system's directory search returns them.
//
// What the search takes:
//   - regular files, and folders (which become directory entries);
//   - a symbolic link to a file as that file (its content is stored); a
//     symbolic link to a folder is neither taken nor descended into, so a
//     link back up the tree cannot make the search loop; broken links,
//     devices, pipes and sockets are left out (reading a pipe would block);
//   - with useArchiveFlag only files whose archive attribute is set;
//   - never the file excluded by the caller (the archive itself, by device
//     and inode).
//
// Stored name of a found file (before the writer upper-cases it):
//   method 0: the file's own name;
//   method 1: the path relative to the mask's folder;
//   method 2: the mask's folder as the host wrote it followed by that
//             relative path, with any drive prefix ("X:") and leading
//             slashes or backslashes removed;
// in every case "\" becomes "/", and "." and ".." components are folded
// ("a/../b" is "b"; a ".." with nothing before it is dropped), so no stored
// name can point outside the folder it is extracted to. A
// folder's stored name ends in "/".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vz::engine {

// Values of iStorePathMethod.
enum StorePathMethod : int {
  kStoreNameOnly = 0,
  kStoreRelativePath = 1,
  kStoreWholePath = 2,
};

struct MaskParts {
  std::string folderGiven;   // the mask's folder part as the host wrote it, with its separator; "" for none
  std::string folderNative;  // the folder to search, native, without a trailing "/" ("." for the current one)
  std::string pattern;       // the last component
};
MaskParts splitMask(std::string_view mask);

// A path as a stored name: drive prefix and leading separators removed,
// "\" turned into "/", "." and ".." folded, empty components dropped.
std::string storedPathOf(std::string_view path);

// The file-name pattern rule on the last components of name and pattern.
bool filePatternMatches(std::string_view name, std::string_view pattern);

struct FoundFile {
  std::string nativePath;  // the file to read
  std::string shownPath;   // as the host would name it: the mask's folder as given + the relative path
  std::string storedName;  // see above
  bool isDirectory = false;
};

struct SelectOptions {
  MaskParts mask;
  bool recurse = false;
  int storePathMethod = kStoreNameOnly;  // values other than 1 and 2 keep the name only
  bool useArchiveFlag = false;
  uint64_t excludeDevice = 0, excludeInode = 0;  // a file never taken (0, 0: none)
};

// The files the mask names, in search order. Throws std::bad_alloc when
// memory runs out.
std::vector<FoundFile> selectFiles(const SelectOptions& options);

// The stored name of a file at relative path rel (with "/" separators)
// below the mask's folder.
std::string storedNameFor(const MaskParts& mask, std::string_view rel, int storePathMethod, bool isDirectory);

}  // namespace vz::engine
