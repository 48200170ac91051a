// Ctrl+C as Cancel: while an InterruptScope lives, the first SIGINT only
// notes the request (the handler is reset, so a second one ends the program
// as usual). The wrapper's event handlers look at the note after each event
// and set Abort, so the engine stops at its next callback and leaves the
// archive as it was, with no temporary file behind, instead of dying in the
// middle of a write.
#pragma once

#include <csignal>

namespace vz::cli {

class InterruptScope {
 public:
  InterruptScope();
  ~InterruptScope();
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;

 private:
  struct sigaction previous_ {};  // the action to restore
};

// Whether Ctrl+C was pressed since the scope began.
bool interruptRequested();

}  // namespace vz::cli
