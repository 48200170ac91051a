// GUIDs in their braced text form and the standard interface identifiers.
//
// The text form is "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}": data1 as 8 hex
// digits, data2 and data3 as 4 each, then data4 as 2 + 6 bytes. Parsing is
// strict (exact length, braces, dashes, hex digits of either case) because
// the text comes from the registry and from command lines.
#include "platform/com/guid.h"

#include <cstdio>

namespace vz::com {

namespace {

// Length of "{8-4-4-4-12}" with braces and dashes.
constexpr size_t kGuidTextLength = 38;
// Positions of the four dashes in the braced form.
constexpr size_t kDashPositions[] = {9, 14, 19, 24};

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads `digits` hex digits at text[pos]; false when one is not a hex digit.
bool readHex(std::string_view text, size_t pos, size_t digits, uint32_t* value) {
  uint32_t v = 0;
  for (size_t i = 0; i < digits; ++i) {
    int d = hexValue(text[pos + i]);
    if (d < 0) return false;
    v = (v << 4) | static_cast<uint32_t>(d);
  }
  *value = v;
  return true;
}

}  // namespace

bool operator==(const Guid& a, const Guid& b) {
  if (a.data1 != b.data1 || a.data2 != b.data2 || a.data3 != b.data3) return false;
  for (int i = 0; i < 8; ++i)
    if (a.data4[i] != b.data4[i]) return false;
  return true;
}

std::optional<Guid> parseGuid(std::string_view text) {
  if (text.size() != kGuidTextLength || text.front() != '{' || text.back() != '}') return std::nullopt;
  for (size_t p : kDashPositions)
    if (text[p] != '-') return std::nullopt;
  Guid g;
  uint32_t v = 0;
  if (!readHex(text, 1, 8, &v)) return std::nullopt;
  g.data1 = v;
  if (!readHex(text, 10, 4, &v)) return std::nullopt;
  g.data2 = static_cast<uint16_t>(v);
  if (!readHex(text, 15, 4, &v)) return std::nullopt;
  g.data3 = static_cast<uint16_t>(v);
  // data4[0..1] sit between the third and fourth dash, data4[2..7] after it.
  for (size_t i = 0; i < 8; ++i) {
    size_t pos = i < 2 ? 20 + 2 * i : 25 + 2 * (i - 2);
    if (!readHex(text, pos, 2, &v)) return std::nullopt;
    g.data4[i] = static_cast<uint8_t>(v);
  }
  return g;
}

std::string toString(const Guid& g) {
  char buf[kGuidTextLength + 1];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.data1,
                static_cast<unsigned>(g.data2), static_cast<unsigned>(g.data3), g.data4[0], g.data4[1], g.data4[2],
                g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
  return buf;
}

const Guid IID_IUnknown = makeGuid(0x00000000, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
const Guid IID_IClassFactory = makeGuid(0x00000001, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
const Guid IID_IDispatch = makeGuid(0x00020400, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
const Guid IID_IConnectionPointContainer =
    makeGuid(0xB196B284, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07);
const Guid IID_IConnectionPoint = makeGuid(0xB196B286, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07);
const Guid GUID_NULL{};

}  // namespace vz::com
