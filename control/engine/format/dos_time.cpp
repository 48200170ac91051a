// DOS time and date packing (rules in dos_time.h).
#include "control/engine/format/dos_time.h"

namespace vz::engine {

namespace {

constexpr int kDosEpochYear = 1980;
constexpr int kMaxYearField = 127;  // 7 bits: 1980..2107

}  // namespace

uint16_t dosTimeOf(const LocalTime& t) {
  return static_cast<uint16_t>(((t.hour & 31) << 11) | ((t.minute & 63) << 5) | ((t.second / 2) & 31));
}

uint16_t dosDateOf(const LocalTime& t) {
  int yearField = t.year - kDosEpochYear;
  if (yearField < 0) yearField = 0;
  if (yearField > kMaxYearField) yearField = kMaxYearField;
  return static_cast<uint16_t>((yearField << 9) | ((t.month & 15) << 5) | (t.day & 31));
}

uint32_t dosDateTimeOf(std::time_t t) {
  const LocalTime lt = toLocalTime(t);
  return combineDosDateTime(dosTimeOf(lt), dosDateOf(lt));
}

LocalTime localTimeOfDos(uint32_t dateTime) {
  const uint16_t time = dosTimePart(dateTime);
  const uint16_t date = dosDatePart(dateTime);
  LocalTime lt;
  lt.year = kDosEpochYear + (date >> 9);
  lt.month = dosMonth(date);
  lt.day = dosDay(date);
  lt.hour = dosHour(time);
  lt.minute = dosMinute(time);
  lt.second = dosSecond(time);
  return lt;
}

std::optional<std::time_t> timeOfDosDateTime(uint32_t dateTime) {
  const LocalTime lt = localTimeOfDos(dateTime);
  if (lt.month < 1 || lt.month > 12 || lt.day < 1 || lt.hour > 23 || lt.minute > 59 || lt.second > 59)
    return std::nullopt;
  return fromLocalTime(lt);
}

}  // namespace vz::engine
