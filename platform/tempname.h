// Temporary file names in the original platform's scheme: a folder, the
// first three characters of a prefix, a number in upper-case hexadecimal
// and ".TMP" ("/tmp/ZIP1A2B.TMP").
#pragma once

#include <string>
#include <string_view>

namespace vz {

// With unique != 0 the name is built from that number (low 16 bits) and no
// file is created. With unique == 0 numbers are tried, starting from one
// derived from the clock, until a name is found that does not exist; that
// file is created empty (mode 0600) so the name stays reserved, and the name
// is returned. Empty when the folder does not exist or no name was free.
std::string getTempFileName(std::string_view folder, std::string_view prefix, unsigned unique = 0);

}  // namespace vz
