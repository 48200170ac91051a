// The registry path covers the installed case (regsvr32 wrote the CLSID and
// ProgID keys). Any failure there, not only "not registered", falls back to
// the library beside qx: a stale registration whose library was moved must
// not stop a copy of qx that carries the control with it. When both fail,
// the message names both reasons.
#include "tools/qx/control_factory.h"

#include "control/typelib/qx_typelib.h"
#include "platform/com/server.h"
#include "platform/paths.h"
#include "tools/qx/hresult_text.h"

namespace vz::qx {

CreatedControl createControl(const std::string& libraryFolder) {
  CreatedControl created;
  com::Ref<com::IDispatch> disp;
  com::HRESULT viaRegistry = com::createInstanceByProgId(control::kQxProgId, com::IID_IDispatch, disp.put());
  if (com::succeeded(viaRegistry) && disp) {
    created.control = std::move(disp);
    created.fromRegistry = true;
    return created;
  }

  const std::string libraryPath = joinPath(libraryFolder, control::kQxLibraryFile);
  com::HRESULT viaLibrary =
      com::createInstanceFromLibrary(libraryPath, control::CLSID_QX, com::IID_IDispatch, disp.put());
  if (com::succeeded(viaLibrary) && disp) {
    created.control = std::move(disp);
    return created;
  }
  if (com::succeeded(viaLibrary)) viaLibrary = com::E_NOINTERFACE;  // success without an object
  created.error = std::string("cannot create the control ") + control::kQxProgId + ": through the registry: " +
                  describeHresult(com::succeeded(viaRegistry) ? com::E_NOINTERFACE : viaRegistry) + "; from " +
                  libraryPath + ": " + describeHresult(viaLibrary);
  return created;
}

}  // namespace vz::qx
