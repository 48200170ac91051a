// Profile (INI) files: sections "[Name]" of "key=value" lines. Section and
// key names compare ignoring case; values are returned as stored (the "\n"
// escape of the control is applied by its callers through iniEscape and
// iniUnescape). A bare file name (no "/" or "\") means a file of that name
// in the Windows folder. Every write rewrites the file atomically
// (temporary file and rename), serialised by a lock file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vz {

// The file a profile name denotes: bare names are taken in windowsFolder(),
// Windows-style paths through toNativePath.
std::string profilePath(std::string_view file);

// The value of key in section, or def when the file, section or key is
// missing. Surrounding blanks of the value are removed, and a value wholly
// enclosed in double quotes loses them, as the original functions did.
std::string getProfileString(std::string_view section, std::string_view key, std::string_view def,
                             std::string_view file);
// The value read as a decimal integer (leading digits; "0x" prefixes are not
// recognised); def when the key is missing or has no leading number.
int getProfileInt(std::string_view section, std::string_view key, int def, std::string_view file);
// Sets key=value in section, creating section and file as needed. A
// missing value (nullopt) removes the key; a missing key removes the whole
// section. createMode is the permission of a newly created file (0600 for
// files that hold passwords). False when the file cannot be written, or
// when the text would break the file's lines (a line feed or carriage
// return anywhere, "=" in a key, "]" in a section name, a key that is
// empty or starts with ";" or "[").
// Values with leading or trailing blanks or enclosing double quotes are
// stored inside an extra pair of quotes, so they read back unchanged.
bool writeProfileString(std::string_view section, std::optional<std::string_view> key,
                        std::optional<std::string_view> value, std::string_view file, unsigned createMode = 0644);
// Names of the sections, in file order.
std::vector<std::string> getProfileSectionNames(std::string_view file);
// key=value pairs of one section, in file order.
std::vector<std::pair<std::string, std::string>> getProfileSection(std::string_view section, std::string_view file);

// The value escape: a line feed is stored as backslash followed by "n", and
// a backslash as two backslashes, so that every value (a literal backslash
// and "n" included) reads back exactly. Unescaping turns backslash + "n"
// into a line feed and two backslashes into one; any other backslash stays
// as it is, so hand-written texts such as "C:\TEMP" keep theirs.
std::string iniEscape(std::string_view value);
std::string iniUnescape(std::string_view stored);

}  // namespace vz
