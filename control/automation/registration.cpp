// Registration, unregistration and the class factory of the control.
#include "control/automation/registration.h"

#include <new>

#include "control/automation/control.h"
#include "control/automation/module.h"
#include "control/typelib/qx_typelib.h"

namespace vz::control {

namespace {

// The registrar in use: the platform's, or one a test installed.
Registrar g_registrar = platformRegistrar();

}  // namespace

Registrar platformRegistrar() {
  return Registrar{&com::registerTypeLib, &com::unregisterTypeLib, &com::registerClass, &com::unregisterClass};
}

void setRegistrarForTesting(const Registrar* r) { g_registrar = r ? *r : platformRegistrar(); }

com::HRESULT registerServer(const std::string& libraryPath) {
  // Without its own path the library cannot name itself in the registry.
  if (libraryPath.empty()) return com::SELFREG_E_TYPELIB;
  if (!g_registrar.registerTypeLib(kQxTypeLib, libraryPath)) return com::SELFREG_E_TYPELIB;
  if (!g_registrar.registerClass(kQxClass, kQxTypeLib, libraryPath)) return com::SELFREG_E_CLASS;
  if (!g_registrar.registerClass(kQxPropPageClass, kQxTypeLib, libraryPath)) return com::SELFREG_E_CLASS;
  return com::S_OK;
}

com::HRESULT unregisterServer() {
  if (!g_registrar.unregisterTypeLib(kQxTypeLib)) return com::SELFREG_E_TYPELIB;
  // Both classes are attempted even when the first fails, so that as little
  // as possible stays behind.
  const bool control = g_registrar.unregisterClass(kQxClass);
  const bool page = g_registrar.unregisterClass(kQxPropPageClass);
  return control && page ? com::S_OK : com::SELFREG_E_CLASS;
}

com::HRESULT getClassObject(const com::Guid* clsid, const com::Guid* iid, void** out) {
  if (!out) return com::E_POINTER;
  *out = nullptr;
  if (!clsid || !iid) return com::E_POINTER;
  if (*clsid != CLSID_QX) return com::CLASS_E_CLASSNOTAVAILABLE;
  com::SimpleClassFactory* factory = nullptr;
  try {
    factory = new com::SimpleClassFactory(
        []() -> com::IUnknown* {
          CZCtrl* c = CZCtrl::create();
          return c ? static_cast<com::IDispatch*>(c) : nullptr;
        },
        &moduleCounter());
  } catch (const std::bad_alloc&) {
    return com::E_OUTOFMEMORY;
  }
  const com::HRESULT hr = factory->QueryInterface(*iid, out);
  factory->Release();
  return hr;
}

com::HRESULT canUnloadNow() { return moduleCounter().idle() ? com::S_OK : com::S_FALSE; }

}  // namespace vz::control
