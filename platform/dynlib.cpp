// Shared libraries through dlopen.
//
// Libraries are loaded with RTLD_NOW, so a library with a missing symbol
// fails at load time (as LoadLibrary does) instead of at its first call, and
// RTLD_LOCAL, so the components we load (the control, the shell extension,
// the engine stand-ins) cannot capture each other's symbols. dlerror's text
// is kept for the caller's message, as GetLastError's would be.
#include "platform/dynlib.h"

#include <dlfcn.h>

namespace vz {

namespace {

std::string lastDlError(const char* fallback) {
  const char* e = dlerror();
  return e ? e : fallback;
}

}  // namespace

DynLib::~DynLib() { close(); }

DynLib::DynLib(DynLib&& o) noexcept : handle_(o.handle_), error_(std::move(o.error_)) { o.handle_ = nullptr; }

DynLib& DynLib::operator=(DynLib&& o) noexcept {
  if (this != &o) {
    close();
    handle_ = o.handle_;
    error_ = std::move(o.error_);
    o.handle_ = nullptr;
  }
  return *this;
}

bool DynLib::open(const std::string& path) {
  close();
  error_.clear();
  if (path.empty()) {
    error_ = "no library name given";
    return false;
  }
  dlerror();  // forget an older error
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    error_ = lastDlError("cannot load library");
    return false;
  }
  return true;
}

void* DynLib::symbol(const char* name) const {
  if (!handle_) {
    error_ = "no library loaded";
    return nullptr;
  }
  if (!name) {
    error_ = "no symbol name given";
    return nullptr;
  }
  dlerror();
  void* p = dlsym(handle_, name);
  if (!p) {
    // A symbol may legitimately be null; only dlerror tells the two apart.
    const char* e = dlerror();
    if (e) {
      error_ = e;
      return nullptr;
    }
    error_ = std::string("symbol ") + name + " is null";
  }
  return p;
}

void* DynLib::release() {
  void* h = handle_;
  handle_ = nullptr;
  return h;
}

void DynLib::close() {
  if (handle_) {
    if (dlclose(handle_) != 0) error_ = lastDlError("cannot unload library");
    handle_ = nullptr;
  }
}

}  // namespace vz
