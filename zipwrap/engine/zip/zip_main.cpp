// The writer side's dispatch.
#include "zipwrap/engine/zip/zip_main.h"

#include "zipwrap/engine/engine_command.h"
#include "zipwrap/engine/engine_host.h"
#include "zipwrap/engine/engine_results.h"
#include "zipwrap/engine/zip/zip_ops.h"

namespace vz::zipwrap {

uint32_t writerMain(uint32_t magic, int32_t argc, char** argv, EngineCallback callback, void* user) {
  if (magic != kEngineCallMagic) return packResult(kResultBadCommand, 0);
  EngineCommand command;
  if (uint16_t r = parseEngineCommand(EngineSide::Writer, argc, argv, command); r != kResultOk) return packResult(r, 0);
  EngineHost host(callback, user);
  OpResult result{kResultBadCommand, 0};
  switch (command.action) {
    case EngineAction::Add:
    case EngineAction::Freshen:
    case EngineAction::Update:
      result = runAdd(command, host);
      break;
    case EngineAction::Delete:
      result = runDelete(command, host);
      break;
    case EngineAction::WriteComment:
      result = runWriteComment(command, host);
      break;
    case EngineAction::Fix:
    case EngineAction::FixThorough:
      result = runFix(command, host);
      break;
    default:
      break;
  }
  return packResult(result.code, result.failed);
}

}  // namespace vz::zipwrap
