// Looks a DISPID up in the areas' handler tables.
#include "control/automation/methods.h"

namespace vz::control {

MethodHandler findMethod(com::DispId id) {
  for (auto table : {infoMethods(), settingsMethods(), pendingMethods()}) {
    for (const MethodEntry& e : table) {
      if (e.id == id) return e.handler;
    }
  }
  return nullptr;
}

}  // namespace vz::control
