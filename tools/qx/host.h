// The core of qx: one run from the command-line words to the exit status,
// writing to the given streams. main() calls it with std::cout and
// std::cerr; tests call it in-process with string streams.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vz::qx {

struct HostEnvironment {
  // Where QX30W32.so is loaded from when the control is not registered:
  // the folder of the qx program in normal use.
  std::string libraryFolder;
  // Standard input is a terminal: dialogs are asked there unless --answers
  // names a file.
  bool stdinIsTerminal = false;
};

// args excludes the program name. Returns an ExitStatus value.
int runQx(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const HostEnvironment& env);

}  // namespace vz::qx
