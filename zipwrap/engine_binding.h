// The binding to one library of the external engine: the library loaded on
// first use (platform/dynlib.h) and its entry point found by name. A failed
// bind leaves nothing loaded, so the next bind() tries again from the
// start; a successful one keeps the library until the object is destroyed.
//
// Where the library is looked up (its file name matched exactly first, then
// ignoring case, within each folder):
//   1. $VZ_ENGINE_DIR when the variable is set and not empty (only there:
//      tests and portable setups name the folder exactly);
//   2. else the folder of the running program (/proc/self/exe);
//   3. else, when it is not there, the install folder
//      (platform/folders.h, defaultInstallFolder()).
#pragma once

#include <string>

#include "platform/dynlib.h"
#include "zipwrap/engine/engine_abi.h"

namespace vz::zipwrap {

class EngineLibrary {
 public:
  EngineLibrary(const char* fileName, const char* entryName) : fileName_(fileName), entryName_(entryName) {}

  // The entry point, binding the library first when needed; null when the
  // library or its entry point cannot be found (error() says why).
  EngineCall bind();
  bool isBound() const { return entry_ != nullptr; }
  const std::string& error() const { return error_; }

 private:
  const char* fileName_;        // "ZWZIP32.so" or "ZWUNZ32.so"
  const char* entryName_;       // "zwzip" or "zwunzip"
  DynLib lib_;                  // the loaded library, closed again when binding fails
  EngineCall entry_ = nullptr;  // the bound entry point, null until bound
  std::string error_;           // why the last bind failed
};

// The path where fileName would be loaded from by the rules above; empty
// when no folder holds it.
std::string findEngineLibrary(const std::string& fileName);

}  // namespace vz::zipwrap
