// The module counter lives in a function-local static so that objects made
// during other translation units' start-up already find it.
#include "control/automation/module.h"

namespace vz::control {

com::ModuleCounter& moduleCounter() {
  static com::ModuleCounter counter;
  return counter;
}

}  // namespace vz::control
