// The writer side's entry: checks the call, parses the command line
// (engine_command.h) and runs the operation it names.
#pragma once

#include <cstdint>

#include "zipwrap/engine/engine_abi.h"

namespace vz::zipwrap {

// The body of zwzip (engine_abi.h): the packed result.
uint32_t writerMain(uint32_t magic, int32_t argc, char** argv, EngineCallback callback, void* user);

}  // namespace vz::zipwrap
