// Fuzz target: the stand-in writer updating a fuzzed archive in a scratch
// folder - a delete of "*.txt", then an add of one small file with -g, then
// the comment removed. The add's method (deflate, bzip2, LZMA, xz,
// Zstandard) and whether it is AES-encrypted come from the input's last
// byte, which stays part of the archive. Checks, for every step and input:
//   - a step that reports success leaves an archive the directory reader
//     walks to its end, every local header included (a Zip64 archive, which
//     that reader does not know, is walked by the writer's own loader);
//   - a step that reports anything else leaves the file byte for byte as
//     it was;
//   - no temporary file is left behind.
// Any breach aborts.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "control/engine/common/unzip_state.h"
#include "control/engine/read/directory_reader.h"
#include "control/engine/read/read_methods.h"
#include "fuzz/fuzz_input_file.h"
#include "zipwrap/engine/engine_abi.h"
#include "zipwrap/engine/engine_results.h"
#include "zipwrap/engine/zip/zip64_records.h"
#include "zipwrap/engine/zip/zip_main.h"
#include "zipwrap/engine/zip/zip_update.h"

namespace fs = std::filesystem;

namespace {

// The scratch folder: the archive, one source file, the temporary folder.
struct Scratch {
  std::string root, archive, source, tmp;
};

const Scratch& scratch() {
  // Removed with its files at the end of the process (after s).
  static const vz::fuzz::ScratchFolder folder("zwupdate");
  static const Scratch s = [] {
    const std::string& tmpl = folder.root;
    Scratch r{tmpl, tmpl + "/work.zip", tmpl + "/added.txt", tmpl + "/tmp"};
    fs::create_directories(r.tmp);
    // Long and repetitive enough that every method shrinks it.
    std::ofstream source(r.source);
    for (int i = 0; i < 60; ++i) source << "a file added to the fuzzed archive, line " << i << "\n";
    setenv("TMPDIR", r.tmp.c_str(), 1);
    setenv("VZ_THREADS", "1", 1);
    return r;
  }();
  return s;
}

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Whether the archive ends with a Zip64 locator in front of its end record
// (no comment behind it).
bool hasZip64Locator(const std::string& bytes) {
  const size_t tail = vz::engine::kEndRecordSize + vz::zipwrap::kZip64LocatorSize;
  if (bytes.size() < tail) return false;
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.data() + bytes.size() - tail);
  return vz::engine::loadLe32(p) == vz::zipwrap::kZip64LocatorSignature;
}

bool readsBack(const std::string& path) {
  if (hasZip64Locator(readAll(path))) {
    vz::zipwrap::OldArchive old;
    return vz::zipwrap::loadOldArchive(path, old) == vz::zipwrap::kResultOk && old.zip64;
  }
  vz::engine::UnzipState st;
  st.pump = false;
  vz::engine::DirectoryReader reader(st);
  if (!reader.open(path) || !vz::engine::isReadable(reader.locateEndRecord())) return false;
  reader.rewind();
  while (reader.hasMoreEntries()) {
    if (reader.readNextEntry() == vz::engine::ReadStatus::NotZip) return false;
    vz::engine::LocalEntry local;
    if (reader.readLocalHeader(reader.current().header, local) == vz::engine::ReadStatus::NotZip) return false;
  }
  return true;
}

void step(std::vector<std::string> args) {
  const Scratch& s = scratch();
  const std::string before = readAll(s.archive);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const uint32_t r = vz::zipwrap::writerMain(vz::zipwrap::kEngineCallMagic, static_cast<int32_t>(args.size()),
                                             argv.data(), nullptr, nullptr);
  const uint16_t code = static_cast<uint16_t>(r & 0xFFFF);
  if (code == vz::zipwrap::kResultOk) {
    if (!readsBack(s.archive)) std::abort();
  } else if (readAll(s.archive) != before) {
    std::abort();
  }
  for (const auto& e : fs::directory_iterator(s.tmp)) {
    (void)e;
    std::abort();
  }
  for (const auto& e : fs::directory_iterator(s.root))
    if (e.path().filename().string().starts_with("ZIP")) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Scratch& s = scratch();
  {
    std::ofstream out(s.archive, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) std::abort();
  }
  static const char* const kMethods[] = {"deflate", "bzip2", "lzma", "xz", "zstd"};
  const uint8_t pick = size ? data[size - 1] : 0;
  step({"", "-d", s.archive, "*.txt"});
  if (pick & 0x80)
    step({"pw", "-A", "-Z", kMethods[pick % 5], "-g", "-j", s.archive, s.source});
  else
    step({"", "-Z", kMethods[pick % 5], "-g", "-j", s.archive, s.source});
  step({"", "-z", s.archive});
  return 0;
}
