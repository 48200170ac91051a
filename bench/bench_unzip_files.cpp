// Benchmark: UnzipFiles of a large archive of mixed files against
// `unzip -o -q` extracting the same archive, both into fresh scratch
// folders on the same file system, in the same run.
//
// The archive (about 200 MB of files taken from /usr/share and /usr/lib in
// a fixed order, no file over 16 MB, made with zip -6) is cached in the
// build folder. Each side runs several times with the page cache warm; the
// medians are printed with their ratio. unzip's time includes starting its
// process, which is negligible at this size.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "control/engine/extract/extract_run.h"
#include "platform/file.h"

namespace fs = std::filesystem;

namespace {

using vz::bench::median;
using vz::bench::runQuiet;
using vz::bench::timeMs;

constexpr uint64_t kArchiveInput = 200ull << 20;  // bytes of files to collect
constexpr uint64_t kLargestFile = 16ull << 20;    // files above this are passed over
constexpr int kRepetitions = 3;


// Regular files of the two folders in name order, up to kArchiveInput bytes.
std::vector<std::string> collectFiles(uint64_t& total) {
  std::vector<std::string> files;
  total = 0;
  for (const char* top : {"/usr/share", "/usr/lib"}) {
    std::vector<std::string> here;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(top, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      std::error_code sec;
      if (it->is_symlink(sec) || !it->is_regular_file(sec)) continue;
      const std::string p = it->path().string();
      if (p.find('\n') != std::string::npos || ::access(p.c_str(), R_OK) != 0) continue;
      here.push_back(p);
    }
    std::sort(here.begin(), here.end());
    for (const std::string& p : here) {
      std::error_code sec;
      const uint64_t size = fs::file_size(p, sec);
      if (sec || size > kLargestFile) continue;
      files.push_back(p);
      total += size;
      if (total >= kArchiveInput) return files;
    }
  }
  return files;
}

bool makeArchive(const std::string& zip) {
  uint64_t total = 0;
  const std::vector<std::string> files = collectFiles(total);
  std::printf("making %s from %zu files (%.0f MB) ...\n", zip.c_str(), files.size(), total / 1048576.0);
  const std::string list = zip + ".list";
  std::string text;
  for (const std::string& f : files) text += f + "\n";
  if (!vz::writeFileAtomic(list, text)) return false;
  fs::remove(zip + ".part");
  const bool ok = runQuiet({"zip", "-q", "-6", "-@", zip + ".part"}, "", list) == 0 &&  // names from stdin
                  vz::renameFile(zip + ".part", zip);
  fs::remove(list);
  return ok;
}

}  // namespace

int main() {
  const std::string zip = std::string(VZ_BENCH_DATA_DIR) + "/mixed200.zip";
  if (!vz::fileExists(zip) && !makeArchive(zip)) {
    std::fprintf(stderr, "cannot make the archive (zip missing?)\n");
    return 1;
  }
  const std::string scratch = std::string(VZ_BENCH_DATA_DIR) + "/unzip-scratch";
  auto fresh = [&](const std::string& name) {
    const std::string d = scratch + "/" + name;
    fs::remove_all(d);
    fs::create_directories(d);
    return d;
  };

  vz::engine::UnzipState st;
  st.pump = false;
  st.askPassword = false;
  vz::engine::ReadStatus status = vz::engine::ReadStatus::Ok;
  std::vector<double> ours, peer;
  bool peerOk = true;
  {
    std::vector<uint8_t> warm(1 << 20);  // read the archive once so that both sides start warm
    vz::File f;
    if (f.open(zip, vz::File::Mode::Read))
      while (f.read(warm.data(), warm.size()) > 0) {
      }
  }
  for (int i = 0; i < kRepetitions; ++i) {
    const std::string d = fresh("ours");
    ours.push_back(timeMs([&] { status = vz::engine::unzipFiles(st, zip, "", d, true, 1); }));
    const std::string p = fresh("peer");
    if (peerOk) peer.push_back(timeMs([&] { peerOk = runQuiet({"unzip", "-o", "-q", zip, "-d", p}) == 0; }));
  }
  fs::remove_all(scratch);

#ifndef NDEBUG
  std::printf("note: unoptimised build; configure with -DCMAKE_BUILD_TYPE=Release for representative figures\n");
#endif
  std::error_code ec;
  std::printf("archive: %s, %.0f MB, UnzipFiles status %d\n", zip.c_str(), fs::file_size(zip, ec) / 1048576.0,
              vz::engine::statusCode(status));
  std::printf("UnzipFiles    median of %d: %9.1f ms\n", kRepetitions, median(ours));
  if (!peerOk || peer.empty()) {
    std::printf("unzip -o -q   not available\n");
    return 0;
  }
  std::printf("unzip -o -q   median of %d: %9.1f ms\n", kRepetitions, median(peer));
  std::printf("ratio (UnzipFiles / unzip): %.2f\n", median(ours) / median(peer));
  return 0;
}
