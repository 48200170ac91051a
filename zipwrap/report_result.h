// ReportResult: the one table that turns a wrapper operation's result code
// into the user's message, its severity and the kind of box that shows it.
// The operation's verb phrase ("Reading Archive contents", "Deleting files",
// ...) fills the gap of the messages that have one. The contact sentence of
// code 240 is the caller's: the manager names its vendor, the one-shot tools
// send the user to support.
//
// Severity: 0 success (code 0 or below), 1 warning, 2 error. Messages of
// severity 1 show as information boxes, all others as error boxes, each
// with one OK button. An empty message shows nothing.
#pragma once

#include <string>
#include <string_view>

namespace vz::zipwrap {

// The contact sentences of code 240.
inline constexpr std::string_view kContactManager = "Please contact Dorvane.";
inline constexpr std::string_view kContactTools = "Please contact support.";

enum class ResultDialog { None, Information, Error };

struct ResultReport {
  std::string message;  // empty: nothing is shown
  int severity = 0;     // 0, 1 or 2
  ResultDialog dialog = ResultDialog::None;
};

ResultReport ReportResult(int code, std::string_view phrase, std::string_view contact = kContactManager);

// Shows the report through the user-interface service (platform/ui.h): one
// OK button, the Information or Error icon, caption = the application's
// title. Shows nothing for an empty message. Returns the severity.
int ShowResult(int code, std::string_view phrase, std::string_view caption, std::string_view contact = kContactManager);

}  // namespace vz::zipwrap
