// vzip_shots OUTDIR: draws every window that main_shots.cpp,
// options_window.cpp and the tool windows list (windows.h) into
// OUTDIR/<name>.png. scripts/screenshots.sh runs it under Xvfb so the
// windows are drawn by a real X server with the icon theme.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QWidget>
#include <cstdio>

#include "manager/vzip/app_setup.h"
#include "manager/vzip/windows.h"
#include "platform/ui.h"

namespace {

// Lets the window lay itself out and paint (icons load lazily).
void settle(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  vz::vzip::setUpApplication();
  // No question may block a shot: every question takes its default answer.
  vz::ui::setBackend(std::make_shared<vz::ui::ScriptedBackend>());
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
  QDir().mkpath(out);
  std::vector<vz::vzip::ScreenshotWindow> all = vz::vzip::mainScreenshotWindows();
  for (auto& w : vz::vzip::optionsScreenshotWindows()) all.push_back(std::move(w));
  for (auto& w : vz::vzip::toolScreenshotWindows()) all.push_back(std::move(w));
  int written = 0;
  for (const auto& [name, make] : all) {
    QWidget* w = make(nullptr);
    if (!w) continue;
    w->show();
    w->raise();
    settle(400);
    const QString file = out + QLatin1Char('/') + name + QStringLiteral(".png");
    if (w->grab().save(file)) {
      ++written;
      std::printf("%s %dx%d\n", qPrintable(file), w->width(), w->height());
    } else {
      std::fprintf(stderr, "vzip_shots: could not write %s\n", qPrintable(file));
    }
    w->close();
    delete w;
    settle(50);
  }
  return written > 0 ? 0 : 1;
}
