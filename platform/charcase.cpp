// The system's case rules over UTF-8 text.
//
// The original platform upper-cased through its ANSI code page: the ASCII
// letters and the Latin-1 small letters U+00E0..U+00FE (the division sign
// U+00F7 excepted) to U+00C0..U+00DE. In UTF-8 every one of those Latin-1
// letters is the two bytes C3 xx, and the capital differs from the small
// letter only in the second byte (xx - 0x20). So a byte is changed only when
// it is an ASCII letter, or when it follows a C3 byte and lies in the small
// (or, for lower-casing, the capital) range. A changed continuation byte stays
// a continuation byte, so valid UTF-8 stays valid and no other character (ß,
// ÿ, Greek, Cyrillic, ...) is ever touched. Invalid byte sequences pass
// through with at most that same continuation-byte change.
//
// Every function works byte by byte from the previous byte alone, so the
// comparisons need no allocation.
#include "platform/charcase.h"

#include <cstddef>
#include <cstdint>

namespace vz {

namespace {

// Lead byte of the two-byte UTF-8 forms of U+00C0..U+00FF.
constexpr uint8_t kLatin1Lead = 0xC3;
// Second bytes of U+00E0..U+00FE (small letters) and of U+00C0..U+00DE
// (capitals) after kLatin1Lead.
constexpr uint8_t kSmallFirst = 0xA0, kSmallLast = 0xBE;
constexpr uint8_t kCapitalFirst = 0x80, kCapitalLast = 0x9E;
// The second bytes of U+00F7 (division sign) and U+00D7 (multiplication
// sign), which are not letters and keep their form.
constexpr uint8_t kDivisionSign = 0xB7, kMultiplicationSign = 0x97;
// Distance between a small letter and its capital, in ASCII and in the
// second byte of the Latin-1 letters alike.
constexpr uint8_t kCaseDistance = 0x20;

// The upper-case form of byte c, given the byte before it (0 at the start).
inline uint8_t upperByte(uint8_t prev, uint8_t c) {
  if (c >= 'a' && c <= 'z') return static_cast<uint8_t>(c - kCaseDistance);
  if (prev == kLatin1Lead && c >= kSmallFirst && c <= kSmallLast && c != kDivisionSign)
    return static_cast<uint8_t>(c - kCaseDistance);
  return c;
}

inline uint8_t lowerByte(uint8_t prev, uint8_t c) {
  if (c >= 'A' && c <= 'Z') return static_cast<uint8_t>(c + kCaseDistance);
  if (prev == kLatin1Lead && c >= kCapitalFirst && c <= kCapitalLast && c != kMultiplicationSign)
    return static_cast<uint8_t>(c + kCaseDistance);
  return c;
}

inline uint8_t byteAt(std::string_view s, size_t i) { return static_cast<uint8_t>(s[i]); }

}  // namespace

void charUpper(std::string& s) {
  uint8_t prev = 0;
  for (char& ch : s) {
    const uint8_t c = static_cast<uint8_t>(ch);
    ch = static_cast<char>(upperByte(prev, c));
    prev = c;  // the original byte decides about the next one
  }
}

std::string toUpper(std::string_view s) {
  std::string out(s);
  charUpper(out);
  return out;
}

std::string toLower(std::string_view s) {
  std::string out(s);
  uint8_t prev = 0;
  for (char& ch : out) {
    const uint8_t c = static_cast<uint8_t>(ch);
    ch = static_cast<char>(lowerByte(prev, c));
    prev = c;
  }
  return out;
}

int compareNoCase(std::string_view a, std::string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  uint8_t prevA = 0, prevB = 0;
  for (size_t i = 0; i < n; ++i) {
    const uint8_t ca = byteAt(a, i), cb = byteAt(b, i);
    const uint8_t ua = upperByte(prevA, ca), ub = upperByte(prevB, cb);
    if (ua != ub) return ua < ub ? -1 : 1;
    prevA = ca;
    prevB = cb;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool equalsNoCase(std::string_view a, std::string_view b) { return a.size() == b.size() && compareNoCase(a, b) == 0; }

}  // namespace vz
