// Application names, the icon theme and the icon service.
#include "manager/vzip/app_setup.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

#include "platform/qt/icons_qt.h"

namespace vz::vzip {

void setUpApplication() {
  QApplication::setApplicationName(QStringLiteral("Vemora.Zip"));
  QApplication::setApplicationDisplayName(QStringLiteral("Vemora.Zip"));
  QApplication::setDesktopFileName(QStringLiteral("vemorazip"));
  const QString theme = QIcon::themeName();
  if (theme.isEmpty() || theme == QStringLiteral("hicolor")) {
    for (const QString& candidate : {QStringLiteral("breeze"), QStringLiteral("Adwaita")}) {
      bool found = false;
      for (const QString& root : QIcon::themeSearchPaths())
        if (QDir(root + QLatin1Char('/') + candidate).exists()) found = true;
      if (found) {
        QIcon::setThemeName(candidate);
        break;
      }
    }
  }
  QIcon::setFallbackThemeName(QStringLiteral("hicolor"));
  vz::icons::installQtBackend();
}

}  // namespace vz::vzip
