// Starting programs and opening documents. Programs always start with an
// argument vector, never through a shell. "Open" a document or a folder is
// xdg-open; the text editor is xdg-open on a text file; a registered file
// type is one for which the freedesktop MIME database has a default
// application. Tests replace the launcher to see what would be started.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vz {

struct LaunchRequest {
  std::vector<std::string> argv;  // argv[0] is looked up on PATH
  std::string workingDirectory;   // empty: inherit
  bool wait = false;              // wait for the program to end
};

struct LaunchResult {
  bool started = false;
  int exitCode = -1;  // when waited for
};

using Launcher = std::function<LaunchResult(const LaunchRequest&)>;

// Starts a program; the default launcher forks and execs.
LaunchResult startProgram(const LaunchRequest& req);
// Installs a launcher (nullptr restores the default); returns the previous.
Launcher setLauncher(Launcher l);

// xdg-open on a document or folder.
bool openDocument(const std::string& path);
// The desktop's text editor on a file (xdg-open, with the file taken as
// text/plain where the desktop allows it).
bool openInTextEditor(const std::string& path);
// Starts an executable file directly.
bool runExecutable(const std::string& path, const std::vector<std::string>& args = {});
// Splits a command line into arguments (blanks separate, double quotes
// group, as the original platform's rules for program parameters).
std::vector<std::string> splitCommandLine(const std::string& line);
// Whether the MIME database knows a default application for the file's
// type (asked through xdg-mime; false when xdg-mime is missing).
bool hasDefaultApplication(const std::string& path);

}  // namespace vz
