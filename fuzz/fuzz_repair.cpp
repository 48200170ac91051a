// Fuzz target: Repare on a fuzzed archive in a scratch folder. Checks, for
// every input:
//   - a run that reports success leaves an archive the quick check accepts
//     (0, or 17 with data in front);
//   - a run that fails leaves the file byte for byte as it was;
//   - no temporary file ("ZIP....TMP") is left in the scratch TMPDIR.
// Any breach aborts.
#include <dirent.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz/fuzz_input_file.h"
#include "control/engine/read/read_methods.h"
#include "control/engine/repair/repair.h"
#include "control/engine/common/unzip_state.h"

namespace fs = std::filesystem;
using namespace vz::engine;

namespace {

struct Scratch {
  Scratch() : folder("repair"), root(folder.root), archive(root + "/work.zip"), tmp(root + "/tmp") {
    fs::create_directories(tmp);
    // The temporary base folder is taken from TMPDIR on first use.
    setenv("TMPDIR", tmp.c_str(), 1);
  }
  vz::fuzz::ScratchFolder folder;
  std::string root, archive, tmp;
};

const Scratch& scratch() {
  static const Scratch s;
  return s;
}

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Scratch& s = scratch();
  const std::string input(reinterpret_cast<const char*>(data), size);
  {
    std::ofstream out(s.archive, std::ios::binary | std::ios::trunc);
    out.write(input.data(), static_cast<std::streamsize>(input.size()));
    if (!out) std::abort();
  }
  RepairSession session;
  const RepairStatus result = repairArchive(session, s.archive);
  if (result == RepairStatus::Ok) {
    UnzipState st;
    const ReadStatus quick = isZipFileQuick(st, s.archive);
    if (quick != ReadStatus::Ok && quick != ReadStatus::PrefixData) std::abort();
  } else if (readAll(s.archive) != input) {
    std::abort();
  }
  for (const auto& e : fs::directory_iterator(s.tmp)) {
    (void)e;
    std::abort();
  }
  return 0;
}
