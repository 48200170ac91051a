// Benchmark: the engine's inflate against zlib's inflate on the same
// deflate streams in the same run.
//
// Four kinds of data of at least 10 MB each, made once and cached in the
// build folder: English-like text (dictionary words with variation), C
// headers from /usr/include, programs from /usr/bin, and already
// compressed data (.gz files from /usr/share/doc, topped up with random
// bytes). Each is deflated by zlib at level 6 (raw deflate, as in ZIP).
//
// Both decoders read the whole stream from memory. zlib writes straight into
// one output buffer of the full size (its fastest use); the engine writes
// through its 32 KB window into a sink that copies each flush into an
// output buffer of the same size, as the extractor's output does. Each side
// runs several times, taking turns; the medians are printed as MB/s (uncompressed bytes,
// 10^6 per MB) with their ratio. Both outputs are checked against the data.
//   cmake --build BUILD --target bench_inflate && BUILD/bin/bench_inflate [SET [engine|zlib]]
// SET limits the run to one data set; engine or zlib to one side (for
// profiling).
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_data.h"
#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/inflate.h"

namespace fs = std::filesystem;

namespace {

using vz::bench::appendUntilFull;
using vz::bench::listFiles;
using vz::bench::readFile;
using vz::bench::writeFile;

constexpr size_t kMinSize = 10'000'000;  // bytes per data set
constexpr int kRepetitions = 9;

using Clock = std::chrono::steady_clock;


std::vector<uint8_t> makeTextSet() { return vz::bench::makeText(kMinSize, true); }

std::vector<uint8_t> makeSource() {
  std::vector<uint8_t> out;
  appendUntilFull(
      listFiles("/usr/include", [](const fs::path& p) { return p.extension() == ".h" || p.extension() == ".hpp"; }),
      kMinSize, out);
  return out;
}

std::vector<uint8_t> makeBinary() {
  std::vector<uint8_t> out;
  appendUntilFull(listFiles("/usr/bin", [](const fs::path&) { return true; }), kMinSize, out);
  return out;
}

std::vector<uint8_t> makeCompressed() {
  std::vector<uint8_t> out;
  appendUntilFull(listFiles("/usr/share/doc", [](const fs::path& p) { return p.extension() == ".gz"; }), kMinSize, out);
  std::mt19937_64 rng(99);
  while (out.size() < kMinSize) {
    const uint64_t v = rng();
    out.insert(out.end(), reinterpret_cast<const uint8_t*>(&v), reinterpret_cast<const uint8_t*>(&v) + 8);
  }
  return out;
}

std::vector<uint8_t> zlibDeflate(const std::vector<uint8_t>& data) {
  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
  std::vector<uint8_t> out(deflateBound(&z, data.size()));
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int r = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return r == Z_STREAM_END ? out : std::vector<uint8_t>{};
}

bool zlibInflate(const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int r = inflate(&z, Z_FINISH);
  const bool ok = r == Z_STREAM_END && z.total_out == out.size();
  inflateEnd(&z);
  return ok;
}

// Copies each flush into a buffer, as the extractor's output buffer does.
class BufferOutput final : public vz::engine::DecodeOutput {
 public:
  explicit BufferOutput(std::vector<uint8_t>& buffer) : buffer_(buffer) {}

 protected:
  bool write(const uint8_t* data, size_t count) override {
    if (count > buffer_.size() - used_) return false;
    std::memcpy(buffer_.data() + used_, data, count);
    used_ += count;
    return true;
  }

 private:
  std::vector<uint8_t>& buffer_;
  size_t used_ = 0;
};

bool engineInflate(const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
  vz::engine::MemoryInput input(in);
  BufferOutput output(out);
  return vz::engine::inflate(input, output) == vz::engine::DecodeStatus::Ok && output.total() == out.size();
}

template <class F>
double seconds(F f) {
  const auto start = Clock::now();
  if (!f()) return -1;
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? -1 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const std::string only = argc > 1 ? argv[1] : "";
  const std::string side = argc > 2 ? argv[2] : "";
  const fs::path cache = fs::path(VZ_BENCH_DATA_DIR) / "inflate-data";
  fs::create_directories(cache);
  struct Set {
    const char* name;
    std::vector<uint8_t> (*make)();
  };
  const Set sets[] = {
      {"text", makeTextSet}, {"source", makeSource}, {"binary", makeBinary}, {"compressed", makeCompressed}};
  std::printf("%-11s %10s %10s %12s %12s %7s\n", "data", "size MB", "deflated", "engine MB/s", "zlib MB/s", "ratio");
  for (const Set& s : sets) {
    if (!only.empty() && only != s.name) continue;
    const fs::path rawPath = cache / (std::string(s.name) + ".raw");
    std::vector<uint8_t> raw = fs::exists(rawPath) ? readFile(rawPath) : std::vector<uint8_t>{};
    if (raw.size() < kMinSize) {
      raw = s.make();
      if (raw.size() < kMinSize) {
        std::printf("%-11s not enough data on this machine\n", s.name);
        continue;
      }
      writeFile(rawPath, raw);
    }
    const std::vector<uint8_t> deflated = zlibDeflate(raw);
    std::vector<uint8_t> out(raw.size());
    // The two sides take turns, so that a change in the machine's load
    // affects both alike.
    std::vector<double> engineTimes, zlibTimes;
    bool engineRight = true, zlibRight = true;
    for (int i = 0; i < kRepetitions; ++i) {
      if (side != "zlib") {
        engineTimes.push_back(seconds([&] { return engineInflate(deflated, out); }));
        engineRight = engineRight && out == raw;
        std::fill(out.begin(), out.end(), 0);
      }
      if (side != "engine") {
        zlibTimes.push_back(seconds([&] { return zlibInflate(deflated, out); }));
        zlibRight = zlibRight && out == raw;
        std::fill(out.begin(), out.end(), 0);
      }
    }
    const double engine = side == "zlib" ? 1 : median(engineTimes);
    const double zlib = side == "engine" ? 1 : median(zlibTimes);
    const bool failed = std::find(engineTimes.begin(), engineTimes.end(), -1.0) != engineTimes.end() ||
                        std::find(zlibTimes.begin(), zlibTimes.end(), -1.0) != zlibTimes.end();
    if (failed || !engineRight || !zlibRight) {
      std::printf("%-11s decoding failed (engine %s, zlib %s)\n", s.name, engineRight ? "ok" : "wrong",
                  zlibRight ? "ok" : "wrong");
      return 1;
    }
    const double mb = static_cast<double>(raw.size()) / 1e6;
    std::printf("%-11s %10.1f %9.1f%% %12.0f %12.0f %7.2f\n", s.name, mb,
                100.0 * static_cast<double>(deflated.size()) / static_cast<double>(raw.size()), mb / engine, mb / zlib,
                zlib / engine);
  }
  return 0;
}
