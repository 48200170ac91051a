// The known folders.
//
// Nothing is cached: the environment is read on every call, so a test that
// sets VZ_ROOT (tests/support's ScopedRoot) sees its own folders at once.
// With VZ_ROOT set (and not empty) every folder lies inside it:
//   windows  VZ_ROOT/windows        system   VZ_ROOT/system
//   temp     $TMPDIR or VZ_ROOT/tmp desktop  VZ_ROOT/Desktop
//   programs VZ_ROOT/applications   install  VZ_ROOT/opt/VemoraZip
// Otherwise the XDG base directories apply ($XDG_CONFIG_HOME, $XDG_DATA_HOME,
// ignored unless absolute, as the XDG rules say), the desktop comes from
// $XDG_DESKTOP_DIR or the user-dirs.dirs file, and the install folder is
// ~/.local/opt/VemoraZip.
//
// Folders that hold the user's private settings (the Windows and system
// folders, a temporary folder we create) are made with mode 0700; the
// desktop and the menu folder with 0755.
//
// tempPath() and the helpers every folder here is built from (the
// environment, VZ_ROOT, creating a folder) are in folder_env.cpp.
#include "platform/folders.h"

#include <pwd.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/folder_env.h"
#include "platform/paths.h"

namespace vz {

namespace {

constexpr const char* kAppFolder = "VemoraZip";

using folder_env::absoluteEnv;
using folder_env::ensureFolder;
using folder_env::kPrivateMode;
using folder_env::kPublicMode;
using folder_env::vzRoot;

std::string configHome() {
  std::string v = absoluteEnv("XDG_CONFIG_HOME");
  return v.empty() ? joinPath(homeFolder(), ".config") : v;
}

std::string dataHome() {
  std::string v = absoluteEnv("XDG_DATA_HOME");
  return v.empty() ? joinPath(homeFolder(), ".local/share") : v;
}

// XDG_DESKTOP_DIR from the environment or from user-dirs.dirs, where it is
// written as XDG_DESKTOP_DIR="$HOME/Desktop" (a path relative to $HOME or
// an absolute path, in double quotes).
std::string xdgDesktop() {
  std::string v = absoluteEnv("XDG_DESKTOP_DIR");
  if (!v.empty()) return v;
  const std::string home = homeFolder();
  std::ifstream in(joinPath(configHome(), "user-dirs.dirs"));
  std::string line;
  const std::string key = "XDG_DESKTOP_DIR=";
  while (std::getline(in, line)) {
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line.compare(start, key.size(), key) != 0) continue;
    std::string value = line.substr(start + key.size());
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r')) value.pop_back();
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
    if (value.empty() || value.front() != '/') continue;
    while (value.size() > 1 && value.back() == '/') value.pop_back();
    return value;
  }
  return joinPath(home, "Desktop");
}

}  // namespace

std::string homeFolder() {
  std::string home = absoluteEnv("HOME");
  if (!home.empty()) return home;
  std::vector<char> buf(16384);
  passwd pw{};
  passwd* result = nullptr;
  if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &result) == 0 && result && result->pw_dir &&
      result->pw_dir[0] == '/')
    return result->pw_dir;
  return "/";
}

std::string windowsFolder() {
  const std::string root = vzRoot();
  const std::string path = root.empty() ? joinPath(configHome(), kAppFolder) : joinPath(root, "windows");
  ensureFolder(path, kPrivateMode);
  return path;
}

std::string systemFolder() {
  const std::string root = vzRoot();
  const std::string path =
      root.empty() ? joinPath(joinPath(dataHome(), kAppFolder), "system") : joinPath(root, "system");
  ensureFolder(path, kPrivateMode);
  return path;
}

std::string desktopFolder() {
  const std::string root = vzRoot();
  const std::string path = root.empty() ? xdgDesktop() : joinPath(root, "Desktop");
  ensureFolder(path, kPublicMode);
  return path;
}

std::string programsFolder() {
  const std::string root = vzRoot();
  const std::string path = root.empty() ? joinPath(dataHome(), "applications") : joinPath(root, "applications");
  ensureFolder(path, kPublicMode);
  return path;
}

std::string sendToFolder() {
  const std::string path = joinPath(windowsFolder(), "Sendto");
  ensureFolder(path, kPrivateMode);
  return path;
}

std::string defaultInstallFolder() {
  const std::string root = vzRoot();
  return root.empty() ? joinPath(homeFolder(), ".local/opt/VemoraZip") : joinPath(root, "opt/VemoraZip");
}

}  // namespace vz
