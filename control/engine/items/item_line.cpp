// Writing and reading the list-box line of an item (format in item_line.h).
#include "control/engine/items/item_line.h"

#include <algorithm>
#include <charconv>

namespace vz::engine {

namespace {

// Number fields between the flag/method field and DIR:NAME.
constexpr size_t kNumberFields = 9;

template <class T>
void appendNumber(std::string& out, T v) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

bool allBlanks(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c == ' '; });
}

// A name field: a blank for none, one blank more for a name of blanks.
void appendNameField(std::string& out, const std::string& name) {
  if (allBlanks(name))
    out.append(name.size() + 1, ' ');
  else
    out += name;
}

// A decimal field of T; int32 fields may carry a sign (the writer prints
// them signed), the unsigned ones may not.
template <class T>
bool readNumber(std::string_view field, T& out) {
  if (field.empty()) return false;
  if (field.front() == '+') return false;
  const auto r = std::from_chars(field.data(), field.data() + field.size(), out);
  return r.ec == std::errc() && r.ptr == field.data() + field.size();
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The decoded form of a name field.
std::string_view decodeNameField(std::string_view field) {
  if (!field.empty() && allBlanks(field)) return field.substr(1);
  return field;
}

}  // namespace

void formatItemLineInto(const ZIPITEM& item, std::string& out) {
  const bool cutDirectory = !item.directory.empty() && item.directory.back() != '\\';
  uint8_t flags = 0;
  if (item.isReadOnly) flags |= 0x01;
  if (item.isHidden) flags |= 0x02;
  if (item.isSystem) flags |= 0x04;
  if (item.isDirectory) flags |= 0x10;
  if (item.isArchive) flags |= 0x20;
  if (cutDirectory) flags |= kLineCutDirectory;
  if (item.isEncrypted) flags |= kLineEncrypted;
  if (item.isAnnotated) flags |= kLineAnnotated;

  static constexpr char kHex[] = "0123456789abcdef";
  out.clear();
  out += kHex[flags >> 4];
  out += kHex[flags & 0x0F];
  out += static_cast<char>('0' + std::clamp(item.method, 0, 9));
  out += ';';
  for (int32_t v : {item.hour, item.minute, item.day, item.month, item.year}) {
    appendNumber(out, v);
    out += ';';
  }
  appendNumber(out, item.originalSize);
  out += ';';
  appendNumber(out, item.rate);
  out += ';';
  appendNumber(out, item.iconIndex);
  out += ';';
  appendNumber(out, item.crc);
  out += ';';
  if (item.directory.empty()) {
    out += ' ';
  } else {
    out += item.directory;
    if (cutDirectory) out += '\\';
  }
  out += ':';
  appendNameField(out, item.name);
}

std::string formatItemLine(const ZIPITEM& item) {
  std::string line;
  formatItemLineInto(item, line);
  return line;
}

bool splitItemLine(std::string_view line, ItemLineFields& out) {
  // The flag byte and the method digit.
  size_t semi = line.find(';');
  if (semi != 3) return false;
  const int hi = hexDigit(line[0]), lo = hexDigit(line[1]);
  if (hi < 0 || lo < 0 || line[2] < '0' || line[2] > '9') return false;
  ItemLineFields f;
  f.flags = static_cast<uint8_t>(hi * 16 + lo);
  f.method = line[2] - '0';

  // The nine number fields.
  std::string_view fields[kNumberFields];
  size_t start = semi + 1;
  for (size_t i = 0; i < kNumberFields; ++i) {
    semi = line.find(';', start);
    if (semi == std::string_view::npos) return false;
    fields[i] = line.substr(start, semi - start);
    start = semi + 1;
  }
  if (!readNumber(fields[0], f.hour) || !readNumber(fields[1], f.minute) || !readNumber(fields[2], f.day) ||
      !readNumber(fields[3], f.month) || !readNumber(fields[4], f.year) || !readNumber(fields[5], f.size) ||
      !readNumber(fields[6], f.rate) || !readNumber(fields[7], f.icon) || !readNumber(fields[8], f.crc))
    return false;

  // DIR:NAME. A name never holds "\", so the last "\" closes the directory
  // and the ":" behind it is the boundary; with no "\" at all the directory
  // is the blank of an empty one.
  f.tail = line.substr(start);
  const size_t backslash = f.tail.rfind('\\');
  size_t boundary;
  if (backslash == std::string_view::npos) {
    if (f.tail.size() < 2 || f.tail[0] != ' ' || f.tail[1] != ':') return false;
    boundary = 1;
  } else {
    if (backslash + 1 >= f.tail.size() || f.tail[backslash + 1] != ':') return false;
    boundary = backslash + 1;
  }
  f.directory = f.tail.substr(0, boundary);
  f.name = f.tail.substr(boundary + 1);
  out = f;
  return true;
}

bool parseItemLine(std::string_view line, ZIPITEM& out) {
  ItemLineFields f;
  if (!splitItemLine(line, f)) return false;
  ZIPITEM item;
  std::string_view dir = f.directory;
  if (dir == " ") dir = {};
  if ((f.flags & kLineCutDirectory) && !dir.empty()) dir.remove_suffix(1);
  item.directory = std::string(dir);
  item.name = std::string(decodeNameField(f.name));
  item.isReadOnly = f.flags & 0x01;
  item.isHidden = f.flags & 0x02;
  item.isSystem = f.flags & 0x04;
  item.isDirectory = f.flags & 0x10;
  item.isArchive = f.flags & 0x20;
  item.isEncrypted = (f.flags & kLineEncrypted) ? 1 : 0;
  item.isAnnotated = (f.flags & kLineAnnotated) ? 1 : 0;
  item.method = f.method;
  item.hour = f.hour;
  item.minute = f.minute;
  item.day = f.day;
  item.month = f.month;
  item.year = f.year;
  item.originalSize = f.size;
  item.rate = f.rate;
  item.iconIndex = f.icon;
  item.crc = f.crc;
  out = std::move(item);
  return true;
}

}  // namespace vz::engine
