// EngineLibrary: where the engine's libraries are found, and binding them.
#include "zipwrap/engine_binding.h"

#include <cstdlib>

#include "platform/folders.h"
#include "platform/paths.h"

namespace vz::zipwrap {

std::string findEngineLibrary(const std::string& fileName) {
  // An explicit folder is the only place looked at.
  if (const char* dir = std::getenv("VZ_ENGINE_DIR"); dir != nullptr && *dir != '\0') {
    return findFileNoCase(dir, fileName);
  }
  if (std::string exeDir = executableDirectory(); !exeDir.empty()) {
    if (std::string path = findFileNoCase(exeDir, fileName); !path.empty()) return path;
  }
  return findFileNoCase(defaultInstallFolder(), fileName);
}

EngineCall EngineLibrary::bind() {
  if (entry_ != nullptr) return entry_;
  const std::string path = findEngineLibrary(fileName_);
  if (path.empty()) {
    error_ = std::string(fileName_) + ": not found";
    return nullptr;
  }
  if (!lib_.open(path)) {
    error_ = lib_.error();
    return nullptr;
  }
  entry_ = reinterpret_cast<EngineCall>(lib_.symbol(entryName_));
  if (entry_ == nullptr) {
    // Unload it again, so that the next operation starts afresh.
    error_ = lib_.error();
    lib_.close();
    return nullptr;
  }
  error_.clear();
  return entry_;
}

}  // namespace vz::zipwrap
