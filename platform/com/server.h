// Registration of in-process servers in our registry, and creating objects
// by CLSID or ProgID.
//
// Registration writes, under HKEY_CLASSES_ROOT:
//   CLSID\{clsid}                       (default) = type name
//   CLSID\{clsid}\InprocServer32        (default) = library path, ThreadingModel = Apartment
//   CLSID\{clsid}\ProgID                (default) = ProgID
//   CLSID\{clsid}\TypeLib               (default) = {typelib}
//   CLSID\{clsid}\Version               (default) = major.minor
//   CLSID\{clsid}\MiscStatus            (default) = misc status (decimal), when not 0
//   CLSID\{clsid}\Insertable, CLSID\{clsid}\Control   (empty keys) when insertable
//   <ProgID>                            (default) = type name
//   <ProgID>\CLSID                      (default) = {clsid}
//   <ProgID>\Insertable                 when insertable
//   TypeLib\{typelib}\<major.minor>     (default) = type library name
//   TypeLib\{typelib}\<major.minor>\0\linux  (default) = library path
//   TypeLib\{typelib}\<major.minor>\FLAGS    (default) = 2 (has a disk image)
//   Interface\{iid}                     (default) = interface name, with
//     ProxyStubClsid32 and TypeLib subkeys, for every interface
#pragma once

#include <string>
#include <string_view>

#include "platform/com/classfactory.h"
#include "platform/com/typelib.h"

namespace vz::com {

// Type library registration (the TypeLib and Interface keys); false when the
// registry cannot be written.
bool registerTypeLib(const TypeLibDesc& lib, const std::string& libraryPath);
bool unregisterTypeLib(const TypeLibDesc& lib);
// Class registration (the CLSID and ProgID keys of one class).
bool registerClass(const CoClassDesc& cls, const TypeLibDesc& lib, const std::string& libraryPath);
bool unregisterClass(const CoClassDesc& cls);

// The path of the shared library that contains the given address (dladdr),
// for a server registering itself.
std::string libraryPathOf(const void* addressInLibrary);

// ProgID -> CLSID through HKCR\<ProgID>\CLSID; CO_E_CLASSSTRING when unknown.
HRESULT clsidFromProgId(std::string_view progId, Guid* clsid);
// The registered server library of a CLSID; empty when not registered.
std::string serverPathOf(const Guid& clsid);

// Loads the library, asks its DllGetClassObject for the class factory and
// creates one object, asking it for iid. Loaded libraries stay loaded for
// the rest of the process. REGDB_E_CLASSNOTREG when the class is not
// registered, CO_E_DLLNOTFOUND when the library cannot be loaded,
// CO_E_ERRORINDLL when it lacks the entry point.
HRESULT createInstance(const Guid& clsid, const Guid& iid, void** out);
HRESULT createInstanceByProgId(std::string_view progId, const Guid& iid, void** out);
HRESULT createInstanceFromLibrary(const std::string& libraryPath, const Guid& clsid, const Guid& iid, void** out);

// Runs DllRegisterServer or DllUnregisterServer of a library (the work of
// regsvr32); *loadError describes a library that could not be loaded or
// lacks the entry point.
HRESULT callRegistrationEntry(const std::string& libraryPath, bool unregister, std::string* loadError);

}  // namespace vz::com
