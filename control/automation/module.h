// The control library's module object: the count of live objects and
// server locks that DllCanUnloadNow consults. Every control instance and
// every lock of a class factory counts here.
#pragma once

#include "platform/com/unknown.h"

namespace vz::control {

// The one module counter of the library.
com::ModuleCounter& moduleCounter();

}  // namespace vz::control
