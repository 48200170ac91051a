// Fuzz target: the stand-in engine's thorough fix (-FF) on a fuzzed archive
// in a scratch folder. Checks, for every input:
//   - a fix that reports 0 leaves an archive whose end record the directory
//     reader finds, whose every central entry reads with its local header;
//   - a fix that reports anything else leaves the file byte for byte as it
//     was;
//   - no temporary file ("ZIP....TMP") is left in the scratch TMPDIR.
// Any breach aborts.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz/fuzz_input_file.h"
#include "control/engine/common/unzip_state.h"
#include "control/engine/read/directory_reader.h"
#include "control/engine/read/read_methods.h"
#include "zipwrap/engine/engine_abi.h"
#include "zipwrap/engine/engine_results.h"
#include "zipwrap/engine/zip/zip_main.h"

namespace fs = std::filesystem;
using namespace vz::engine;

namespace {

struct Scratch {
  Scratch() : folder("zwfix"), root(folder.root), archive(root + "/work.zip"), tmp(root + "/tmp") {
    fs::create_directories(tmp);
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

// Whether the fixed archive reads back: end record, every central entry
// and its local header.
bool readsBack(const std::string& path) {
  UnzipState st;
  st.pump = false;
  DirectoryReader reader(st);
  if (!reader.open(path) || !isReadable(reader.locateEndRecord())) return false;
  reader.rewind();
  while (reader.hasMoreEntries()) {
    if (reader.readNextEntry() == ReadStatus::NotZip) return false;
    LocalEntry local;
    if (reader.readLocalHeader(reader.current().header, local) == ReadStatus::NotZip) return false;
  }
  return true;
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
  std::string password, action = "-FF", archive = s.archive;
  char* argv[] = {password.data(), action.data(), archive.data(), nullptr};
  const uint32_t result = vz::zipwrap::writerMain(vz::zipwrap::kEngineCallMagic, 3, argv, nullptr, nullptr);
  if ((result & 0xFFFF) == vz::zipwrap::kResultOk) {
    if (!readsBack(s.archive)) std::abort();
  } else if (readAll(s.archive) != input) {
    std::abort();
  }
  for (const auto& e : fs::directory_iterator(s.tmp)) {
    (void)e;
    std::abort();
  }
  return 0;
}
