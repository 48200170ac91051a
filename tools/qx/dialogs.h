// Which user-interface back end answers the control's dialogs while qx
// runs, installed for the lifetime of a DialogScope:
//   --answers FILE          the answers file (loadAnswersFile), questions
//                           logged to standard error; with no answer left,
//                           a question gets its close answer;
//   a terminal on stdin     the terminal back end, drawing on standard
//                           error when that is a terminal, else on the
//                           controlling terminal (and then each question is
//                           also logged to standard error);
//   otherwise               every question gets its close answer and is
//                           logged to standard error.
// An explicit --answers wins over the terminal: a user who names a file of
// answers wants those used.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "platform/ui.h"

namespace vz::qx {

class DialogScope {
 public:
  DialogScope() = default;
  ~DialogScope();
  DialogScope(const DialogScope&) = delete;
  DialogScope& operator=(const DialogScope&) = delete;

  // Chooses and installs the back end. Returns false with *error set when
  // the answers file cannot be read. err receives the one-line record of
  // questions that the chosen back end does not log itself.
  bool install(const std::optional<std::string>& answersFile, bool stdinIsTerminal, std::ostream& err,
               std::string* error);
  // Problems the scripted answers ran into (an answer naming a button the
  // dialog does not have, ...); empty for the other back ends.
  std::vector<std::string> scriptErrors() const;

 private:
  bool installed_ = false;                         // a back end of ours is installed
  std::shared_ptr<ui::Backend> previous_;          // the back end to restore
  std::shared_ptr<ui::ScriptedBackend> scripted_;  // the scripted back end, when one is used
  int ttyFd_ = -1;                                 // controlling terminal opened for drawing, or -1
};

}  // namespace vz::qx
