#include "manager/vz/vz_app.h"

#include <fstream>
#include <iterator>
#include <sstream>

#include "manager/vz/dialog_scope.h"
#include "manager/vz/help.h"
#include "manager/vz/interrupt.h"
#include "manager/vz/progress_line.h"
#include "manager/vz/questions.h"
#include "manager/vz/reader_commands.h"
#include "manager/vz/wrapper_events.h"
#include "manager/vz/wrapper_setup.h"
#include "zipwrap/engine/engine_results.h"
#include "zipwrap/report_result.h"
#include "zipwrap/zip_wrapper.h"

namespace vz::cli {

using zipwrap::TZipWrapper;

namespace {

// What vz adds for the quiet warnings, which have no message of their own.
std::string quietWarningNote(int code) {
  switch (code) {
    case zipwrap::kResultNothingToDo:
      return "vz: no file or entry matched.";
    case zipwrap::kResultMinorIssues:
      return "vz: done, but a time, attribute or link was not kept, or an unsafe name was made safe.";
    case zipwrap::kResultUpToDate:
      return "vz: everything was already up to date.";
    default:
      return "vz: finished with result " + std::to_string(code) + ".";
  }
}

// The comment's text from -z or --comment-file; false when a file cannot be read.
bool commentText(const CommentSource& source, const Environment& env, std::string* text, std::string* error) {
  if (!source.fromFile) {
    *text = source.text;
    return true;
  }
  if (source.text == "-") {
    if (!env.in) {
      *error = "standard input cannot be read";
      return false;
    }
    text->assign(std::istreambuf_iterator<char>(*env.in), std::istreambuf_iterator<char>());
    return true;
  }
  std::ifstream f(source.text, std::ios::binary);
  if (!f) {
    *error = "cannot read " + source.text;
    return false;
  }
  text->assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  return true;
}

// ReadArchiveComment gives the comment, or "Error #" and the code. The
// buffer is emptied first: a run that succeeded returns the buffer's text
// exactly, so a comment that happens to read "Error #..." is still a
// comment.
int readComment(TZipWrapper& w, std::string* comment) {
  TZipWrapper::ArchiveComment.clear();
  std::string text = w.ReadArchiveComment();
  if (text == TZipWrapper::ArchiveComment) {
    *comment = text;
    return 0;
  }
  const std::string prefix = "Error #";
  if (text.starts_with(prefix)) return std::atoi(text.c_str() + prefix.size());
  return zipwrap::kResultCannotWrite;
}

// Runs the command's operation and returns its result; a comment read is
// printed on out. *usageError: the comment's text could not be read.
int runOperation(const CommandLine& line, TZipWrapper& w, const Environment& env, std::ostream& out, std::ostream& err,
                 bool* usageError) {
  switch (line.command) {
    case Command::List:
      return w.ListArchive();
    case Command::Test:
      return w.TestArchive();
    case Command::Extract:
      return w.ExtractFiles(0);
    case Command::Add:
      return w.AddFiles(0);
    case Command::Freshen:
      return w.AddFiles(1);
    case Command::Update:
      return w.AddFiles(2);
    case Command::Delete:
      return w.DeleteFiles();
    case Command::Fix:
      return w.FixArchive(line.thorough);
    case Command::Comment: {
      if (!line.newComment) {
        std::string comment;
        int code = readComment(w, &comment);
        if (code == 0 && !comment.empty()) out << comment << (comment.back() == '\n' ? "" : "\n") << std::flush;
        return code;
      }
      std::string text, error;
      if (!commentText(*line.newComment, env, &text, &error)) {
        err << "vz: " << error << '\n';
        *usageError = true;
        return 0;
      }
      if (w.MultidiskMode) {
        err << "vz: the comment of a multi-disk archive cannot be written.\n";
        return zipwrap::kResultNothingToDo;
      }
      if (text.size() > zipwrap::kZwCommentMaxLength)
        err << "vz: the comment is cut to " << zipwrap::kZwCommentMaxLength << " characters.\n";
      return w.WriteArchiveComment(text);
    }
  }
  return zipwrap::kResultBadCommand;
}

// The closing line of a command that went well (the main window's texts
// for testing and repairing).
void successNote(const CommandLine& line, int code, std::ostream& out) {
  if (line.quiet) return;
  if (line.command == Command::Test) {
    if (code == 0)
      out << "All files in the archive passed the test.\n";
    else if (code == zipwrap::kResultSkipped)
      out << "All files tested in the archive are OK.\n(Some files were skipped)\n";
  } else if (line.command == Command::Fix && code == 0) {
    out << "The Archive you have specified has been fixed.\n";
  }
}

}  // namespace

std::string resultPhrase(const CommandLine& line) {
  switch (line.command) {
    case Command::List:
      return "Reading Archive contents";
    case Command::Test:
      return "Testing Archive";
    case Command::Extract:
      return "Extracting files";
    case Command::Add:
      return "Adding files";
    case Command::Freshen:
      return "Freshening files";
    case Command::Update:
      return "Updating files";
    case Command::Delete:
      return "Deleting files";
    case Command::Fix:
      return "Fixing";
    case Command::Comment:
      return line.newComment ? "Writing the archive comment" : "Reading the archive comment";
  }
  return "";
}

int runVz(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const Environment& env) {
  ParseResult parsed = parseCommandLine(args);
  if (!parsed.ok) {
    err << "vz: " << parsed.error << '\n';
    return kExitError;
  }
  if (parsed.mode == Mode::Help) {
    out << helpText();
    return kExitOk;
  }
  if (parsed.mode == Mode::Version) {
    out << versionText();
    return kExitOk;
  }
  const CommandLine& line = parsed.line;

  DialogScope dialogs;
  std::string dialogError;
  if (!dialogs.install(line.answersFile, env.stdinIsTerminal, &dialogError)) {
    err << "vz: " << dialogError << '\n';
    return kExitError;
  }

  // An archive of another kind than ZIP is listed and extracted by the
  // readers; ZIP archives go through the wrapper.
  if (const readers::TArcType kind = readerArchiveType(line); kind != readers::atNA)
    return runWithReaders(line, kind, out, err);

  TZipWrapper w;
  configureAsManager(w);
  applyToWrapper(line, w);
  // AES needs a password; without -p the password window asks for it.
  if (line.aes && w.Password.empty()) {
    const PasswordDecision answer = askPassword(line.archive);
    if (answer.answer != kPasswordOk || answer.password.empty()) {
      err << "vz: --aes needs a password (-p PASSWORD, or one typed at the question).\n";
      return kExitError;
    }
    w.Password = answer.password;
  }
  ProgressLine progress(env.stderrIsTerminal, stderr);
  int code = 0;
  bool usageError = false;
  {
    WrapperView view(w, line.command, line.quiet, out, err, progress);
    InterruptScope ctrlC;
    code = runOperation(line, w, env, out, err, &usageError);
    progress.clear();
    if (usageError) return kExitError;
    if (line.command == Command::List && (code == 0 || code == zipwrap::kResultSkipped ||
                                          code == zipwrap::kResultEmptyArchive || view.totals().entries() > 0))
      view.finishListing();
    successNote(line, code, out);
  }
  out << std::flush;

  for (const std::string& e : dialogs.scriptErrors()) err << "vz: --answers: " << e << '\n';
  zipwrap::ResultReport report = zipwrap::ReportResult(code, resultPhrase(line));
  if (!report.message.empty())
    err << report.message << '\n';
  else if (report.severity > 0)
    err << quietWarningNote(code) << '\n';
  err << std::flush;
  return report.severity >= 2 ? kExitError : report.severity == 1 ? kExitWarning : kExitOk;
}

}  // namespace vz::cli
