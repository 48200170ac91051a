// Extracting ARC archives of about 20 MB of text and binaries (written
// once by arc, without and with its q option, so crunched and squashed
// entries occur) with TUnARC, against nomarch and arc x on
// the same archive in the same run; prints the medians of five runs and
// the ratios.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "manager/readers/arc_extract.h"

namespace fs = std::filesystem;
using vz::bench::median;
using vz::bench::runQuiet;
using vz::bench::timeMs;

namespace {

void writeBytes(const std::string& path, const std::vector<uint8_t>& b) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<long>(b.size()));
}

// Text, program-like binaries with repeats, runs and noise: 16 files of
// about 1.25 MB each.
void makeInputs(const std::string& dir) {
  std::mt19937 rng(9);
  static const char* const kWords[] = {"archive", "folder", "entry", "the",    "of",  "header", "block",
                                       "window",  "code",   "table", "return", "int", "static", "void"};
  for (int f = 0; f < 16; ++f) {
    std::vector<uint8_t> b;
    while (b.size() < 1250000) {
      switch ((f + b.size() / 40000) % 4) {
        case 0:
        case 1: {
          const std::string w = kWords[rng() % 14];
          b.insert(b.end(), w.begin(), w.end());
          b.push_back(rng() % 11 == 0 ? '\n' : ' ');
          break;
        }
        case 2:
          for (int i = 0; i < 16; ++i) b.push_back(static_cast<uint8_t>(rng() % 24));
          break;
        default:
          b.insert(b.end(), 1 + rng() % 60, static_cast<uint8_t>(rng()));
          b.push_back(static_cast<uint8_t>(rng()));
      }
    }
    writeBytes(dir + "/f" + std::to_string(f) + (f % 2 ? ".bin" : ".txt"), b);
  }
}

}  // namespace

// Times one archive (five runs each) and prints the medians and ratios.
int benchArchive(const std::string& data, const std::string& archive) {
  std::printf("archive: %s, %.1f MB\n", archive.c_str(), fs::file_size(archive) / 1e6);
  std::vector<double> ours, nomarch, arc;
  for (int run = 0; run < 5; ++run) {
    const std::string out = data + "/out";
    fs::remove_all(out);
    fs::create_directories(out + "/ours");
    fs::create_directories(out + "/nomarch");
    fs::create_directories(out + "/arc");
    int32_t files = 0;
    ours.push_back(timeMs([&] {
      vz::readers::TUnARC x;
      x.ExtractDir = out + "/ours";
      x.setArchiveFile(archive);
      files = x.activate();
    }));
    if (files != 16) {
      std::fprintf(stderr, "TUnARC extracted %d files\n", files);
      return 1;
    }
    nomarch.push_back(timeMs([&] { runQuiet({"nomarch", archive}, out + "/nomarch"); }));
    arc.push_back(timeMs([&] { runQuiet({"arc", "x", archive}, out + "/arc"); }));
  }
  const double o = median(ours), n = median(nomarch), a = median(arc);
  std::printf(
      "TUnARC  %8.1f ms\nnomarch %8.1f ms  (ratio ours/nomarch %.2f)\narc x   %8.1f ms  (ratio ours/arc %.2f)\n", o, n,
      o / n, a, o / a);
  return 0;
}

int main() {
  const std::string data = std::string(VZ_BENCH_DATA_DIR) + "/arc_data";
  if (!fs::exists(data + "/in/f15.bin")) {
    fs::create_directories(data + "/in");
    makeInputs(data + "/in");
  }
  int status = 0;
  // "a": crunched (8), packed and squeezed entries; "aq": squashed (9).
  for (const std::string flags : {"a", "aq"}) {
    const std::string archive = data + "/bench-" + flags + ".arc";
    if (!fs::exists(archive)) {
      std::vector<std::string> argv = {"arc", flags, archive};
      for (int f = 0; f < 16; ++f) argv.push_back("f" + std::to_string(f) + (f % 2 ? ".bin" : ".txt"));
      if (runQuiet(argv, data + "/in") != 0) {
        std::fprintf(stderr, "arc could not write %s\n", archive.c_str());
        return 1;
      }
    }
    status |= benchArchive(data, archive);
  }
  return status;
}
