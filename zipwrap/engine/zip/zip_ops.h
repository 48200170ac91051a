// The writer side's operations, one per action of engine_command.h. Each
// runs one parsed command to its end and reports through the host.
#pragma once

#include "zipwrap/engine/engine_command.h"
#include "zipwrap/engine/engine_host.h"
#include "zipwrap/engine/engine_op.h"

namespace vz::zipwrap {

// Add, freshen and update (zip_add.cpp); with -! the new archive is then
// spread over removable disks (media/span_write.h).
OpResult runAdd(const EngineCommand& command, EngineHost& host);
// Delete (zip_delete.cpp).
OpResult runDelete(const EngineCommand& command, EngineHost& host);
// The archive comment (zip_comment.cpp).
OpResult runWriteComment(const EngineCommand& command, EngineHost& host);
// -F and -FF (zip_fix.cpp).
OpResult runFix(const EngineCommand& command, EngineHost& host);

}  // namespace vz::zipwrap
