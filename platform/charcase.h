// The system's case rules. Upper-casing (the ANSI CharUpperA of the original
// platform) maps the ASCII letters and the Latin-1 letters U+00E0..U+00FE
// (except U+00F7) to their capitals U+00C0..U+00DE, and touches no other
// byte, so UTF-8 text stays valid. Case-insensitive comparison is equality
// after this upper-casing.
#pragma once

#include <string>
#include <string_view>

namespace vz {

// Upper-cases s in place (UTF-8 or plain ASCII text).
void charUpper(std::string& s);
std::string toUpper(std::string_view s);
// The reverse mapping, for the lower-case forms a few texts need.
std::string toLower(std::string_view s);
bool equalsNoCase(std::string_view a, std::string_view b);
// <0, 0, >0 as strcmp, comparing the upper-cased forms byte by byte.
int compareNoCase(std::string_view a, std::string_view b);

}  // namespace vz
