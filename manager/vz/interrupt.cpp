#include "manager/vz/interrupt.h"

namespace vz::cli {

namespace {

volatile std::sig_atomic_t gInterrupted = 0;  // set by the handler, read by the events

void onInterrupt(int) { gInterrupted = 1; }

}  // namespace

InterruptScope::InterruptScope() {
  gInterrupted = 0;
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  // Reads of a terminal question go on after the signal; the run stops at
  // the engine's next callback.
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigaction(SIGINT, &action, &previous_);
}

InterruptScope::~InterruptScope() { sigaction(SIGINT, &previous_, nullptr); }

bool interruptRequested() { return gInterrupted != 0; }

}  // namespace vz::cli
