// qx: the command-line automation host of the compression control. See
// `qx --help` (help.cpp) for what it does; the work is in host.cpp so that
// tests can run it in-process.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "tools/qx/host.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  vz::qx::HostEnvironment env;
  env.libraryFolder = vz::executableDirectory();
  env.stdinIsTerminal = isatty(STDIN_FILENO) != 0;
  return vz::qx::runQx(args, std::cout, std::cerr, env);
}
