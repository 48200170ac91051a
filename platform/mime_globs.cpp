// Reading and matching the MIME database's file-name rules (see
// mime_globs.h).
#include "platform/mime_globs.h"

#include <fnmatch.h>

#include <algorithm>
#include <fstream>
#include <set>

#include "platform/charcase.h"
#include "platform/codepage.h"
#include "platform/file.h"

namespace vz::mime {

namespace {

// Bytes of a file's content looked at to tell text from binary data.
constexpr size_t kSniffBytes = 512;

bool hasWildcard(std::string_view s) { return s.find_first_of("*?[") != std::string_view::npos; }

// Splits "a:b:c" at ":" (no escaping exists in the format).
std::vector<std::string_view> splitColons(std::string_view line) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (true) {
    const size_t colon = line.find(':', start);
    parts.push_back(line.substr(start, colon == std::string_view::npos ? std::string_view::npos : colon - start));
    if (colon == std::string_view::npos) break;
    start = colon + 1;
  }
  return parts;
}

// s without a UTF-8 sequence cut off at its end.
std::string_view withoutCutCharacter(std::string_view s) {
  for (size_t back = 1; back <= 4 && back <= s.size(); ++back) {
    const auto b = static_cast<unsigned char>(s[s.size() - back]);
    if ((b & 0xC0) == 0x80) continue;  // a continuation byte: look further back for the lead
    const size_t len = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 1;
    return len > back ? s.substr(0, s.size() - back) : s;
  }
  return s;
}

bool looksLikeText(std::string_view bytes) {
  if (bytes.empty() || !isValidUtf8(bytes)) return false;
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 && b != '\t' && b != '\n' && b != '\r' && b != '\f') return false;
    if (b == 0x7F) return false;
  }
  return true;
}

}  // namespace

bool GlobDatabase::better(const Rule& candidate, const Rule* best) {
  if (!best) return true;
  if (candidate.weight != best->weight) return candidate.weight > best->weight;
  return candidate.pattern.size() > best->pattern.size();
}

GlobDatabase GlobDatabase::load(const std::string& path) {
  GlobDatabase db;
  std::ifstream in(path);
  if (!in) return db;
  db.loaded_ = true;
  std::set<std::string> types = {kOctetStream, kPlainText};
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    const std::vector<std::string_view> f = splitColons(line);
    if (f.size() < 3 || f[1].empty() || f[2].empty()) continue;
    Rule r;
    int weight = 0;
    bool digits = !f[0].empty();
    for (char c : f[0]) {
      if (c < '0' || c > '9' || weight > 1000) {
        digits = false;
        break;
      }
      weight = weight * 10 + (c - '0');
    }
    r.weight = digits ? weight : 50;
    r.type = std::string(f[1]);
    types.insert(r.type);
    // "__NOGLOBS__" removes the rules of lower-priority files; one file has
    // nothing to remove.
    if (f[2] == "__NOGLOBS__") continue;
    r.caseSensitive = f.size() > 3 && f[3].find("cs") != std::string_view::npos;
    r.pattern = r.caseSensitive ? std::string(f[2]) : toLower(f[2]);

    if (!hasWildcard(r.pattern)) {
      auto& map = r.caseSensitive ? db.literalsExact_ : db.literals_;
      auto it = map.find(r.pattern);
      if (it == map.end() || better(r, &it->second)) map[r.pattern] = r;
    } else if (r.pattern[0] == '*' && !hasWildcard(std::string_view(r.pattern).substr(1))) {
      auto& map = r.caseSensitive ? db.suffixesExact_ : db.suffixes_;
      map[r.pattern.substr(1)].push_back(r);
    } else {
      db.wildcards_.push_back(r);
    }
  }

  db.types_.assign(types.begin(), types.end());
  for (size_t i = 0; i < db.types_.size(); ++i) db.typeIndex_[db.types_[i]] = static_cast<int>(i);

  // Icon-name overrides live beside the rules.
  const size_t slash = path.rfind('/');
  const std::string iconsPath = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "icons";
  std::ifstream icons(iconsPath);
  while (icons && std::getline(icons, line)) {
    const size_t colon = line.find(':');
    if (line.empty() || line[0] == '#' || colon == std::string::npos || colon + 1 >= line.size()) continue;
    db.icons_[line.substr(0, colon)] = line.substr(colon + 1);
  }
  return db;
}

std::string GlobDatabase::typeForName(std::string_view fileName) const {
  if (!loaded_ || fileName.empty()) return {};
  const std::string lower = toLower(fileName);

  // 1. Literal names.
  const Rule* best = nullptr;
  if (auto it = literalsExact_.find(std::string(fileName)); it != literalsExact_.end()) best = &it->second;
  if (auto it = literals_.find(lower); it != literals_.end() && better(it->second, best)) best = &it->second;
  if (best) return best->type;

  // 2. Suffixes: every tail of the name is a candidate key.
  for (size_t p = 0; p < fileName.size(); ++p) {
    if (auto it = suffixesExact_.find(std::string(fileName.substr(p))); it != suffixesExact_.end())
      for (const Rule& r : it->second)
        if (better(r, best)) best = &r;
    if (auto it = suffixes_.find(lower.substr(p)); it != suffixes_.end())
      for (const Rule& r : it->second)
        if (better(r, best)) best = &r;
  }
  if (best) return best->type;

  // 3. The remaining wildcard patterns.
  const std::string exact(fileName);
  for (const Rule& r : wildcards_) {
    const std::string& subject = r.caseSensitive ? exact : lower;
    if (fnmatch(r.pattern.c_str(), subject.c_str(), 0) == 0 && better(r, best)) best = &r;
  }
  return best ? best->type : std::string();
}

int GlobDatabase::indexOf(std::string_view type) const {
  auto it = typeIndex_.find(std::string(type));
  return it == typeIndex_.end() ? -1 : it->second;
}

std::string GlobDatabase::iconNameOf(std::string_view type) const {
  if (auto it = icons_.find(std::string(type)); it != icons_.end()) return it->second;
  std::string name(type);
  std::replace(name.begin(), name.end(), '/', '-');
  return name;
}

const GlobDatabase& systemGlobs() {
  static const GlobDatabase db = GlobDatabase::load(kSystemGlobsFile);
  return db;
}

std::string_view fileNameOf(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string typeForFile(const GlobDatabase& db, const std::string& path) {
  std::string type = db.typeForName(fileNameOf(path));
  if (!type.empty()) return type;
  if (isRegularFile(path)) {
    File f;
    if (f.open(path, File::Mode::Read)) {
      std::string head(kSniffBytes, '\0');
      const int64_t n = f.read(head.data(), head.size());
      if (n > 0) {
        head.resize(static_cast<size_t>(n));
        // A cut at the sniff limit may split the last character.
        std::string_view whole = head;
        if (static_cast<size_t>(n) == kSniffBytes) whole = withoutCutCharacter(whole);
        if (looksLikeText(whole)) return kPlainText;
      }
    }
  }
  return kOctetStream;
}

}  // namespace vz::mime
