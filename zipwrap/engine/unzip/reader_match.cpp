// Entry selection by pattern (rules in reader_match.h).
#include "zipwrap/engine/unzip/reader_match.h"

#include <algorithm>
#include <string>

namespace vz::zipwrap {
namespace {

char foldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool isContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Iterative wildcard match with one backtrack point (the last "*"), so the
// cost is bounded by pattern length times name length. "?" takes one UTF-8
// character.
bool wildcard(std::string_view p, std::string_view s) {
  size_t pi = 0, si = 0, starP = std::string_view::npos, starS = 0;
  while (si < s.size()) {
    if (pi < p.size() && p[pi] == '*') {
      starP = pi++;
      starS = si;
    } else if (pi < p.size() && p[pi] == '?') {
      ++pi;
      ++si;
      while (si < s.size() && isContinuation(s[si])) ++si;
    } else if (pi < p.size() && foldAscii(p[pi]) == foldAscii(s[si])) {
      ++pi;
      ++si;
    } else if (starP != std::string_view::npos) {
      pi = starP + 1;
      si = ++starS;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

std::string normalised(std::string spec) {
  std::replace(spec.begin(), spec.end(), '\\', '/');
  while (spec.size() > 2 && spec.compare(0, 2, "./") == 0) spec.erase(0, 2);
  return spec;
}

std::vector<std::string> normalisedAll(const std::vector<std::string>& specs) {
  std::vector<std::string> out;
  for (const std::string& s : specs)
    if (!s.empty()) out.push_back(normalised(s));
  return out;
}

bool anyMatches(const std::vector<std::string>& specs, std::string_view name) {
  return std::any_of(specs.begin(), specs.end(), [&](const std::string& s) { return specMatches(s, name); });
}

}  // namespace

bool specMatches(std::string_view spec, std::string_view name) {
  if (wildcard(spec, name)) return true;
  if (!spec.empty() && spec.back() == '/') {
    return wildcard(std::string(spec) + "*", name);
  }
  if (spec.find('/') != std::string_view::npos) return false;
  std::string_view last = name;
  if (!last.empty() && last.back() == '/') last.remove_suffix(1);
  const size_t slash = last.rfind('/');
  if (slash == std::string_view::npos) return false;
  return wildcard(spec, last.substr(slash + 1));
}

EntrySelector::EntrySelector(const EngineCommand& command)
    : files_(normalisedAll(command.files)),
      includes_(normalisedAll(command.includes)),
      excludes_(normalisedAll(command.excludes)) {}

bool EntrySelector::selects(std::string_view name) const {
  if (!files_.empty() && !anyMatches(files_, name)) return false;
  if (!includes_.empty() && !anyMatches(includes_, name)) return false;
  return !anyMatches(excludes_, name);
}

}  // namespace vz::zipwrap
