// Multi-disk mode on the reader side (-!): a spanned set on removable disks
// read back. The last disk is asked for first (callback 110 with 0), its
// directory read, then each disk the operation needs, in order; the parts
// are joined into one single-file archive that the operations then read.
#pragma once

#include <string>

#include "zipwrap/engine/engine_command.h"
#include "zipwrap/engine/engine_host.h"
#include "zipwrap/engine/engine_op.h"

namespace vz::zipwrap {

// Joins the set command.archive names into a temporary single-file archive
// at joinedPath (removed by the caller). directoryOnly: only the central
// directory is needed (listing, counting, the comment), so only the disks
// that hold it are asked for.
OpResult joinSpannedSet(const EngineCommand& command, EngineHost& host, bool directoryOnly, std::string& joinedPath);

}  // namespace vz::zipwrap
