// The stored settings of vzip: every value and subkey under the current
// user's key "Software\VemoraZip" in our registry (platform/registry.h),
// with the defaults of the settings table, so that every window reads and
// writes them through one class and one set of names.
//
// Values directly under the key (name, kind, default):
//   UseFav            string "True"/"False"  "False"
//   BaseFolder        string                 desktop folder + "Unzips/"
//   ButtonsHighlight  integer 0/1            1
//   VirusProgram      string                 empty
//   VirusParam        string                 empty
//   ViewStyle         integer 0..3           2 (0 large icons, 1 list, 2 report, 3 small icons)
//   SortType          string "Alpha"/"None"  "None"
//   LastOpenMain      string                 empty
// and the values of the add and extraction dialogs, read and written by
// name through getString/getInteger.
//
// Subkeys: Toolbars (the toolbar dock state), RecentFiles (up to 5 archives,
// values "F1".."F5", newest first), MRUUnzip, MRUWizardUnzip, MRUDestDir
// (histories of up to 7, "NumKeys" and "item1".."itemN"), Associations
// ("Total", rows "0".."Total-1" holding an upper-case extension with its dot
// and "<n>Dat" holding the view method) and the windows' positions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vz::manager {

// The registry key every setting lives under (current user).
inline constexpr const char* kSettingsKey = "Software\\VemoraZip";

// The view methods of the Associations section, as stored.
inline constexpr const char* kAssociatedProgram = "Associated Program";
inline constexpr const char* kInternalViewer = "Internal Viewer";
inline constexpr const char* kWindowsNotepad = "Windows Notepad";

// One row of the Associations section.
struct AssociationRow {
  std::string extension;  // upper case with its dot (".TXT"); ".Unknown" for a missing row
  std::string method;     // one of the three methods above; "<Unknown>" for a missing row
};

class SettingsStore {
 public:
  // UseFav: exactly "True" selects the favourites window for Open Archive;
  // the options window accepts any case of "TRUE".
  bool useFavourites() const;
  bool useFavouritesAnyCase() const;
  void setUseFavourites(bool on);  // writes "True" or "False"

  std::string baseFolder() const;
  void setBaseFolder(const std::string& folder);
  bool buttonsHighlight() const;
  void setButtonsHighlight(bool on);  // 1 or 0
  std::string virusProgram() const;
  void setVirusProgram(const std::string& program);
  std::string virusParam() const;
  void setVirusParam(const std::string& param);
  int viewStyle() const;  // 0..3; anything else reads as the default 2
  void setViewStyle(int style);
  bool sortAlpha() const;  // SortType "Alpha"; any other value keeps archive order
  void setSortAlpha(bool alpha);  // writes "Alpha" or "None"
  std::string lastOpenMain() const;
  void setLastOpenMain(const std::string& folder);

  // Any other value directly under the key, with the caller's default.
  std::string getString(const std::string& name, const std::string& def) const;
  void setString(const std::string& name, const std::string& value);
  uint32_t getInteger(const std::string& name, uint32_t def) const;
  void setInteger(const std::string& name, uint32_t value);

  // The recent archives, newest first, at most 5. Adding a path already in
  // the list moves it to the front.
  std::vector<std::string> recentFiles() const;
  void addRecentFile(const std::string& path);
  void removeRecentFile(const std::string& path);

  // A destination history (subkey "MRUUnzip", "MRUWizardUnzip" or
  // "MRUDestDir"), newest first, at most 7; pushing moves a known item first.
  std::vector<std::string> history(const std::string& subkey) const;
  void pushHistory(const std::string& subkey, const std::string& item);

  // The Associations section in stored order ("Total" rows; a missing row
  // reads as ".Unknown" / "<Unknown>").
  std::vector<AssociationRow> associations() const;
  // The method stored for an extension (compared ignoring case), if any.
  std::optional<std::string> viewMethodFor(const std::string& extension) const;
  // Stores the method for the extension (upper-cased): the row is updated
  // or appended and Total follows.
  void setViewMethod(const std::string& extension, const std::string& method);
  // Erases the whole section and writes rows 0..n-1 and Total = n.
  void replaceAssociations(const std::vector<AssociationRow>& rows);

  // The toolbars' dock state and a window's position and size, kept as
  // opaque bytes (Qt's saveState/saveGeometry), empty when none is stored.
  std::vector<uint8_t> toolbarState() const;
  void setToolbarState(const std::vector<uint8_t>& state);
  std::vector<uint8_t> windowPlacement(const std::string& window) const;
  void setWindowPlacement(const std::string& window, const std::vector<uint8_t>& placement);
};

}  // namespace vz::manager
