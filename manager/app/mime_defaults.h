// The user's freedesktop MIME defaults: the file "mimeapps.list" that the
// desktop reads first ($XDG_CONFIG_HOME/mimeapps.list, ~/.config by
// default; VZ_ROOT/config/mimeapps.list when VZ_ROOT is set, so tests and
// portable installs never touch the real home). Making an application the
// default for a type edits three groups of that file:
//   [Default Applications]  type=app.desktop;            (replaces the line)
//   [Added Associations]    type=app.desktop;others;...  (app moved first)
//   [Removed Associations]  app.desktop dropped from the type's list
// Every other line, comment and group is kept as it was. The file is
// replaced atomically (platform/file.h).
#pragma once

#include <string>
#include <vector>

namespace vz::manager {

// Path of the user's mimeapps.list (its folder is created on demand by
// setDefaultApplication).
std::string userMimeAppsList();

// Makes desktopFile (a desktop-file id such as "vemorazip.desktop") the
// default for every type in types. False when the file cannot be written.
bool setDefaultApplication(const std::vector<std::string>& types, const std::string& desktopFile);

// The edit itself, on the file's text (kept apart for the tests).
std::string withDefaultApplication(const std::string& listText, const std::vector<std::string>& types,
                                   const std::string& desktopFile);

}  // namespace vz::manager
