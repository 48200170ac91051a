// Fuzz target: a whole extraction run of a fuzzed archive, then the full
// test of it, then a check that nothing was written anywhere but in the
// destination folder.
//
// Layout of the scratch folder (one per process, under TMPDIR):
//   scratch/a/b/dest/   the destination of UnzipFiles (folders kept)
//   scratch/a/b/flat/   the destination of a second run with paths dropped
//   scratch/tmp/        TMPDIR of the process: the test run's temporary files
// Any file or folder that appears elsewhere in the scratch folder (a name
// that climbed out of a destination), any temporary file left behind by the
// test run, or a file named by an absolute name at "/", aborts.
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "control/engine/extract/extract_run.h"
#include "fuzz/fuzz_input_file.h"

namespace fs = std::filesystem;
using namespace vz::engine;

namespace {

struct Scratch {
  std::string root, dest, flat, tmp;
  // The scratch folder (with the input file inside it) goes at exit.
  ~Scratch() {
    std::error_code ec;
    if (!root.empty()) fs::remove_all(root, ec);
  }
};

const Scratch& scratch() {
  static const Scratch s = [] {
    const char* dir = std::getenv("TMPDIR");
    std::string tmpl = std::string(dir && *dir ? dir : "/tmp") + "/vzfuzz-unzip-XXXXXX";
    if (!mkdtemp(tmpl.data())) std::abort();
    Scratch out{tmpl, tmpl + "/a/b/dest", tmpl + "/a/b/flat", tmpl + "/tmp"};
    fs::create_directories(out.tmp);
    setenv("TMPDIR", out.tmp.c_str(), 1);
    return out;
  }();
  return s;
}

// Everything below root must lie in one of the allowed folders.
void checkConfined(const Scratch& s) {
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(s.root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    const std::string p = it->path().string();
    const bool allowed = p == s.root + "/a" || p == s.root + "/a/b" || p.rfind(s.dest, 0) == 0 ||
                         p.rfind(s.flat, 0) == 0 || p == s.tmp ||
                         (p.rfind(s.tmp, 0) == 0 && p.find("vzfuzz") != std::string::npos);
    if (!allowed) std::abort();
  }
  // Names such as "/ABS" or "C:\X" would land at the root of the file
  // system if a leading separator or drive were kept.
  struct stat st {};
  if (::lstat("/ABS", &st) == 0 || ::lstat("/X", &st) == 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Scratch& s = scratch();
  const std::string& path = vz::fuzz::writeInput(data, size);
  UnzipState st;
  st.pump = false;
  st.askPassword = false;
  st.password = "a";
  fs::remove_all(s.dest);
  fs::remove_all(s.flat);

  // Every result is fine: what counts is that nothing is written outside
  // the destinations (checked below) and nothing reads out of bounds.
  (void)unzipFiles(st, path, "", s.dest, true, 1);
  (void)unzipFiles(st, path, "*.*", s.flat, false, 3);
  (void)testArchive(st, path);
  checkConfined(s);
  return 0;
}
