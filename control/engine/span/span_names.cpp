// Names of a spanned backup set (span_names.h).
#include "control/engine/span/span_names.h"

#include <cstring>

namespace vz::engine {

namespace {

// Characters a short name cannot hold, besides blanks, dots, control
// characters and bytes beyond ASCII.
constexpr const char* kNotInShortNames = "+,;=[]<>|\"*?/\\:";
// Length of a short name's base part.
constexpr size_t kShortBaseLength = 8;

bool shortNameChar(unsigned char c) {
  if (c <= 0x20 || c >= 0x7F || c == '.') return false;
  return std::strchr(kNotInShortNames, c) == nullptr;
}

}  // namespace

std::string shortBaseName(std::string_view baseName) {
  std::string out;
  for (const char ch : baseName) {
    const auto c = static_cast<unsigned char>(ch);
    if (!shortNameChar(c)) continue;
    out.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : static_cast<char>(c));
    if (out.size() == kShortBaseLength) break;
  }
  if (out.empty()) out = "_";
  return out;
}

std::string baseNameOf(std::string_view path) {
  const size_t slash = path.find_last_of("/\\");
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
  return std::string(name);
}

char spanDigit(int value) {
  if (value < 0 || value >= kMaxSpanParts) return '~';
  return value < 10 ? static_cast<char>('0' + value) : static_cast<char>('A' + value - 10);
}

std::optional<int> spanDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  return std::nullopt;
}

std::string partFileName(std::string_view shortBase, int index, int last) {
  std::string name(shortBase);
  name += '.';
  name += spanDigit(index);
  name += '_';
  name += spanDigit(last);
  return name;
}

bool isFirstPartName(std::string_view fileName) {
  return fileName.size() >= 4 && fileName[fileName.size() - 4] == '.' && fileName[fileName.size() - 3] == '0' &&
         fileName[fileName.size() - 2] == '_';
}

std::optional<int> lastIndexOfPartName(std::string_view partFileName) {
  if (partFileName.size() < 4 || partFileName[partFileName.size() - 2] != '_') return std::nullopt;
  return spanDigitValue(partFileName.back());
}

std::string backupArchiveName(std::string_view mask) {
  // The folder part is the text up to and including the last separator,
  // after a drive prefix "X:": the mask C:\*.* has the folder "\".
  std::string_view rest = mask;
  if (rest.size() >= 2 && rest[1] == ':') rest = rest.substr(2);
  const size_t slash = rest.find_last_of("/\\");
  const std::string_view folder = slash == std::string_view::npos ? std::string_view{} : rest.substr(0, slash + 1);
  if (folder.size() < 2) {
    const char letter = mask.empty() ? 'C' : mask.front();
    return shortBaseName(std::string("DRIVE_") + letter) + ".ZIP";
  }
  const std::string_view inner = folder.substr(0, folder.size() - 1);
  const size_t prev = inner.find_last_of("/\\");
  const std::string_view last = prev == std::string_view::npos ? inner : inner.substr(prev + 1);
  return shortBaseName(last) + ".ZIP";
}

}  // namespace vz::engine
