// The registry store.
//
// Each root is one text file, windowsFolder()/registry/HKCU.reg (HKLM.reg,
// HKCR.reg), readable and editable by hand:
//
//   ; comment lines start with ";" or "#"
//   [Software\VemoraZip\Settings]      a key: its path, components joined by "\"
//   @="default value"                  the key's default value (empty name)
//   "Name"="text"                      a string value
//   "Count"=dword:0000002a             an integer (32 bits, hexadecimal)
//   "Blob"=hex:01,ff,00                a binary value (may be empty: "hex:")
//   []                                 values of the root itself
//
// Every key has its own header line, parents included, so empty keys
// survive. Escapes make every name and value round-trip byte for byte:
//   - in a key path, "%", "[", "]", the control characters and DEL are
//     written "%XX" (two hexadecimal digits); "\" cannot occur inside a
//     component because it separates them;
//   - inside double quotes (value names and string values), "\\", "\"",
//     "\n", "\r", "\t" and "\xXX" for the other control characters and DEL.
// Bytes from 0x80 up are written as they are (UTF-8 stays readable).
//
// The writer emits keys depth first, each level sorted ignoring case, and
// the values of a key sorted ignoring case. The reader expects that order
// but does not rely on it: keys or values that a hand edit duplicated are
// merged (the first spelling and the first value win). Unreadable lines are
// skipped and disappear at the next write.
//
// Every operation reads and parses the whole file (a store is a few KB);
// each change is a read-modify-write under the store's exclusive lock with
// an atomic rename (lockedstore.h), so concurrent processes never lose each
// other's changes. A file that exists but cannot be read is never
// overwritten.
#include "platform/registry.h"

#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <new>
#include <utility>

#include "platform/charcase.h"
#include "platform/folders.h"
#include "platform/lockedstore.h"
#include "platform/paths.h"

namespace vz {

namespace {

// Permission of the store files and of their folder: settings are private.
constexpr unsigned kStoreFileMode = 0600;
constexpr mode_t kStoreFolderMode = 0700;

// Deepest key path accepted (components). It bounds the recursion of the
// writer and of the tree's destruction, whatever a hand-edited file holds.
constexpr size_t kMaxKeyDepth = 512;

// The name written for the empty (default) value name.
constexpr char kDefaultValueName = '@';

const char* rootFileName(RegRoot root) {
  switch (root) {
    case RegRoot::CurrentUser:
      return "HKCU.reg";
    case RegRoot::LocalMachine:
      return "HKLM.reg";
    case RegRoot::ClassesRoot:
      return "HKCR.reg";
  }
  return "HKCU.reg";
}

const char* rootLongName(RegRoot root) {
  switch (root) {
    case RegRoot::CurrentUser:
      return "HKEY_CURRENT_USER";
    case RegRoot::LocalMachine:
      return "HKEY_LOCAL_MACHINE";
    case RegRoot::ClassesRoot:
      return "HKEY_CLASSES_ROOT";
  }
  return "HKEY_CURRENT_USER";
}

// ---- The in-memory tree ----------------------------------------------------

struct Node {
  std::string name;                                      // spelling the key was created with
  std::vector<std::pair<std::string, RegValue>> values;  // sorted by name, ignoring case
  std::vector<std::unique_ptr<Node>> children;           // sorted by name, ignoring case
};

bool lessNoCase(const std::string& a, const std::string& b) { return compareNoCase(a, b) < 0; }

Node* findChild(const Node& n, std::string_view name) {
  const auto it = std::lower_bound(
      n.children.begin(), n.children.end(), name,
      [](const std::unique_ptr<Node>& c, std::string_view v) { return compareNoCase(c->name, v) < 0; });
  return (it != n.children.end() && equalsNoCase((*it)->name, name)) ? it->get() : nullptr;
}

Node* addChild(Node& n, std::string_view name) {
  const auto it = std::lower_bound(
      n.children.begin(), n.children.end(), name,
      [](const std::unique_ptr<Node>& c, std::string_view v) { return compareNoCase(c->name, v) < 0; });
  if (it != n.children.end() && equalsNoCase((*it)->name, name)) return it->get();
  auto child = std::make_unique<Node>();
  child->name = std::string(name);
  return n.children.insert(it, std::move(child))->get();
}

using ValueList = std::vector<std::pair<std::string, RegValue>>;

// First value whose name is not less than name (ignoring case).
template <class List>
auto valueSlot(List& values, std::string_view name) {
  return std::lower_bound(
      values.begin(), values.end(), name,
      [](const std::pair<std::string, RegValue>& p, std::string_view v) { return compareNoCase(p.first, v) < 0; });
}

const RegValue* findValue(const Node& n, std::string_view name) {
  const auto it = valueSlot(n.values, name);
  return (it != n.values.end() && equalsNoCase(it->first, name)) ? &it->second : nullptr;
}

bool sameValue(const RegValue& a, const RegValue& b) {
  if (a.type != b.type) return false;
  switch (a.type) {
    case RegValue::Type::String:
      return a.text == b.text;
    case RegValue::Type::Integer:
      return a.number == b.number;
    case RegValue::Type::Binary:
      return a.bytes == b.bytes;
  }
  return false;
}

// Sets a value; returns whether the tree changed. An existing value keeps
// its name's first spelling.
bool putValue(Node& n, std::string_view name, const RegValue& v) {
  const auto it = valueSlot(n.values, name);
  if (it != n.values.end() && equalsNoCase(it->first, name)) {
    if (sameValue(it->second, v)) return false;
    it->second = v;
    return true;
  }
  n.values.insert(it, {std::string(name), v});
  return true;
}

// Sorts and merges a node's children and values after parsing (the file
// order is usually sorted already, then this is a linear check).
void normalise(Node& n) {
  auto childLess = [](const std::unique_ptr<Node>& a, const std::unique_ptr<Node>& b) {
    return lessNoCase(a->name, b->name);
  };
  if (!std::is_sorted(n.children.begin(), n.children.end(), childLess))
    std::stable_sort(n.children.begin(), n.children.end(), childLess);
  std::vector<std::unique_ptr<Node>> merged;
  merged.reserve(n.children.size());
  for (auto& c : n.children) {
    if (!merged.empty() && equalsNoCase(merged.back()->name, c->name)) {
      Node& keep = *merged.back();
      for (auto& v : c->values) keep.values.push_back(std::move(v));
      for (auto& g : c->children) keep.children.push_back(std::move(g));
    } else {
      merged.push_back(std::move(c));
    }
  }
  n.children = std::move(merged);

  auto valueLess = [](const std::pair<std::string, RegValue>& a, const std::pair<std::string, RegValue>& b) {
    return lessNoCase(a.first, b.first);
  };
  if (!std::is_sorted(n.values.begin(), n.values.end(), valueLess))
    std::stable_sort(n.values.begin(), n.values.end(), valueLess);
  n.values.erase(std::unique(n.values.begin(), n.values.end(),
                             [](const auto& a, const auto& b) { return equalsNoCase(a.first, b.first); }),
                 n.values.end());
  for (auto& c : n.children) normalise(*c);
}

// "A\B\\C\" -> {"A", "B", "C"}: empty components are dropped.
std::vector<std::string_view> splitKey(std::string_view key) {
  std::vector<std::string_view> parts;
  size_t i = 0;
  while (i <= key.size()) {
    size_t end = key.find('\\', i);
    if (end == std::string_view::npos) end = key.size();
    if (end > i) parts.push_back(key.substr(i, end - i));
    i = end + 1;
  }
  return parts;
}

Node* findKey(Node& root, std::string_view key) {
  const std::vector<std::string_view> parts = splitKey(key);
  if (parts.size() > kMaxKeyDepth) return nullptr;
  Node* n = &root;
  for (std::string_view part : parts) {
    n = findChild(*n, part);
    if (!n) return nullptr;
  }
  return n;
}

// Finds or creates the key; *created tells whether any key was added.
// nullptr when the path is deeper than kMaxKeyDepth.
Node* makeKey(Node& root, std::string_view key, bool* created) {
  const std::vector<std::string_view> parts = splitKey(key);
  if (parts.size() > kMaxKeyDepth) return nullptr;
  Node* n = &root;
  for (std::string_view part : parts) {
    Node* child = findChild(*n, part);
    if (!child) {
      child = addChild(*n, part);
      if (created) *created = true;
    }
    n = child;
  }
  return n;
}

// ---- Text format -----------------------------------------------------------

constexpr char kHexDigits[] = "0123456789abcdef";

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool isControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

void appendKeyComponent(std::string& out, std::string_view part) {
  for (char ch : part) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '%' || c == '[' || c == ']' || isControl(c)) {
      out += '%';
      out += kHexDigits[c >> 4];
      out += kHexDigits[c & 0x0F];
    } else {
      out += ch;
    }
  }
}

void appendQuoted(std::string& out, std::string_view s) {
  out += '"';
  for (char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    switch (ch) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (isControl(c)) {
          out += "\\x";
          out += kHexDigits[c >> 4];
          out += kHexDigits[c & 0x0F];
        } else {
          out += ch;
        }
    }
  }
  out += '"';
}

void appendValue(std::string& out, const std::string& name, const RegValue& v) {
  if (name.empty())
    out += kDefaultValueName;
  else
    appendQuoted(out, name);
  out += '=';
  switch (v.type) {
    case RegValue::Type::String:
      appendQuoted(out, v.text);
      break;
    case RegValue::Type::Integer:
      out += "dword:";
      for (int shift = 28; shift >= 0; shift -= 4) out += kHexDigits[(v.number >> shift) & 0x0F];
      break;
    case RegValue::Type::Binary:
      out += "hex:";
      for (size_t k = 0; k < v.bytes.size(); ++k) {
        if (k) out += ',';
        out += kHexDigits[v.bytes[k] >> 4];
        out += kHexDigits[v.bytes[k] & 0x0F];
      }
      break;
  }
  out += '\n';
}

void appendNode(std::string& out, const Node& n, std::string& path) {
  const size_t mark = path.size();
  for (const auto& c : n.children) {
    if (mark) path += '\\';
    appendKeyComponent(path, c->name);
    out += "\n[";
    out += path;
    out += "]\n";
    for (const auto& [name, value] : c->values) appendValue(out, name, value);
    appendNode(out, *c, path);
    path.resize(mark);
  }
}

std::string serialise(RegRoot root, const Node& tree) {
  std::string out = "; Vemora.Zip registry, ";
  out += rootLongName(root);
  out += ".\n; [key\\path] starts a key; @ is its default value; values are \"text\", dword:hex or hex:bytes.\n";
  if (!tree.values.empty()) {
    out += "\n[]\n";
    for (const auto& [name, value] : tree.values) appendValue(out, name, value);
  }
  std::string path;
  appendNode(out, tree, path);
  return out;
}

// Parses a "..." string starting at s[i] (the opening quote); leaves i after
// the closing quote.
bool parseQuoted(std::string_view s, size_t& i, std::string& out) {
  if (i >= s.size() || s[i] != '"') return false;
  ++i;
  out.clear();
  while (i < s.size()) {
    // Plain text up to the next quote or escape goes in one piece.
    size_t special = i;
    while (special < s.size() && s[special] != '"' && s[special] != '\\') ++special;
    if (special == s.size()) return false;  // no closing quote
    out.append(s.data() + i, special - i);
    i = special;
    const char c = s[i++];
    if (c == '"') return true;
    if (i >= s.size()) return false;
    const char e = s[i++];
    switch (e) {
      case '\\':
      case '"':
        out += e;
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 'x': {
        if (s.size() - i < 2) return false;
        const int hi = hexValue(s[i]), lo = hexValue(s[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        break;
      }
      default:
        return false;
    }
  }
  return false;  // no closing quote
}

// The components of a header's key path; false on a malformed escape.
bool parseKeyPath(std::string_view inner, std::vector<std::string>& parts) {
  parts.clear();
  std::string cur;
  for (size_t i = 0; i < inner.size(); ++i) {
    size_t plainEnd = i;
    while (plainEnd < inner.size() && inner[plainEnd] != '\\' && inner[plainEnd] != '%') ++plainEnd;
    cur.append(inner.data() + i, plainEnd - i);
    i = plainEnd;
    if (i == inner.size()) break;
    const char c = inner[i];
    if (c == '\\') {
      if (!cur.empty()) parts.push_back(std::move(cur));
      cur.clear();
    } else {  // "%XX"
      if (inner.size() - i < 3) return false;
      const int hi = hexValue(inner[i + 1]), lo = hexValue(inner[i + 2]);
      if (hi < 0 || lo < 0) return false;
      cur += static_cast<char>(hi * 16 + lo);
      i += 2;
    }
  }
  if (!cur.empty()) parts.push_back(std::move(cur));
  return parts.size() <= kMaxKeyDepth;
}

// Parses one value line; false when it is malformed.
bool parseValueLine(std::string_view line, std::string& name, RegValue& v) {
  size_t i = 0;
  if (line[0] == kDefaultValueName) {
    name.clear();
    i = 1;
  } else if (!parseQuoted(line, i, name)) {
    return false;
  }
  if (i >= line.size() || line[i] != '=') return false;
  std::string_view data = line.substr(i + 1);
  v = RegValue{};
  if (!data.empty() && data[0] == '"') {
    size_t k = 0;
    v.type = RegValue::Type::String;
    return parseQuoted(data, k, v.text) && k == data.size();
  }
  if (data.substr(0, 6) == "dword:") {
    data.remove_prefix(6);
    if (data.empty() || data.size() > 8) return false;
    uint32_t n = 0;
    for (char c : data) {
      const int h = hexValue(c);
      if (h < 0) return false;
      n = (n << 4) | static_cast<uint32_t>(h);
    }
    v.type = RegValue::Type::Integer;
    v.number = n;
    return true;
  }
  if (data.substr(0, 4) == "hex:") {
    data.remove_prefix(4);
    v.type = RegValue::Type::Binary;
    v.bytes.reserve(data.size() / 3 + 1);
    size_t k = 0;
    while (k < data.size()) {
      if (data.size() - k < 2) return false;
      const int hi = hexValue(data[k]), lo = hexValue(data[k + 1]);
      if (hi < 0 || lo < 0) return false;
      v.bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
      k += 2;
      if (k < data.size()) {
        if (data[k] != ',' || k + 1 == data.size()) return false;
        ++k;
      }
    }
    return true;
  }
  return false;
}

void parse(std::string_view text, Node& root) {
  Node* current = nullptr;  // key that value lines belong to; none before the first header
  std::vector<std::string> parts;
  std::string name;
  RegValue value;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    // Everything meaningful ends in "]", a quote or a hex digit, so blanks
    // and a CR at either end can go.
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      current = nullptr;
      if (line.back() != ']' || !parseKeyPath(line.substr(1, line.size() - 2), parts)) continue;
      // The file is written depth first in sorted order, so the key is
      // almost always a new last child; normalise() merges the rest.
      Node* n = &root;
      for (const std::string& p : parts) {
        if (!n->children.empty() && equalsNoCase(n->children.back()->name, p)) {
          n = n->children.back().get();
        } else {
          n->children.push_back(std::make_unique<Node>());
          n->children.back()->name = p;
          n = n->children.back().get();
        }
      }
      current = n;
      continue;
    }
    if (current && parseValueLine(line, name, value)) current->values.emplace_back(name, std::move(value));
  }
  normalise(root);
}

// ---- Store access ----------------------------------------------------------

std::string storeFolder() { return joinPath(windowsFolder(), "registry"); }

// Reads and parses a root's file; false when it exists but cannot be read.
bool load(RegRoot root, Node& tree) {
  std::string text;
  if (store::readAll(reg::storeFile(root), text) == store::ReadStatus::Failed) return false;
  parse(text, tree);
  return true;
}

// Runs change on the current tree under the store's lock and writes the
// result when change reports a modification. Returns false when the store
// cannot be read or written, or when change itself fails.
template <class F>
bool modify(RegRoot root, F&& change) {
  try {
    const std::string folder = storeFolder();
    mkdir(folder.c_str(), kStoreFolderMode);  // an existing folder is fine
    const std::string path = store::followLinks(reg::storeFile(root));
    store::WriteLock lock(path);
    if (!lock.held()) return false;
    std::string text;
    if (store::readAll(path, text) == store::ReadStatus::Failed) return false;
    Node tree;
    parse(text, tree);
    bool changed = false;
    if (!change(tree, changed)) return false;
    if (!changed) return true;
    return store::replaceAtomically(path, serialise(root, tree), kStoreFileMode);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool setValue(RegRoot root, std::string_view key, std::string_view name, const RegValue& v) {
  return modify(root, [&](Node& tree, bool& changed) {
    Node* n = makeKey(tree, key, &changed);
    if (!n) return false;
    if (putValue(*n, name, v)) changed = true;
    return true;
  });
}

}  // namespace

namespace reg {

std::string storeFile(RegRoot root) { return joinPath(storeFolder(), rootFileName(root)); }

bool createKey(RegRoot root, std::string_view key) {
  return modify(root, [&](Node& tree, bool& changed) { return makeKey(tree, key, &changed) != nullptr; });
}

bool keyExists(RegRoot root, std::string_view key) {
  try {
    Node tree;
    return load(root, tree) && findKey(tree, key) != nullptr;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool deleteKey(RegRoot root, std::string_view key) {
  const std::vector<std::string_view> parts = splitKey(key);
  if (parts.empty()) return false;  // the root itself cannot be deleted
  return modify(root, [&](Node& tree, bool& changed) {
    Node* parent = &tree;
    for (size_t k = 0; k + 1 < parts.size(); ++k) {
      parent = findChild(*parent, parts[k]);
      if (!parent) return false;
    }
    auto& kids = parent->children;
    const auto it = std::find_if(kids.begin(), kids.end(),
                                 [&](const std::unique_ptr<Node>& c) { return equalsNoCase(c->name, parts.back()); });
    if (it == kids.end()) return false;
    kids.erase(it);  // the subtree goes with it
    changed = true;
    return true;
  });
}

bool setString(RegRoot root, std::string_view key, std::string_view name, std::string_view value) {
  RegValue v;
  v.type = RegValue::Type::String;
  v.text = std::string(value);
  return setValue(root, key, name, v);
}

bool setInteger(RegRoot root, std::string_view key, std::string_view name, uint32_t value) {
  RegValue v;
  v.type = RegValue::Type::Integer;
  v.number = value;
  return setValue(root, key, name, v);
}

bool setBinary(RegRoot root, std::string_view key, std::string_view name, const std::vector<uint8_t>& value) {
  RegValue v;
  v.type = RegValue::Type::Binary;
  v.bytes = value;
  return setValue(root, key, name, v);
}

bool deleteValue(RegRoot root, std::string_view key, std::string_view name) {
  return modify(root, [&](Node& tree, bool& changed) {
    Node* n = findKey(tree, key);
    if (!n) return false;
    const auto it = valueSlot(n->values, name);
    if (it == n->values.end() || !equalsNoCase(it->first, name)) return false;
    n->values.erase(it);
    changed = true;
    return true;
  });
}

std::optional<RegValue> getValue(RegRoot root, std::string_view key, std::string_view name) {
  try {
    Node tree;
    if (!load(root, tree)) return std::nullopt;
    const Node* n = findKey(tree, key);
    if (!n) return std::nullopt;
    const RegValue* v = findValue(*n, name);
    if (!v) return std::nullopt;
    return *v;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::optional<std::string> getString(RegRoot root, std::string_view key, std::string_view name) {
  std::optional<RegValue> v = getValue(root, key, name);
  if (!v) return std::nullopt;
  if (v->type == RegValue::Type::String) return std::move(v->text);
  if (v->type == RegValue::Type::Integer) return std::to_string(v->number);
  return std::nullopt;
}

std::optional<uint32_t> getInteger(RegRoot root, std::string_view key, std::string_view name) {
  std::optional<RegValue> v = getValue(root, key, name);
  if (!v || v->type != RegValue::Type::Integer) return std::nullopt;
  return v->number;
}

std::vector<std::string> subkeys(RegRoot root, std::string_view key) {
  std::vector<std::string> names;
  try {
    Node tree;
    if (!load(root, tree)) return names;
    if (const Node* n = findKey(tree, key))
      for (const auto& c : n->children) names.push_back(c->name);
  } catch (const std::bad_alloc&) {
    names.clear();
  }
  return names;
}

std::vector<std::string> valueNames(RegRoot root, std::string_view key) {
  std::vector<std::string> names;
  try {
    Node tree;
    if (!load(root, tree)) return names;
    if (const Node* n = findKey(tree, key))
      for (const auto& v : n->values) names.push_back(v.first);
  } catch (const std::bad_alloc&) {
    names.clear();
  }
  return names;
}

}  // namespace reg
}  // namespace vz
