// The scratch folder and the tree removal it needs.
#include "manager/app/scratch_folder.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "platform/folders.h"

namespace vz::manager {

std::string scratchFolderPath() {
  std::string tmp = vz::tempPath();
  if (!tmp.empty() && tmp.back() != '/') tmp += '/';
  return tmp + "VZipTemp";
}

std::string ensureScratchFolder() {
  const std::string path = scratchFolderPath();
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  if (!std::filesystem::is_directory(path, ec)) return {};
  ::chmod(path.c_str(), 0700);
  return path;
}

bool removeTree(const std::string& path) {
  std::error_code ec;
  // remove_all removes symbolic links themselves and does not follow them.
  std::filesystem::remove_all(path, ec);
  return !std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

bool removeScratchFolder() { return removeTree(scratchFolderPath()); }

}  // namespace vz::manager
