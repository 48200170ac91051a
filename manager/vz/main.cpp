// vz: the manager's command line. See `vz --help` (help.cpp); the work is
// in vz_app.cpp so that tests can run it in-process.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "manager/vz/vz_app.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  vz::cli::Environment env;
  env.stdinIsTerminal = isatty(STDIN_FILENO) != 0;
  env.stderrIsTerminal = isatty(STDERR_FILENO) != 0;
  env.in = &std::cin;
  return vz::cli::runVz(args, std::cout, std::cerr, env);
}
