// Automation values and their conversions.
//
// A Variant keeps integers (Bool, I2, I4) in one 64-bit field, doubles in
// another and text in a string, so that conversions can check ranges
// before narrowing. The rules follow what an automation layer does when it
// coerces an argument to a parameter's type:
//   - numbers convert between each other; a double is rounded to the
//     nearest integer (halves to even) and the result must fit the target;
//   - Bool reads as -1 (true) or 0 as a number, and numbers read as Bool
//     when non-zero;
//   - text converts to a number only when the whole text is a decimal
//     number (an integer for short and long), and to Bool also from
//     "true"/"false" in any case;
//   - numbers become decimal text (a double in its shortest round-trip
//     form), Bool becomes "-1" or "0" like any other number;
//   - Empty reads as 0, false or empty text.
#include "platform/com/variant.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace vz::com {

namespace {

// Buffer size for a double in its shortest form ("-1.2345678901234567e-308"
// is 24 characters) with room to spare.
constexpr size_t kNumberBufferSize = 40;

bool equalsNoCaseAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// Drops one leading "+" (from_chars accepts only "-"); false when nothing
// is left or a second sign follows.
bool dropPlusSign(std::string_view* text) {
  if (!text->empty() && text->front() == '+') {
    text->remove_prefix(1);
    if (!text->empty() && (text->front() == '+' || text->front() == '-')) return false;
  }
  return !text->empty();
}

// A whole decimal integer with an optional sign; nullopt for anything else
// (empty text, blanks, fractions, values beyond 64 bits).
std::optional<int64_t> parseInteger(std::string_view text) {
  if (!dropPlusSign(&text)) return std::nullopt;
  int64_t v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, 10);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return v;
}

// A whole decimal number (fixed or exponent form) with an optional sign;
// nullopt for anything else, including "inf", "nan" and values beyond the
// range of a double.
std::optional<double> parseDecimal(std::string_view text) {
  if (!dropPlusSign(&text)) return std::nullopt;
  double v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::general);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

// Rounds to the nearest integer, halves to even; nullopt when the value is
// not finite or lies beyond what 64 bits hold (every target is narrower).
std::optional<int64_t> roundToInteger(double d) {
  constexpr double kLimit = 9.0e18;  // well inside int64_t
  if (!std::isfinite(d) || d > kLimit || d < -kLimit) return std::nullopt;
  double r = std::floor(d);
  double diff = d - r;
  if (diff > 0.5 || (diff == 0.5 && std::fmod(r, 2.0) != 0.0)) r += 1.0;
  return static_cast<int64_t>(r);
}

std::optional<Variant> integerAs(int64_t v, VarType target) {
  switch (target) {
    case VarType::I2:
      if (v < std::numeric_limits<int16_t>::min() || v > std::numeric_limits<int16_t>::max()) return std::nullopt;
      return Variant::fromShort(static_cast<int16_t>(v));
    case VarType::I4:
      if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return std::nullopt;
      return Variant::fromLong(static_cast<int32_t>(v));
    case VarType::R8:
      return Variant::fromDouble(static_cast<double>(v));
    case VarType::Bool:
      return Variant::fromBool(v != 0);
    case VarType::BStr:
      return Variant::fromText(std::to_string(v));
    case VarType::Empty:
      return Variant();
  }
  return std::nullopt;
}

std::string formatDouble(double d) {
  char buf[kNumberBufferSize];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d);
  if (ec != std::errc()) return {};
  return std::string(buf, end);
}

}  // namespace

const char* typeName(VarType t) {
  switch (t) {
    case VarType::Empty:
      return "void";
    case VarType::Bool:
      return "BOOL";
    case VarType::I2:
      return "short";
    case VarType::I4:
      return "long";
    case VarType::R8:
      return "double";
    case VarType::BStr:
      return "BSTR";
  }
  return "?";
}

Variant Variant::fromBool(bool b) {
  Variant v;
  v.type_ = VarType::Bool;
  v.i_ = b ? 1 : 0;
  return v;
}

Variant Variant::fromShort(int16_t x) {
  Variant v;
  v.type_ = VarType::I2;
  v.i_ = x;
  return v;
}

Variant Variant::fromLong(int32_t x) {
  Variant v;
  v.type_ = VarType::I4;
  v.i_ = x;
  return v;
}

Variant Variant::fromDouble(double x) {
  Variant v;
  v.type_ = VarType::R8;
  v.d_ = x;
  return v;
}

Variant Variant::fromText(std::string s) {
  Variant v;
  v.type_ = VarType::BStr;
  v.s_ = std::move(s);
  return v;
}

std::optional<Variant> Variant::convertTo(VarType target) const {
  if (target == type_) return *this;
  if (target == VarType::Empty) return Variant();
  switch (type_) {
    case VarType::Empty:
      if (target == VarType::BStr) return fromText({});
      return integerAs(0, target);
    case VarType::Bool:
      // Automation's true is -1 wherever it becomes a number or text.
      return integerAs(boolValue() ? -1 : 0, target);
    case VarType::I2:
    case VarType::I4:
      return integerAs(i_, target);
    case VarType::R8:
      if (target == VarType::Bool) return fromBool(d_ != 0.0);
      if (target == VarType::BStr) return fromText(formatDouble(d_));
      if (auto r = roundToInteger(d_)) return integerAs(*r, target);
      return std::nullopt;
    case VarType::BStr:
      if (target == VarType::Bool) {
        if (equalsNoCaseAscii(s_, "true")) return fromBool(true);
        if (equalsNoCaseAscii(s_, "false")) return fromBool(false);
      }
      if (target == VarType::R8) {
        if (auto d = parseDecimal(s_)) return fromDouble(*d);
        return std::nullopt;
      }
      if (auto n = parseInteger(s_)) return integerAs(*n, target);
      return std::nullopt;
  }
  return std::nullopt;
}

bool operator==(const Variant& a, const Variant& b) {
  if (a.type_ != b.type_) return false;
  switch (a.type_) {
    case VarType::Empty:
      return true;
    case VarType::Bool:
      return a.boolValue() == b.boolValue();
    case VarType::I2:
    case VarType::I4:
      return a.i_ == b.i_;
    case VarType::R8:
      return a.d_ == b.d_;
    case VarType::BStr:
      return a.s_ == b.s_;
  }
  return false;
}

std::string formatForDisplay(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty:
      return {};
    case VarType::Bool:
      return v.boolValue() ? "1" : "0";
    case VarType::I2:
      return std::to_string(v.shortValue());
    case VarType::I4:
      return std::to_string(v.longValue());
    case VarType::R8:
      return formatDouble(v.doubleValue());
    case VarType::BStr:
      return v.text();
  }
  return {};
}

std::optional<Variant> parseArgument(std::string_view text, VarType type) {
  switch (type) {
    case VarType::Empty:
      if (text.empty()) return Variant();
      return std::nullopt;
    case VarType::Bool:
      if (text == "1" || equalsNoCaseAscii(text, "true")) return Variant::fromBool(true);
      if (text == "0" || equalsNoCaseAscii(text, "false")) return Variant::fromBool(false);
      return std::nullopt;
    case VarType::I2:
    case VarType::I4:
      if (auto n = parseInteger(text)) return integerAs(*n, type);
      return std::nullopt;
    case VarType::R8:
      if (auto d = parseDecimal(text)) return Variant::fromDouble(*d);
      return std::nullopt;
    case VarType::BStr:
      return Variant::fromText(std::string(text));
  }
  return std::nullopt;
}

}  // namespace vz::com
