// Not built yet: every operation here fails with kResultCannotWrite.
#include "zipwrap/engine/unzip/unzip_ops.h"

namespace vz::zipwrap {

OpResult runList(const EngineCommand&, EngineHost&) { return OpResult{kResultCannotWrite, 0}; }
OpResult runCountEntries(const EngineCommand&, EngineHost&) { return OpResult{kResultCannotWrite, 0}; }
OpResult runReadComment(const EngineCommand&, EngineHost&) { return OpResult{kResultCannotWrite, 0}; }

}  // namespace vz::zipwrap
