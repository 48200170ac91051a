// Not built yet: every operation here fails with kResultCannotWrite.
#include "zipwrap/engine/zip/zip_ops.h"

namespace vz::zipwrap {

OpResult runDelete(const EngineCommand&, EngineHost&) { return OpResult{kResultCannotWrite, 0}; }

}  // namespace vz::zipwrap
