// The four entry points of QX30W32.so, with C linkage; the version script
// qx30w32.map exports these and nothing else. Registration names the
// library's own file, found from the address of one of its functions.
#include "control/automation/registration.h"

extern "C" {

vz::com::HRESULT DllRegisterServer();
vz::com::HRESULT DllUnregisterServer();
vz::com::HRESULT DllGetClassObject(const vz::com::Guid* clsid, const vz::com::Guid* iid, void** out);
vz::com::HRESULT DllCanUnloadNow();

vz::com::HRESULT DllRegisterServer() {
  const std::string path = vz::com::libraryPathOf(reinterpret_cast<const void*>(&DllRegisterServer));
  return vz::control::registerServer(path);
}

vz::com::HRESULT DllUnregisterServer() { return vz::control::unregisterServer(); }

vz::com::HRESULT DllGetClassObject(const vz::com::Guid* clsid, const vz::com::Guid* iid, void** out) {
  return vz::control::getClassObject(clsid, iid, out);
}

vz::com::HRESULT DllCanUnloadNow() { return vz::control::canUnloadNow(); }

}  // extern "C"
