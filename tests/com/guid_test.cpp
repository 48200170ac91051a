// GUID text form: round trips, case, and malformed inputs.
#include "platform/com/guid.h"

#include <gtest/gtest.h>

#include <string>

using namespace vz::com;

TEST(Guid, StandardIdentifiersFormatInBracedUpperCase) {
  EXPECT_EQ(toString(IID_IUnknown), "{00000000-0000-0000-C000-000000000046}");
  EXPECT_EQ(toString(IID_IClassFactory), "{00000001-0000-0000-C000-000000000046}");
  EXPECT_EQ(toString(IID_IDispatch), "{00020400-0000-0000-C000-000000000046}");
  EXPECT_EQ(toString(IID_IConnectionPointContainer), "{B196B284-BAB4-101A-B69C-00AA00341D07}");
  EXPECT_EQ(toString(IID_IConnectionPoint), "{B196B286-BAB4-101A-B69C-00AA00341D07}");
  EXPECT_EQ(toString(GUID_NULL), "{00000000-0000-0000-0000-000000000000}");
}

TEST(Guid, ParsesEitherCaseAndRoundTrips) {
  const Guid g = makeGuid(0x070BA6E0, 0xBC0B, 0x11CF, 0xAB, 0xB4, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00);
  auto upper = parseGuid("{070BA6E0-BC0B-11CF-ABB4-444553540000}");
  auto lower = parseGuid("{070ba6e0-bc0b-11cf-abb4-444553540000}");
  ASSERT_TRUE(upper && lower);
  EXPECT_EQ(*upper, g);
  EXPECT_EQ(*lower, g);
  EXPECT_EQ(parseGuid(toString(IID_IConnectionPoint)), IID_IConnectionPoint);
}

TEST(Guid, EqualityLooksAtEveryByte) {
  Guid a = IID_IDispatch, b = IID_IDispatch;
  EXPECT_EQ(a, b);
  b.data4[7] ^= 1;
  EXPECT_NE(a, b);
  EXPECT_NE(IID_IConnectionPoint, IID_IConnectionPointContainer);
}

TEST(Guid, RejectsMalformedText) {
  for (const char* bad : {
           "", "{}",
           "070BA6E0-BC0B-11CF-ABB4-444553540000",     // no braces
           "{070BA6E0-BC0B-11CF-ABB4-444553540000",    // no closing brace
           "(070BA6E0-BC0B-11CF-ABB4-444553540000)",   // wrong brackets
           "{070BA6E0-BC0B-11CF-ABB4-44455354000}",    // one digit short
           "{070BA6E0-BC0B-11CF-ABB4-4445535400000}",  // one digit more
           "{070BA6E0BC0B-11CF-ABB4-4445535400000}",   // dash missing
           "{070BA6E0-BC0B-11CF-ABB44-44553540000}",   // dash moved
           "{070BA6G0-BC0B-11CF-ABB4-444553540000}",   // not hex
           "{070BA6E0-BC0B-11CF-ABB4-44455354000 }",   // blank inside
           " {070BA6E0-BC0B-11CF-ABB4-444553540000}",  // leading blank
           "{+70BA6E0-BC0B-11CF-ABB4-444553540000}",   // sign
       }) {
    EXPECT_FALSE(parseGuid(bad)) << bad;
  }
  std::string withNul = toString(IID_IDispatch);
  withNul[30] = '\0';
  EXPECT_FALSE(parseGuid(withNul));
}
