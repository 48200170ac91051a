// Process-wide settings of the compression control, shared by every control
// instance of the process and kept until the library is unloaded:
//   - the INI file name (where the password store lives), "QX30.INI" by
//     default, a bare name meaning the Windows folder;
//   - the help file that the control's dialogs offer;
//   - the table of 22 replaceable texts of the control's own dialogs and
//     questions (identifier 18 has no entry);
//   - the two password-store switches (show and save);
//   - the no-pumping switch of the call that is running;
//   - the control instance of the running call, whose window parents the
//     engine's dialogs.
// Everything runs on the host's one thread, so the settings need no lock.
#pragma once

#include <array>
#include <optional>
#include <string>

namespace vz::control {

class CZCtrl;

// Identifiers of the replaceable texts, as hosts pass them to
// SetStringResource.
enum TextId : int {
  kTextPasswordFirst = 0,    // password prompt, first attempt
  kTextPasswordWrong = 1,    // password prompt, wrong password
  kTextRenameCaption = 2,    // rename dialog caption
  kTextReplaceOlder = 3,     // replace question: the archived copy is older
  kTextReplaceNewer = 4,     // replace question: the archived copy is newer
  kTextReplaceQuestion = 5,  // replace question
  kTextOk = 6,               // OK button
  kTextCancel = 7,           // Cancel button
  kTextReplaceCaption = 8,   // replace dialog caption
  kTextReplaceYes = 9,
  kTextReplaceNo = 10,
  kTextReplaceAlways = 11,
  kTextNever = 12,  // replace and password prompt: never
  kTextReplaceRename = 13,
  kTextPasswordCaption = 14,
  kTextPasswordLabel = 15,
  kTextPasswordRetry = 16,
  kTextPasswordBypass = 17,
  // 18 has no entry.
  kTextBackupSetCaption = 19,  // caption of the backup-set chooser
  kTextNewZipFilter = 20,      // file filter of the new-archive dialog
  kTextNewZipCaption = 21,     // caption of the new-archive dialog
};
// Number of slots in the text table (0..21).
inline constexpr int kTextCount = 22;

// The default INI file name, a bare name looked up in the Windows folder.
inline constexpr const char* kDefaultIniFile = "QX30.INI";
// The password store's section and its thirteen keys: the last confirmed
// password and the history slots _01 to _12.
inline constexpr const char* kPasswordSection = "ZipUnzipPasswords";
inline constexpr const char* kPasswordKey = "szExtractPassword";
inline constexpr int kPasswordHistorySlots = 12;

struct Settings {
  // The INI file name; empty until the first control is created or
  // SetIniFile is called.
  std::string iniFile;
  // The module's help file path; empty until SetHelpFile.
  std::string helpFile;
  // The replaceable texts; nullopt for identifiers without an entry (18).
  std::array<std::optional<std::string>, kTextCount> texts;
  // Password store switches (SetPasswordMode): show typed and rejected
  // passwords in clear; load, extend and record the history.
  bool showPasswords = true;
  bool savePasswords = true;
  // True while the running call was made with bBackGroundProcessing false:
  // the engine then dispatches no messages.
  bool noPump = false;
  // The control of the running call (parent of the engine's dialogs), or
  // null. A control clears it when it is destroyed.
  CZCtrl* currentControl = nullptr;
};

// The process's settings, initialised with the default texts when first
// used.
Settings& settings();
// Restores the state of a freshly loaded library (for tests).
void resetSettings();

// The INI file the control reads and writes: the name set, or the default
// when none (or an empty one) is set.
std::string effectiveIniFile();
// The text of an identifier; empty for identifiers without an entry.
std::string settingText(int id);

// The settings methods of the control.
void setIniFile(const std::string& file);
void setHelpFile(const std::string& file);
// Replaces one text; false (and nothing changes) for identifiers that are
// not in the table: 18, negative or above 21.
bool setStringResource(int id, const std::string& value);
void setPasswordMode(bool show, bool save);
// Writes an empty value to each of the thirteen password keys in the
// password section of the INI file (created with mode 0600). False when the
// file could not be written.
bool deletePasswords();

}  // namespace vz::control
