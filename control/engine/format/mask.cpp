// The mask rule and the wildcard comparison (rules in mask.h).
#include "control/engine/format/mask.h"

#include <string>

#include "control/engine/format/entry_name.h"
#include "platform/charcase.h"

namespace vz::engine {

namespace {

constexpr std::string_view kMatchAll = "*.*";

bool wildcardUpper(std::string_view name, std::string_view pat) {
  if (pat == kMatchAll) return true;
  size_t i = 0, j = 0;
  while (i < pat.size()) {
    const char c = pat[i];
    if (c == '?') {
      if (j >= name.size()) return false;
      ++i, ++j;
    } else if (c == '*') {
      const size_t nextDot = pat.find('.', i);
      i = nextDot == std::string_view::npos ? pat.size() : nextDot;
      const size_t lastDot = name.rfind('.');
      j = (lastDot != std::string_view::npos && lastDot >= j) ? lastDot : name.size();
    } else if (j < name.size() && name[j] == c) {
      ++i, ++j;
    } else {
      return c == '.' && j >= name.size() && (i + 1 == pat.size() || pat[i + 1] == '*');
    }
  }
  return j >= name.size();
}

}  // namespace

bool wildcardMatch(std::string_view name, std::string_view pattern) {
  return wildcardUpper(toUpper(name), toUpper(pattern));
}

bool maskMatches(std::string_view name, std::string_view mask) {
  if (mask == kMatchAll) return true;
  if (equalsNoCase(name, mask)) return true;
  const NameParts entry = splitEntryName(toUpper(name));
  const NameParts pattern = splitEntryName(toUpper(mask));
  if (entry.directory != pattern.directory && !pattern.directory.empty() &&
      !wildcardUpper(entry.directory, pattern.directory))
    return false;
  if (entry.name == pattern.name) return true;
  return wildcardUpper(entry.name, pattern.name);
}

}  // namespace vz::engine
