// Icon indexes and item image lists (see item_icons.h).
#include "control/engine/items/item_icons.h"

#include <memory>
#include <new>

#include "platform/charcase.h"
#include "platform/file.h"
#include "platform/handles.h"
#include "platform/icons.h"

namespace vz::engine {

namespace {

// Characters (not bytes) of a UTF-8 text.
size_t characterCount(std::string_view s) {
  size_t n = 0;
  for (char c : s)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  return n;
}

bool hasControlCharacter(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  return false;
}

bool isProgramExtension(std::string_view ext) {
  const std::string up = toUpper(ext);
  return up == "EXE" || up == "COM" || up == "PIF" || up == "BAT";
}

}  // namespace

std::string_view itemExtension(std::string_view name) {
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

ItemIconChooser::ItemIconChooser(int base, bool systemIcons, std::string iconFolder)
    : base_(base), systemIcons_(systemIcons), iconFolder_(std::move(iconFolder)) {}

int ItemIconChooser::iconFor(const ZIPITEM& item) {
  if (item.isDirectory) return base_ + kIconDirectory;
  if (item.isEncrypted) return base_ + kIconEncrypted;
  const std::string_view ext = itemExtension(item.name);
  const size_t length = characterCount(ext);
  const bool usable = length >= 1 && length <= kMaxIconExtension && !hasControlCharacter(ext);
  if (usable && isProgramExtension(ext)) return base_ + kIconProgram;
  if (systemIcons_) return usable ? systemIndexOf(std::string(ext)) : 0;
  if (usable && isRegistered(std::string(ext))) return base_ + kIconRegistered;
  return base_ + kIconOther;
}

int ItemIconChooser::systemIndexOf(const std::string& extension) {
  if (auto it = systemIndexes_.find(extension); it != systemIndexes_.end()) return it->second;
  const std::string probe = iconFolder_ + "SICON." + extension;
  bool created = false;
  if (!fileExists(probe)) {
    File f;
    created = f.open(probe, File::Mode::CreateNew);
  }
  int index = icons::systemIconIndex(probe, true);
  if (created) removeFile(probe);
  if (index < 0) index = 0;
  systemIndexes_.emplace(extension, index);
  return index;
}

bool ItemIconChooser::isRegistered(const std::string& extension) {
  if (auto it = registered_.find(extension); it != registered_.end()) return it->second;
  if (!applications_) applications_ = mime::ApplicationLists::load();
  const std::string type = icons::mimeTypeForName("SICON." + extension);
  const bool registered = !type.empty() && applications_->hasDefaultApplication(type);
  registered_.emplace(extension, registered);
  return registered;
}

bool buildItemImageLists(UnzipState& st) {
  const int systemCount = icons::systemImageCount();
  if (systemCount <= 0) return false;
  std::shared_ptr<ImageList> small, large;
  try {
    small = std::make_shared<ImageList>(icons::kSmallIconSize, icons::kSmallIconSize);
    large = std::make_shared<ImageList>(icons::kLargeIconSize, icons::kLargeIconSize);
    for (int i = 0; i < systemCount; ++i) {
      small->add(icons::systemImage(i, true));
      large->add(icons::systemImage(i, false));
    }
    for (int i = 0; i < icons::kOwnIconCount; ++i) {
      const auto which = static_cast<icons::OwnIcon>(i);
      small->add(icons::ownIcon(which, true));
      large->add(icons::ownIcon(which, false));
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  const Handle smallHandle = handles::add(small);
  const Handle largeHandle = handles::add(large);
  if (!smallHandle || !largeHandle) {
    if (smallHandle) handles::destroy(smallHandle);
    if (largeHandle) handles::destroy(largeHandle);
    return false;
  }
  // The lists of an earlier build would otherwise stay in the handle table
  // for the rest of the run.
  destroyItemImageLists(st);
  st.smallImages = smallHandle;
  st.largeImages = largeHandle;
  st.firstOwnIcon = systemCount;
  return true;
}

bool destroyItemImageLists(UnzipState& st) {
  if (st.smallImages) handles::destroy(st.smallImages);
  if (st.largeImages) handles::destroy(st.largeImages);
  st.smallImages = st.largeImages = 0;
  st.firstOwnIcon = 0;
  return true;
}

Handle itemImageList(const UnzipState& st, bool large) { return large ? st.largeImages : st.smallImages; }

bool setListViewImageLists(const UnzipState& st, Handle listView) {
  if (!st.smallImages || !st.largeImages) return false;
  auto view = handles::getAs<ListView>(listView);
  if (!view) return false;
  // Our list views never own their image lists, so the lists are shared
  // as LVS_SHAREIMAGELISTS asked for.
  view->setImageLists(st.smallImages, st.largeImages);
  return true;
}

}  // namespace vz::engine
