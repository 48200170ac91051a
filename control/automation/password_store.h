// The password store: the passwords typed into the password prompt,
// remembered in the control's INI file (settings.h: SetIniFile), section
// "ZipUnzipPasswords":
//
//   szExtractPassword       the last password confirmed in the prompt
//   szExtractPassword_01    the history, newest first (slot 1)
//   ...
//   szExtractPassword_12    the oldest remembered password
//
// Values go through the control's value escape (iniEscape: a line feed is
// stored as backslash and "n") and are read back into 511 characters at
// most. A file the store creates gets mode 0600: it holds passwords.
//
// The switches of SetPasswordMode govern the store: with save on,
// confirming the prompt records the password in szExtractPassword; with
// save and show on, the history is offered in the prompt's drop-down and
// extended by each confirmed password.
//
// History update (a password confirmed with both switches on; comparisons
// are case-sensitive):
//   1. an empty password, or one already in slots 1 to 12, changes nothing
//      (an old password is not moved to the front);
//   2. n = the number of items the prompt's drop-down offered, raised to the
//      number of non-empty slots, at most 12;
//   3. slots n-1 .. 1 move one slot down (slot i to slot i + 1, an empty
//      slot as an empty value); when n is 12 the oldest password (slot 12)
//      is overwritten, so it leaves the file and nothing outside the
//      thirteen keys, which DeletePasswords empties, ever holds a password;
//   4. the new password goes to slot 1.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vz::control {

// Longest value the store reads back, in bytes (a 512-byte buffer with its
// terminator).
inline constexpr size_t kStoredValueMaxBytes = 511;
// Permission of an INI file the store creates.
inline constexpr unsigned kPasswordFileMode = 0600;

class PasswordStore {
 public:
  // The store in the given INI file (a bare name means the Windows folder).
  explicit PasswordStore(std::string iniFile) : file_(std::move(iniFile)) {}
  // The store in the control's INI file (the name set by SetIniFile).
  static PasswordStore forControl();

  // "szExtractPassword" for slot 0, "szExtractPassword_01".."_12" for 1..12.
  static std::string keyName(int slot);

  // The value of a slot (0: the last confirmed password); empty when unset.
  std::string read(int slot) const;
  // False when the file cannot be written.
  [[nodiscard]] bool write(int slot, const std::string& value) const;

  // The drop-down list: the non-empty slots 1 to 12, in slot order.
  std::vector<std::string> loadHistory() const;
  // The history update above; dropDownItems is the number of items the
  // prompt offered. False when a write failed.
  [[nodiscard]] bool updateHistory(const std::string& password, size_t dropDownItems) const;
  // What confirming the prompt does under the switches: with save on, the
  // password becomes szExtractPassword; with save and show on, the history
  // is updated too. False when a write failed.
  [[nodiscard]] bool confirm(const std::string& password, size_t dropDownItems, bool save, bool show) const;

  const std::string& file() const { return file_; }

 private:
  std::string file_;  // the INI file's name as the profile functions take it
};

}  // namespace vz::control
