// The usage text of qx (`qx --help`), and the short usage line printed
// after a command-line error.
#pragma once

#include <string>

namespace vz::qx {

std::string helpText();
std::string usageLine();

}  // namespace vz::qx
