// The printed file list, line by line.
#include "manager/app/print_layout.h"

#include <gtest/gtest.h>

namespace vz::manager {
namespace {

TEST(PrintLayout, KnownArchiveLineByLine) {
  const std::vector<ListedRow> rows{
      rowFromStoredName("readme.txt", 1234), rowFromStoredName("docs/guide.html", 0),
      rowFromStoredName("a-name-that-is-much-longer-than-thirty-nine-characters.txt", 123456789012345)};
  const std::vector<std::string> lines = printLines("/home/u/sample.zip", rows);
  const std::vector<std::string> expected{
      "Vemora.Zip Archive contents list                           file: /home/u/sample.zip",
      "   File Name                              Size          Path",
      "  readme.txt                              1234          ",
      "  guide.html                              0             docs/",
      "  a-name-that-is-much-longer-than-thirty-nine-characters.txt 123456789012345  ",
      "                             -= End of Report =-"};
  ASSERT_EQ(lines.size(), expected.size());
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], expected[i]) << "line " << i;
}

TEST(PrintLayout, EmptyListHasTheFrameOnly) { EXPECT_EQ(printLines("x.zip", {}).size(), 3u); }

}  // namespace
}  // namespace vz::manager
