// Automation values: conversions with their range checks, command-line
// parsing and the display form of numbers.
#include "platform/com/variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace vz::com;

namespace {
std::optional<Variant> conv(const Variant& v, VarType t) { return v.convertTo(t); }
}  // namespace

TEST(Variant, NumbersConvertWithinTheTargetRange) {
  EXPECT_EQ(conv(Variant::fromLong(32767), VarType::I2), Variant::fromShort(32767));
  EXPECT_EQ(conv(Variant::fromLong(-32768), VarType::I2), Variant::fromShort(-32768));
  EXPECT_FALSE(conv(Variant::fromLong(32768), VarType::I2));
  EXPECT_FALSE(conv(Variant::fromLong(-32769), VarType::I2));
  EXPECT_EQ(conv(Variant::fromShort(-5), VarType::I4), Variant::fromLong(-5));
  EXPECT_EQ(conv(Variant::fromLong(std::numeric_limits<int32_t>::min()), VarType::R8),
            Variant::fromDouble(-2147483648.0));
  EXPECT_EQ(conv(Variant::fromDouble(2147483647.0), VarType::I4), Variant::fromLong(2147483647));
  EXPECT_FALSE(conv(Variant::fromDouble(2147483648.0), VarType::I4));
  EXPECT_FALSE(conv(Variant::fromDouble(1e300), VarType::I4));
  EXPECT_FALSE(conv(Variant::fromDouble(std::nan("")), VarType::I2));
  EXPECT_FALSE(conv(Variant::fromDouble(std::numeric_limits<double>::infinity()), VarType::I4));
}

TEST(Variant, DoublesRoundHalfToEven) {
  EXPECT_EQ(conv(Variant::fromDouble(2.5), VarType::I2), Variant::fromShort(2));
  EXPECT_EQ(conv(Variant::fromDouble(3.5), VarType::I2), Variant::fromShort(4));
  EXPECT_EQ(conv(Variant::fromDouble(-2.5), VarType::I4), Variant::fromLong(-2));
  EXPECT_EQ(conv(Variant::fromDouble(2.4999), VarType::I4), Variant::fromLong(2));
  EXPECT_EQ(conv(Variant::fromDouble(32767.4), VarType::I2), Variant::fromShort(32767));
  EXPECT_FALSE(conv(Variant::fromDouble(32767.5), VarType::I2));  // rounds to 32768
}

TEST(Variant, BoolIsMinusOneAsNumberAndNonZeroFromNumber) {
  EXPECT_EQ(conv(Variant::fromBool(true), VarType::I2), Variant::fromShort(-1));
  EXPECT_EQ(conv(Variant::fromBool(false), VarType::I4), Variant::fromLong(0));
  EXPECT_EQ(conv(Variant::fromBool(true), VarType::R8), Variant::fromDouble(-1));
  EXPECT_EQ(conv(Variant::fromBool(true), VarType::BStr), Variant::fromText("-1"));
  EXPECT_EQ(conv(Variant::fromLong(7), VarType::Bool), Variant::fromBool(true));
  EXPECT_EQ(conv(Variant::fromShort(0), VarType::Bool), Variant::fromBool(false));
  EXPECT_EQ(conv(Variant::fromDouble(0.1), VarType::Bool), Variant::fromBool(true));
  EXPECT_EQ(conv(Variant::fromDouble(-0.0), VarType::Bool), Variant::fromBool(false));
}

TEST(Variant, TextConvertsOnlyWhenItIsAWholeNumber) {
  EXPECT_EQ(conv(Variant::fromText("123"), VarType::I2), Variant::fromShort(123));
  EXPECT_EQ(conv(Variant::fromText("-40000"), VarType::I4), Variant::fromLong(-40000));
  EXPECT_FALSE(conv(Variant::fromText("-40000"), VarType::I2));
  EXPECT_FALSE(conv(Variant::fromText("2.5"), VarType::I4));
  EXPECT_EQ(conv(Variant::fromText("2.5"), VarType::R8), Variant::fromDouble(2.5));
  for (const char* bad : {"", " 1", "1 ", "12a", "0x10", "--1", "+-1", "99999999999999999999"})
    EXPECT_FALSE(conv(Variant::fromText(bad), VarType::I4)) << bad;
  EXPECT_FALSE(conv(Variant::fromText("inf"), VarType::R8));
  EXPECT_FALSE(conv(Variant::fromText("1e999"), VarType::R8));
  EXPECT_EQ(conv(Variant::fromText("TRUE"), VarType::Bool), Variant::fromBool(true));
  EXPECT_EQ(conv(Variant::fromText("false"), VarType::Bool), Variant::fromBool(false));
  EXPECT_EQ(conv(Variant::fromText("-7"), VarType::Bool), Variant::fromBool(true));
  EXPECT_FALSE(conv(Variant::fromText("yes"), VarType::Bool));
}

TEST(Variant, NumbersBecomeDecimalTextAndEmptyReadsAsZero) {
  EXPECT_EQ(conv(Variant::fromLong(-42), VarType::BStr), Variant::fromText("-42"));
  EXPECT_EQ(conv(Variant::fromDouble(0.1), VarType::BStr), Variant::fromText("0.1"));
  EXPECT_EQ(conv(Variant(), VarType::I4), Variant::fromLong(0));
  EXPECT_EQ(conv(Variant(), VarType::BStr), Variant::fromText(""));
  EXPECT_EQ(conv(Variant(), VarType::Bool), Variant::fromBool(false));
  EXPECT_EQ(conv(Variant::fromText("x"), VarType::Empty), Variant());
  // Equality includes the type.
  EXPECT_FALSE(Variant::fromShort(1) == Variant::fromLong(1));
}

TEST(Variant, ParseArgumentAcceptsOnlyWhatFitsTheType) {
  EXPECT_EQ(parseArgument("1", VarType::Bool), Variant::fromBool(true));
  EXPECT_EQ(parseArgument("0", VarType::Bool), Variant::fromBool(false));
  EXPECT_EQ(parseArgument("TrUe", VarType::Bool), Variant::fromBool(true));
  EXPECT_EQ(parseArgument("FALSE", VarType::Bool), Variant::fromBool(false));
  for (const char* bad : {"", "2", "-1", "yes", "true "}) EXPECT_FALSE(parseArgument(bad, VarType::Bool)) << bad;

  EXPECT_EQ(parseArgument("-32768", VarType::I2), Variant::fromShort(-32768));
  EXPECT_FALSE(parseArgument("32768", VarType::I2));
  EXPECT_EQ(parseArgument("+5", VarType::I2), Variant::fromShort(5));
  EXPECT_EQ(parseArgument("2147483647", VarType::I4), Variant::fromLong(2147483647));
  EXPECT_FALSE(parseArgument("2147483648", VarType::I4));
  EXPECT_FALSE(parseArgument("1.0", VarType::I4));
  EXPECT_FALSE(parseArgument("", VarType::I4));

  EXPECT_EQ(parseArgument("-0.5", VarType::R8), Variant::fromDouble(-0.5));
  EXPECT_EQ(parseArgument("1e300", VarType::R8), Variant::fromDouble(1e300));
  for (const char* bad : {"", "1e400", "inf", "nan", "abc", "1,5", "0x1p3"})
    EXPECT_FALSE(parseArgument(bad, VarType::R8)) << bad;

  EXPECT_EQ(parseArgument(" as given ", VarType::BStr), Variant::fromText(" as given "));
}

TEST(Variant, DisplayFormIsShortestRoundTrip) {
  EXPECT_EQ(formatForDisplay(Variant::fromDouble(0.1)), "0.1");
  EXPECT_EQ(formatForDisplay(Variant::fromDouble(1e300)), "1e+300");
  EXPECT_EQ(formatForDisplay(Variant::fromDouble(-0.0)), "-0");
  EXPECT_EQ(formatForDisplay(Variant::fromDouble(2.5)), "2.5");
  EXPECT_EQ(formatForDisplay(Variant::fromDouble(2.0)), "2");
  EXPECT_EQ(formatForDisplay(Variant::fromDouble(4294967295.0)), "4294967295");
  const double third = 1.0 / 3.0;
  EXPECT_EQ(parseArgument(formatForDisplay(Variant::fromDouble(third)), VarType::R8), Variant::fromDouble(third));

  EXPECT_EQ(formatForDisplay(Variant::fromBool(true)), "1");
  EXPECT_EQ(formatForDisplay(Variant::fromBool(false)), "0");
  EXPECT_EQ(formatForDisplay(Variant::fromShort(-5)), "-5");
  EXPECT_EQ(formatForDisplay(Variant::fromText("a b")), "a b");
  EXPECT_EQ(formatForDisplay(Variant()), "");
  EXPECT_STREQ(typeName(VarType::BStr), "BSTR");
  EXPECT_STREQ(typeName(VarType::I2), "short");
}
