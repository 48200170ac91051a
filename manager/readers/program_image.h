// What type detection reads from programs: the string resources of a
// Windows program (PE resource section, RT_STRING) and the end of a
// program's image (the DOS header's page count; for ELF programs the end
// of the last section or segment; for PE programs the end of the last
// section's raw data, where an appended archive begins).
//
// Every offset and count the program gives is checked against the file
// before it is followed; the resource walk has a fixed depth (type, name,
// language), so a hostile program cannot make it loop.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/file.h"

namespace vz::readers {

// The string resource id of a PE program as 8-bit text (characters above
// 0x7F become "?"); nullopt when the program has no such string or is no
// PE program.
std::optional<std::string> peStringResource(const vz::File& file, uint32_t id);

// The end of the DOS image: (pages - 1) x 512 + bytes on the last page,
// from the 16-bit words at offsets 4 and 2 of the "MZ" header.
std::optional<int64_t> dosImageEnd(const vz::File& file);

// The end of a PE program's last section (raw pointer + raw size); nullopt
// when the file is no PE program.
std::optional<int64_t> peImageEnd(const vz::File& file);

// The end of an ELF program's image: the largest end of its header tables,
// segments and sections (SHT_NOBITS sections take no file space); nullopt
// when the file is no little-endian ELF file.
std::optional<int64_t> elfImageEnd(const vz::File& file);

}  // namespace vz::readers
