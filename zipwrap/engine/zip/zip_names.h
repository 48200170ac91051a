// Names on the writer side: how a path given on the command line becomes a
// stored name, and the wildcard rule that file patterns and the -i/-x
// filters use.
//
// Stored names: "\" becomes "/", a drive prefix ("C:") and leading "/" go,
// "." components go, and ".." removes the component before it (or is
// dropped at the top), so no stored name climbs out of the archive's
// folder. Case is kept.
//
// Wildcards (case-sensitive, like the file system): "*" matches any run of
// characters, "/" included, "?" exactly one character; every other
// character matches itself. "*.*" matches every name, as on DOS, also one
// without a dot.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vz::zipwrap {

// The stored form of a path as given (see above); may be empty ("." or "/").
std::string storedNameOf(std::string_view given);
// The text after the last "/" of a stored name (a folder's "/" at the end
// ignored).
std::string lastComponent(std::string_view stored);
// Whether text holds "*" or "?".
bool hasWildcards(std::string_view text);
// The wildcard rule above.
bool wildcardMatches(std::string_view pattern, std::string_view name);
// Whether a stored name passes the -i and -x filters: each filter is tried
// against the whole name and against its last component (a folder's
// trailing "/" ignored); with includes, one must match; no exclude may.
bool passesFilters(const std::string& stored, const std::vector<std::string>& includes,
                   const std::vector<std::string>& excludes);
// Whether a stored name holds bytes outside ASCII (it then gets flag bit 11:
// names on this system are UTF-8).
bool needsUtf8Flag(std::string_view name);

}  // namespace vz::zipwrap
