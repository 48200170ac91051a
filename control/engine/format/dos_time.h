// DOS time and date stamps, as ZIP records carry them.
//
//   time (16 bits) = hour x 2048 + minute x 32 + second / 2   (seconds truncated to even)
//   date (16 bits) = (year - 1980) x 512 + month x 32 + day
//
// Stamps are local time. A time before 1980 is stored with year field 0
// (1980), its month, day and time fields kept; a time after 2107 (the
// largest year the 7-bit field holds) is stored with year field 127, so that
// the year never spills into the bits above it. In memory the engine keeps
// the pair as one 32-bit value: time in the low half, date in the high half.
// The host sees the year as two digits: ((date / 512) + 80) mod 100.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>

#include "platform/attributes.h"

namespace vz::engine {

uint16_t dosTimeOf(const LocalTime& t);
uint16_t dosDateOf(const LocalTime& t);

constexpr uint32_t combineDosDateTime(uint16_t time, uint16_t date) {
  return static_cast<uint32_t>(time) | (static_cast<uint32_t>(date) << 16);
}
constexpr uint16_t dosTimePart(uint32_t dateTime) { return static_cast<uint16_t>(dateTime & 0xFFFF); }
constexpr uint16_t dosDatePart(uint32_t dateTime) { return static_cast<uint16_t>(dateTime >> 16); }

// The combined stamp of a moment (through the local time zone).
uint32_t dosDateTimeOf(std::time_t t);
// The moment a combined stamp names in local time; nullopt when its fields
// do not form a date (month 0, day 0, ...).
std::optional<std::time_t> timeOfDosDateTime(uint32_t dateTime);
// The calendar fields of a combined stamp, without any validation.
LocalTime localTimeOfDos(uint32_t dateTime);

// Fields as the item list shows them.
constexpr int dosDay(uint16_t date) { return date & 31; }
constexpr int dosMonth(uint16_t date) { return (date >> 5) & 15; }
constexpr int dosTwoDigitYear(uint16_t date) { return ((date >> 9) + 80) % 100; }
constexpr int dosHour(uint16_t time) { return time >> 11; }
constexpr int dosMinute(uint16_t time) { return (time >> 5) & 63; }
constexpr int dosSecond(uint16_t time) { return (time & 31) * 2; }

}  // namespace vz::engine
