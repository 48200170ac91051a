// Basic vocabulary shared by every layer: handles and message parameters.
#pragma once

#include <cstdint>

namespace vz {

// A handle to a platform object (window, list box, list view, image list).
// 32 bits wide because hosts pass handles through automation as `long`.
// 0 is never a valid handle.
using Handle = int32_t;

// Parameters of a message sent to a notification window.
using WParam = uintptr_t;
using LParam = intptr_t;

// First message number free for private use; the engine's progress
// notifications are WM_USER + n.
constexpr uint32_t WM_USER = 0x400;

}  // namespace vz
