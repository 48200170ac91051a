// The process-wide settings and the settings methods (SetIniFile,
// SetHelpFile, SetStringResource, SetPasswordMode, DeletePasswords).
//
// DeletePasswords empties the keys of the section "ZipUnzipPasswords", the
// one the password prompt reads and writes, so that deleting the passwords
// really removes what the prompt stored. The INI file holds passwords: a
// newly created file gets mode 0600.
#include "control/automation/settings.h"

#include <cstdio>

#include "platform/profile.h"

namespace vz::control {

namespace {

// The default texts, by identifier; null for the identifier without entry.
constexpr const char* kDefaultTexts[kTextCount] = {
    "%1 is an encrypted file.\nTo use it you must provide its password.\nWould you like to retry?\n",
    "%1 is an encrypted file.\n%2 is not the good password.\nWould you like to retry?\n",
    "Rename %1...",
    "The ZIP file version is older.",
    "The ZIP file version is newer.",
    "The file %1 already exists.\n%2.\nWould you like to replace it?",
    "Ok",
    "Cancel",
    "Replace...",
    "&Yes",
    "&No",
    "&Always",
    "Ne&ver",
    "&Rename...",
    "Password...",
    "Password:",
    "&Retry",
    "&Bypass",
    nullptr,
    "Please choose backup set...",
    "ZIP files|*.ZIP|All|*.*||",
    "Build a new ZIP file...",
};

Settings makeDefaults() {
  Settings s;
  for (int i = 0; i < kTextCount; ++i) {
    if (kDefaultTexts[i]) s.texts[i] = kDefaultTexts[i];
  }
  return s;
}

}  // namespace

Settings& settings() {
  static Settings s = makeDefaults();
  return s;
}

void resetSettings() { settings() = makeDefaults(); }

std::string effectiveIniFile() {
  const std::string& f = settings().iniFile;
  return f.empty() ? std::string(kDefaultIniFile) : f;
}

std::string settingText(int id) {
  if (id < 0 || id >= kTextCount || !settings().texts[id]) return {};
  return *settings().texts[id];
}

void setIniFile(const std::string& file) { settings().iniFile = file; }

void setHelpFile(const std::string& file) { settings().helpFile = file; }

bool setStringResource(int id, const std::string& value) {
  if (id < 0 || id >= kTextCount || !settings().texts[id]) return false;
  settings().texts[id] = value;
  return true;
}

void setPasswordMode(bool show, bool save) {
  settings().showPasswords = show;
  settings().savePasswords = save;
}

bool deletePasswords() {
  const std::string file = effectiveIniFile();
  bool ok = writeProfileString(kPasswordSection, kPasswordKey, "", file, 0600);
  for (int slot = 1; slot <= kPasswordHistorySlots; ++slot) {
    char key[32];
    std::snprintf(key, sizeof key, "%s_%02d", kPasswordKey, slot);
    ok = writeProfileString(kPasswordSection, key, "", file, 0600) && ok;
  }
  return ok;
}

}  // namespace vz::control
