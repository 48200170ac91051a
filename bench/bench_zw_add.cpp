// Benchmark: the stand-in writer adding a source tree (-r -6) with one
// thread (VZ_THREADS=1) and with every core, against `zip -r -6` on the same
// tree in the same run.
//
// The tree is a copy of /usr/include made once in the build folder: regular
// readable files only (links left out, so both sides see the same files).
// Each side writes a new archive from inside the tree's parent several
// times with the page cache warm; the medians, the archive sizes and the
// ratios against zip are printed. zip's times include starting its
// process, which is small at this size.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_util.h"
#include "zipwrap/engine/engine_abi.h"
#include "zipwrap/engine/zip/zip_main.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRepetitions = 3;

// The cached copy: the folder "include" under the data folder.
std::string makeTree(uint64_t& bytes, size_t& files) {
  const fs::path base = fs::path(VZ_BENCH_DATA_DIR) / "zw-add";
  const fs::path tree = base / "include";
  const fs::path done = base / "copied";
  if (!fs::exists(done)) {
    fs::remove_all(tree);
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator("/usr/include", fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      std::error_code e;
      if (it->is_symlink(e)) {
        if (it->is_directory(e)) it.disable_recursion_pending();
        continue;
      }
      if (!it->is_regular_file(e) || ::access(it->path().c_str(), R_OK) != 0) continue;
      const fs::path to = tree / fs::relative(it->path(), "/usr/include");
      fs::create_directories(to.parent_path());
      fs::copy_file(it->path(), to, fs::copy_options::overwrite_existing, e);
    }
    std::FILE* f = std::fopen(done.c_str(), "w");
    if (f) std::fclose(f);
  }
  bytes = 0;
  files = 0;
  for (const auto& e : fs::recursive_directory_iterator(tree))
    if (e.is_regular_file()) bytes += e.file_size(), ++files;
  return base.string();
}

struct Row {
  std::string name;
  double ms = 0;
  uint64_t size = 0;
};

bool addWithEngine(const std::string& archive) {
  std::vector<std::string> args = {"", "-r", "-6", archive, "include"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const uint32_t r = vz::zipwrap::writerMain(vz::zipwrap::kEngineCallMagic, static_cast<int32_t>(args.size()),
                                             argv.data(), nullptr, nullptr);
  return (r & 0xFFFF) == 0;
}

}  // namespace

int main() {
  uint64_t bytes = 0;
  size_t files = 0;
  const std::string base = makeTree(bytes, files);
  if (chdir(base.c_str()) != 0) return 1;
  const std::string out = base + "/out";
  fs::create_directories(out);
  std::printf("tree: copy of /usr/include, %zu files, %.1f MB; %u cores\n", files, bytes / 1048576.0,
              std::thread::hardware_concurrency());

  std::vector<Row> rows;
  const auto measure = [&](const std::string& name, const std::string& archive, auto&& once) {
    std::vector<double> times;
    for (int i = 0; i < kRepetitions; ++i) {
      fs::remove(archive);
      bool ok = false;
      times.push_back(vz::bench::timeMs([&] { ok = once(); }));
      if (!ok) {
        std::printf("%-24s failed\n", name.c_str());
        return;
      }
    }
    rows.push_back({name, vz::bench::median(times), static_cast<uint64_t>(fs::file_size(archive))});
  };
  measure("zip -r -6", out + "/zip6.zip", [&] {
    return vz::bench::runQuiet({"zip", "-r", "-6", "-q", out + "/zip6.zip", "include"}, base) == 0;
  });
  setenv("VZ_THREADS", "1", 1);
  measure("zwzip -r -6, 1 thread", out + "/zw1.zip", [&] { return addWithEngine(out + "/zw1.zip"); });
  unsetenv("VZ_THREADS");
  measure("zwzip -r -6, all cores", out + "/zwN.zip", [&] { return addWithEngine(out + "/zwN.zip"); });

  if (rows.empty() || rows[0].name != "zip -r -6") return 1;
  const Row& peer = rows[0];
  std::printf("%-24s %10s %12s %14s %12s\n", "", "ms", "bytes", "time vs zip", "size vs zip");
  for (const Row& r : rows)
    std::printf("%-24s %10.1f %12llu %13.2fx %11.3fx\n", r.name.c_str(), r.ms, static_cast<unsigned long long>(r.size),
                r.ms / peer.ms, static_cast<double>(r.size) / peer.size);
  return 0;
}
