// vz, the manager's command line: one wrapper operation per run. runVz
// parses the command line, installs the question back end, configures a
// TZipWrapper as the main window does, applies the options
// (wrapper_setup.h), binds the events to the terminal (wrapper_events.h),
// runs the operation and reports its result with ReportResult on standard
// error. main.cpp only fills the environment; tests may call runVz
// in-process.
#pragma once

#include <cstdio>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "manager/vz/command_line.h"

namespace vz::cli {

enum ExitStatus : int {
  kExitOk = 0,       // the operation succeeded (or --help, --version)
  kExitWarning = 1,  // ReportResult's severity 1
  kExitError = 2,    // severity 2, or the command line does not fit
};

struct Environment {
  bool stdinIsTerminal = false;   // questions may be asked on the terminal
  bool stderrIsTerminal = false;  // the progress line may be drawn
  std::istream* in = nullptr;     // standard input (--comment-file -)
};

// The verb phrase ReportResult puts into the messages of each command.
std::string resultPhrase(const CommandLine& line);

int runVz(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const Environment& env);

}  // namespace vz::cli
