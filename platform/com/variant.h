// Automation values: the types the control's interface uses. Text (BSTR)
// is carried as a UTF-8 std::string (the platform's ANSI text).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vz::com {

enum class VarType : uint8_t {
  Empty,  // VT_EMPTY: no value (also "void" as a result type)
  Bool,   // VT_BOOL
  I2,     // VT_I2: short
  I4,     // VT_I4: long
  R8,     // VT_R8: double
  BStr,   // VT_BSTR: text
};

// Name of the automation type as type listings show it ("BSTR", "short").
const char* typeName(VarType t);

class Variant {
 public:
  Variant() = default;
  static Variant fromBool(bool b);
  static Variant fromShort(int16_t v);
  static Variant fromLong(int32_t v);
  static Variant fromDouble(double v);
  static Variant fromText(std::string s);

  VarType type() const { return type_; }
  bool isEmpty() const { return type_ == VarType::Empty; }

  // Accessors of the stored value (no conversion); the caller checks type().
  bool boolValue() const { return i_ != 0; }
  int16_t shortValue() const { return static_cast<int16_t>(i_); }
  int32_t longValue() const { return static_cast<int32_t>(i_); }
  double doubleValue() const { return d_; }
  const std::string& text() const { return s_; }

  // Conversion to another type, as the automation layer coerces arguments:
  // numbers between each other (nullopt on overflow of the target), Bool to
  // numbers as -1/0, numbers to Bool as non-zero, text to numbers when it is
  // a whole decimal number (or true/false for Bool), numbers to text in
  // decimal. nullopt when the value cannot be converted.
  std::optional<Variant> convertTo(VarType target) const;

  friend bool operator==(const Variant& a, const Variant& b);

 private:
  VarType type_ = VarType::Empty;
  int64_t i_ = 0;
  double d_ = 0;
  std::string s_;
};

// The value as a host prints it: text as it is, numbers in decimal, Bool as
// 1 or 0, a double as the shortest decimal that reads back the same; an
// empty string for Empty.
std::string formatForDisplay(const Variant& v);

// Parses command-line text into the type: text as given; Bool from 1, 0,
// true or false in any case; short, long and double as decimal numbers
// (range-checked). nullopt when the text does not fit.
std::optional<Variant> parseArgument(std::string_view text, VarType type);

}  // namespace vz::com
