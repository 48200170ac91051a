// DOS attributes and file times.
//
// Attributes: read-only (0x01) is the absence of the owner's write
// permission; hidden (0x02) a name starting with "."; directory (0x10) a
// directory. System (0x04) and archive (0x20) live in the extended attribute
// "user.dosattrib" together with the file's modification time at the moment
// they were written: a regular file without the attribute has the archive
// bit set, and a file modified after the attribute was written has it set
// again. On a file system without extended attributes the archive bit always
// reads as set and clearing it succeeds silently.
//
// Times: DOS time stamps are local time. Conversion goes through the C
// library (mktime with tm_isdst = -1), so daylight saving is that of the
// stamp's own date.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace vz {

constexpr uint32_t kAttrReadOnly = 0x01;
constexpr uint32_t kAttrHidden = 0x02;
constexpr uint32_t kAttrSystem = 0x04;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrArchive = 0x20;
constexpr uint32_t kAttrNormal = 0x80;  // no other bit; only ever reported alone

// The attributes of path; nullopt when it does not exist.
std::optional<uint32_t> getFileAttributes(const std::string& path);
// Applies read-only (write permission), system and archive (extended
// attribute). Hidden and directory cannot be changed and are ignored.
// False when the file does not exist or its permissions cannot be changed.
bool setFileAttributes(const std::string& path, uint32_t attributes);

// Calendar time in local time, as the DOS stamps and the dialogs use it.
struct LocalTime {
  int year = 1980;  // full year
  int month = 1;    // 1..12
  int day = 1;      // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

LocalTime toLocalTime(std::time_t t);
// nullopt when the fields do not form a time the C library can represent.
std::optional<std::time_t> fromLocalTime(const LocalTime& lt);

// Modification time (seconds since the epoch); nullopt when missing.
std::optional<std::time_t> getFileTime(const std::string& path);
bool setFileTime(const std::string& path, std::time_t modified);

}  // namespace vz
