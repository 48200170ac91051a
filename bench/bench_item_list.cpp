// Benchmark: the item list of a 20,000-entry archive. Times, as medians of
// several runs: BuildZIPITEMList in list-box mode (unsorted) and in
// list-view mode, SortZIPITEMList by each of the six keys (each sort starts
// from the archive order), and `zipinfo` listing the same archive (process
// start included) as the peer.
//
// The archive (python3's zipfile: names in 100 folders, six extensions,
// dates from 1985 to 2034 so that the century rule matters, stored and
// deflated entries) is cached in the build folder.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "control/engine/items/item_list.h"
#include "platform/file.h"
#include "platform/handles.h"

namespace {

using vz::bench::median;
using vz::bench::runQuiet;
using vz::bench::timeMs;

constexpr int kEntries = 20000;
constexpr int kRepetitions = 5;


}  // namespace

int main() {
  const std::string zip = std::string(VZ_BENCH_DATA_DIR) + "/items20000.zip";
  if (!vz::fileExists(zip)) {
    std::printf("making %s ...\n", zip.c_str());
    const std::string script =
        "import sys, zipfile\n"
        "exts = ['txt', 'bin', 'exe', 'dat', 'jpeg', 'c']\n"
        "with zipfile.ZipFile(sys.argv[1] + '.part', 'w') as z:\n"
        "    for i in range(" +
        std::to_string(kEntries) +
        "):\n"
        "        info = zipfile.ZipInfo('dir%03d/file%05d.%s' % (i % 100, (i * 7919) % 20000, exts[i % 6]),\n"
        "                               (1985 + i % 50, 1 + i % 12, 1 + i % 28, i % 24, i % 60, 0))\n"
        "        info.compress_type = zipfile.ZIP_DEFLATED if i % 3 else zipfile.ZIP_STORED\n"
        "        z.writestr(info, ('%d ' % i) * (i % 97))\n";
    if (runQuiet({"python3", "-c", script, zip}) != 0 || !vz::renameFile(zip + ".part", zip)) {
      std::fprintf(stderr, "cannot make the archive (python3 missing?)\n");
      return 1;
    }
  }
  vz::engine::UnzipState st;
  st.pump = false;
  const vz::Handle box = vz::handles::add(std::make_shared<vz::ListBox>());
  const vz::Handle view = vz::handles::add(std::make_shared<vz::ListView>());
  auto build = [&](vz::Handle list, bool listView) {
    vz::engine::ItemListRequest r;
    r.zipName = zip;
    r.list = list;
    r.listView = listView;
    r.privateTempDirectory = std::string(VZ_BENCH_DATA_DIR) + "/icons";
    r.sortMode = -1;
    if (vz::engine::buildItemList(st, r) != 0) {
      std::fprintf(stderr, "the build failed\n");
      std::exit(1);
    }
  };

  std::vector<double> boxTimes, viewTimes, peer;
  for (int i = 0; i < kRepetitions; ++i) {
    boxTimes.push_back(timeMs([&] { build(box, false); }));
    viewTimes.push_back(timeMs([&] { build(view, true); }));
    peer.push_back(timeMs([&] { runQuiet({"zipinfo", zip}); }));
  }
  std::printf("%d entries\n", kEntries);
  std::printf("build, list box          %8.1f ms\n", median(boxTimes));
  std::printf("build, list view         %8.1f ms\n", median(viewTimes));
  std::printf("zipinfo (peer)           %8.1f ms\n", median(peer));

  auto lines = vz::handles::getAs<vz::ListBox>(box);
  std::vector<std::string> archiveOrder;
  for (int i = 0; i < lines->count(); ++i) archiveOrder.push_back(*lines->text(i));
  const char* keys[] = {"directory:name", "name", "directory", "date", "size", "rate"};
  for (int mode = 0; mode <= 5; ++mode) {
    std::vector<double> times;
    for (int i = 0; i < kRepetitions; ++i) {
      lines->reset();
      for (const std::string& l : archiveOrder) lines->add(l);
      times.push_back(timeMs([&] { vz::engine::sortItemList(st, box, mode); }));
    }
    std::printf("sort %d, %-16s %8.1f ms\n", mode, keys[mode], median(times));
  }
  vz::engine::destroyItemBlocks(view);
  vz::handles::destroy(view);
  vz::handles::destroy(box);
  return 0;
}
