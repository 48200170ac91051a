// Keeping a text on one line of qx's output: tabs, line feeds and carriage
// returns become the two characters \t, \n and \r. Event lines and the
// dialog records use it, since their fields are separated by tabs.
#pragma once

#include <string>

namespace vz::qx {

std::string escapeForLine(const std::string& text);

}  // namespace vz::qx
