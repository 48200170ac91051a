// Benchmark: opening a 20,000-entry ZIP archive in vzip's main window
// (offscreen) until its list is shown: the listing through the wrapper and
// the stand-in engine, the rows swapped into the model, and the report view
// laid out and painted once. In the same run, the same archive's `unzip -l`
// and `bsdtar -tf` are timed as peers and the ratios printed. Medians of
// five runs; the aim is the list shown in under half a second.
//
// The archive (python3's zipfile, stored entries in 100 folders, six
// extensions) is made once in this build folder.
#include <QApplication>
#include <QTreeView>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "manager/vzip/app_setup.h"
#include "manager/vzip/archive_model.h"
#include "manager/vzip/main_window.h"
#include "platform/file.h"
#include "platform/ui.h"

using vz::bench::median;
using vz::bench::runQuiet;
using vz::bench::timeMs;

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const std::string data = VZ_BENCH_DATA_DIR;
  setenv("VZ_ROOT", (data + "/vzip-bench-root").c_str(), 1);
  QApplication app(argc, argv);
  vz::vzip::setUpApplication();
  vz::ui::setBackend(std::make_shared<vz::ui::ScriptedBackend>());

  const std::string zip = data + "/vzip20000.zip";
  if (!vz::fileExists(zip)) {
    std::printf("making %s ...\n", zip.c_str());
    const char* script =
        "import zipfile,sys\n"
        "exts=['txt','c','png','html','pdf','zip']\n"
        "with zipfile.ZipFile(sys.argv[1]+'.part','w') as z:\n"
        "    for i in range(20000):\n"
        "        z.writestr('dir%03d/file%05d.%s' % (i % 100, i, exts[i % 6]), b'x' * (i % 97))\n";
    if (runQuiet({"python3", "-c", script, zip}) != 0 || !vz::renameFile(zip + ".part", zip)) {
      std::fprintf(stderr, "cannot make the archive (python3 missing?)\n");
      return 1;
    }
  }

  vz::vzip::MainWindow window;
  window.resize(800, 600);
  window.show();
  app.processEvents();
  std::vector<double> open, unzipL, bsdtar;
  int rows = 0;
  for (int run = 0; run < 5; ++run) {
    open.push_back(timeMs([&] {
      window.controller().openArchive(zip, vz::manager::MainController::OpenRoute::CommandLine);
      window.reportView()->viewport()->repaint();  // the list shown
      app.processEvents();
    }));
    rows = window.model()->rowCount();
    unzipL.push_back(timeMs([&] { runQuiet({"unzip", "-l", zip}); }));
    bsdtar.push_back(timeMs([&] { runQuiet({"bsdtar", "-tf", zip}); }));
  }
  const double o = median(open), u = median(unzipL), b = median(bsdtar);
  std::printf("vzip open, %d rows shown: %8.1f ms %s\n", rows, o,
              o < 500 ? "(under half a second)" : "(over half a second)");
  std::printf("unzip -l:                  %8.1f ms   vzip/unzip  = %.2f\n", u, o / u);
  std::printf("bsdtar -tf:                %8.1f ms   vzip/bsdtar = %.2f\n", b, o / b);
  return rows == 20000 ? 0 : 1;
}
