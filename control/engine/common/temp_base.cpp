// The temporary base folder (see temp_base.h).
#include "control/engine/common/temp_base.h"

#include "platform/file.h"
#include "platform/folders.h"

namespace vz::engine {

std::string computeTempBaseFolder() {
  std::string base = tempPath();
  if (base.empty()) {
    base = windowsFolder();
    if (!base.empty() && base.back() != '/') base += '/';
    base += "TEMP/";
    makeDirectories(base);
    return base;
  }
  if (base.back() != '/') base += '/';
  return base;
}

const std::string& tempBaseFolder() {
  static const std::string base = computeTempBaseFolder();
  return base;
}

}  // namespace vz::engine
