// vzip [--answers FILE] [archive]: the archive manager's window.
//
// Start-up in its order: the splash; a running idle copy found through the
// per-user socket takes the archive (after the question) and this copy
// ends; otherwise the main window starts, opens the archive and listens
// for later copies. --answers FILE answers the questions from a file
// (platform/ui.h loadAnswersFile) instead of dialogs, for tests.
#include <QApplication>
#include <QSplashScreen>
#include <cstdio>
#include <memory>

#include "manager/vzip/app_setup.h"
#include "manager/vzip/main_window.h"
#include "manager/vzip/single_instance.h"
#include "manager/vzip/splash.h"
#include "platform/qt/ui_qt.h"
#include "platform/ui.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  vz::vzip::setUpApplication();

  QString path;
  QString answers;
  const QStringList args = app.arguments();
  for (int i = 1; i < args.size(); ++i) {
    if (args[i] == QStringLiteral("--answers") && i + 1 < args.size())
      answers = args[++i];
    else if (path.isEmpty())
      path = args[i];
  }
  std::shared_ptr<vz::ui::QtBackend> qtUi;
  if (!answers.isEmpty()) {
    std::string error;
    std::shared_ptr<vz::ui::ScriptedBackend> scripted = vz::ui::loadAnswersFile(answers.toStdString(), &error);
    if (!scripted) {
      std::fprintf(stderr, "vzip: %s\n", error.c_str());
      return 2;
    }
    vz::ui::setBackend(scripted);
  } else {
    qtUi = vz::ui::installQtUiBackend();
  }

  std::unique_ptr<QSplashScreen> splash(vz::vzip::makeSplash());
  splash->show();
  app.processEvents();
  if (path.size() >= 2 && path.startsWith('"') && path.endsWith('"')) path = path.mid(1, path.size() - 2);
  const vz::vzip::HandOver found = vz::vzip::handToRunningCopy(path);
  if (found == vz::vzip::HandOver::HandedOver) return 0;

  vz::vzip::MainWindow window;
  if (qtUi) qtUi->setParent(&window);
  vz::vzip::InstanceServer server([&window] { return window.controller().busy(); });
  if (found == vz::vzip::HandOver::NoCopy) server.listen();
  QObject::connect(&server, &vz::vzip::InstanceServer::pathReceived, &window, &vz::vzip::MainWindow::openHandedOver);
  window.show();
  splash->finish(&window);
  splash.reset();
  window.startUp(path.toStdString());
  return app.exec();
}
