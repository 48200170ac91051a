// The mask rule (IsFileNameInFilter, entry selection) and the wildcard
// comparison under it.
#include <gtest/gtest.h>

#include "control/engine/format/mask.h"
#include "control/engine/read/read_methods.h"

namespace vz::engine {
namespace {

TEST(MaskRule, TheListedExamples) {
  EXPECT_TRUE(isFileNameInFilter("DATA.TXT", "*.TXT"));
  EXPECT_FALSE(isFileNameInFilter("DATA.TXT.BAK", "*.TXT"));
  EXPECT_TRUE(isFileNameInFilter("README", "README.*"));
  EXPECT_TRUE(isFileNameInFilter("SUB\\A.TXT", "*.TXT"));
  EXPECT_FALSE(isFileNameInFilter("SUB\\A.TXT", "OTHER\\*.TXT"));
  EXPECT_TRUE(isFileNameInFilter("A.TXT", "?.TXT"));
  EXPECT_FALSE(isFileNameInFilter("AB.TXT", "?.TXT"));
}

TEST(MaskRule, MatchAllEqualityAndCase) {
  EXPECT_TRUE(isFileNameInFilter("ANY\\THING", "*.*"));
  EXPECT_TRUE(isFileNameInFilter("", "*.*"));
  EXPECT_TRUE(isFileNameInFilter("docs\\Readme.txt", "DOCS\\README.TXT"));
  EXPECT_TRUE(isFileNameInFilter("data.txt", "*.TXT"));
  EXPECT_TRUE(isFileNameInFilter("SUB\\A.TXT", "SUB\\*.TXT"));
  EXPECT_TRUE(isFileNameInFilter("SUB\\A.TXT", "S?B\\A.TXT"));
  EXPECT_TRUE(isFileNameInFilter("SUB\\A.TXT", "*\\A.TXT"));
  EXPECT_FALSE(isFileNameInFilter("A.TXT", "SUB\\A.TXT"));
  // An entry in a folder matches a mask without one by its name part.
  EXPECT_TRUE(isFileNameInFilter("SUB\\DEEP\\A.TXT", "A.TXT"));
}

TEST(Wildcard, StarStopsAtTheExtension) {
  EXPECT_TRUE(wildcardMatch("README", "README."));
  EXPECT_TRUE(wildcardMatch("README", "*"));
  EXPECT_FALSE(wildcardMatch("README.TXT", "*"));  // "*" never crosses into the extension
  EXPECT_TRUE(wildcardMatch("README.TXT", "*.*"));
  EXPECT_TRUE(wildcardMatch("A.B.C", "*.C"));
  EXPECT_FALSE(wildcardMatch("A.B.C", "*.B"));
  EXPECT_TRUE(wildcardMatch("REPORT.TXT", "REP*.TXT"));
  EXPECT_TRUE(wildcardMatch("REPORT.TXT", "*.T?T"));
  EXPECT_FALSE(wildcardMatch("REPORT.TX", "*.T?T"));
  EXPECT_FALSE(wildcardMatch("A", "A?"));  // "?" fails at the end of the name
  EXPECT_FALSE(wildcardMatch("AB", "A"));
  EXPECT_FALSE(wildcardMatch("A", "AB"));
  EXPECT_TRUE(wildcardMatch("abc.txt", "ABC.TXT"));
  EXPECT_FALSE(wildcardMatch("TXT", "*.TXT"));
}

}  // namespace
}  // namespace vz::engine
