// What every known folder of folders.h is built from: the environment, the
// VZ_ROOT base and the creation of a missing folder. Kept apart from
// folders.cpp together with tempPath() (folder_env.cpp): a program that needs
// only the temporary folder, such as the statically linked self-extractor
// stub, then links none of folders.cpp's password-database lookup
// (homeFolder) and user-dirs.dirs reader.
#pragma once

#include <sys/types.h>

#include <string>

namespace vz::folder_env {

// Modes for folders created here: private settings and shared places.
constexpr mode_t kPrivateMode = 0700;
constexpr mode_t kPublicMode = 0755;

// The variable's value, empty when it is not set.
std::string envValue(const char* name);
// An environment variable holding an absolute path, without trailing "/";
// empty when it is not set or not absolute.
std::string absoluteEnv(const char* name);
// VZ_ROOT as an absolute path; empty when it is not set (or empty).
std::string vzRoot();
// Creates path and its missing parents (parents get kPublicMode, the final
// folder mode). Failures are left to the caller's first use of the folder,
// which reports them.
void ensureFolder(const std::string& path, mode_t mode);

}  // namespace vz::folder_env
