// Paths. Paths are UTF-8 strings with "/" as the separator at the file-system
// boundary. Hosts may pass paths written the Windows way ("A:\DIR\FILE",
// "C:\X", "SUB\NAME"): toNativePath turns those into file-system paths,
// resolving drive letters through the drives service (drives.h).
#pragma once

#include <string>
#include <string_view>

namespace vz {

// "\" becomes "/"; a leading drive "X:" is resolved to the drive's root
// folder (simulated drives, or "C:" = "/"); an unknown drive letter leaves
// the text as it is apart from the separators.
std::string toNativePath(std::string_view path);
// a + "/" + b, without doubling a separator; b absolute wins.
std::string joinPath(std::string_view a, std::string_view b);
// Text after the last "/" or "\".
std::string fileNamePart(std::string_view path);
// Text up to and including the last "/" or "\"; empty when there is none.
std::string directoryPart(std::string_view path);
// Extension with its dot (".ZIP"), empty when the name has none.
std::string extensionPart(std::string_view path);
// Absolute, lexically normalised path ("." and ".." folded), relative paths
// taken from the current directory.
std::string absolutePath(std::string_view path);
// The folder of the running executable (from /proc/self/exe).
std::string executableDirectory();
// Looks name up in folder, exactly first and then ignoring case (the case
// rules of charcase.h). Returns the full path of the file found, or empty.
std::string findFileNoCase(std::string_view folder, std::string_view name);
// True when child, after normalisation, lies inside parent (or is parent).
bool isPathInside(std::string_view parent, std::string_view child);

}  // namespace vz
