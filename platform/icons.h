// The icon service: the shell's system icons and the control's own icons,
// for code without a toolkit (the control's item image lists).
//
// System icons are one image per MIME type, at a stable index: the types of
// the MIME database sorted by name, so the same type has the same index for
// the whole run and a list copied from the service once stays valid.
// systemIconIndex(path) is the index of the file's type (from its name, and
// from its content when the name says nothing and the file exists).
//
// Two back ends, switched process-wide:
//   - headless (the default): reads the database's globs2 file itself;
//     images carry the type's icon name as key and no pixels; the own icons
//     carry their key and their SVG text as pixels;
//   - Qt (platform/qt/icons_qt.h, installed by Qt hosts): QMimeDatabase for
//     the types, the icon theme (QIcon::fromTheme, falling back to
//     QFileIconProvider's file icon) for the pixels, PNG data at 16 and 32
//     pixels; the own icons rendered from the same SVG drawings.
//
// "No images" (the item image lists cannot be built) means
// systemImageCount() == 0: for the headless back end, that the MIME
// database file could not be read.
#pragma once

#include <memory>
#include <string>

#include "platform/handles.h"
#include "platform/icon_artwork.h"

namespace vz::icons {

// Icon sizes in pixels (the small and large system metrics).
inline constexpr int kSmallIconSize = 16;
inline constexpr int kLargeIconSize = 32;

class Backend {
 public:
  virtual ~Backend() = default;
  // Index of the system image of the file's type; -1 when there is none.
  virtual int systemIconIndex(const std::string& path, bool small) = 0;
  virtual int systemImageCount() = 0;
  // The system image at index (an empty image for a bad index).
  virtual ImageList::Image systemImage(int index, bool small) = 0;
  virtual ImageList::Image ownIcon(OwnIcon which, bool small) = 0;
};

// The headless back end over a globs2 file (the system's by default).
class HeadlessBackend : public Backend {
 public:
  HeadlessBackend();  // the system database, shared by the process
  explicit HeadlessBackend(const std::string& globsFile);
  int systemIconIndex(const std::string& path, bool small) override;
  int systemImageCount() override;
  ImageList::Image systemImage(int index, bool small) override;
  ImageList::Image ownIcon(OwnIcon which, bool small) override;

 private:
  struct Database;
  std::shared_ptr<const Database> db_;  // the rules and the sorted types
};

// Installs b (nullptr restores the headless default) and returns the
// previous back end.
std::shared_ptr<Backend> setBackend(std::shared_ptr<Backend> b);
std::shared_ptr<Backend> backend();

// Shorthands through backend().
int systemIconIndex(const std::string& path, bool small);
int systemImageCount();
ImageList::Image systemImage(int index, bool small);
ImageList::Image ownIcon(OwnIcon which, bool small);

// The MIME type of a file name by the system database's name rules alone
// (no file is looked at); empty when no rule matches.
std::string mimeTypeForName(const std::string& fileName);

}  // namespace vz::icons
