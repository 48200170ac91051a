// The reader side's operations, one per action of engine_command.h. Each
// runs one parsed command to its end and reports through the host.
#pragma once

#include "zipwrap/engine/engine_command.h"
#include "zipwrap/engine/engine_host.h"
#include "zipwrap/engine/engine_op.h"

namespace vz::zipwrap {

OpResult runList(const EngineCommand& command, EngineHost& host);          // unzip_list.cpp
OpResult runTest(const EngineCommand& command, EngineHost& host);          // unzip_extract.cpp
OpResult runExtract(const EngineCommand& command, EngineHost& host);       // unzip_extract.cpp
OpResult runCountEntries(const EngineCommand& command, EngineHost& host);  // unzip_list.cpp
OpResult runReadComment(const EngineCommand& command, EngineHost& host);   // unzip_list.cpp

}  // namespace vz::zipwrap
