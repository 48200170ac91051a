// The main window's windows for scripts/screenshots.sh: the main window
// with the sample archive listed in each of the four view styles, the
// progress window in the middle of a listing, and the splash.
#include <QApplication>
#include <QSplashScreen>

#include "manager/vzip/main_window.h"
#include "manager/vzip/progress_window.h"
#include "manager/vzip/splash.h"
#include "manager/vzip/windows.h"

#ifndef VZ_SAMPLE_ARCHIVE
#define VZ_SAMPLE_ARCHIVE ""
#endif

namespace vz::vzip {

namespace {

// The archive the shots list: $VZ_SHOTS_ARCHIVE, else the bundled sample.
std::string sampleArchive() {
  const QByteArray env = qgetenv("VZ_SHOTS_ARCHIVE");
  return env.isEmpty() ? std::string(VZ_SAMPLE_ARCHIVE) : env.toStdString();
}

QWidget* mainWindowIn(QWidget* parent, int style) {
  auto* w = new MainWindow(parent);
  w->resize(720, 460);
  w->controller().openArchive(sampleArchive(), manager::MainController::OpenRoute::CommandLine);
  w->setViewStyle(style);
  return w;
}

}  // namespace

std::vector<ScreenshotWindow> mainScreenshotWindows() {
  return {
      {QStringLiteral("main-report"), [](QWidget* p) { return mainWindowIn(p, 2); }},
      {QStringLiteral("main-large-icons"), [](QWidget* p) { return mainWindowIn(p, 0); }},
      {QStringLiteral("main-list"), [](QWidget* p) { return mainWindowIn(p, 1); }},
      {QStringLiteral("main-small-icons"), [](QWidget* p) { return mainWindowIn(p, 3); }},
      {QStringLiteral("progress"),
       [](QWidget* p) -> QWidget* {
         auto* w = new ProgressWindow(p);
         w->open('A');
         w->setPercent(40);
         w->setFeedback(QStringLiteral("docs/readme.txt"));
         return w;
       }},
      {QStringLiteral("splash"), [](QWidget*) -> QWidget* { return makeSplash(); }},
  };
}

}  // namespace vz::vzip
