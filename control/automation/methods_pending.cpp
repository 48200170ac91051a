// Handlers of the methods whose engine work is still to come. Every method
// of the interface has its area's handler now, so the table is empty; it
// stays as the place where a method is answered with its failure result
// while its engine work is being built.
#include "control/automation/methods.h"

namespace vz::control {

std::span<const MethodEntry> pendingMethods() { return {}; }

}  // namespace vz::control
