// The password store in the control's INI file (see password_store.h).
#include "control/automation/password_store.h"

#include <cstdio>

#include "control/automation/settings.h"
#include "platform/profile.h"

namespace vz::control {

namespace {

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The stored text as a 512-byte buffer would hold it: at most 511 bytes,
// cut before a character that would not fit whole.
std::string clipStored(std::string stored) {
  if (stored.size() <= kStoredValueMaxBytes) return stored;
  size_t cut = kStoredValueMaxBytes;
  while (cut > 0 && isContinuationByte(stored[cut])) --cut;
  stored.resize(cut);
  return stored;
}

}  // namespace

PasswordStore PasswordStore::forControl() { return PasswordStore(effectiveIniFile()); }

std::string PasswordStore::keyName(int slot) {
  if (slot <= 0) return kPasswordKey;
  char key[40];
  std::snprintf(key, sizeof key, "%s_%02d", kPasswordKey, slot);
  return key;
}

std::string PasswordStore::read(int slot) const {
  return iniUnescape(clipStored(getProfileString(kPasswordSection, keyName(slot), "", file_)));
}

bool PasswordStore::write(int slot, const std::string& value) const {
  return writeProfileString(kPasswordSection, keyName(slot), iniEscape(value), file_, kPasswordFileMode);
}

std::vector<std::string> PasswordStore::loadHistory() const {
  std::vector<std::string> history;
  for (int slot = 1; slot <= kPasswordHistorySlots; ++slot) {
    std::string value = read(slot);
    if (!value.empty()) history.push_back(std::move(value));
  }
  return history;
}

bool PasswordStore::updateHistory(const std::string& password, size_t dropDownItems) const {
  if (password.empty()) return true;
  std::vector<std::string> slots(kPasswordHistorySlots + 1);  // index 1..12
  size_t nonEmpty = 0;
  for (int slot = 1; slot <= kPasswordHistorySlots; ++slot) {
    slots[slot] = read(slot);
    if (slots[slot] == password) return true;  // already remembered: stays where it is
    if (!slots[slot].empty()) ++nonEmpty;
  }
  size_t n = dropDownItems > nonEmpty ? dropDownItems : nonEmpty;
  if (n > static_cast<size_t>(kPasswordHistorySlots)) n = kPasswordHistorySlots;

  bool ok = true;
  // Slot i moves to slot i + 1; the move out of slot 12 would write a
  // thirteenth key that nothing reads or deletes, so the oldest is dropped.
  for (size_t i = n; i >= 1; --i) {
    if (i + 1 > static_cast<size_t>(kPasswordHistorySlots)) continue;
    ok = write(static_cast<int>(i + 1), slots[i]) && ok;
  }
  return write(1, password) && ok;
}

bool PasswordStore::confirm(const std::string& password, size_t dropDownItems, bool save, bool show) const {
  if (!save) return true;
  bool ok = write(0, password);
  if (show) ok = updateHistory(password, dropDownItems) && ok;
  return ok;
}

}  // namespace vz::control
