// Code pages. The platform's "ANSI code page" is UTF-8; the "OEM code page"
// is CP437.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vz {

bool isValidUtf8(std::string_view s);
// Appends the UTF-8 form of one code point (below 0x110000).
void appendUtf8(std::string& out, char32_t cp);
// CP437 bytes to UTF-8 (bytes below 0x80 unchanged).
std::string cp437ToUtf8(std::string_view s);
// UTF-8 to CP437; characters CP437 cannot hold become '_'.
std::string utf8ToCp437(std::string_view s);
// OEM <-> ANSI conversions of the original platform (CP437 <-> UTF-8). Text
// that is already valid UTF-8 passes OemToAnsi unchanged, so a path that is
// converted twice is not garbled.
std::string oemToAnsi(std::string_view s);
std::string ansiToOem(std::string_view s);

}  // namespace vz
