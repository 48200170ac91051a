// Stored names and wildcards (see zip_names.h).
#include "zipwrap/engine/zip/zip_names.h"

#include <cctype>

namespace vz::zipwrap {

std::string storedNameOf(std::string_view given) {
  std::string text(given);
  for (char& c : text)
    if (c == '\\') c = '/';
  if (text.size() >= 2 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':') text.erase(0, 2);
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= text.size()) {
    size_t slash = text.find('/', start);
    if (slash == std::string::npos) slash = text.size();
    const std::string part = text.substr(start, slash - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = slash + 1;
  }
  std::string out;
  for (const std::string& p : parts) {
    if (!out.empty()) out += '/';
    out += p;
  }
  return out;
}

std::string lastComponent(std::string_view stored) {
  if (!stored.empty() && stored.back() == '/') stored.remove_suffix(1);
  const size_t slash = stored.rfind('/');
  return std::string(slash == std::string_view::npos ? stored : stored.substr(slash + 1));
}

bool hasWildcards(std::string_view text) { return text.find_first_of("*?") != std::string_view::npos; }

bool wildcardMatches(std::string_view pattern, std::string_view name) {
  if (pattern == "*.*") return true;
  // Iterative matching with one back-tracking point: the last "*" seen and
  // the name position it currently swallows up to.
  size_t p = 0, n = 0;
  size_t starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

namespace {

bool anyMatches(const std::vector<std::string>& patterns, const std::string& whole, const std::string& last) {
  for (const std::string& pattern : patterns) {
    const std::string p = storedNameOf(pattern).empty() ? pattern : storedNameOf(pattern);
    if (wildcardMatches(p, whole) || wildcardMatches(p, last)) return true;
  }
  return false;
}

}  // namespace

bool passesFilters(const std::string& stored, const std::vector<std::string>& includes,
                   const std::vector<std::string>& excludes) {
  std::string whole = stored;
  if (!whole.empty() && whole.back() == '/') whole.pop_back();
  const std::string last = lastComponent(stored);
  if (!includes.empty() && !anyMatches(includes, whole, last)) return false;
  return !anyMatches(excludes, whole, last);
}

bool needsUtf8Flag(std::string_view name) {
  for (unsigned char c : name)
    if (c >= 0x80) return true;
  return false;
}

}  // namespace vz::zipwrap
