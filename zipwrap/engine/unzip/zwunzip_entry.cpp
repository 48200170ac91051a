// The library's one exported symbol (engine_abi.h).
#include "zipwrap/engine/unzip/unzip_main.h"

extern "C" __attribute__((visibility("default"))) uint32_t zwunzip(uint32_t magic, int32_t argc, char** argv,
                                                                   EngineCallback callback, void* user) {
  return vz::zipwrap::readerMain(magic, argc, argv, callback, user);
}
