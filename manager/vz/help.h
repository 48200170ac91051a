// The texts of `vz --help` and `vz --version`.
#pragma once

#include <string>

namespace vz::cli {

std::string helpText();
std::string versionText();

}  // namespace vz::cli
