// The control's own six icons: what they stand for, their image keys and
// their drawings (SVG text, 32 x 32 user units, drawn for us).
//
// Their order is the order in which they follow the system images in the
// control's item image lists: the first own icon's index is the "base" of
// the item list's icon indexes (directory = base + 0, ..., other = base + 5).
#pragma once

#include <string_view>

namespace vz::icons {

enum class OwnIcon {
  Directory = 0,   // a folder
  Encrypted = 1,   // a padlock
  Program = 2,     // a program window
  Unassigned = 3,  // a blank page with a question mark (shown for no item)
  Registered = 4,  // a page with a coloured badge: a type with a default application
  Other = 5,       // a plain page
};
inline constexpr int kOwnIconCount = 6;

// "vz-directory", "vz-encrypted", "vz-program", "vz-unassigned",
// "vz-registered", "vz-other": also the names of the SVG files of the Qt
// back end's resources.
std::string_view ownIconKey(OwnIcon which);
std::string_view ownIconSvg(OwnIcon which);

}  // namespace vz::icons
