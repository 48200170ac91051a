// The library's one exported symbol (engine_abi.h).
#include "zipwrap/engine/zip/zip_main.h"

extern "C" __attribute__((visibility("default"))) uint32_t zwzip(uint32_t magic, int32_t argc, char** argv,
                                                                 EngineCallback callback, void* user) {
  return vz::zipwrap::writerMain(magic, argc, argv, callback, user);
}
