// Benchmark: the engine's deflate compressor against zlib's deflate on the
// same data in the same run, each engine mode against its zlib
// counterpart: mode 1 (fast) with level 1, mode 0 (normal) with level 6,
// mode 2 (maximum) with level 9.
//
// Four data sets of at least 10 MB each, made once and cached in the build
// folder: English-like text (dictionary words drawn unevenly), C headers
// from /usr/include, programs from /usr/bin, and a mixed tree (files from
// /usr/share, /usr/lib and /etc taken in turn: documents, compressed
// files, libraries, locale data, configuration).
//
// Times are the process's CPU time (the machine may be busy with other
// work; CPU time is much less disturbed by that than wall time). Both sides
// read the whole input from memory and write into one preallocated buffer; zlib runs raw deflate (window bits -15, memory level
// 8, the default strategy), as in ZIP. Each pair runs several times, taking
// turns; the medians are printed as MB/s (10^6 bytes of input per second)
// with the compressed sizes, the speed ratio (engine / zlib) and the size
// difference of the engine against zlib. Every engine stream is checked by
// inflating it with zlib.
//   cmake --build BUILD --target bench_deflate && BUILD/bin/bench_deflate [SET [MODE [engine|zlib]]]
// SET limits the run to one data set; MODE (0, 1, 2) to one pair; engine or
// zlib to one side (for profiling).
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_data.h"
#include "control/engine/encode/deflate_encoder.h"
#include "control/engine/encode/deflate_io.h"

namespace fs = std::filesystem;

namespace {

using vz::bench::appendUntilFull;
using vz::bench::listFiles;
using vz::bench::readFile;
using vz::bench::writeFile;

constexpr size_t kMinSize = 10'000'000;  // bytes per data set
constexpr int kRepetitions = 5;

// CPU time of the process in seconds.
double cpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}


std::vector<uint8_t> makeTextSet() { return vz::bench::makeText(kMinSize, false); }

std::vector<uint8_t> makeSource() {
  std::vector<uint8_t> out;
  appendUntilFull(listFiles("/usr/include", [](const fs::path& p) { return p.extension() == ".h"; }), kMinSize, out);
  return out;
}

std::vector<uint8_t> makeBinary() {
  std::vector<uint8_t> out;
  appendUntilFull(listFiles("/usr/bin", [](const fs::path&) { return true; }), kMinSize, out);
  return out;
}

std::vector<uint8_t> makeMixed() {
  // Files of three trees in turn, at most 2 MB each, so that no one kind
  // fills the set.
  std::vector<std::vector<fs::path>> trees;
  for (const char* dir : {"/usr/share", "/usr/lib", "/etc"}) {
    trees.push_back(listFiles(dir, [](const fs::path& p) {
      std::error_code ec;
      const auto size = fs::file_size(p, ec);
      return !ec && size > 0 && size < 2'000'000;
    }));
  }
  // Spread the picks over each tree: every 37th file.
  std::vector<uint8_t> out;
  for (size_t step = 0; out.size() < kMinSize; ++step) {
    bool any = false;
    for (const auto& files : trees) {
      const size_t i = step * 37 + step / 37;
      if (i >= files.size()) continue;
      any = true;
      const std::vector<uint8_t> d = readFile(files[i % files.size()]);
      out.insert(out.end(), d.begin(), d.end());
    }
    if (!any) break;
  }
  return out;
}

// Output into a preallocated buffer.
class BufferOutput final : public vz::engine::DeflateOutput {
 public:
  explicit BufferOutput(std::vector<uint8_t>& buffer) : buffer_(buffer) {}
  bool write(const uint8_t* data, size_t count) override {
    if (count > buffer_.size() - used_) return false;
    std::memcpy(buffer_.data() + used_, data, count);
    used_ += count;
    return true;
  }
  size_t used() const { return used_; }

 private:
  std::vector<uint8_t>& buffer_;
  size_t used_ = 0;
};

size_t engineDeflate(vz::engine::DeflateEncoder& enc, int mode, const std::vector<uint8_t>& in,
                     std::vector<uint8_t>& out) {
  vz::engine::MemoryDeflateInput input(in);
  BufferOutput output(out);
  const vz::engine::DeflateResult r = enc.compress(mode, input, output);
  return r.outputError || r.bytesRead != in.size() ? 0 : output.used();
}

size_t zlibDeflate(int level, const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return 0;
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int r = deflate(&z, Z_FINISH);
  const size_t size = z.total_out;
  deflateEnd(&z);
  return r == Z_STREAM_END ? size : 0;
}

bool zlibInflatesTo(const uint8_t* data, size_t size, const std::vector<uint8_t>& expected) {
  std::vector<uint8_t> out(expected.size() + 1);
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = static_cast<uInt>(size);
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int r = inflate(&z, Z_FINISH);
  const bool ok =
      r == Z_STREAM_END && z.total_out == expected.size() && std::equal(expected.begin(), expected.end(), out.begin());
  inflateEnd(&z);
  return ok;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? -1 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const std::string only = argc > 1 ? argv[1] : "";
  const int onlyMode = argc > 2 ? std::atoi(argv[2]) : -1;
  const std::string side = argc > 3 ? argv[3] : "";
  const fs::path cache = fs::path(VZ_BENCH_DATA_DIR) / "deflate-data";
  fs::create_directories(cache);
  struct Set {
    const char* name;
    std::vector<uint8_t> (*make)();
  };
  const Set sets[] = {{"text", makeTextSet}, {"source", makeSource}, {"binary", makeBinary}, {"mixed", makeMixed}};
  struct Pair {
    int mode;
    int level;
  };
  const Pair pairs[] = {{1, 1}, {0, 6}, {2, 9}};

  vz::engine::DeflateEncoder enc;
  std::printf("%-7s %6s %5s %11s %11s %11s %11s %7s %7s\n", "data", "MB", "mode", "engine MB/s", "zlib MB/s",
              "engine size", "zlib size", "speed", "size");
  for (const Set& s : sets) {
    if (!only.empty() && only != s.name) continue;
    const fs::path rawPath = cache / (std::string(s.name) + ".raw");
    std::vector<uint8_t> raw = fs::exists(rawPath) ? readFile(rawPath) : std::vector<uint8_t>{};
    if (raw.size() < kMinSize) {
      raw = s.make();
      if (raw.size() < kMinSize) {
        std::printf("%-7s not enough data on this machine\n", s.name);
        continue;
      }
      writeFile(rawPath, raw);
    }
    std::vector<uint8_t> out(raw.size() + raw.size() / 100 + 4096);
    const double mb = static_cast<double>(raw.size()) / 1e6;
    for (const Pair& p : pairs) {
      if (onlyMode >= 0 && onlyMode != p.mode) continue;
      std::vector<double> engineTimes, zlibTimes;
      size_t engineSize = 0, zlibSize = 0;
      // The two sides take turns, so that a change in the machine's load
      // affects both alike.
      for (int i = 0; i < kRepetitions; ++i) {
        if (side != "zlib") {
          const double start = cpuSeconds();
          engineSize = engineDeflate(enc, p.mode, raw, out);
          engineTimes.push_back(cpuSeconds() - start);
          if (engineSize == 0) break;
          if (i == 0 && !(engineSize >= raw.size() || zlibInflatesTo(out.data(), engineSize, raw))) {
            std::printf("%-7s mode %d: the engine's stream does not inflate to the data\n", s.name, p.mode);
            return 1;
          }
        }
        if (side != "engine") {
          const double start = cpuSeconds();
          zlibSize = zlibDeflate(p.level, raw, out);
          zlibTimes.push_back(cpuSeconds() - start);
          if (zlibSize == 0) break;
        }
      }
      if ((engineSize == 0 && side != "zlib") || (zlibSize == 0 && side != "engine")) {
        std::printf("%-7s mode %d: compression failed\n", s.name, p.mode);
        return 1;
      }
      const double engine = side == "zlib" ? 1 : median(engineTimes);
      const double zlib = side == "engine" ? 1 : median(zlibTimes);
      if (side == "zlib") engineSize = 1;
      if (side == "engine") zlibSize = 1;
      std::printf("%-7s %6.1f %2d/%-2d %11.1f %11.1f %11zu %11zu %6.2fx %+6.2f%%\n", s.name, mb, p.mode, p.level,
                  mb / engine, mb / zlib, engineSize, zlibSize, zlib / engine,
                  100.0 * (static_cast<double>(engineSize) / static_cast<double>(zlibSize) - 1));
      std::fflush(stdout);
    }
  }
  return 0;
}
