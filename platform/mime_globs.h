// The freedesktop MIME database's file-name rules (the "globs2" file of
// shared-mime-info), read by our own code so that the headless icon
// service and the registered-type check need no toolkit.
//
// globs2 holds one rule a line, "weight:type:pattern[:flags]", '#' starting
// a comment; the flag "cs" makes the pattern case-sensitive, every other
// pattern is matched against the lower-cased name. A name's type is found
// as the database's own reader finds it:
//   1. a literal pattern (no wildcard) equal to the whole name;
//   2. else the suffix patterns ("*.txt", "*~"): every one that ends the
//      name, the highest weight winning and, among equal weights, the
//      longest pattern;
//   3. else the other wildcard patterns (fnmatch), chosen the same way.
// No match: no type (the caller decides the fallback).
//
// The "icons" file beside globs2 ("type:icon-name" lines) overrides the
// icon name of a type; without an entry the icon name is the type with "/"
// replaced by "-" ("text/plain" -> "text-plain").
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vz::mime {

// The system's database file, read by the headless back end.
inline constexpr const char* kSystemGlobsFile = "/usr/share/mime/globs2";
// The type of a file whose name and content say nothing more.
inline constexpr const char* kOctetStream = "application/octet-stream";
// The type of a file whose content is plain text.
inline constexpr const char* kPlainText = "text/plain";

class GlobDatabase {
 public:
  // Reads path (and the "icons" file in the same folder). A missing or
  // unreadable file gives an empty database (loaded() false).
  static GlobDatabase load(const std::string& path);

  bool loaded() const { return loaded_; }
  // The type whose rule matches the file name (no folder part); empty when
  // none does.
  std::string typeForName(std::string_view fileName) const;
  // Every type the database names, plus the two fallback types, sorted and
  // without duplicates; empty when nothing was loaded.
  const std::vector<std::string>& types() const { return types_; }
  // Index of a type in types(), -1 when it is not there.
  int indexOf(std::string_view type) const;
  std::string iconNameOf(std::string_view type) const;

 private:
  struct Rule {
    int weight = 50;
    std::string type;
    std::string pattern;  // lower-cased unless caseSensitive
    bool caseSensitive = false;
  };
  // The better of two matches: higher weight, then longer pattern; earlier
  // lines win ties (the file lists the higher weights first).
  static bool better(const Rule& candidate, const Rule* best);

  bool loaded_ = false;                                               // the file was read
  std::unordered_map<std::string, Rule> literals_;                    // literal patterns by (lower-cased) name
  std::unordered_map<std::string, Rule> literalsExact_;               // case-sensitive literal patterns
  std::unordered_map<std::string, std::vector<Rule>> suffixes_;       // "*" + suffix rules by suffix
  std::unordered_map<std::string, std::vector<Rule>> suffixesExact_;  // the case-sensitive ones
  std::vector<Rule> wildcards_;                                       // every other pattern, in file order
  std::vector<std::string> types_;                                    // sorted, unique
  std::unordered_map<std::string, int> typeIndex_;                    // type -> index in types_
  std::unordered_map<std::string, std::string> icons_;                // icon-name overrides by type
};

// The system database (kSystemGlobsFile), read once per process.
const GlobDatabase& systemGlobs();

// The type of a file from its name and, when no rule matches and the file
// exists, from its first bytes: non-empty text (valid UTF-8 without control
// bytes other than tab, line breaks and form feed) is text/plain, anything
// else application/octet-stream. Content magic beyond that is not read.
std::string typeForFile(const GlobDatabase& db, const std::string& path);

// The last component of a path.
std::string_view fileNameOf(std::string_view path);

}  // namespace vz::mime
