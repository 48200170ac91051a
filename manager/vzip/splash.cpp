// The splash picture, drawn rather than loaded.
#include "manager/vzip/splash.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>

#ifndef VZ_VERSION
#define VZ_VERSION "0"
#endif

namespace vz::vzip {

QSplashScreen* makeSplash() {
  QPixmap pix(420, 200);
  pix.fill(QColor(0x2c, 0x3e, 0x50));
  QPainter p(&pix);
  p.setRenderHint(QPainter::Antialiasing);
  const QIcon icon = QIcon::fromTheme(QStringLiteral("package-x-generic"), QIcon::fromTheme(QStringLiteral("ark")));
  icon.paint(&p, QRect(28, 52, 96, 96));
  p.setPen(Qt::white);
  QFont title = p.font();
  title.setPointSize(24);
  title.setBold(true);
  p.setFont(title);
  p.drawText(QRect(140, 50, 270, 50), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Vemora.Zip"));
  QFont small = p.font();
  small.setPointSize(10);
  small.setBold(false);
  p.setFont(small);
  p.drawText(QRect(140, 100, 270, 24), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Version %1").arg(QStringLiteral(VZ_VERSION)));
  p.drawText(QRect(140, 124, 270, 24), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Loading..."));
  p.end();
  return new QSplashScreen(pix);
}

}  // namespace vz::vzip
