// Notification windows and the message-pump hook.
//
// A window is a Window object in the handle table; sendMessage looks it up
// and calls its procedure directly, so the procedure has run when the call
// returns. The lookup holds shared ownership for the duration of the call:
// a procedure that destroys its own window (or a host that does so from
// another thread) does not pull the object out from under the running call.
//
// The pump hook is copied out under its lock before it runs, so a hook that
// re-enters pumpMessages (Qt event processing that reaches engine code
// again) or replaces itself never deadlocks.
#include "platform/window.h"

#include <mutex>

namespace vz {

namespace {

struct Pump {
  std::mutex mutex;                             // guards hook
  std::shared_ptr<std::function<void()>> hook;  // the installed pump, or null
};

Pump& pump() {
  static Pump* p = new Pump;  // never destroyed: hosts may pump at exit
  return *p;
}

}  // namespace

Handle createWindow(Window::Procedure proc) { return handles::add(std::make_shared<Window>(std::move(proc))); }

bool destroyWindow(Handle h) {
  // Only a window is destroyed here; other kinds of handle stay.
  if (!handles::getAs<Window>(h)) return false;
  return handles::destroy(h);
}

intptr_t sendMessage(Handle h, uint32_t msg, WParam wParam, LParam lParam) {
  if (h == 0) return 0;
  std::shared_ptr<Window> w = handles::getAs<Window>(h);
  if (!w) return 0;
  return w->send(msg, wParam, lParam);
}

void setMessagePump(std::function<void()> hook) {
  Pump& p = pump();
  std::lock_guard<std::mutex> lock(p.mutex);
  p.hook = hook ? std::make_shared<std::function<void()>>(std::move(hook)) : nullptr;
}

void pumpMessages() {
  std::shared_ptr<std::function<void()>> hook;
  {
    Pump& p = pump();
    std::lock_guard<std::mutex> lock(p.mutex);
    hook = p.hook;
  }
  if (hook) (*hook)();
}

}  // namespace vz
