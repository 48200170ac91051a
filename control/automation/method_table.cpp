// Looks a DISPID up in the areas' handler tables.
#include "control/automation/methods.h"

namespace vz::control {

std::vector<std::span<const MethodEntry>> allMethodTables() {
  return {infoMethods(), settingsMethods(), extractMethods(), itemListMethods(), writeMethods(),
          sfxMethods(),  spanMethods(),     repairMethods(),  pendingMethods()};
}

MethodHandler findMethod(com::DispId id) {
  for (auto table : allMethodTables()) {
    for (const MethodEntry& e : table) {
      if (e.id == id) return e.handler;
    }
  }
  return nullptr;
}

}  // namespace vz::control
