// The viewer's rich-text reader: paragraphs, switches and escapes from a
// table of small documents, then hostile input (unbalanced and very deep
// groups, truncated escapes) that must end with some text and no crash.
#include "manager/app/rtf_text.h"

#include <gtest/gtest.h>

namespace vz::manager {
namespace {

// Paragraphs as text with switch marks: *bold*, /italic/, _underline_.
std::string marked(const std::vector<RtfParagraph>& ps) {
  std::string out;
  for (const RtfParagraph& p : ps) {
    for (const RtfRun& r : p.runs) {
      std::string open = std::string(r.bold ? "*" : "") + (r.italic ? "/" : "") + (r.underline ? "_" : "");
      std::string close(open.rbegin(), open.rend());
      out += open + r.text + close;
    }
    out += "|";
  }
  return out;
}

TEST(RtfText, KeepsParagraphsAndSwitches) {
  struct Row {
    const char* rtf;
    const char* expected;
  } rows[] = {
      {R"({\rtf1\ansi{\fonttbl{\f0 Times;}}{\colortbl;\red0\green0\blue0;}\f0 Hello \b world\b0 !\par Next\par})",
       "Hello *world*!|Next|"},
      {R"({\rtf1 a{\i b{\b c}d}e})", "a/b/*/c/*/d/e|"},
      {R"({\rtf1 \ul under\ulnone  \plain x \i1 y\i0 z})", "_under_ x /y/z|"},
      {R"({\rtf1 caf\'e9 \'80 \u8364? \u-3913?\uc0\u945 \{x\} \\})", "café € € \xEF\x82\xB7α{x} \\|"},
      {R"({\rtf1 {\*\generator Writer;}{\info{\title T}}{\field{\*\fldinst HYPERLINK "x"}{\fldrslt link}}})", "link|"},
      {R"({\rtf1 a\tab b\line c\par\par d})", "a\tb|c||d|"},
      {"{\\rtf1 one\r\ntwo\\\nthree}", "onetwo|three|"},
      {R"({\rtf1 \emdash\ldblquote q\rdblquote\bullet})", "\xE2\x80\x94\xE2\x80\x9Cq\xE2\x80\x9D\xE2\x80\xA2|"},
      {R"({\rtf1 x{\pict\pngblip 89504e47}y})", "xy|"},
  };
  for (const Row& r : rows) EXPECT_EQ(marked(readRtf(r.rtf)), r.expected) << r.rtf;
}

TEST(RtfText, RecognisesOnlyRtf) {
  EXPECT_TRUE(looksLikeRtf("  \r\n{\\rtf1 x}"));
  EXPECT_FALSE(looksLikeRtf("plain {\\rtf1"));
  EXPECT_TRUE(readRtf("Hello").empty());
  EXPECT_TRUE(readRtf("{\\rtf1}").empty());
}

TEST(RtfText, HostileInputEnds) {
  std::string deep = "{\\rtf1 start";
  for (int i = 0; i < 100000; ++i) deep += "{\\b ";
  deep += "inner";
  EXPECT_EQ(readRtf(deep).at(0).plainText(), "start");  // the groups past the bound are skipped
  for (std::string s : {"{\\rtf1 }}}}} after", "{\\rtf1 \\'", "{\\rtf1 \\'4", "{\\rtf1 \\u", "{\\rtf1 \\bin99999 x",
                        "{\\rtf1 \\", "{\\rtf1 \\u-99999999999999 x", "{\\rtf1 \\uc99999999999\\u65 xyz"}) {
    std::vector<RtfParagraph> ps = readRtf(s);
    EXPECT_LE(ps.size(), 1u) << s;
  }
  EXPECT_EQ(readRtf("{\\rtf1 }}}}} after").at(0).plainText(), " after");
}

}  // namespace
}  // namespace vz::manager
