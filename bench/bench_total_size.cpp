// Benchmark: GetTotalSize on an archive of 65,535 entries (the most an end
// record can count), against `zipinfo -t` on the same file in the same run.
// Both walk the whole central directory; zipinfo's time includes starting
// the process, so the figure is what a user waits for either way.
//
// The archive (tiny stored entries, made by python3's zipfile) is cached in
// the build folder. Each side runs several times; the medians are printed
// with their ratio. A plain program rather than a benchmark library, because
// the peer is an external process timed the same way.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "control/engine/read/read_methods.h"
#include "platform/file.h"

namespace {

using vz::bench::median;
using vz::bench::runQuiet;
using vz::bench::timeMs;

constexpr int kEntries = 65535;
constexpr int kRepetitions = 9;


}  // namespace

int main() {
  const std::string zip = std::string(VZ_BENCH_DATA_DIR) + "/entries65535.zip";
  if (!vz::fileExists(zip)) {
    std::printf("making %s ...\n", zip.c_str());
    const std::string script =
        "import sys, zipfile\n"
        "with zipfile.ZipFile(sys.argv[1] + '.part', 'w', zipfile.ZIP_STORED) as z:\n"
        "    for i in range(" +
        std::to_string(kEntries) +
        "):\n"
        "        z.writestr('dir%03d/file%05d.txt' % (i % 100, i), 'x' * (i % 50))\n";
    if (runQuiet({"python3", "-c", script, zip}) != 0 || !vz::renameFile(zip + ".part", zip)) {
      std::fprintf(stderr, "cannot make the archive (python3 missing?)\n");
      return 1;
    }
  }
  vz::engine::UnzipState st;
  st.pump = false;

  double total = 0;
  std::vector<double> ours, peer;
  total = vz::engine::getTotalSize(st, zip, true);  // warm the page cache
  for (int i = 0; i < kRepetitions; ++i)
    ours.push_back(timeMs([&] { total = vz::engine::getTotalSize(st, zip, true); }));
  bool peerOk = true;
  for (int i = 0; i < kRepetitions && peerOk; ++i)
    peer.push_back(timeMs([&] { peerOk = runQuiet({"zipinfo", "-t", zip}) == 0; }));

#ifndef NDEBUG
  std::printf("note: unoptimised build; configure with -DCMAKE_BUILD_TYPE=Release for representative figures\n");
#endif
  std::printf("archive: %d entries, GetTotalSize = %.0f KB (status %d)\n", kEntries, total,
              vz::engine::statusCode(st.status));
  std::printf("GetTotalSize  median of %d: %8.2f ms\n", kRepetitions, median(ours));
  if (!peerOk) {
    std::printf("zipinfo -t    not available\n");
    return 0;
  }
  std::printf("zipinfo -t    median of %d: %8.2f ms\n", kRepetitions, median(peer));
  std::printf("ratio (zipinfo / GetTotalSize): %.2f\n", median(peer) / median(ours));
  return 0;
}
