// The "&Version Details" rows, in the order shown: versions first, then the
// platform, then the folders from the most general to the program's own.
#include "manager/app/version_details.h"

#include <sys/utsname.h>

#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "manager/app/settings_store.h"
#include "zipwrap/engine_binding.h"

#ifndef VZ_VERSION
#define VZ_VERSION "unknown"
#endif

namespace vz::manager {
namespace {

std::string platformText() {
  struct utsname u {};
  if (::uname(&u) != 0) return "unknown";
  return std::string(u.sysname) + " " + u.release + " (" + u.machine + ")";
}

// The folder part of a path, or the text itself when it has none.
std::string folderOf(const std::string& path) {
  std::string d = directoryPart(path);
  return d.empty() ? path : d;
}

}  // namespace

std::vector<VersionRow> versionDetails(const std::string& qtVersion) {
  std::vector<VersionRow> rows;
  rows.push_back({"Vemora.Zip version", VZ_VERSION});
  rows.push_back({"Qt version", qtVersion.empty() ? "unknown" : qtVersion});
  rows.push_back({"Platform", platformText()});
  rows.push_back({"Windows folder", windowsFolder()});
  rows.push_back({"Temporary folder", tempPath()});
  // The installer records the install folder; a program run from its build
  // folder has none and shows where it runs from.
  std::string install = SettingsStore().getString("InstallPath", "");
  rows.push_back({"Install folder", install.empty() ? executableDirectory() : install});
  rows.push_back({"Settings store file", reg::storeFile(RegRoot::CurrentUser)});
  std::string engine = zipwrap::findEngineLibrary("ZWZIP32.so");
  rows.push_back({"Engine folder", engine.empty() ? "(not found)" : folderOf(engine)});
  return rows;
}

}  // namespace vz::manager
