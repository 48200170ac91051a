// The case rules: ASCII and the Latin-1 letters U+00E0..U+00FE (not U+00F7)
// change case; every other character is left alone and UTF-8 stays valid.
#include "platform/charcase.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/codepage.h"
#include "tests/support/test_env.h"

namespace {

std::string utf8(char32_t cp) {
  std::string s;
  if (cp < 0x80) {
    s += static_cast<char>(cp);
  } else if (cp < 0x800) {
    s += static_cast<char>(0xC0 | (cp >> 6));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    s += static_cast<char>(0xE0 | (cp >> 12));
    s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | (cp >> 18));
    s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return s;
}

// The rule written out per code point, independent of the byte tricks of
// the implementation.
char32_t expectedUpper(char32_t cp) {
  if (cp >= 'a' && cp <= 'z') return cp - 0x20;
  if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) return cp - 0x20;
  return cp;
}
char32_t expectedLower(char32_t cp) {
  if (cp >= 'A' && cp <= 'Z') return cp + 0x20;
  if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) return cp + 0x20;
  return cp;
}

TEST(CharCase, EveryCodePointFollowsTheRuleAndStaysValid) {
  vz::test::ScopedRoot root;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    const std::string s = utf8(cp);
    const std::string up = vz::toUpper(s), low = vz::toLower(s);
    ASSERT_EQ(up, utf8(expectedUpper(cp))) << std::hex << static_cast<uint32_t>(cp);
    ASSERT_EQ(low, utf8(expectedLower(cp))) << std::hex << static_cast<uint32_t>(cp);
  }
}

TEST(CharCase, MixedTextAndBytesThatAreNotLetters) {
  vz::test::ScopedRoot root;
  // ÿ (U+00FF), ß, ÷, Greek and Cyrillic keep their form.
  EXPECT_EQ(vz::toUpper("abc àéþ ÿ ß ÷ αβ ж"), "ABC ÀÉÞ ÿ ß ÷ αβ ж");
  EXPECT_EQ(vz::toLower("ABC ÀÉÞ × Ω Ж"), "abc àéþ × Ω Ж");
  // A lone Latin-1 byte (not UTF-8) and a C3 byte at the very end are kept.
  EXPECT_EQ(vz::toUpper("\xE0x\xC3"), "\xE0X\xC3");
  // The second C3 of C3 C3 A0 is the lead byte of "à".
  EXPECT_EQ(vz::toUpper("\xC3\xC3\xA0"), "\xC3\xC3\x80");
  std::string s = "readme.txt";
  vz::charUpper(s);
  EXPECT_EQ(s, "README.TXT");
  EXPECT_TRUE(vz::isValidUtf8(vz::toUpper("Grüße aus Köln, ça va? ÿ")));
}

TEST(CharCase, Comparisons) {
  vz::test::ScopedRoot root;
  EXPECT_TRUE(vz::equalsNoCase("QX30.ini", "qx30.INI"));
  EXPECT_TRUE(vz::equalsNoCase("Änderung", "äNDERUNG"));
  EXPECT_FALSE(vz::equalsNoCase("straße", "STRASSE"));
  EXPECT_FALSE(vz::equalsNoCase("÷", "×"));  // not a letter pair
  EXPECT_FALSE(vz::equalsNoCase("abc", "abcd"));
  EXPECT_EQ(vz::compareNoCase("", ""), 0);
  EXPECT_LT(vz::compareNoCase("a", "B"), 0);
  EXPECT_GT(vz::compareNoCase("b", "A"), 0);
  EXPECT_LT(vz::compareNoCase("abc", "ABCD"), 0);
  // Bytes compare unsigned: "É" (C3 89) sorts after "Z".
  EXPECT_GT(vz::compareNoCase("é", "z"), 0);
  EXPECT_EQ(vz::compareNoCase("ÉTÉ", "été"), 0);
}

}  // namespace
