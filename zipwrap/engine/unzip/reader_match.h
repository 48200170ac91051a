// Which entries an operation works on: the command's file patterns,
// its -i include and -x exclude filters, matched against the stored names.
//
// A pattern matches names: "*" stands for any run of characters
// (also across "/"), "?" for exactly one character; letters match without
// regard to ASCII case (the caller's users come from a system whose names
// ignore case). "\" in a pattern is read as "/" and a leading "./"
// is dropped (so a name starting with "-" can be given). A pattern
// without "/" also matches the last component of a name ("*.c" matches
// "src/a.c"); one that ends with "/" matches the folder and everything in it.
//
// An entry is selected when it matches a file pattern (or there are
// none), matches an include filter (or there are none), and matches no
// exclude filter.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "zipwrap/engine/engine_command.h"

namespace vz::zipwrap {

// The pattern rule above, on one name.
bool specMatches(std::string_view spec, std::string_view name);

class EntrySelector {
 public:
  explicit EntrySelector(const EngineCommand& command);
  bool selects(std::string_view name) const;
  // Whether the command named any file pattern.
  bool hasSpecs() const { return !files_.empty() || !includes_.empty(); }

 private:
  std::vector<std::string> files_;     // file patterns, normalised
  std::vector<std::string> includes_;  // -i
  std::vector<std::string> excludes_;  // -x
};

}  // namespace vz::zipwrap
