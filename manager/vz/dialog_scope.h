// Which user-interface back end answers vz's questions, installed for the
// lifetime of a DialogScope (the choice qx makes, tools/qx/dialogs.h):
//   --answers FILE        the answers file (ui::loadAnswersFile), each
//                         question logged to standard error; with no answer
//                         left a question gets its close answer (Cancel);
//   a terminal on stdin   the terminal back end, drawn on standard error
//                         when that is a terminal, else on /dev/tty;
//   otherwise             the platform's default answers: the default
//                         button, each question logged to standard error.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui.h"

namespace vz::cli {

class DialogScope {
 public:
  DialogScope() = default;
  ~DialogScope();
  DialogScope(const DialogScope&) = delete;
  DialogScope& operator=(const DialogScope&) = delete;

  // false with *error set when the answers file cannot be read.
  bool install(const std::optional<std::string>& answersFile, bool stdinIsTerminal, std::string* error);
  // Answers of the file that named a button the question does not have.
  std::vector<std::string> scriptErrors() const;

 private:
  bool installed_ = false;                         // a back end of ours is installed
  std::shared_ptr<ui::Backend> previous_;          // the back end to restore
  std::shared_ptr<ui::ScriptedBackend> scripted_;  // the answers file's back end, when used
  int ttyFd_ = -1;                                 // /dev/tty opened for drawing, or -1
};

}  // namespace vz::cli
