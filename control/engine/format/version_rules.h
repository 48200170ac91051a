// What the engine makes of the version fields and the method of an entry.
//
//   version made by:  low byte = version x 10, high byte = host system
//   version needed:   low byte = version x 10, high byte = host system
//
// The engine attaches no behaviour to a host value; it only reports it.
#pragma once

#include <cstdint>

namespace vz::engine {

// The host ("made under") value the control reports: hosts 0..8 and 11 as
// they are, every other host (9, 10, 12 and up) as 9.
int16_t madeUnderOf(uint16_t versionMadeBy);
// The value reported when the archive cannot be read.
constexpr int16_t kMadeUnderUnknown = 9;

constexpr int16_t versionMajorOf(uint16_t versionMadeBy) { return static_cast<int16_t>((versionMadeBy & 0xFF) / 10); }
constexpr int16_t versionMinorOf(uint16_t versionMadeBy) { return static_cast<int16_t>((versionMadeBy & 0xFF) % 10); }

// Whether the engine can extract an entry: its method is 0..6 or 8, the low
// byte of version-needed is at most 20 and its high byte is not 2.
bool isExtractable(uint16_t method, uint16_t versionNeeded);

// The method the host sees: every method above 8 is reported as 9.
constexpr int32_t reportedMethod(uint16_t method) { return method > 8 ? 9 : method; }

}  // namespace vz::engine
