// Multi-disk mode on the writer side (-!, -&): a finished single-file
// archive spread over removable disks in the spanned format of the ZIP
// application note (spanning signature first, disk numbers in the headers,
// every disk labelled "PKBACK# 001", "PKBACK# 002", ... through the
// platform's volume labels), asking for each new disk through callback 110.
#pragma once

#include <string>

#include "zipwrap/engine/engine_command.h"
#include "zipwrap/engine/engine_host.h"
#include "zipwrap/engine/engine_op.h"

namespace vz::zipwrap {

// Writes builtArchive (a complete archive in a temporary file) as the
// spanned set command.archive names; with command.wipeDisks every disk is
// emptied first.
OpResult spanArchiveToDisks(const EngineCommand& command, EngineHost& host, const std::string& builtArchive);

}  // namespace vz::zipwrap
