// SettingsStore over the registry (platform/registry.h). The class holds no
// state: every call reads or writes the store, so several windows and
// processes always see each other's latest values.
//
// Layout below HKEY_CURRENT_USER\Software\VemoraZip (beside the values named
// in the header):
//   Toolbars\State            binary   the toolbars' dock state
//   RecentFiles\F1..F5        string   newest first
//   <history>\NumKeys         integer  count of items
//   <history>\item1..itemN    string   newest first
//   Associations\Total        integer  count of rows
//   Associations\<n>          string   ".TXT" (upper case, with the dot)
//   Associations\<n>Dat       string   the view method
//   <window>\Placement        binary   a window's saved geometry, one subkey
//                                      per window named after it ("Optionsfrm")
#include "manager/app/settings_store.h"

#include <algorithm>

#include "platform/charcase.h"
#include "platform/folders.h"
#include "platform/registry.h"

namespace vz::manager {
namespace {

constexpr RegRoot kRoot = RegRoot::CurrentUser;
constexpr size_t kMaxRecent = 5;
constexpr size_t kMaxHistory = 7;

std::string subkey(const std::string& name) { return std::string(kSettingsKey) + "\\" + name; }

std::string readString(const std::string& key, const std::string& name, const std::string& def) {
  return reg::getString(kRoot, key, name).value_or(def);
}

// An integer value; a string holding a whole decimal number reads as that
// number too (hand-edited stores), anything else as the default.
uint32_t readInteger(const std::string& key, const std::string& name, uint32_t def) {
  std::optional<RegValue> v = reg::getValue(kRoot, key, name);
  if (!v) return def;
  if (v->type == RegValue::Type::Integer) return v->number;
  if (v->type != RegValue::Type::String || v->text.empty() || v->text.size() > 9) return def;
  uint32_t n = 0;
  for (char c : v->text) {
    if (c < '0' || c > '9') return def;
    n = n * 10 + static_cast<uint32_t>(c - '0');
  }
  return n;
}

const std::string kAssocKey = subkey("Associations");

}  // namespace

bool SettingsStore::useFavourites() const { return getString("UseFav", "False") == "True"; }
bool SettingsStore::useFavouritesAnyCase() const { return equalsNoCase(getString("UseFav", "False"), "TRUE"); }
void SettingsStore::setUseFavourites(bool on) { setString("UseFav", on ? "True" : "False"); }

std::string SettingsStore::baseFolder() const { return getString("BaseFolder", desktopFolder() + "/Unzips/"); }
void SettingsStore::setBaseFolder(const std::string& folder) { setString("BaseFolder", folder); }

bool SettingsStore::buttonsHighlight() const { return getInteger("ButtonsHighlight", 1) != 0; }
void SettingsStore::setButtonsHighlight(bool on) { setInteger("ButtonsHighlight", on ? 1 : 0); }

std::string SettingsStore::virusProgram() const { return getString("VirusProgram", ""); }
void SettingsStore::setVirusProgram(const std::string& program) { setString("VirusProgram", program); }
std::string SettingsStore::virusParam() const { return getString("VirusParam", ""); }
void SettingsStore::setVirusParam(const std::string& param) { setString("VirusParam", param); }

int SettingsStore::viewStyle() const {
  uint32_t style = getInteger("ViewStyle", 2);
  return style <= 3 ? static_cast<int>(style) : 2;
}
void SettingsStore::setViewStyle(int style) { setInteger("ViewStyle", style >= 0 && style <= 3 ? style : 2); }

bool SettingsStore::sortAlpha() const { return getString("SortType", "None") == "Alpha"; }
void SettingsStore::setSortAlpha(bool alpha) { setString("SortType", alpha ? "Alpha" : "None"); }

std::string SettingsStore::lastOpenMain() const { return getString("LastOpenMain", ""); }
void SettingsStore::setLastOpenMain(const std::string& folder) { setString("LastOpenMain", folder); }

std::string SettingsStore::getString(const std::string& name, const std::string& def) const {
  return readString(kSettingsKey, name, def);
}
void SettingsStore::setString(const std::string& name, const std::string& value) {
  reg::setString(kRoot, kSettingsKey, name, value);
}
uint32_t SettingsStore::getInteger(const std::string& name, uint32_t def) const {
  return readInteger(kSettingsKey, name, def);
}
void SettingsStore::setInteger(const std::string& name, uint32_t value) {
  reg::setInteger(kRoot, kSettingsKey, name, value);
}

// --- recent files -----------------------------------------------------------

std::vector<std::string> SettingsStore::recentFiles() const {
  std::vector<std::string> files;
  const std::string key = subkey("RecentFiles");
  for (size_t i = 1; i <= kMaxRecent; ++i) {
    std::string f = readString(key, "F" + std::to_string(i), "");
    if (!f.empty()) files.push_back(f);
  }
  return files;
}

namespace {
void writeRecent(const std::vector<std::string>& files) {
  const std::string key = subkey("RecentFiles");
  for (size_t i = 0; i < kMaxRecent; ++i) {
    const std::string name = "F" + std::to_string(i + 1);
    if (i < files.size())
      reg::setString(kRoot, key, name, files[i]);
    else
      reg::deleteValue(kRoot, key, name);
  }
}
}  // namespace

void SettingsStore::addRecentFile(const std::string& path) {
  if (path.empty()) return;
  std::vector<std::string> files = recentFiles();
  std::erase(files, path);
  files.insert(files.begin(), path);
  if (files.size() > kMaxRecent) files.resize(kMaxRecent);
  writeRecent(files);
}

void SettingsStore::removeRecentFile(const std::string& path) {
  std::vector<std::string> files = recentFiles();
  std::erase(files, path);
  writeRecent(files);
}

// --- destination histories --------------------------------------------------

std::vector<std::string> SettingsStore::history(const std::string& name) const {
  std::vector<std::string> items;
  const std::string key = subkey(name);
  uint32_t n = std::min<uint32_t>(readInteger(key, "NumKeys", 0), kMaxHistory);
  for (uint32_t i = 1; i <= n; ++i) {
    std::string item = readString(key, "item" + std::to_string(i), "");
    if (!item.empty()) items.push_back(item);
  }
  return items;
}

void SettingsStore::pushHistory(const std::string& name, const std::string& item) {
  if (item.empty()) return;
  std::vector<std::string> items = history(name);
  std::erase(items, item);
  items.insert(items.begin(), item);
  if (items.size() > kMaxHistory) items.resize(kMaxHistory);
  const std::string key = subkey(name);
  for (size_t i = 0; i < kMaxHistory; ++i) {
    const std::string v = "item" + std::to_string(i + 1);
    if (i < items.size())
      reg::setString(kRoot, key, v, items[i]);
    else
      reg::deleteValue(kRoot, key, v);
  }
  reg::setInteger(kRoot, key, "NumKeys", static_cast<uint32_t>(items.size()));
}

// --- Associations -----------------------------------------------------------

std::vector<AssociationRow> SettingsStore::associations() const {
  std::vector<AssociationRow> rows;
  // A damaged Total must not make us build millions of placeholder rows.
  uint32_t total = std::min<uint32_t>(readInteger(kAssocKey, "Total", 0), 10000);
  for (uint32_t n = 0; n < total; ++n) {
    const std::string row = std::to_string(n);
    rows.push_back({readString(kAssocKey, row, ".Unknown"), readString(kAssocKey, row + "Dat", "<Unknown>")});
  }
  return rows;
}

std::optional<std::string> SettingsStore::viewMethodFor(const std::string& extension) const {
  for (const AssociationRow& r : associations())
    if (equalsNoCase(r.extension, extension)) return r.method;
  return std::nullopt;
}

void SettingsStore::setViewMethod(const std::string& extension, const std::string& method) {
  std::vector<AssociationRow> rows = associations();
  for (size_t n = 0; n < rows.size(); ++n) {
    if (equalsNoCase(rows[n].extension, extension)) {
      reg::setString(kRoot, kAssocKey, std::to_string(n) + "Dat", method);
      return;
    }
  }
  const std::string row = std::to_string(rows.size());
  reg::setString(kRoot, kAssocKey, row, toUpper(extension));
  reg::setString(kRoot, kAssocKey, row + "Dat", method);
  reg::setInteger(kRoot, kAssocKey, "Total", static_cast<uint32_t>(rows.size() + 1));
}

void SettingsStore::replaceAssociations(const std::vector<AssociationRow>& rows) {
  reg::deleteKey(kRoot, kAssocKey);
  for (size_t n = 0; n < rows.size(); ++n) {
    const std::string row = std::to_string(n);
    reg::setString(kRoot, kAssocKey, row, rows[n].extension);
    reg::setString(kRoot, kAssocKey, row + "Dat", rows[n].method);
  }
  reg::setInteger(kRoot, kAssocKey, "Total", static_cast<uint32_t>(rows.size()));
}

// --- opaque window state ----------------------------------------------------

namespace {
std::vector<uint8_t> readBinary(const std::string& key, const std::string& name) {
  std::optional<RegValue> v = reg::getValue(kRoot, key, name);
  if (!v || v->type != RegValue::Type::Binary) return {};
  return std::move(v->bytes);
}
}  // namespace

std::vector<uint8_t> SettingsStore::toolbarState() const { return readBinary(subkey("Toolbars"), "State"); }
void SettingsStore::setToolbarState(const std::vector<uint8_t>& state) {
  reg::setBinary(kRoot, subkey("Toolbars"), "State", state);
}
std::vector<uint8_t> SettingsStore::windowPlacement(const std::string& window) const {
  return readBinary(subkey(window), "Placement");
}
void SettingsStore::setWindowPlacement(const std::string& window, const std::vector<uint8_t>& placement) {
  reg::setBinary(kRoot, subkey(window), "Placement", placement);
}

}  // namespace vz::manager
