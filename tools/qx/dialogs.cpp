// The back end is process-wide (ui::setBackend); the scope restores the
// previous one so that a test calling qx's core in-process leaves the
// process as it found it.
#include "tools/qx/dialogs.h"

#include <fcntl.h>
#include <unistd.h>

#include "tools/qx/line_text.h"

namespace vz::qx {

namespace {

// Writes each question as one line to a stream (the same record the
// platform's logging back ends write), then lets another back end answer it. Used for the terminal when it does not draw on standard error.
class LoggingBackend final : public ui::Backend {
 public:
  LoggingBackend(std::shared_ptr<ui::Backend> inner, std::ostream& log) : inner_(std::move(inner)), log_(log) {}
  ui::Answer ask(const ui::Question& q) override {
    log_ << ui::describe(q) << '\n' << std::flush;
    return inner_->ask(q);
  }
  std::vector<std::string> chooseFiles(const ui::FileChooser& c) override {
    log_ << escapeForLine(c.caption) << (c.save ? "\tsave file\t" : "\topen file\t") << escapeForLine(c.initialFolder)
         << '\n'
         << std::flush;
    return inner_->chooseFiles(c);
  }
  std::optional<std::string> chooseFolder(const ui::FolderChooser& c) override {
    log_ << escapeForLine(c.caption) << "\tchoose folder\t" << escapeForLine(c.initialFolder) << '\n' << std::flush;
    return inner_->chooseFolder(c);
  }

 private:
  std::shared_ptr<ui::Backend> inner_;  // the back end that answers
  std::ostream& log_;                   // where the one-line records go
};

}  // namespace

DialogScope::~DialogScope() {
  if (installed_) ui::setBackend(previous_);
  if (ttyFd_ >= 0) close(ttyFd_);
}

bool DialogScope::install(const std::optional<std::string>& answersFile, bool stdinIsTerminal, std::ostream& err,
                          std::string* error) {
  std::shared_ptr<ui::Backend> chosen;
  if (answersFile) {
    std::string loadError;
    scripted_ = ui::loadAnswersFile(*answersFile, &loadError);
    if (!scripted_) {
      *error = "--answers: " + (loadError.empty() ? "cannot read " + *answersFile : loadError);
      return false;
    }
    chosen = scripted_;
  } else if (stdinIsTerminal) {
    if (isatty(STDERR_FILENO)) {
      chosen = ui::makeTerminalBackend(STDIN_FILENO, STDERR_FILENO);
    } else {
      ttyFd_ = open("/dev/tty", O_WRONLY | O_CLOEXEC);
      int drawFd = ttyFd_ >= 0 ? ttyFd_ : STDERR_FILENO;
      auto terminal = ui::makeTerminalBackend(STDIN_FILENO, drawFd);
      chosen = ttyFd_ >= 0 ? std::make_shared<LoggingBackend>(terminal, err) : terminal;
    }
  } else {
    // No answers and nobody to ask: every question gets its close answer.
    scripted_ = std::make_shared<ui::LoggingScriptedBackend>();
    chosen = scripted_;
  }
  previous_ = ui::setBackend(std::move(chosen));
  installed_ = true;
  return true;
}

std::vector<std::string> DialogScope::scriptErrors() const {
  return scripted_ ? scripted_->errors() : std::vector<std::string>{};
}

}  // namespace vz::qx
