// Helpers the legacy formats' header walks share (walk_arc.cpp ...
// walk_zoo.cpp): bounded reads of a header's variable part from the
// archive, and the conversions of names and stamps into the entry record.
//
// Every read goes through readSpan(): the length is checked against a cap
// and against the file's size before any memory is taken, so a hostile
// length can neither allocate without bound nor read past the end.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "control/engine/format/bounded_reader.h"
#include "manager/readers/arc_lister.h"

namespace vz::readers {

// The largest variable header part any walker reads in one piece (names,
// extended headers); a longer one is a header that does not fit.
constexpr int64_t kMaxHeaderBytes = 1 << 16;

// Reads length bytes at offset into out; false when they are not all inside
// the file or length exceeds cap.
bool readSpan(const WalkContext& ctx, int64_t offset, int64_t length, std::vector<uint8_t>& out,
              int64_t cap = kMaxHeaderBytes);

// A stored name as UTF-8 with "/" separators: kept when it already is valid
// UTF-8, else read in the DOS code page; "\" (and, where sep255 is set,
// byte FF) become "/". Stops at the first zero byte.
std::string storedName(std::string_view raw, bool sep255 = false);

// The entry's stamp from a DOS date/time pair (time low, date high).
vz::LocalTime dosStamp(uint32_t dateTime);
// The entry's stamp from seconds since 1970 (through the local time zone).
vz::LocalTime unixStamp(int64_t seconds);

// Fills the fields every walker derives the same way (the ratio, the
// folder attribute and flag, no "/" at a folder's end).
void finishEntry(ArcEntry& entry);

// The file name of volume number (1..999) of the ARJ set whose first file is
// path (walk_arj.cpp).
std::string arjVolumeName(const std::string& path, int number);

}  // namespace vz::readers
