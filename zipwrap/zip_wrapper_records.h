// The engine's records (engine_abi.h) turned into the component's records:
// the DOS stamp into a local date-time, the file record into TZwFileStats,
// and the host's answers copied into the engine's fixed buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "zipwrap/engine/engine_abi.h"
#include "zipwrap/zip_wrapper.h"

namespace vz::zipwrap {

// DOS date (bits 15-9 year - 1980, 8-5 month, 4-0 day) and time (bits
// 15-11 hour, 10-5 minute, 4-0 seconds / 2). A stamp with month 1..12,
// day 1..31, hour 0..23, minute 0..59 and seconds 0..59 gives its fields;
// any other gives 1 January 1980, 00:00.
TZwDateTime dosStampToDateTime(uint16_t dosDate, uint16_t dosTime);

// The file record of codes 50, 60, 80, 90, 1000, 1010 and 1030. Null text
// pointers read as empty; TextA is cut to 255 characters.
TZwFileStats fileStatsFromRecord(const ZwFileRecord& r);

// text cut to at most limit bytes, never inside a UTF-8 sequence.
std::string_view cutText(std::string_view text, size_t limit);

// Copies at most limit characters of text into buffer (which holds size
// bytes) and terminates it, cut as cutText does; returns the number copied.
size_t copyToBuffer(char* buffer, size_t size, std::string_view text, size_t limit);

}  // namespace vz::zipwrap
