// Field helpers the header walks share: little-endian values from header
// bytes, names converted to UTF-8, and Unix and DOS stamps as local time.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "control/engine/format/dos_time.h"
#include "platform/attributes.h"
#include "platform/codepage.h"

namespace vz::readers {

inline uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t le64(const uint8_t* p) { return le32(p) | (static_cast<uint64_t>(le32(p + 4)) << 32); }

// Stored name bytes as UTF-8: kept when they already are, else read as the
// OEM code page.
inline std::string nameToUtf8(std::string_view raw) {
  return vz::isValidUtf8(raw) ? std::string(raw) : vz::cp437ToUtf8(raw);
}

inline vz::LocalTime localTimeOfUnix(int64_t t) { return vz::toLocalTime(static_cast<std::time_t>(t)); }
inline vz::LocalTime localTimeOfDosStamp(uint16_t time, uint16_t date) {
  return vz::engine::localTimeOfDos(vz::engine::combineDosDateTime(time, date));
}

}  // namespace vz::readers
