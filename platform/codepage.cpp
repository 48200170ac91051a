// Code pages: UTF-8 validation and the CP437 ("OEM") <-> UTF-8 ("ANSI")
// conversions.
//
// CP437 is a single-byte code page: bytes 0x00..0x7F are ASCII (the control
// codes stay control codes, as in the file-name conversions of the original
// platform; the glyphs the IBM PC showed for them do not matter for names),
// and bytes 0x80..0xFF map to the code points of kCp437High. The table is a
// bijection, so every byte string survives CP437 -> UTF-8 -> CP437.
//
// The reverse direction looks a code point up in a table sorted once by code
// point (built on first use), so a conversion costs a binary search per
// non-ASCII character.
#include "platform/codepage.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <utility>

namespace vz {

namespace {

// Code points of CP437 bytes 0x80..0xFF, one row per 16 bytes.
constexpr std::array<char32_t, 128> kCp437High = {
    // 0x80: accented capitals and small letters
    0x00C7,
    0x00FC,
    0x00E9,
    0x00E2,
    0x00E4,
    0x00E0,
    0x00E5,
    0x00E7,
    0x00EA,
    0x00EB,
    0x00E8,
    0x00EF,
    0x00EE,
    0x00EC,
    0x00C4,
    0x00C5,
    // 0x90: more letters and currency signs
    0x00C9,
    0x00E6,
    0x00C6,
    0x00F4,
    0x00F6,
    0x00F2,
    0x00FB,
    0x00F9,
    0x00FF,
    0x00D6,
    0x00DC,
    0x00A2,
    0x00A3,
    0x00A5,
    0x20A7,
    0x0192,
    // 0xA0: Spanish letters, ordinals, fractions and guillemets
    0x00E1,
    0x00ED,
    0x00F3,
    0x00FA,
    0x00F1,
    0x00D1,
    0x00AA,
    0x00BA,
    0x00BF,
    0x2310,
    0x00AC,
    0x00BD,
    0x00BC,
    0x00A1,
    0x00AB,
    0x00BB,
    // 0xB0: shades and box drawing
    0x2591,
    0x2592,
    0x2593,
    0x2502,
    0x2524,
    0x2561,
    0x2562,
    0x2556,
    0x2555,
    0x2563,
    0x2551,
    0x2557,
    0x255D,
    0x255C,
    0x255B,
    0x2510,
    // 0xC0: box drawing
    0x2514,
    0x2534,
    0x252C,
    0x251C,
    0x2500,
    0x253C,
    0x255E,
    0x255F,
    0x255A,
    0x2554,
    0x2569,
    0x2566,
    0x2560,
    0x2550,
    0x256C,
    0x2567,
    // 0xD0: box drawing and blocks
    0x2568,
    0x2564,
    0x2565,
    0x2559,
    0x2558,
    0x2552,
    0x2553,
    0x256B,
    0x256A,
    0x2518,
    0x250C,
    0x2588,
    0x2584,
    0x258C,
    0x2590,
    0x2580,
    // 0xE0: Greek letters and mathematical signs
    0x03B1,
    0x00DF,
    0x0393,
    0x03C0,
    0x03A3,
    0x03C3,
    0x00B5,
    0x03C4,
    0x03A6,
    0x0398,
    0x03A9,
    0x03B4,
    0x221E,
    0x03C6,
    0x03B5,
    0x2229,
    // 0xF0: mathematical signs, degree, superscripts, square, no-break space
    0x2261,
    0x00B1,
    0x2265,
    0x2264,
    0x2320,
    0x2321,
    0x00F7,
    0x2248,
    0x00B0,
    0x2219,
    0x00B7,
    0x221A,
    0x207F,
    0x00B2,
    0x25A0,
    0x00A0,
};

// First byte of the CP437 range that kCp437High covers.
constexpr unsigned char kHighFirst = 0x80;
// What a character without a CP437 form becomes.
constexpr char kReplacement = '_';
// Largest Unicode code point, and the surrogate range UTF-8 may not encode.
constexpr char32_t kMaxCodePoint = 0x10FFFF;
constexpr char32_t kSurrogateFirst = 0xD800, kSurrogateLast = 0xDFFF;

// Decodes one UTF-8 sequence at s[i]. On success stores the code point and
// the sequence length and returns true; a malformed, overlong, surrogate or
// out-of-range sequence returns false.
bool decodeUtf8(std::string_view s, size_t i, char32_t& cp, size_t& len) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b0 = byte(i);
  if (b0 < 0x80) {
    cp = b0;
    len = 1;
    return true;
  }
  char32_t minimum;  // smallest code point this length may encode
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2, cp = b0 & 0x1Fu, minimum = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3, cp = b0 & 0x0Fu, minimum = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4, cp = b0 & 0x07u, minimum = 0x10000;
  } else {
    return false;  // continuation byte, C0/C1 (always overlong) or F5..FF
  }
  if (s.size() - i < len) return false;
  for (size_t k = 1; k < len; ++k) {
    const unsigned char b = byte(i + k);
    if ((b & 0xC0u) != 0x80u) return false;
    cp = (cp << 6) | (b & 0x3Fu);
  }
  if (cp < minimum || cp > kMaxCodePoint) return false;
  if (cp >= kSurrogateFirst && cp <= kSurrogateLast) return false;
  return true;
}


// (code point, CP437 byte) for the high half, sorted by code point.
using ReverseTable = std::array<std::pair<char32_t, unsigned char>, 128>;

const ReverseTable& reverseTable() {
  static const ReverseTable table = [] {
    ReverseTable t{};
    for (size_t k = 0; k < kCp437High.size(); ++k) t[k] = {kCp437High[k], static_cast<unsigned char>(kHighFirst + k)};
    std::sort(t.begin(), t.end());
    return t;
  }();
  return table;
}

}  // namespace

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool isValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    if (static_cast<unsigned char>(s[i]) < 0x80) {  // fast path for ASCII
      ++i;
      continue;
    }
    char32_t cp;
    size_t len;
    if (!decodeUtf8(s, i, cp, len)) return false;
    i += len;
  }
  return true;
}

std::string cp437ToUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size() * 2);
  for (char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < kHighFirst)
      out += ch;
    else
      appendUtf8(out, kCp437High[c - kHighFirst]);
  }
  return out;
}

std::string utf8ToCp437(std::string_view s) {
  const ReverseTable& table = reverseTable();
  std::string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    char32_t cp;
    size_t len;
    if (!decodeUtf8(s, i, cp, len)) {
      out += kReplacement;  // one replacement per byte of a broken sequence
      ++i;
      continue;
    }
    i += len;
    if (cp < kHighFirst) {
      out += static_cast<char>(cp);
      continue;
    }
    const auto it = std::lower_bound(table.begin(), table.end(), std::pair<char32_t, unsigned char>{cp, 0});
    out += (it != table.end() && it->first == cp) ? static_cast<char>(it->second) : kReplacement;
  }
  return out;
}

std::string oemToAnsi(std::string_view s) {
  if (isValidUtf8(s)) return std::string(s);
  return cp437ToUtf8(s);
}

std::string ansiToOem(std::string_view s) {
  // Text that is not UTF-8 cannot have come from the ANSI side; it is taken
  // to be CP437 already and kept, the mirror of oemToAnsi.
  if (!isValidUtf8(s)) return std::string(s);
  return utf8ToCp437(s);
}

}  // namespace vz
