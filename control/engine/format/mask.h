// The mask rule that selects entries by name, and the wildcard comparison
// under it. Names and masks use "\" as the separator (processed names).
//
// Mask rule, for an entry name and a mask:
//   1. "*.*" matches everything; a name equal to the mask ignoring case
//      matches.
//   2. Both are split into directory and name parts. When the directory parts
//      differ (ignoring case), the mask's directory part is not empty, and the
//      entry's directory part does not match it by the wildcard comparison,
//      there is no match.
//   3. Equal name parts (ignoring case) match; otherwise the wildcard
//      comparison of the name parts decides.
//
// Wildcard comparison (both sides upper-cased; "*.*" matches everything),
// walking pattern and name together:
//   "?"   matches exactly one character, and fails at the end of the name;
//   "*"   moves the pattern to its next "." (or its end) and the name to its
//         last "." from here on (or its end): "*" never crosses into the
//         extension;
//   other pattern characters must equal the name character;
//   at the end of the pattern the name must be at its end too;
//   a pattern "." that does not match, followed by the end of the pattern or
//   by "*", matches a name at its end (README.* and README. match README).
#pragma once

#include <string_view>

namespace vz::engine {

bool wildcardMatch(std::string_view name, std::string_view pattern);
bool maskMatches(std::string_view name, std::string_view mask);

}  // namespace vz::engine
