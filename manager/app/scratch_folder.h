// The main window's scratch folder: "VZipTemp" under the temporary folder
// (platform/folders.h tempPath()), where entries are extracted to be
// viewed, scanned or installed. It is created on demand and deleted with
// its contents at exit (and before an install run is cleaned up).
#pragma once

#include <string>

namespace vz::manager {

// The folder's path (not created).
std::string scratchFolderPath();
// Creates the folder (mode 0700) and returns its path; empty on failure.
std::string ensureScratchFolder();
// Deletes the folder and everything in it; true when nothing is left.
bool removeScratchFolder();
// Deletes a folder tree (symbolic links are removed, never followed).
bool removeTree(const std::string& path);

}  // namespace vz::manager
