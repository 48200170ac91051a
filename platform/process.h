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
  bool started = false;  // false: not found, not executable, or bad working directory (errno set)
  int exitCode = -1;     // when waited for; 128 + the signal when a signal ended it
};

using Launcher = std::function<LaunchResult(const LaunchRequest&)>;

// Starts a program; the default launcher forks and execs.
LaunchResult startProgram(const LaunchRequest& req);
// Installs a launcher (nullptr restores the default); returns the previous
// (empty when the default was in use, so handing it back restores it).
Launcher setLauncher(Launcher l);

// xdg-open on a document or folder.
bool openDocument(const std::string& path);
// The desktop's text editor on a file: xdg-open on the file, so the
// desktop's handler of the file's type opens it (the text editor for the
// texts, logs and INI files this system shows). Naming text/plain's handler
// explicitly would need a desktop-file launcher that not every desktop has.
bool openInTextEditor(const std::string& path);
// Starts an executable file directly (not waiting for it). A bare name of a
// file in the current folder runs that file; other bare names go by PATH.
bool runExecutable(const std::string& path, const std::vector<std::string>& args = {});
// Splits a command line into arguments (blanks separate, double quotes
// group, as the original platform's rules for program parameters): inside
// quotes "" is one literal quote; 2n backslashes before a quote give n
// backslashes and the quote groups, 2n+1 give n and a literal quote; other
// backslashes are literal.
std::vector<std::string> splitCommandLine(const std::string& line);
// Whether the MIME database knows a default application for the file's
// type (asked through xdg-mime; false when xdg-mime is missing).
bool hasDefaultApplication(const std::string& path);

}  // namespace vz
