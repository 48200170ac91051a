// The Qt back end of the icon service (platform/icons.h), installed by the
// Qt hosts (they need a QApplication first).
//
// System images: the types of QMimeDatabase sorted by name, one image per
// type at its index there. systemIconIndex(path) is the index of
// QMimeDatabase's type for the file (its name, and its content when the
// file exists). A type's image is its icon from the icon theme (the type's
// icon name, else its generic icon name), else QFileIconProvider's plain
// file icon, so every index has pixels: PNG data of 16 x 16 (small) or
// 32 x 32 (large) pixels, keyed by the type's icon name.
//
// Own icons: the SVG drawings of the resources ":/vz/icons/vz-*.svg"
// (the same text as platform/icon_artwork.cpp) rendered to PNG at the same
// sizes, keyed "vz-directory" ... "vz-other".
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>

#include "platform/icons.h"

namespace vz::icons {

class QtBackend : public Backend {
 public:
  QtBackend();
  int systemIconIndex(const std::string& path, bool small) override;
  int systemImageCount() override;
  ImageList::Image systemImage(int index, bool small) override;
  ImageList::Image ownIcon(OwnIcon which, bool small) override;

 private:
  QStringList types_;          // every type's name, sorted: the system image indexes
  QHash<QString, int> index_;  // type name -> index in types_
};

// The resource path of an own icon's drawing.
QString ownIconResource(OwnIcon which);

// Installs a QtBackend as the process's icon service; returns the back end
// it replaced.
std::shared_ptr<Backend> installQtBackend();

}  // namespace vz::icons
