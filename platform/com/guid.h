// GUIDs, written "{070BA6E0-BC0B-11CF-ABB4-444553540000}".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vz::com {

struct Guid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  uint8_t data4[8] = {};

  friend bool operator==(const Guid& a, const Guid& b);
  friend bool operator!=(const Guid& a, const Guid& b) { return !(a == b); }
};

// Parses the braced form, ignoring case; nullopt when malformed.
std::optional<Guid> parseGuid(std::string_view text);
// The braced form in upper case.
std::string toString(const Guid& g);

constexpr Guid makeGuid(uint32_t d1, uint16_t d2, uint16_t d3, uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3,
                        uint8_t b4, uint8_t b5, uint8_t b6, uint8_t b7) {
  return Guid{d1, d2, d3, {b0, b1, b2, b3, b4, b5, b6, b7}};
}

// The standard interface identifiers of the object model.
extern const Guid IID_IUnknown;
extern const Guid IID_IClassFactory;
extern const Guid IID_IDispatch;
extern const Guid IID_IConnectionPointContainer;
extern const Guid IID_IConnectionPoint;
extern const Guid GUID_NULL;

}  // namespace vz::com
