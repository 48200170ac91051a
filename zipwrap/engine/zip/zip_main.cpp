// The Writer side's dispatch.
#include "zipwrap/engine/zip/zip_main.h"

#include "zipwrap/engine/engine_command.h"
#include "zipwrap/engine/engine_host.h"
#include "zipwrap/engine/engine_results.h"

namespace vz::zipwrap {

uint32_t writerMain(uint32_t magic, int32_t argc, char** argv, EngineCallback callback, void* user) {
  if (magic != kEngineCallMagic) return packResult(kResultBadCommand, 0);
  EngineCommand command;
  if (uint16_t r = parseEngineCommand(EngineSide::Writer, argc, argv, command); r != kResultOk) return packResult(r, 0);
  EngineHost host(callback, user);
  // No operation is built yet on this side.
  return packResult(kResultCannotWrite, 0);
}

}  // namespace vz::zipwrap
