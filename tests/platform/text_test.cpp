// The shared trim: each character set, edges only (inner blanks and other
// bytes stay), and input that is all trimmed.
#include "platform/text.h"

#include <gtest/gtest.h>

namespace vz::text {
namespace {

struct TrimCase {
  std::string_view in;
  std::string_view chars;
  std::string_view out;
};

class TrimTest : public ::testing::TestWithParam<TrimCase> {};

TEST_P(TrimTest, TrimsOnlyTheEdges) { EXPECT_EQ(trim(GetParam().in, GetParam().chars), GetParam().out); }

INSTANTIATE_TEST_SUITE_P(Cases, TrimTest,
                         ::testing::Values(TrimCase{"", kBlanks, ""}, TrimCase{" \t \t", kBlanks, ""},
                                           TrimCase{"\t key = a b \t", kBlanks, "key = a b"},
                                           // Blanks leave line ends in place; the wider set takes them.
                                           TrimCase{" value\r\n", kBlanks, "value\r\n"},
                                           TrimCase{" value\r\n", kWhitespace, "value"},
                                           TrimCase{"\r\n\t x \n", kWhitespace, "x"},
                                           TrimCase{"\n\r\n", kWhitespace, ""}, TrimCase{"x", kWhitespace, "x"},
                                           TrimCase{"\xA0x\xA0", kBlanks, "\xA0x\xA0"}));

}  // namespace
}  // namespace vz::text
