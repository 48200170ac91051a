// Loading shared libraries (LoadLibrary / GetProcAddress / FreeLibrary).
#pragma once

#include <string>

namespace vz {

class DynLib {
 public:
  DynLib() = default;
  ~DynLib();
  DynLib(DynLib&& o) noexcept;
  DynLib& operator=(DynLib&& o) noexcept;
  DynLib(const DynLib&) = delete;
  DynLib& operator=(const DynLib&) = delete;

  bool open(const std::string& path);  // dlopen(RTLD_NOW | RTLD_LOCAL)
  bool isOpen() const { return handle_ != nullptr; }
  // The address of an exported symbol; null (and error() set) when missing.
  void* symbol(const char* name) const;
  // Keeps the library loaded for the rest of the process.
  void* release();
  void close();
  const std::string& error() const { return error_; }

 private:
  void* handle_ = nullptr;     // dlopen's handle, null when nothing is loaded
  mutable std::string error_;  // dlerror's text of the last failed call
};

}  // namespace vz
