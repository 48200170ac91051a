// CP437 <-> UTF-8 and UTF-8 validation.
#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/test_env.h"

namespace {

std::string allBytes() {
  std::string s;
  for (int b = 0; b < 256; ++b) s += static_cast<char>(b);
  return s;
}

TEST(CodePage, EveryCp437ByteRoundTrips) {
  vz::test::ScopedRoot root;
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    const std::string u = vz::cp437ToUtf8(one);
    EXPECT_TRUE(vz::isValidUtf8(u)) << b;
    EXPECT_EQ(vz::utf8ToCp437(u), one) << b;
  }
  EXPECT_EQ(vz::utf8ToCp437(vz::cp437ToUtf8(allBytes())), allBytes());
  EXPECT_EQ(vz::cp437ToUtf8("\x81"
                            "ber \x9E \xE1 \xFF"),
            "über ₧ ß \u00A0");
}

// The table against an independent one: python's cp437 codec.
TEST(CodePage, TableMatchesPythonCodec) {
  vz::test::ScopedRoot root;
  if (!vz::test::haveProgram("python3")) GTEST_SKIP() << "python3 not installed";
  std::string out;
  ASSERT_EQ(vz::test::run({"python3", "-c",
                           "import sys; sys.stdout.buffer.write(bytes(range(128,256)).decode('cp437').encode())"},
                          &out),
            0);
  std::string high;
  for (int b = 128; b < 256; ++b) high += static_cast<char>(b);
  EXPECT_EQ(vz::cp437ToUtf8(high), out);
}

TEST(CodePage, Utf8Validation) {
  vz::test::ScopedRoot root;
  const char* valid[] = {"",
                         "plain",
                         "é",
                         "€",
                         "😀",
                         "\xF4\x8F\xBF\xBF" /* U+10FFFF */,
                         "\xED\x9F\xBF" /* U+D7FF */,
                         "\xEE\x80\x80" /* U+E000 */};
  for (const char* s : valid) EXPECT_TRUE(vz::isValidUtf8(s)) << s;
  EXPECT_TRUE(vz::isValidUtf8(std::string("a\0b", 3)));
  const char* invalid[] = {
      "\xC0\x80",          // overlong NUL
      "\xC1\xBF",          // overlong
      "\xE0\x80\x80",      // overlong
      "\xE0\x9F\xBF",      // overlong U+07FF
      "\xF0\x8F\xBF\xBF",  // overlong U+FFFF
      "\xED\xA0\x80",      // surrogate U+D800
      "\xED\xBF\xBF",      // surrogate U+DFFF
      "\xF4\x90\x80\x80",  // U+110000
      "\xF5\x80\x80\x80",  // lead byte beyond the range
      "\xFF",
      "\x80",      // stray continuation
      "\xE2\x82",  // truncated
      "\xC3(",     // continuation missing
      "ok\xE9",    // Latin-1 byte
  };
  for (const char* s : invalid) EXPECT_FALSE(vz::isValidUtf8(s)) << s;
}

TEST(CodePage, Conversions) {
  vz::test::ScopedRoot root;
  // Characters CP437 has no place for, and broken bytes, become "_".
  EXPECT_EQ(vz::utf8ToCp437("a€中b"), "a__b");
  EXPECT_EQ(vz::utf8ToCp437("x\xE2\x82"), "x__");
  // OemToAnsi leaves UTF-8 alone, so converting twice does no harm.
  const std::string once = vz::oemToAnsi(
      "\x8E"
      "RGER.TXT");
  EXPECT_EQ(once, "ÄRGER.TXT");
  EXPECT_EQ(vz::oemToAnsi(once), once);
  EXPECT_EQ(vz::ansiToOem("ÄRGER.TXT"),
            "\x8E"
            "RGER.TXT");
  EXPECT_EQ(vz::ansiToOem("\x8E"
                          "RGER"),
            "\x8E"
            "RGER");  // not UTF-8: already OEM
}

}  // namespace
