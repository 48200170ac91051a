// Readable descriptions of object-model result codes for qx's messages.
#pragma once

#include <string>

#include "platform/com/hresult.h"

namespace vz::qx {

// "class not registered (0x80040154)"; unknown codes as "error 0x...".
std::string describeHresult(com::HRESULT code);

}  // namespace vz::qx
