// The reader side's dispatch.
#include "zipwrap/engine/unzip/unzip_main.h"

#include "zipwrap/engine/engine_command.h"
#include "zipwrap/engine/engine_host.h"
#include "zipwrap/engine/engine_results.h"
#include "zipwrap/engine/unzip/unzip_ops.h"

namespace vz::zipwrap {

uint32_t readerMain(uint32_t magic, int32_t argc, char** argv, EngineCallback callback, void* user) {
  if (magic != kEngineCallMagic) return packResult(kResultBadCommand, 0);
  EngineCommand command;
  if (uint16_t r = parseEngineCommand(EngineSide::Reader, argc, argv, command); r != kResultOk) return packResult(r, 0);
  EngineHost host(callback, user);
  OpResult result{kResultBadCommand, 0};
  switch (command.action) {
    case EngineAction::List:
      result = runList(command, host);
      break;
    case EngineAction::Test:
      result = runTest(command, host);
      break;
    case EngineAction::Extract:
      result = runExtract(command, host);
      break;
    case EngineAction::CountEntries:
      result = runCountEntries(command, host);
      break;
    case EngineAction::ReadComment:
      result = runReadComment(command, host);
      break;
    default:
      break;
  }
  return packResult(result.code, result.failed);
}

}  // namespace vz::zipwrap
