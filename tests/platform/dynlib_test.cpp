// Loading shared libraries: symbols, the error texts kept, ownership.
#include "platform/dynlib.h"

#include <gtest/gtest.h>

#include "tests/support/test_env.h"

namespace {

// A library every Linux system has, with a plain C symbol in it.
constexpr const char* kMathLib = "libm.so.6";

TEST(DynLib, LoadsAndFindsSymbols) {
  vz::DynLib lib;
  ASSERT_TRUE(lib.open(kMathLib)) << lib.error();
  using CosFn = double (*)(double);
  auto cosine = reinterpret_cast<CosFn>(lib.symbol("cos"));
  ASSERT_NE(cosine, nullptr);
  EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
  EXPECT_EQ(lib.symbol("no_such_symbol_here"), nullptr);
  EXPECT_NE(lib.error().find("no_such_symbol_here"), std::string::npos) << lib.error();
}

TEST(DynLib, MissingOrBrokenLibraryKeepsTheErrorText) {
  vz::test::ScopedRoot root;
  vz::DynLib lib;
  EXPECT_FALSE(lib.open("/nonexistent/QX30W32.so"));
  EXPECT_FALSE(lib.isOpen());
  EXPECT_NE(lib.error().find("QX30W32.so"), std::string::npos) << lib.error();
  std::string fake = root.path() + "/fake.so";
  vz::test::writeFile(fake, std::string_view("not an ELF file"));
  EXPECT_FALSE(lib.open(fake));
  EXPECT_FALSE(lib.error().empty());
  EXPECT_FALSE(lib.open(""));
  EXPECT_EQ(lib.symbol("cos"), nullptr);  // nothing loaded
  EXPECT_FALSE(lib.error().empty());
}

TEST(DynLib, MoveTransfersOwnershipAndReleaseKeepsItLoaded) {
  vz::DynLib a;
  ASSERT_TRUE(a.open(kMathLib));
  vz::DynLib b(std::move(a));
  EXPECT_FALSE(a.isOpen());
  EXPECT_TRUE(b.isOpen());
  vz::DynLib c;
  c = std::move(b);
  EXPECT_TRUE(c.isOpen());
  void* raw = c.release();
  EXPECT_NE(raw, nullptr);
  EXPECT_FALSE(c.isOpen());
  c.close();  // nothing to close
}

}  // namespace
