#include "manager/vz/dialog_scope.h"

#include <fcntl.h>
#include <unistd.h>

namespace vz::cli {

DialogScope::~DialogScope() {
  if (installed_) ui::setBackend(previous_);
  if (ttyFd_ >= 0) close(ttyFd_);
}

bool DialogScope::install(const std::optional<std::string>& answersFile, bool stdinIsTerminal, std::string* error) {
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
    int drawFd = STDERR_FILENO;
    if (!isatty(STDERR_FILENO)) {
      ttyFd_ = open("/dev/tty", O_WRONLY | O_CLOEXEC);
      if (ttyFd_ >= 0) drawFd = ttyFd_;
    }
    chosen = ui::makeTerminalBackend(STDIN_FILENO, drawFd);
  } else {
    return true;  // the platform's default back end stays
  }
  previous_ = ui::setBackend(std::move(chosen));
  installed_ = true;
  return true;
}

std::vector<std::string> DialogScope::scriptErrors() const {
  return scripted_ ? scripted_->errors() : std::vector<std::string>{};
}

}  // namespace vz::cli
