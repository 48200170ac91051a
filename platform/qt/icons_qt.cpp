// The Qt back end of the icon service (see icons_qt.h).
#include "platform/qt/icons_qt.h"

#include <QBuffer>
#include <QFileIconProvider>
#include <QIcon>
#include <QImage>
#include <QMimeDatabase>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <algorithm>

namespace vz::icons {

namespace {

int sizeFor(bool small) { return small ? kSmallIconSize : kLargeIconSize; }

std::string pngBytes(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) return {};
  return bytes.toStdString();
}

}  // namespace

QtBackend::QtBackend() {
  QMimeDatabase db;
  for (const QMimeType& t : db.allMimeTypes()) types_.push_back(t.name());
  types_.sort();
  types_.removeDuplicates();
  for (int i = 0; i < types_.size(); ++i) index_.insert(types_[i], i);
}

int QtBackend::systemIconIndex(const std::string& path, bool) {
  QMimeDatabase db;
  const QMimeType t = db.mimeTypeForFile(QString::fromStdString(path));
  auto it = index_.constFind(t.name());
  if (it != index_.constEnd()) return it.value();
  it = index_.constFind(QStringLiteral("application/octet-stream"));
  return it != index_.constEnd() ? it.value() : -1;
}

int QtBackend::systemImageCount() { return static_cast<int>(types_.size()); }

ImageList::Image QtBackend::systemImage(int index, bool small) {
  if (index < 0 || index >= types_.size()) return {};
  QMimeDatabase db;
  const QMimeType t = db.mimeTypeForName(types_[index]);
  QIcon icon = QIcon::fromTheme(t.iconName());
  if (icon.isNull()) icon = QIcon::fromTheme(t.genericIconName());
  if (icon.isNull()) icon = QFileIconProvider().icon(QAbstractFileIconProvider::File);
  const int size = sizeFor(small);
  QImage image = icon.pixmap(size, size).toImage();
  if (image.isNull()) {
    image = QImage(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
  }
  return {t.iconName().toStdString(), pngBytes(image)};
}

ImageList::Image QtBackend::ownIcon(OwnIcon which, bool small) {
  const int size = sizeFor(small);
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QSvgRenderer renderer(ownIconResource(which));
  if (renderer.isValid()) {
    QPainter painter(&image);
    renderer.render(&painter);
  }
  return {std::string(ownIconKey(which)), pngBytes(image)};
}

QString ownIconResource(OwnIcon which) {
  return QStringLiteral(":/vz/icons/") + QString::fromUtf8(ownIconKey(which).data(), ownIconKey(which).size()) +
         QStringLiteral(".svg");
}

std::shared_ptr<Backend> installQtBackend() { return setBackend(std::make_shared<QtBackend>()); }

}  // namespace vz::icons
