// "Find an Archive": the search behind the window. It walks one folder
// (and, when asked, the folders below it), keeps the regular files whose
// names match the mask, decides each one's kind and reports the files of
// the chosen kinds as they are found.
//
// The mask holds one or more DOS patterns separated by ";" ("*.zip;a?c*"),
// compared ignoring case with the engine's wildcard rule (a "*" stops at
// the extension's dot); an empty mask and "*" take every name.
//
// Kinds are decided one of two ways:
//   by content   the type detection of the readers (signatures, programs
//                with an archive inside), so a ZIP named ".dat" is found and
//                a text file named ".zip" is not; the result names the
//                detected type ("ZIP", "ARJ SFX", ...);
//   by extension the file name's extension against each kind's list, for
//                users who search slow or large media.
//
// Folders: symbolic links to folders are followed, but a folder (device
// and inode) is entered once at most, so link loops end; the depth is
// bounded as well. Unreadable folders are passed over.
//
// The search runs on the caller's thread; the visitor sees every result
// and every folder entered and may stop the search (the window pumps its
// events there and offers Stop through the same flag).
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "manager/readers/arc_types.h"

namespace vz::manager {

// The kinds the user can tick. Each kind covers the readers' types of its
// format; Self-extracting covers every archive found inside a program.
enum class SearchKind : uint8_t {
  Zip,
  Arc,
  Arj,
  BlakHole,
  Cabinet,
  GZip,
  Ha,
  Lha,
  Pak,
  Rar,
  Tar,
  Zoo,
  SelfExtracting,
};
constexpr int kSearchKindCount = static_cast<int>(SearchKind::SelfExtracting) + 1;

// The kind's label in the window ("ZIP", "LHA / LZH", ...).
const char* searchKindLabel(SearchKind kind);
// The extensions (lower case with their dot) the kind matches by extension.
const std::vector<std::string>& searchKindExtensions(SearchKind kind);
// The kind a detected type belongs to; false for types of no kind (unknown,
// unsupported, file errors).
bool searchKindOfType(readers::TArcType type, SearchKind& kind);

struct SearchOptions {
  std::string folder;            // where to start
  std::string mask = "*.*";      // name patterns, ";"-separated
  bool subfolders = true;        // walk the folders below folder
  bool byExtension = false;      // decide kinds by extension instead of content
  uint32_t kinds = 0xFFFFFFFFu;  // bit (1 << SearchKind) per kind searched
  int maxDepth = 64;             // folders below folder entered at most this deep
};

constexpr uint32_t searchKindBit(SearchKind k) { return 1u << static_cast<unsigned>(k); }

struct SearchResult {
  std::string path;      // full path of the archive
  std::string kindName;  // detected type's name, or the kind's label by extension
  SearchKind kind = SearchKind::Zip;
  uint64_t size = 0;         // bytes
  std::time_t modified = 0;  // last modification
};

// What the search tells its caller. Returning false from either stops it.
struct SearchVisitor {
  std::function<bool(const SearchResult&)> found;    // one archive
  std::function<bool(const std::string&)> entering;  // a folder about to be read
  std::function<bool(const std::string&)> checking;  // a file about to be looked at (the window pumps here)
};

struct SearchSummary {
  size_t foldersRead = 0;      // folders listed
  size_t filesSeen = 0;        // regular files whose names matched the mask
  size_t found = 0;            // results reported
  bool stopped = false;        // the visitor or the stop flag ended it early
  bool folderMissing = false;  // the start folder could not be read
};

// Whether a file name matches the mask (rules above).
bool searchMaskMatches(const std::string& fileName, const std::string& mask);

// Runs the search. stop (may be null) is polled before every file.
SearchSummary searchArchives(const SearchOptions& options, const SearchVisitor& visitor,
                             const std::atomic<bool>* stop = nullptr);

}  // namespace vz::manager
