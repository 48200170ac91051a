// The command line of qx: options before the method, "--" ending them,
// option values, and the errors that must end in exit status 2.
#include <gtest/gtest.h>

#include "tools/qx/options.h"

namespace vz::qx {
namespace {

TEST(QxOptions, MethodAndArgumentsAfterOptions) {
  auto r = parseCommandLine({"--events", "--answers", "a.txt", "UnzipFiles", "x.zip", "--events", "-1"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.options.mode, Mode::Call);
  EXPECT_TRUE(r.options.events);
  ASSERT_TRUE(r.options.answersFile.has_value());
  EXPECT_EQ(*r.options.answersFile, "a.txt");
  EXPECT_EQ(r.options.method(), "UnzipFiles");
  // Everything after the method is an argument, even option-like words.
  EXPECT_EQ(r.options.arguments(), (std::vector<std::string>{"x.zip", "--events", "-1"}));
}

TEST(QxOptions, DoubleDashEndsOptions) {
  auto r = parseCommandLine({"--", "--list", "-x"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.options.mode, Mode::Call);
  EXPECT_EQ(r.options.method(), "--list");
  EXPECT_EQ(r.options.arguments(), std::vector<std::string>{"-x"});

  // A lone "-" is an operand, not an option.
  r = parseCommandLine({"IsFileNameInFilter", "-", "*"});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.options.arguments().front(), "-");
}

TEST(QxOptions, AnswersValueForms) {
  auto r = parseCommandLine({"--answers=ans.txt", "AboutBox"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(*r.options.answersFile, "ans.txt");

  EXPECT_FALSE(parseCommandLine({"--answers"}).ok);               // value missing
  EXPECT_FALSE(parseCommandLine({"--answers=", "AboutBox"}).ok);  // empty value
  EXPECT_FALSE(parseCommandLine({"--events=1", "AboutBox"}).ok);  // switch with a value
}

TEST(QxOptions, ModesAndTheirOperands) {
  auto r = parseCommandLine({"--list"});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.options.mode, Mode::List);
  EXPECT_FALSE(parseCommandLine({"--list", "GetCount"}).ok);

  r = parseCommandLine({"-h"});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.options.mode, Mode::Help);
  r = parseCommandLine({"--help", "whatever", "else"});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.options.mode, Mode::Help);

  EXPECT_FALSE(parseCommandLine({"--list", "--help"}).ok);  // two modes
}

TEST(QxOptions, ErrorsCarryAMessage) {
  for (const auto& words : std::vector<std::vector<std::string>>{{}, {"--events"}, {"--bogus", "GetCount"}, {""}}) {
    auto r = parseCommandLine(words);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.empty());
  }
  auto r = parseCommandLine({"--bogus", "GetCount"});
  EXPECT_NE(r.error.find("--bogus"), std::string::npos);
}

}  // namespace
}  // namespace vz::qx
