// The temporary base folder of the control: the system's temporary path with
// a "/" behind it; when that path is empty, the folder "TEMP/" under the
// Windows folder, created when missing. The viewer ("QXVIEW/") and icon
// ("QXICONS/") folders live below it.
#pragma once

#include <string>

namespace vz::engine {

// Computed on first use and kept for the life of the process.
const std::string& tempBaseFolder();
// The rule itself, evaluated now (tests use it; tempBaseFolder caches it).
std::string computeTempBaseFolder();

}  // namespace vz::engine
