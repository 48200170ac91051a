// Not built yet: every operation here fails with kResultCannotWrite.
#include "zipwrap/engine/media/span_read.h"

namespace vz::zipwrap {

OpResult joinSpannedSet(const EngineCommand&, EngineHost&, bool, std::string&) { return OpResult{kResultCannotWrite, 0}; }

}  // namespace vz::zipwrap
