// Icons of the item list: the icon index of each item, and the control's
// two item image lists.
//
// Icon index of an item (base = index of the first own icon in the item
// image lists, UnzipState::firstOwnIcon):
//   directory                                        base + 0
//   encrypted file (wins over the program rule)      base + 1
//   extension EXE, COM, PIF or BAT                   base + 2
//   other extension of 1 to 3 characters:
//     system icons in use     the system icon index of the extension, 0 when negative
//     system icons not in use base + 4 when the extension's type has a default
//                             application (a "registered" type), else base + 5
//   no extension, or one of more than 3 characters:
//     system icons in use     0
//     not in use              base + 5
// The extension is the text behind the name's last "."; characters are
// UTF-8 characters. An extension holding a control character is never
// used for a file name and counts as a long one.
//
// The system icon index of an extension: the probe file "SICON.<ext>" in
// the icon folder is created empty when it does not exist, the icon
// service is asked for the small system icon index of that path, and the
// probe is deleted again when it was created here. Each extension is asked
// once per build; so is the registered-type question, answered from the
// MIME database's name rules and the MIME application lists (reading no
// file of the archive and making no probe).
//
// Image lists (BuildZIPITEMImageList): a small (16 x 16) and a large
// (32 x 32) list, each holding every system image of the icon service and
// then the six own icons (directory, encrypted, program, unassigned,
// registered, other); base = the system image count. Building fails when
// the icon service has no system images (icons.h says what that means per
// back end). Building again replaces (and destroys) the lists built before.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "control/engine/common/unzip_state.h"
#include "control/engine/format/zip_item.h"
#include "platform/mime_apps.h"
#include "platform/types.h"

namespace vz::engine {

// Offsets of the own icons from base.
enum ItemIconOffset : int {
  kIconDirectory = 0,
  kIconEncrypted = 1,
  kIconProgram = 2,
  kIconUnassigned = 3,
  kIconRegistered = 4,
  kIconOther = 5,
};

// The longest extension (in characters) that is looked up.
inline constexpr size_t kMaxIconExtension = 3;

// The extension of a name part (the text behind its last "."); empty when
// it has none.
std::string_view itemExtension(std::string_view name);

class ItemIconChooser {
 public:
  // iconFolder ends with "/"; it holds the probe files.
  ItemIconChooser(int base, bool systemIcons, std::string iconFolder);

  int iconFor(const ZIPITEM& item);
  bool usesSystemIcons() const { return systemIcons_; }

 private:
  int systemIndexOf(const std::string& extension);
  bool isRegistered(const std::string& extension);

  int base_;                                            // index of the first own icon
  bool systemIcons_;                                    // system icons in use for this build
  std::string iconFolder_;                              // folder of the probe files
  std::unordered_map<std::string, int> systemIndexes_;  // extension -> system icon index
  std::unordered_map<std::string, bool> registered_;    // extension -> has a default application
  std::optional<mime::ApplicationLists> applications_;  // read on the first registered question
};

// BuildZIPITEMImageList, DestroyZIPITEMImageList, GetZIPITEMHImageList and
// SetListViewImageList.
bool buildItemImageLists(UnzipState& st);
// Destroys both lists and forgets them (true also when there were none).
bool destroyItemImageLists(UnzipState& st);
Handle itemImageList(const UnzipState& st, bool large);
// Gives both lists to a list view (small and large); false when the lists
// are not built or the handle is not a list view.
bool setListViewImageLists(const UnzipState& st, Handle listView);

}  // namespace vz::engine
