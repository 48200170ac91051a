// Not built yet: every operation here fails with kResultCannotWrite.
#include "zipwrap/engine/unzip/unzip_ops.h"

namespace vz::zipwrap {

OpResult runTest(const EngineCommand&, EngineHost&) { return OpResult{kResultCannotWrite, 0}; }
OpResult runExtract(const EngineCommand&, EngineHost&) { return OpResult{kResultCannotWrite, 0}; }

}  // namespace vz::zipwrap
