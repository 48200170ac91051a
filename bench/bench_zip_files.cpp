// Benchmark: ZipFiles of a source tree against `zip -r -6` and
// `7zz a -tzip -mx=5` archiving the same tree, in the same run.
//
// The tree is a copy of /usr/include (regular, readable files; links left
// out, so every tool sees the same files) kept in the build folder with
// the list of its files, so it is made once. Each side writes a new archive
// into a scratch folder on the same file system, several times with the
// page cache warm; the medians are printed with the archive sizes and the
// ratios against our writer. ZipFiles runs in compression modes 1 (fast),
// 0 (normal) and 2 (maximum). The peers' times include starting their
// processes, which is negligible at this size; 7zz may use several
// threads.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "control/engine/write/archive_update.h"
#include "control/engine/write/zip_writer_engine.h"

namespace fs = std::filesystem;


namespace {

using vz::bench::median;
using vz::bench::runQuiet;
using vz::bench::timeMs;

constexpr const char* kSourceTree = "/usr/include";
constexpr int kRepetitions = 3;


bool haveProgram(const std::string& name) { return runQuiet({"sh", "-c", "command -v " + name}, "/") == 0; }


// The cached copy of the source tree: made once, with its file list.
std::string sourceTree(uint64_t& bytes, size_t& files) {
  const std::string tree = std::string(VZ_BENCH_DATA_DIR) + "/zip-files-tree";
  const std::string list = std::string(VZ_BENCH_DATA_DIR) + "/zip-files-tree.list";
  if (!fs::exists(list)) {
    fs::remove_all(tree);
    std::ofstream out(list + ".part");
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(kSourceTree, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      std::error_code sec;
      if (it->is_symlink(sec)) {
        if (it->is_directory(sec)) it.disable_recursion_pending();
        continue;
      }
      if (!it->is_regular_file(sec) || ::access(it->path().c_str(), R_OK) != 0) continue;
      const fs::path rel = fs::relative(it->path(), kSourceTree);
      fs::create_directories((fs::path(tree) / rel).parent_path());
      fs::copy_file(it->path(), fs::path(tree) / rel, fs::copy_options::overwrite_existing, sec);
      if (!sec) out << rel.string() << '\n';
    }
    out.close();
    fs::rename(list + ".part", list);
  }
  bytes = 0;
  files = 0;
  std::ifstream in(list);
  std::string line;
  while (std::getline(in, line)) {
    std::error_code ec;
    const auto size = fs::file_size(fs::path(tree) / line, ec);
    if (!ec) bytes += size, ++files;
  }
  return tree;
}

struct Row {
  std::string name;
  double ms = 0;
  uint64_t size = 0;
};

}  // namespace

int main() {
  uint64_t input = 0;
  size_t files = 0;
  const std::string tree = sourceTree(input, files);
  const std::string scratch = std::string(VZ_BENCH_DATA_DIR) + "/zip-files-out";
  fs::remove_all(scratch);
  fs::create_directories(scratch);
  setenv("TMPDIR", scratch.c_str(), 1);  // our temporary file on the same file system
  std::printf("tree: %s (copy of %s), %zu files, %.1f MB\n", tree.c_str(), kSourceTree, files, input / 1048576.0);

  std::vector<Row> rows;
  const auto measure = [&](const std::string& name, const std::string& archive, auto&& once) {
    std::vector<double> times;
    bool ok = true;
    for (int i = 0; i < kRepetitions && ok; ++i) {
      fs::remove(archive);
      times.push_back(timeMs([&] { ok = once(); }));
    }
    if (!ok) {
      std::printf("%-28s failed\n", name.c_str());
      return;
    }
    rows.push_back({name, median(times), static_cast<uint64_t>(fs::file_size(archive))});
  };

  for (int mode : {1, 0, 2}) {
    const std::string archive = scratch + "/ours" + std::to_string(mode) + ".zip";
    measure("ZipFiles mode " + std::to_string(mode), archive, [&] {
      vz::engine::WriteEngine engine;
      engine.setCompressionMode(mode);
      engine.setOverwriteMode(0);
      vz::engine::ZipFilesRequest r;
      r.zipName = archive;
      r.mask = tree + "/*.*";
      r.recurse = true;
      r.storePathMethod = 1;
      return vz::engine::zipFiles(engine, r) == vz::engine::WriteStatus::Ok;
    });
  }
  if (haveProgram("zip")) {
    const std::string archive = scratch + "/zip6.zip";
    measure("zip -r -6", archive, [&] { return runQuiet({"zip", "-r", "-6", "-q", archive, "."}, tree) == 0; });
  }
  if (haveProgram("7zz")) {
    const std::string archive = scratch + "/7zz5.zip";
    measure("7zz a -tzip -mx=5", archive, [&] {
      return runQuiet({"7zz", "a", "-tzip", "-mx=5", "-bd", archive, "."}, tree) == 0;
    });
  }

  if (rows.empty()) return 1;
  const Row& base = rows[1 < rows.size() ? 1 : 0];  // ZipFiles mode 0
  std::printf("%-28s %10s %10s %8s %10s %10s\n", "", "ms", "MB/s", "size MB", "ratio %", "time x");
  for (const Row& r : rows) {
    std::printf("%-28s %10.0f %10.1f %8.2f %10.1f %10.2f\n", r.name.c_str(), r.ms, input / 1048576.0 / (r.ms / 1000),
                r.size / 1048576.0, 100.0 * r.size / input, r.ms / base.ms);
  }
  fs::remove_all(scratch);
  return 0;
}
