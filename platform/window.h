// Notification windows and the message pump.
//
// A window is an object in the handle table with a procedure that receives
// messages. send() is synchronous: the procedure has run when it returns,
// exactly as the engine's progress notifications require. The control turns
// the messages it receives into automation events.
//
// The message pump is one process-wide hook, called where the engine
// dispatches waiting messages during long operations. Qt hosts set it to
// process pending Qt events; other hosts leave it empty.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/handles.h"
#include "platform/types.h"

namespace vz {

class Window : public HandleObject {
 public:
  using Procedure = std::function<intptr_t(uint32_t msg, WParam wParam, LParam lParam)>;
  explicit Window(Procedure proc) : proc_(std::move(proc)) {}
  intptr_t send(uint32_t msg, WParam wParam, LParam lParam) { return proc_ ? proc_(msg, wParam, lParam) : 0; }

 private:
  Procedure proc_;
};

// Creates a window with the procedure and returns its handle.
Handle createWindow(Window::Procedure proc);
bool destroyWindow(Handle h);
// Sends a message to the window h synchronously; 0 when h is 0 or unknown.
intptr_t sendMessage(Handle h, uint32_t msg, WParam wParam, LParam lParam);

// The process-wide message pump.
void setMessagePump(std::function<void()> pump);
// Dispatches every waiting message (calls the hook once); nothing when no
// hook is set.
void pumpMessages();

}  // namespace vz
