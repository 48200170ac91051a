// Creating the compression control for qx: through the registry by its
// ProgID first, and when that fails, from QX30W32.so in a given folder (the
// folder of the qx program in normal use).
#pragma once

#include <string>

#include "platform/com/dispatch.h"

namespace vz::qx {

struct CreatedControl {
  com::Ref<com::IDispatch> control;  // null when creation failed
  std::string error;                 // why it failed, one line; empty on success
  bool fromRegistry = false;         // true when the registry path succeeded
};

// libraryFolder: where QX30W32.so is looked for when the registry path
// fails.
CreatedControl createControl(const std::string& libraryFolder);

}  // namespace vz::qx
