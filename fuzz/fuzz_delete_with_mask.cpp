// Fuzz target: the catalogue loader followed by a DeleteWithMask rewrite
// of the fuzzed archive, in a scratch folder of the process. The mask is
// chosen by the input's length, so every mask meets every shape. When the
// rewrite reports success, the new archive must load again, without the
// entries the mask took and with every other one; whatever it reports, no
// temporary file may be left behind.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "control/engine/write/archive_update.h"
#include "control/engine/write/archive_update_run.h"
#include "control/engine/read/catalogue.h"

using namespace vz::engine;

namespace {

const std::string& scratch();

// Removes the scratch folder (the archive is all it holds) at exit.
void removeScratch() {
  unlink((scratch() + "/fuzzed.zip").c_str());
  rmdir(scratch().c_str());
}

// The scratch folder of this process, which is also its temporary folder.
// Never freed, so that it outlives the exit handler that removes it.
const std::string& scratch() {
  static const std::string& dir = *new std::string([] {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/vzfuzzdel-XXXXXX";
    if (!mkdtemp(tmpl.data())) std::abort();
    setenv("TMPDIR", tmpl.c_str(), 1);
    std::atexit(removeScratch);
    return tmpl;
  }());
  return dir;
}

void writeArchive(const std::string& path, const uint8_t* data, size_t size) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) std::abort();
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) std::abort();
    done += static_cast<size_t>(n);
  }
  close(fd);
}

// The files in the scratch folder (the archive alone when nothing leaked).
int filesInScratch() {
  int n = 0;
  if (DIR* d = opendir(scratch().c_str())) {
    while (const dirent* e = readdir(d))
      if (e->d_name[0] != '.') ++n;
    closedir(d);
  }
  return n;
}

constexpr const char* kMasks[] = {"*.*", "*.TXT", "A*.?", "DIR\\*.*", "docs/readme.txt", "*."};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = scratch() + "/fuzzed.zip";
  writeArchive(path, data, size);
  const std::string mask = kMasks[size % (sizeof kMasks / sizeof kMasks[0])];

  LoadedCatalogue before;
  const CatalogueStatus loaded = loadCatalogue(path, {}, before);
  size_t matching = 0;
  if (loaded == CatalogueStatus::Ok)
    for (const ArchiveEntry* e = before.entries.first(); e; e = e->next.get())
      if (entryMatches(*e, processedMask(mask))) ++matching;

  WriteEngine engine;
  const int16_t status = statusCode(deleteWithMask(engine, path, mask));
  if (loaded != CatalogueStatus::Ok && status != statusCode(loaded)) __builtin_trap();
  if (status == statusCode(WriteStatus::Ok)) {
    LoadedCatalogue after;
    if (loadCatalogue(path, {}, after) != CatalogueStatus::Ok) __builtin_trap();
    if (after.count() + matching != before.count()) __builtin_trap();
    for (const ArchiveEntry* e = after.entries.first(); e; e = e->next.get())
      if (entryMatches(*e, processedMask(mask))) __builtin_trap();
  }
  if (filesInScratch() != 1) __builtin_trap();
  return 0;
}
