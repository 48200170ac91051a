// Not built yet: every operation here fails with kResultCannotWrite.
#include "zipwrap/engine/media/span_write.h"

namespace vz::zipwrap {

OpResult spanArchiveToDisks(const EngineCommand&, EngineHost&, const std::string&) { return OpResult{kResultCannotWrite, 0}; }

}  // namespace vz::zipwrap
