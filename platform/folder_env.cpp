// The known folders' common parts (folder_env.h) and the temporary folder:
// $TMPDIR when it is an absolute path, else VZ_ROOT/tmp with VZ_ROOT set,
// else /tmp; created with mode 0700 when it is missing. Nothing is cached:
// the environment is read on every call.
#include "platform/folder_env.h"

#include <sys/stat.h>

#include <cstdlib>

#include "platform/folders.h"
#include "platform/paths.h"

namespace vz {

namespace folder_env {

std::string envValue(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string absoluteEnv(const char* name) {
  std::string v = envValue(name);
  if (v.empty() || v.front() != '/') return {};
  while (v.size() > 1 && v.back() == '/') v.pop_back();
  return v;
}

std::string vzRoot() {
  std::string v = envValue("VZ_ROOT");
  if (v.empty()) return {};
  return absolutePath(v);
}

void ensureFolder(const std::string& path, mode_t mode) {
  struct stat st;
  if (path.empty() || stat(path.c_str(), &st) == 0) return;
  for (size_t pos = path.find('/', 1); pos != std::string::npos; pos = path.find('/', pos + 1)) {
    const std::string parent = path.substr(0, pos);
    if (stat(parent.c_str(), &st) != 0) mkdir(parent.c_str(), kPublicMode);
  }
  mkdir(path.c_str(), mode);
}

}  // namespace folder_env

std::string tempPath() {
  std::string path = folder_env::absoluteEnv("TMPDIR");
  if (path.empty()) {
    const std::string root = folder_env::vzRoot();
    path = root.empty() ? std::string("/tmp") : joinPath(root, "tmp");
  }
  folder_env::ensureFolder(path, folder_env::kPrivateMode);
  return path;
}

}  // namespace vz
