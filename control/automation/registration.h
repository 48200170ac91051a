// Self-registration and the class objects of the control library.
//
// registerServer writes the type library's keys (failure 0x80040200) and
// then the keys of the control class and of the property page class
// (failure 0x80040201), all naming the library's own path.
// unregisterServer removes them in the same order with the same two codes.
// getClassObject hands out a class factory for the control class only: the
// property page is registered so that containers find its name, but this
// object model has no property frames to create it in, so it has no object
// and no factory. canUnloadNow reports the module counter.
#pragma once

#include <string>

#include "platform/com/server.h"

namespace vz::control {

com::HRESULT registerServer(const std::string& libraryPath);
com::HRESULT unregisterServer();
com::HRESULT getClassObject(const com::Guid* clsid, const com::Guid* iid, void** out);
com::HRESULT canUnloadNow();

// The registry writers registration uses; tests replace them to make one
// step fail.
struct Registrar {
  bool (*registerTypeLib)(const com::TypeLibDesc& lib, const std::string& libraryPath);
  bool (*unregisterTypeLib)(const com::TypeLibDesc& lib);
  bool (*registerClass)(const com::CoClassDesc& cls, const com::TypeLibDesc& lib, const std::string& libraryPath);
  bool (*unregisterClass)(const com::CoClassDesc& cls);
};
// The platform's writers.
Registrar platformRegistrar();
// Installs r for the following calls; null restores the platform's.
void setRegistrarForTesting(const Registrar* r);

}  // namespace vz::control
