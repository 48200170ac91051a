// Fuzz target of the stand-in reader (ZWUNZ32): a fuzzed archive listed,
// tested and extracted twice through readerMain (folders kept and paths
// dropped), with a host that replaces existing files and gives one password
// ("a") before it skips. Whatever the result, nothing may appear in the
// scratch folder outside the two destinations (a name or link that climbed
// out), and no temporary file may stay behind in them.
//
// Layout of the scratch folder (one per process, under TMPDIR):
//   scratch/a/b/dest/   extraction with folders
//   scratch/a/b/flat/   extraction with -j
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/fuzz_input_file.h"
#include "zipwrap/engine/engine_abi.h"
#include "zipwrap/engine/unzip/unzip_main.h"

namespace fs = std::filesystem;
using namespace vz::zipwrap;

namespace {

struct Scratch {
  vz::fuzz::ScratchFolder folder{"zw"};
  std::string root = folder.root, dest = root + "/a/b/dest", flat = root + "/a/b/flat";
};

const Scratch& scratch() {
  static const Scratch s;
  return s;
}

// Replace every existing file; one password, then skip.
uint32_t host(uint32_t code, void* record, void* user) {
  int& passwords = *static_cast<int*>(user);
  if (code == kCbReplace) static_cast<ZwReplaceRecord*>(record)->answer = 1;
  if (code == kCbPassword) {
    auto* r = static_cast<ZwPasswordRecord*>(record);
    if (passwords++ == 0) {
      std::strcpy(r->password, "a");
      r->answer = 2;
    }
  }
  return kReplyContinue;
}

uint32_t call(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int passwords = 0;
  return readerMain(kEngineCallMagic, static_cast<int32_t>(args.size()), argv.data(), &host, &passwords);
}

void checkConfined(const Scratch& s) {
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(s.root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    const std::string p = it->path().string();
    const bool inside = p.rfind(s.dest, 0) == 0 || p.rfind(s.flat, 0) == 0;
    if (!inside && p != s.root + "/a" && p != s.root + "/a/b" && p.find("vzfuzz-") == std::string::npos) std::abort();
    if (inside && it->path().filename().string().find(".vz") != std::string::npos &&
        it->path().filename().string()[0] == '.')
      std::abort();  // a temporary file left behind
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Scratch& s = scratch();
  const std::string& path = vz::fuzz::writeInput(data, size);
  std::error_code ec;
  fs::remove_all(s.dest, ec);
  fs::remove_all(s.flat, ec);
  (void)call({"", "-v", path});
  (void)call({"a", "-t", path});
  (void)call({"a", path, "-d", s.dest});
  (void)call({"", "-j", "-o", path, "-d", s.flat});
  checkConfined(s);
  return 0;
}
