// Profile (INI) files.
//
// File layout, as the original profile functions read it:
//   ; comment                 a line whose first non-blank character is ";"
//   [Section]                 "[" name "]", blanks around the name ignored
//   key=value                 blanks around key and value ignored
//   anything else             kept on rewrite, otherwise ignored
// Lines end in LF or CR LF (both are read; a rewrite keeps the style of the
// file's first line), and a UTF-8 byte order mark at the start is kept.
// Names compare ignoring case (charcase.h). When a section or key occurs
// more than once, lookups and changes use the first occurrence; deleting
// removes every occurrence, so a deleted key or section never reappears.
//
// Values: reading trims blanks and removes one pair of double quotes that
// encloses the whole value. So that every value reads back exactly as it was
// written, the writer encloses in double quotes each value that has leading
// or trailing blanks or is itself enclosed in double quotes. A value or name
// that would break the line structure (a line feed or carriage return, a
// key containing "=", a section name containing "]") is refused instead of
// being written, so no caller can inject lines into the file.
//
// Writing: each change is a read-modify-write under the store's exclusive
// lock (lockedstore.h); the new text goes to a temporary file that is renamed
// over the old one. Reading takes no lock. A file that cannot be read is
// never overwritten.
//
// Escape for values that may hold line feeds (the control's password store
// and the language files): iniEscape stores a line feed as backslash + "n"
// and a backslash as two backslashes, so that a literal backslash followed
// by "n" in the original value survives (it is stored as backslash,
// backslash, "n"). iniUnescape turns backslash + "n" into a line feed and two
// backslashes into one, and keeps every other backslash as it stands, so
// stored texts written by hand ("C:\TEMP") keep their backslashes.
#include "platform/profile.h"

#include <unistd.h>

#include <climits>
#include <cstddef>
#include <new>
#include <string>

#include "platform/charcase.h"
#include "platform/folders.h"
#include "platform/lockedstore.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace vz {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) { return text::trim(s, text::kBlanks); }

// One line of an INI file, classified.
struct IniLine {
  enum class Kind { Blank, Comment, Section, Entry, Other };
  Kind kind = Kind::Other;
  std::string_view name;   // section name or key, blanks removed
  std::string_view value;  // Entry: the text after "=", as stored
};

IniLine classify(std::string_view line) {
  IniLine out;
  const std::string_view t = trim(line);
  if (t.empty()) {
    out.kind = IniLine::Kind::Blank;
  } else if (t.front() == ';') {
    out.kind = IniLine::Kind::Comment;
  } else if (t.front() == '[' && t.find(']') != std::string_view::npos) {
    out.kind = IniLine::Kind::Section;
    out.name = trim(t.substr(1, t.find(']') - 1));
  } else if (const size_t eq = t.find('='); eq != std::string_view::npos) {
    out.kind = IniLine::Kind::Entry;
    out.name = trim(t.substr(0, eq));
    out.value = t.substr(eq + 1);
  }
  return out;
}

// Walks the lines of a file's text (byte order mark skipped, CR before LF
// removed); f returns false to stop.
template <class F>
void forEachLine(std::string_view text, F&& f) {
  if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) text.remove_prefix(kUtf8Bom.size());
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!f(line)) return;
    pos = end + 1;
  }
}

// The value as the caller sees it: blanks trimmed, one pair of enclosing
// double quotes removed.
std::string decodeValue(std::string_view stored) {
  std::string_view v = trim(stored);
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
  return std::string(v);
}

// The stored form of a value; decodeValue(encodeValue(v)) == v.
std::string encodeValue(std::string_view v) {
  const bool blankEdge = !v.empty() && (isBlank(v.front()) || isBlank(v.back()));
  const bool quoted = v.size() >= 2 && v.front() == '"' && v.back() == '"';
  if (blankEdge || quoted) return "\"" + std::string(v) + "\"";
  return std::string(v);
}

bool hasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// Reads the whole profile; false when it exists but cannot be read. A
// missing file reads as empty.
bool readProfile(const std::string& path, std::string& text) {
  if (path.empty()) return false;
  return store::readAll(path, text) != store::ReadStatus::Failed;
}

// Text of a profile file split into lines for rewriting.
struct ProfileText {
  std::string bom;                 // the byte order mark, when the file had one
  std::string eol = "\n";          // line end of the file's first line
  std::vector<std::string> lines;  // lines without their ends

  explicit ProfileText(std::string_view text) {
    if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) bom = std::string(kUtf8Bom);
    const size_t firstEnd = text.find('\n');
    if (firstEnd != std::string_view::npos && firstEnd > 0 && text[firstEnd - 1] == '\r') eol = "\r\n";
    forEachLine(text, [&](std::string_view line) {
      lines.emplace_back(line);
      return true;
    });
  }

  std::string join() const {
    std::string out = bom;
    for (const std::string& l : lines) {
      out += l;
      out += eol;
    }
    return out;
  }
};

// Applies one writeProfileString change to the lines; returns whether
// anything changed.
bool applyChange(ProfileText& doc, std::string_view section, std::optional<std::string_view> key,
                 std::optional<std::string_view> value) {
  using Kind = IniLine::Kind;
  std::vector<std::string>& lines = doc.lines;
  std::vector<IniLine> info;
  info.reserve(lines.size());
  for (const std::string& l : lines) info.push_back(classify(l));

  // Which lines belong to a section of that name (header included).
  std::vector<bool> inSection(lines.size(), false);
  size_t firstHeader = lines.size(), firstEnd = lines.size();
  bool current = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (info[i].kind == Kind::Section) {
      current = equalsNoCase(info[i].name, section);
      if (current && firstHeader == lines.size()) {
        firstHeader = i;
        size_t e = i + 1;
        while (e < lines.size() && info[e].kind != Kind::Section) ++e;
        firstEnd = e;
      }
    }
    inSection[i] = current;
  }

  std::vector<bool> remove(lines.size(), false);
  bool changed = false;
  if (!key) {
    // Delete the section: every occurrence, header and contents.
    for (size_t i = 0; i < lines.size(); ++i) remove[i] = inSection[i];
  } else if (!value) {
    for (size_t i = 0; i < lines.size(); ++i)
      remove[i] = inSection[i] && info[i].kind == Kind::Entry && equalsNoCase(info[i].name, *key);
  } else {
    const std::string encoded = encodeValue(*value);
    if (firstHeader == lines.size()) {
      if (!lines.empty() && !trim(lines.back()).empty()) lines.emplace_back();
      lines.push_back("[" + std::string(section) + "]");
      lines.push_back(std::string(*key) + "=" + encoded);
      return true;
    }
    size_t lastEntry = firstHeader;
    for (size_t i = firstHeader + 1; i < firstEnd; ++i) {
      if (info[i].kind != Kind::Entry) continue;
      if (equalsNoCase(info[i].name, *key)) {
        // Keep the key's first spelling; skip the rewrite when nothing changes.
        std::string line = std::string(info[i].name) + "=" + encoded;
        if (decodeValue(info[i].value) == *value) return false;
        lines[i] = std::move(line);
        return true;
      }
      lastEntry = i;
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastEntry) + 1, std::string(*key) + "=" + encoded);
    return true;
  }

  std::vector<std::string> kept;
  kept.reserve(lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    if (remove[i])
      changed = true;
    else
      kept.push_back(std::move(lines[i]));
  }
  lines = std::move(kept);
  return changed;
}

}  // namespace

std::string profilePath(std::string_view file) {
  if (file.empty()) return {};
  const bool bare = file.find_first_of("/\\") == std::string_view::npos && !(file.size() >= 2 && file[1] == ':');
  const std::string path = bare ? joinPath(windowsFolder(), file) : toNativePath(file);
  // Fixed names are looked up ignoring case ("qx30.ini" finds "QX30.INI"),
  // an exact match first.
  if (access(path.c_str(), F_OK) == 0) return path;
  const std::string folder = directoryPart(path);
  const std::string found = findFileNoCase(folder, fileNamePart(path));
  return found.empty() ? path : found;
}

std::string getProfileString(std::string_view section, std::string_view key, std::string_view def,
                             std::string_view file) {
  std::string text;
  if (!readProfile(profilePath(file), text)) return std::string(def);
  const std::string_view wantSection = trim(section), wantKey = trim(key);
  bool inSection = false, seenSection = false, found = false;
  std::string result;
  forEachLine(text, [&](std::string_view line) {
    const IniLine l = classify(line);
    if (l.kind == IniLine::Kind::Section) {
      if (seenSection) return false;  // the first section of that name has ended
      inSection = equalsNoCase(l.name, wantSection);
      seenSection = inSection;
    } else if (inSection && l.kind == IniLine::Kind::Entry && equalsNoCase(l.name, wantKey)) {
      result = decodeValue(l.value);
      found = true;
      return false;
    }
    return true;
  });
  return found ? result : std::string(def);
}

int getProfileInt(std::string_view section, std::string_view key, int def, std::string_view file) {
  const std::string v = getProfileString(section, key, "", file);
  size_t i = 0;
  bool negative = false;
  if (i < v.size() && (v[i] == '-' || v[i] == '+')) negative = v[i++] == '-';
  if (i >= v.size() || v[i] < '0' || v[i] > '9') return def;
  long long n = 0;
  for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i) {
    n = n * 10 + (v[i] - '0');
    if (n > static_cast<long long>(INT_MAX) + 1) n = static_cast<long long>(INT_MAX) + 1;  // clamp
  }
  if (negative) return n > static_cast<long long>(INT_MAX) ? INT_MIN : static_cast<int>(-n);
  return n > INT_MAX ? INT_MAX : static_cast<int>(n);
}

bool writeProfileString(std::string_view section, std::optional<std::string_view> key,
                        std::optional<std::string_view> value, std::string_view file, unsigned createMode) {
  const std::string_view sec = trim(section);
  if (hasLineBreak(sec) || sec.find(']') != std::string_view::npos) return false;
  std::optional<std::string_view> k;
  if (key) {
    k = trim(*key);
    if (k->empty() || hasLineBreak(*k) || k->find('=') != std::string_view::npos || k->front() == ';' ||
        k->front() == '[')
      return false;
  }
  if (k && value && hasLineBreak(*value)) return false;

  const std::string named = profilePath(file);
  if (named.empty()) return false;
  const std::string path = store::followLinks(named);
  try {
    store::WriteLock lock(path);
    if (!lock.held()) return false;
    std::string text;
    const store::ReadStatus rs = store::readAll(path, text);
    if (rs == store::ReadStatus::Failed) return false;
    // Deleting from a file that does not exist changes nothing.
    if (rs == store::ReadStatus::Missing && !(k && value)) return true;
    ProfileText doc(text);
    if (!applyChange(doc, sec, k, k ? value : std::nullopt)) return true;
    return store::replaceAtomically(path, doc.join(), createMode);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

std::vector<std::string> getProfileSectionNames(std::string_view file) {
  std::string text;
  std::vector<std::string> names;
  if (!readProfile(profilePath(file), text)) return names;
  forEachLine(text, [&](std::string_view line) {
    const IniLine l = classify(line);
    if (l.kind != IniLine::Kind::Section) return true;
    for (const std::string& n : names)
      if (equalsNoCase(n, l.name)) return true;
    names.emplace_back(l.name);
    return true;
  });
  return names;
}

std::vector<std::pair<std::string, std::string>> getProfileSection(std::string_view section, std::string_view file) {
  std::string text;
  std::vector<std::pair<std::string, std::string>> pairs;
  if (!readProfile(profilePath(file), text)) return pairs;
  const std::string_view want = trim(section);
  bool inSection = false, seenSection = false;
  forEachLine(text, [&](std::string_view line) {
    const IniLine l = classify(line);
    if (l.kind == IniLine::Kind::Section) {
      if (seenSection) return false;
      inSection = equalsNoCase(l.name, want);
      seenSection = inSection;
    } else if (inSection && l.kind == IniLine::Kind::Entry) {
      // A key repeated inside the section is reported once, with the value
      // that lookups see (its first occurrence).
      for (const auto& p : pairs)
        if (equalsNoCase(p.first, l.name)) return true;
      pairs.emplace_back(std::string(l.name), decodeValue(l.value));
    }
    return true;
  });
  return pairs;
}

std::string iniEscape(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    if (c == '\n')
      out += "\\n";
    else if (c == '\\')
      out += "\\\\";
    else
      out += c;
  }
  return out;
}

std::string iniUnescape(std::string_view stored) {
  std::string out;
  out.reserve(stored.size());
  for (size_t i = 0; i < stored.size(); ++i) {
    const char c = stored[i];
    if (c == '\\' && i + 1 < stored.size()) {
      if (stored[i + 1] == 'n') {
        out += '\n';
        ++i;
        continue;
      }
      if (stored[i + 1] == '\\') {
        out += '\\';
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

}  // namespace vz
