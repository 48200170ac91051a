// Benchmark: decode speed in memory of the engine's flat inflater
// (inflateFlat, straight into the output buffer), its windowed inflater
// (inflate(), through the 32 KB window into a buffer), zlib and libdeflate,
// on the same deflate streams in the same run.
//
// Two data sets of at least 100 MB each, made once and cached in the build
// folder: source (C and C++ headers from /usr/include) and docs (the text
// files of /usr/share/doc, their .gz files unpacked). Each is deflated by
// zlib at level 6 (raw deflate, as in ZIP), in pieces of 1 MB so that the
// run also pays for stream starts as an archive of many entries does; every
// decoder decodes the pieces one by one into one output buffer of the whole
// size. The decoders take turns, several rounds; the medians are printed as
// MB/s (uncompressed bytes, 10^6 per MB) with the flat inflater's ratio to
// each. Times are the thread's CPU time, which other work on a shared
// machine disturbs much less than the wall clock. Every output is checked
// against the data.
//   cmake --build BUILD --target bench_inflate_flat && BUILD/bin/bench_inflate_flat [SET [DECODER]]
// SET limits the run to one data set; DECODER (flat, windowed, zlib,
// libdeflate) to one decoder, for profiling.
#include <libdeflate.h>
#include <zlib.h>

#include <time.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_data.h"
#include "bench/bench_util.h"
#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/inflate.h"
#include "control/engine/decode/inflate_flat.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kMinSize = 100'000'000;  // bytes per data set
constexpr size_t kPiece = 1 << 20;        // bytes per deflate stream
constexpr int kRounds = 7;

// The calling thread's CPU time in seconds.
double cpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}
using Bytes = std::vector<uint8_t>;

// The gzip file's contents (empty when it is not one).
Bytes gunzip(const Bytes& gz) {
  z_stream z{};
  if (inflateInit2(&z, 15 + 32) != Z_OK) return {};
  Bytes out;
  uint8_t buf[65536];
  z.next_in = const_cast<Bytef*>(gz.data());
  z.avail_in = static_cast<uInt>(gz.size());
  int r;
  do {
    z.next_out = buf;
    z.avail_out = sizeof buf;
    r = inflate(&z, Z_NO_FLUSH);
    out.insert(out.end(), buf, buf + (sizeof buf - z.avail_out));
  } while (r == Z_OK);
  inflateEnd(&z);
  return r == Z_STREAM_END ? out : Bytes{};
}

Bytes makeSource() {
  Bytes out;
  vz::bench::appendUntilFull(vz::bench::listFiles("/usr/include",
                                                  [](const fs::path& p) {
                                                    const auto e = p.extension();
                                                    return e == ".h" || e == ".hpp" || e == ".c" || e == ".tcc" ||
                                                           e == ".cc" || e.empty();
                                                  }),
                             kMinSize, out);
  return out;
}

Bytes makeDocs() {
  Bytes out;
  for (const fs::path& p : vz::bench::listFiles("/usr/share/doc", [](const fs::path&) { return true; })) {
    if (out.size() >= kMinSize) break;
    const Bytes d = vz::bench::readFile(p);
    const Bytes text = p.extension() == ".gz" ? gunzip(d) : d;
    out.insert(out.end(), text.begin(), text.end());
  }
  return out;
}

// Raw deflate pieces at level 6.
std::vector<Bytes> deflatePieces(const Bytes& data) {
  std::vector<Bytes> pieces;
  for (size_t at = 0; at < data.size(); at += kPiece) {
    const size_t n = std::min(kPiece, data.size() - at);
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, n));
    z.next_in = const_cast<Bytef*>(data.data() + at);
    z.avail_in = static_cast<uInt>(n);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    pieces.push_back(std::move(out));
  }
  return pieces;
}

// Each decoder decodes piece i into out + i * kPiece, n bytes; false on failure.
bool flatDecode(const Bytes& in, uint8_t* out, size_t n) {
  vz::engine::MemoryInput input(in);
  size_t produced = 0;
  return vz::engine::inflateFlat(input, out, n, produced) == vz::engine::DecodeStatus::Ok && produced == n;
}

class BufferOutput final : public vz::engine::DecodeOutput {
 public:
  BufferOutput(uint8_t* out, size_t size) : out_(out), size_(size) {}

 protected:
  bool write(const uint8_t* data, size_t count) override {
    if (count > size_ - used_) return false;
    std::memcpy(out_ + used_, data, count);
    used_ += count;
    return true;
  }

 private:
  uint8_t* out_;
  size_t size_;
  size_t used_ = 0;
};

bool windowedDecode(const Bytes& in, uint8_t* out, size_t n) {
  vz::engine::MemoryInput input(in);
  BufferOutput output(out, n);
  return vz::engine::inflate(input, output) == vz::engine::DecodeStatus::Ok && output.total() == n;
}

bool zlibDecode(const Bytes& in, uint8_t* out, size_t n) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out;
  z.avail_out = static_cast<uInt>(n);
  const int r = inflate(&z, Z_FINISH);
  const bool ok = r == Z_STREAM_END && z.total_out == n;
  inflateEnd(&z);
  return ok;
}

libdeflate_decompressor* g_libdeflate = nullptr;
bool libdeflateDecode(const Bytes& in, uint8_t* out, size_t n) {
  size_t got = 0;
  return libdeflate_deflate_decompress(g_libdeflate, in.data(), in.size(), out, n, &got) == LIBDEFLATE_SUCCESS &&
         got == n;
}

struct Decoder {
  const char* name;
  bool (*decode)(const Bytes&, uint8_t*, size_t);
};

}  // namespace

int main(int argc, char** argv) {
  const std::string onlySet = argc > 1 ? argv[1] : "";
  const std::string onlyDecoder = argc > 2 ? argv[2] : "";
  g_libdeflate = libdeflate_alloc_decompressor();
  const fs::path cache = fs::path(VZ_BENCH_DATA_DIR) / "inflate-flat-data";
  fs::create_directories(cache);
  struct Set {
    const char* name;
    Bytes (*make)();
  };
  const Set sets[] = {{"source", makeSource}, {"docs", makeDocs}};
  const Decoder decoders[] = {
      {"flat", flatDecode}, {"windowed", windowedDecode}, {"zlib", zlibDecode}, {"libdeflate", libdeflateDecode}};
  std::printf("%-7s %8s %8s %9s %9s %9s %11s %9s %9s %11s\n", "data", "MB", "deflated", "flat", "windowed", "zlib",
              "libdeflate", "/windowed", "/zlib", "/libdeflate");
  for (const Set& s : sets) {
    if (!onlySet.empty() && onlySet != s.name) continue;
    const fs::path rawPath = cache / (std::string(s.name) + ".raw");
    Bytes raw = fs::exists(rawPath) ? vz::bench::readFile(rawPath) : Bytes{};
    if (raw.size() < kMinSize) {
      raw = s.make();
      if (raw.size() < kMinSize) {
        std::printf("%-7s not enough data on this machine (%zu bytes)\n", s.name, raw.size());
        continue;
      }
      vz::bench::writeFile(rawPath, raw);
    }
    const std::vector<Bytes> pieces = deflatePieces(raw);
    size_t deflated = 0;
    for (const Bytes& p : pieces) deflated += p.size();
    Bytes out(raw.size());
    std::vector<std::vector<double>> times(4);
    for (int round = 0; round < kRounds; ++round) {
      for (size_t d = 0; d < 4; ++d) {
        if (!onlyDecoder.empty() && onlyDecoder != decoders[d].name) continue;
        std::memset(out.data(), 0, out.size());
        const double start = cpuSeconds();
        bool ok = true;
        for (size_t i = 0; i < pieces.size() && ok; ++i) {
          ok = decoders[d].decode(pieces[i], out.data() + i * kPiece, std::min(kPiece, raw.size() - i * kPiece));
        }
        times[d].push_back(cpuSeconds() - start);
        if (!ok || out != raw) {
          std::printf("%-7s %s decoded wrongly\n", s.name, decoders[d].name);
          return 1;
        }
      }
    }
    const double mb = static_cast<double>(raw.size()) / 1e6;
    double speed[4];
    for (size_t d = 0; d < 4; ++d) speed[d] = times[d].empty() ? 0 : mb / vz::bench::median(times[d]);
    std::printf("%-7s %8.1f %7.1f%% %9.0f %9.0f %9.0f %11.0f %9.2f %9.2f %11.2f\n", s.name, mb,
                100.0 * static_cast<double>(deflated) / static_cast<double>(raw.size()), speed[0], speed[1], speed[2],
                speed[3], speed[1] > 0 ? speed[0] / speed[1] : 0, speed[2] > 0 ? speed[0] / speed[2] : 0,
                speed[3] > 0 ? speed[0] / speed[3] : 0);
  }
  libdeflate_free_decompressor(g_libdeflate);
  return 0;
}
