// Class factories and the four exports of an in-process server library:
//   extern "C" HRESULT DllGetClassObject(const Guid* clsid, const Guid* iid, void** out);
//   extern "C" HRESULT DllCanUnloadNow();   // S_OK when no object or lock is alive
//   extern "C" HRESULT DllRegisterServer();
//   extern "C" HRESULT DllUnregisterServer();
#pragma once

#include <functional>

#include "platform/com/unknown.h"

namespace vz::com {

class IClassFactory : public IUnknown {
 public:
  // outer must be null (no aggregation: CLASS_E_NOAGGREGATION otherwise).
  virtual HRESULT CreateInstance(IUnknown* outer, const Guid& iid, void** out) = 0;
  virtual HRESULT LockServer(bool lock) = 0;

 protected:
  ~IClassFactory() = default;
};

using DllGetClassObjectFn = HRESULT (*)(const Guid* clsid, const Guid* iid, void** out);
using DllCanUnloadNowFn = HRESULT (*)();
using DllRegisterServerFn = HRESULT (*)();
using DllUnregisterServerFn = HRESULT (*)();

// A ready-made factory: create() makes a new object and returns its
// IUnknown with one reference (null when out of memory). The factory counts
// its locks in the module counter; an unlock without a matching lock is
// refused with E_UNEXPECTED, so a faulty client cannot drive the counter
// below zero. The factory starts with one reference, owned by its creator.
class SimpleClassFactory final : public IClassFactory {
 public:
  using Creator = std::function<IUnknown*()>;
  SimpleClassFactory(Creator create, ModuleCounter* module);
  HRESULT QueryInterface(const Guid& iid, void** out) override;
  uint32_t AddRef() override;
  uint32_t Release() override;
  HRESULT CreateInstance(IUnknown* outer, const Guid& iid, void** out) override;
  HRESULT LockServer(bool lock) override;

 private:
  ~SimpleClassFactory() = default;
  Creator create_;                 // makes one new object
  ModuleCounter* module_;          // the library's counter (may be null)
  std::atomic<uint32_t> refs_{1};  // references to this factory
  std::atomic<long> locks_{0};     // LockServer(true) calls not yet undone
};

}  // namespace vz::com
