// Fuzz target: the write side's catalogue loader, in normal and in rebuild
// mode, and the name lookup over what it loaded.
#include <cstddef>
#include <cstdint>
#include <string>

#include "control/engine/read/catalogue.h"
#include "fuzz/fuzz_input_file.h"

using namespace vz::engine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = vz::fuzz::writeInput(data, size);
  LoadedCatalogue cat;
  if (loadCatalogue(path, {}, cat) == CatalogueStatus::Ok) {
    for (ArchiveEntry* e = cat.entries.first(); e; e = e->next.get()) {
      if (cat.findByName(e->name) == nullptr) __builtin_trap();
    }
  }
  CatalogueOptions rebuild;
  rebuild.rebuild = true;
  // Any result will do: the scan only has to stay within its bounds.
  (void)loadCatalogue(path, rebuild, cat);
  return 0;
}
