// The options window's decisions without its widgets: the values of its
// four pages loaded from the settings store, the Associations list as the
// window shows it (sorted by its text), the Remove and Modify commands on
// that list, and what OK writes (Cancel writes nothing: the model simply is
// not committed). The window's texts are kept here too, so that the window
// and the tests take them from one place.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "manager/app/settings_store.h"

namespace vz::manager {

namespace options_text {
inline constexpr const char* kCaption = "Configure Options for Vemora.Zip";
inline constexpr const char* kGeneralPage = "&General Options";
inline constexpr const char* kAssociationsPage = "Viewing &Associations";
inline constexpr const char* kVersionPage = "&Version Details";
inline constexpr const char* kVirusPage = "Anti-&Virus Program";
inline constexpr const char* kOpenGroup = "When opening a file, Vemora.Zip should";
inline constexpr const char* kStandardOpen = "Use the &standard Open Dialog interface (Default)";
inline constexpr const char* kFavouritesOpen = "Use Vemora.Zip's &Favorites Folder";
inline constexpr const char* kBaseFolder = "Decompression &Base folder";
inline constexpr const char* kHighlight = "Button captions change color when mouse passes over";
inline constexpr const char* kFavouritesLink = "Set up the Favorites Folders...";
inline constexpr const char* kFileTypeColumn = "File Type";
inline constexpr const char* kViewMethodColumn = "View Method";
inline constexpr const char* kRemove = "&Remove";
inline constexpr const char* kModify = "&Modify";
inline constexpr const char* kItemColumn = "Item";
inline constexpr const char* kDataColumn = "Data";
inline constexpr const char* kVirusProgram = "Anti-Virus Program";
inline constexpr const char* kVirusParam = "Paramaters";
inline constexpr const char* kVirusFilter = "Executable Files|*.EXE;*.COM|All Files|*.*";
inline constexpr const char* kOk = "&OK";
inline constexpr const char* kCancel = "&Cancel";
// The view-method question (viewing an entry without a stored method, and
// "&Modify").
inline constexpr const char* kViewCaption = "Viewing Associations";
inline constexpr const char* kViewQuestion = "How should Vemora.Zip view files of the type ";
}  // namespace options_text

// The virus-program chooser's "Executable Files" choice on this platform:
// the names the Windows filter "*.EXE;*.COM" matches (any case), and files
// without an extension that may be run (the usual form of a program here).
bool looksLikeProgram(const std::string& fileName, bool executable);

class OptionsModel {
 public:
  // Reads every page's values from the store now.
  explicit OptionsModel(SettingsStore store = {});

  // "&General Options"
  bool useFavourites = false;  // UseFav of any case of "TRUE"
  std::string baseFolder;      // BaseFolder (its default when unset)
  bool buttonsHighlight = true;
  // "Anti-&Virus Program"
  std::string virusProgram;
  std::string virusParam;

  // "Viewing &Associations": the rows in the order shown (extension text,
  // ignoring case; rows of equal text keep their stored order).
  const std::vector<AssociationRow>& associations() const { return rows_; }
  // "&Remove" on a row; an index past the end does nothing.
  void removeAssociation(size_t row);
  // "&Modify" (or a double click) with the method chosen for the row.
  void modifyAssociation(size_t row, const std::string& method);
  // Replaces the list shown (sorted as above); sample windows use it.
  void setAssociations(std::vector<AssociationRow> rows);

  // "&OK": writes UseFav, the whole Associations section renumbered from 0
  // with Total, VirusProgram, VirusParam, BaseFolder and ButtonsHighlight.
  void commit();

 private:
  SettingsStore store_;
  std::vector<AssociationRow> rows_;  // the list as shown, sorted
};

}  // namespace vz::manager
