// Names of a spanned backup set, written once here and used by Split,
// Backup, Join and Restore so that the writer and the reader of a set always
// agree on its file names.
//
//   part file:   SHORTNAME.<i>_<L>   i = the part's index, L = the last
//                                    index, each one base-36 digit
//                                    ("0".."9", "A".."Z"); the whole name
//                                    is upper case (BACKUP.0_2 .. BACKUP.2_2)
//   first part:  matches "*.0_?"
//   backup name: DRIVE_<letter>.ZIP for a mask whose folder part (after a
//                drive prefix "X:") is shorter
//                than two characters, else the mask's last folder name made
//                short, with the extension ZIP
//
// Short-name rule: the base name (the text before its last dot) is made
// upper case; every character a short name cannot hold - blanks, dots,
// control characters, bytes beyond ASCII and + , ; = [ ] < > | " * ? / \ :
// - is dropped; the rest is cut to eight characters. A name left empty
// becomes "_".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vz::engine {

// The most parts a set can have: indexes 0..35 are the base-36 digits.
constexpr int kMaxSpanParts = 36;

// The short (8.3) form of a base name (rule above); at most 8 characters.
std::string shortBaseName(std::string_view baseName);
// The base name of a path's file name: the text before its last dot.
std::string baseNameOf(std::string_view path);
// One base-36 digit; "~" for 36 or more (never written: Split refuses sets
// that large).
char spanDigit(int value);
// The value of a base-36 digit (either case); nullopt for other characters.
std::optional<int> spanDigitValue(char c);
// The part file name of index of a set whose last index is last.
std::string partFileName(std::string_view shortBase, int index, int last);
// Whether a file name is the first part of a set ("*.0_?").
bool isFirstPartName(std::string_view fileName);
// The last index a part file name announces: its last character, preceded
// by "_", in a name of at least 4 characters. nullopt when the name does
// not have that form.
std::optional<int> lastIndexOfPartName(std::string_view partFileName);
// The backup archive's file name for a mask (rule above).
std::string backupArchiveName(std::string_view mask);

}  // namespace vz::engine
