// Benchmark: the levelled deflate compressor (levels 1, 6 and 9) against
// zlib's deflate (raw, window bits -15, memory level 8) and libdeflate at
// the same levels, on the same data in the same run.
//
// Data: three sets of files, each up to 64 MB (VZ_BENCH_LEVELS_MB sets
// another cap per set, for a quick run), unreadable files skipped: the
// files under /usr/include (source), those under /usr/share/doc (text)
// and, apart, the compressed files the documentation folders hold (.gz and
// the like: what a compressor must get through quickly without growing). Every file is compressed on its own, as a
// ZIP writer does, from memory into a preallocated buffer; the deflater,
// zlib's stream and libdeflate's compressor are each made once per level
// and reused for every file. Times are the process's CPU time (the machine
// may be shared). Printed per set and level: the total compressed size,
// MB/s (10^6 input bytes per second) and the ratios ours / peer of size and
// speed. Every one of our streams is checked by inflating it with zlib.
//   cmake --build BUILD --target bench_levels && BUILD/bin/bench_levels [LEVEL...]
#include <libdeflate.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_data.h"
#include "control/engine/encode/deflate_io.h"
#include "control/engine/encode/level_deflate.h"

namespace fs = std::filesystem;

namespace {

double cpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Files laid end to end in one buffer.
struct DataSet {
  std::string name;
  std::vector<uint8_t> bytes;
  std::vector<size_t> starts;  // offset of each file; a last entry holds the total
  size_t files() const { return starts.size() - 1; }
  const uint8_t* file(size_t i) const { return bytes.data() + starts[i]; }
  size_t fileSize(size_t i) const { return starts[i + 1] - starts[i]; }
};

// Names of files that are compressed already.
bool packedName(const fs::path& p) {
  static const char* const kSuffixes[] = {".gz", ".bz2", ".xz", ".zst", ".zip", ".png", ".jpg", ".gif"};
  const std::string ext = p.extension().string();
  for (const char* s : kSuffixes)
    if (ext == s) return true;
  return false;
}

// The files under dir that pass keep, up to cap bytes in all.
template <class Keep>
DataSet gather(const std::string& name, const fs::path& dir, size_t cap, Keep keep) {
  DataSet set{name, {}, {0}};
  for (const fs::path& f : vz::bench::listFiles(dir, keep)) {
    if (set.bytes.size() >= cap) break;
    std::vector<uint8_t> d = vz::bench::readFile(f);
    if (d.empty()) continue;  // unreadable or empty
    if (set.bytes.size() + d.size() > cap) d.resize(cap - set.bytes.size());
    set.bytes.insert(set.bytes.end(), d.begin(), d.end());
    set.starts.push_back(set.bytes.size());
  }
  return set;
}

// Output into a preallocated buffer.
class BufferOutput final : public vz::engine::DeflateOutput {
 public:
  explicit BufferOutput(std::vector<uint8_t>& buf) : buf_(buf) {}
  bool write(const uint8_t* data, size_t count) override {
    if (used + count > buf_.size()) return false;
    std::memcpy(buf_.data() + used, data, count);
    used += count;
    return true;
  }
  size_t used = 0;

 private:
  std::vector<uint8_t>& buf_;
};

bool inflatesTo(const uint8_t* packed, size_t packedSize, const uint8_t* original, size_t size,
                std::vector<uint8_t>& scratch) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return false;
  scratch.resize(size + 1);
  z.next_in = const_cast<uint8_t*>(packed);
  z.avail_in = static_cast<uInt>(packedSize);
  z.next_out = scratch.data();
  z.avail_out = static_cast<uInt>(scratch.size());
  const int r = inflate(&z, Z_FINISH);
  const bool ok = r == Z_STREAM_END && z.total_out == size && z.avail_in == 0 &&
                  (size == 0 || std::memcmp(scratch.data(), original, size) == 0);
  inflateEnd(&z);
  return ok;
}

struct Run {
  uint64_t size = 0;
  double seconds = 0;
};

Run runOurs(const DataSet& set, int level, std::vector<uint8_t>& out, bool& verified) {
  vz::engine::LevelDeflater deflater;
  Run run;
  std::vector<uint8_t> scratch;
  verified = true;
  for (size_t i = 0; i < set.files(); ++i) {
    vz::engine::MemoryDeflateInput in(set.file(i), set.fileSize(i));
    BufferOutput sink(out);
    const double t0 = cpuSeconds();
    const vz::engine::LevelDeflateResult r = deflater.compress(level, in, sink);
    run.seconds += cpuSeconds() - t0;
    run.size += r.compressedSize;
    if (r.outputError || !inflatesTo(out.data(), sink.used, set.file(i), set.fileSize(i), scratch)) verified = false;
  }
  return run;
}

Run runZlib(const DataSet& set, int level, std::vector<uint8_t>& out) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  Run run;
  const double t0 = cpuSeconds();
  for (size_t i = 0; i < set.files(); ++i) {
    deflateReset(&z);
    z.next_in = const_cast<uint8_t*>(set.file(i));
    z.avail_in = static_cast<uInt>(set.fileSize(i));
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    run.size += z.total_out;
  }
  run.seconds = cpuSeconds() - t0;
  deflateEnd(&z);
  return run;
}

Run runLibdeflate(const DataSet& set, int level, std::vector<uint8_t>& out) {
  libdeflate_compressor* c = libdeflate_alloc_compressor(level);
  Run run;
  const double t0 = cpuSeconds();
  for (size_t i = 0; i < set.files(); ++i)
    run.size += libdeflate_deflate_compress(c, set.file(i), set.fileSize(i), out.data(), out.size());
  run.seconds = cpuSeconds() - t0;
  libdeflate_free_compressor(c);
  return run;
}

double mbps(size_t bytes, double seconds) { return seconds > 0 ? static_cast<double>(bytes) / seconds / 1e6 : 0; }

}  // namespace

int main(int argc, char** argv) {
  size_t capMb = 64;
  if (const char* e = std::getenv("VZ_BENCH_LEVELS_MB")) capMb = std::strtoul(e, nullptr, 10);
  std::vector<int> levels;
  for (int i = 1; i < argc; ++i) levels.push_back(std::atoi(argv[i]));
  if (levels.empty()) levels = {1, 6, 9};

  std::vector<DataSet> sets;
  const size_t cap = capMb << 20;
  sets.push_back(gather("include", "/usr/include", cap, [](const fs::path&) { return true; }));
  sets.push_back(gather("doc-text", "/usr/share/doc", cap, [](const fs::path& p) { return !packedName(p); }));
  sets.push_back(gather("doc-pack", "/usr/share/doc", cap, packedName));
  size_t largest = 0;
  for (const DataSet& s : sets) {
    std::printf("%-8s %zu files, %.1f MB\n", s.name.c_str(), s.files(), static_cast<double>(s.bytes.size()) / 1e6);
    for (size_t i = 0; i < s.files(); ++i) largest = std::max(largest, s.fileSize(i));
  }
  std::vector<uint8_t> out(largest + largest / 8 + 4096);

  std::printf("\n%-8s %5s %12s %8s %12s %8s %12s %8s %9s %9s %9s %9s\n", "set", "level", "ours", "MB/s", "zlib", "MB/s",
              "libdeflate", "MB/s", "size/zl", "size/ld", "speed/zl", "speed/ld");
  bool allVerified = true;
  for (int level : levels) {
    for (const DataSet& s : sets) {
      bool verified = false;
      const Run ours = runOurs(s, level, out, verified);
      const Run zl = runZlib(s, level, out);
      const Run ld = runLibdeflate(s, level, out);
      allVerified = allVerified && verified;
      const size_t n = s.bytes.size();
      std::printf(
          "%-8s %5d %12llu %8.1f %12llu %8.1f %12llu %8.1f %9.4f %9.4f %9.2f %9.2f%s\n", s.name.c_str(), level,
          static_cast<unsigned long long>(ours.size), mbps(n, ours.seconds), static_cast<unsigned long long>(zl.size),
          mbps(n, zl.seconds), static_cast<unsigned long long>(ld.size), mbps(n, ld.seconds),
          static_cast<double>(ours.size) / static_cast<double>(zl.size),
          static_cast<double>(ours.size) / static_cast<double>(ld.size), mbps(n, ours.seconds) / mbps(n, zl.seconds),
          mbps(n, ours.seconds) / mbps(n, ld.seconds), verified ? "" : "  NOT VERIFIED");
      std::fflush(stdout);
    }
  }
  return allVerified ? 0 : 1;
}
