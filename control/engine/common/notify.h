// Progress notifications of the engine: WM_USER + n sent synchronously to the
// notification window (when there is one), then the waiting messages are
// dispatched (when pumping is on). Pumping is where a host's cancel request
// reaches a running operation.
#pragma once

#include <cstdint>

#include "control/engine/common/unzip_state.h"
#include "platform/types.h"

namespace vz::engine {

// Message offsets from WM_USER that the directory code sends.
constexpr uint32_t kNotifyRepairing = 0x31;     // wParam: step (1 entry, 2 done); lParam: text
constexpr uint32_t kNotifyCatalogueCount = 0x34;  // wParam: entries found; no event

// Sends WM_USER + n to window when it is not 0, then pumps when pump is set.
void notify(Handle window, bool pump, uint32_t n, WParam wParam, LParam lParam);
// The same with the read side's settings.
inline void notify(const UnzipState& st, uint32_t n, WParam wParam, LParam lParam) {
  notify(st.notifyWindow, st.pump, n, wParam, lParam);
}
// Dispatches waiting messages when pumping is on (no notification).
void pumpIf(bool pump);

}  // namespace vz::engine
