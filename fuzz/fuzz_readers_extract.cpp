// Fuzz target of the readers' extractors: whatever type the detection
// finds in the input, its extractor (manager/readers/extractors.h) runs
// twice into a scratch destination, once with the stored folders and once
// without, replacing what is there and declining every next cabinet. The
// input is also tried under a ".tar" name (the TAR checksum test). Errors
// are fine; nothing may appear outside the two destinations (a name or a
// link that climbed out), no temporary file may stay behind, and the run
// must end (no hang, no unbounded memory).
//
// Layout of the scratch folder (one per process, under TMPDIR):
//   scratch/a/b/dest/   extraction with folders
//   scratch/a/b/flat/   extraction without them
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz/fuzz_input_file.h"
#include "manager/readers/cab_extract.h"
#include "manager/readers/extractors.h"

namespace fs = std::filesystem;
using namespace vz::readers;

namespace {

struct Scratch {
  vz::fuzz::ScratchFolder folder{"rx"};
  std::string root = folder.root, dest = root + "/a/b/dest", flat = root + "/a/b/flat";
};

const Scratch& scratch() {
  static const Scratch s;
  return s;
}

void extract(const std::string& path, const std::string& dest, bool folders) {
  TZipCommon probe;
  probe.setArchiveFile(path);
  std::unique_ptr<TUnBase> x = makeExtractor(probe.ArcType());
  if (!x) return;
  x->ExtractDir = dest;
  x->UseStoredDirs = folders;
  x->OnFileExists = [](TUnBase&, const std::string&, const vz::LocalTime&, bool& accept) { accept = true; };
  if (auto* cab = dynamic_cast<TUnCAB*>(x.get()))
    cab->OnNextCabinet = [](TUnCAB&, const std::string&, const std::string&, bool& cancel) { cancel = true; };
  x->setArchiveFile(path);
  (void)x->activate();
}

void checkConfined(const Scratch& s) {
  static const std::string tempPrefix = ".vz-extract-" + std::to_string(getpid()) + "-";
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(s.root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    const std::string p = it->path().string();
    const bool inside = p.rfind(s.dest, 0) == 0 || p.rfind(s.flat, 0) == 0;
    if (!inside && p != s.root + "/a" && p != s.root + "/a/b") std::abort();
    // A temporary file of this process left behind (an archived name may
    // look like one, but not with this process's number and as a file).
    const std::string leaf = it->path().filename().string();
    if (inside && leaf.rfind(tempPrefix, 0) == 0 && leaf.ends_with(".tmp") && it->is_regular_file(ec)) std::abort();
  }
}

void run(const std::string& path) {
  const Scratch& s = scratch();
  std::error_code ec;
  fs::remove_all(s.dest, ec);
  fs::remove_all(s.flat, ec);
  extract(path, s.dest, true);
  extract(path, s.flat, false);
  checkConfined(s);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  run(vz::fuzz::writeInput(data, size));
  static const vz::fuzz::InputCopy tar(".tar");
  tar.write(data, size);
  run(tar.path);
  return 0;
}
