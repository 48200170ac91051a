// Progress notifications (see notify.h).
#include "control/engine/common/notify.h"

#include "platform/window.h"

namespace vz::engine {

void notify(Handle window, bool pump, uint32_t n, WParam wParam, LParam lParam) {
  if (window != 0) sendMessage(window, WM_USER + n, wParam, lParam);
  pumpIf(pump);
}

void pumpIf(bool pump) {
  if (pump) pumpMessages();
}

}  // namespace vz::engine
