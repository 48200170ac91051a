// The control's own dialogs, built at run time from the replaceable text
// table (settings.h) and shown through the platform's user-interface
// service (platform/ui.h). Each dialog has a builder that returns the
// question or chooser (what tests check) and a function that shows it and
// turns the answer into the engine's terms.
//
// Every button's id is the identifier of its text in the table, so an
// answer names the text the user chose:
//
//   replace question   caption 8 "Replace...", icon Question, text 5 with
//                      %1 the file's path and %2 text 4 (archive's copy
//                      newer) or 3 (older); buttons 9 Yes, 10 No,
//                      11 Always, 12 Never, 13 Rename (disabled when
//                      adding); default Yes when the archive's copy is
//                      newer, No otherwise; closing answers Never.
//   rename dialog      caption 2 "Rename %1..." with %1 the file's name, no
//                      text, an edit field prefilled with the name; buttons
//                      6 Ok (default, enabled only while the field holds a
//                      name) and 7 Cancel; closing answers Cancel.
//   password prompt    caption 14 "Password...", text 0 (first attempt) or
//                      1 (after a wrong password) with %1 the shortened
//                      entry name and %2 the rejected password (one "*" per
//                      character unless passwords are shown); edit field
//                      labelled 15 "Password:", at most 80 characters,
//                      masked unless passwords are shown, prefilled with
//                      the password last tried, the history as its
//                      drop-down; buttons 16 Retry, 17 Bypass, 12 Never;
//                      closing answers Never. First attempt: Bypass is the
//                      default and Retry is enabled only while the field
//                      holds a password (it is never dead, so a first
//                      password can be typed and tried); later attempts:
//                      Retry is the default.
//   backup-set chooser an open-file chooser, caption 19, filter "*.0_?",
//                      buttons 6 and 7.
//   new-archive dialog a save-file chooser, caption 21, filter 20.
//
// Every question carries the module's help file (SetHelpFile).
//
// Messages: "%1" to "%9" stand for the arguments in order ("%3" and up, and
// any number without an argument, become empty); every other "%", "%%"
// included, is kept as it stands. Arguments are inserted as they are, never
// scanned again, so a file name holding "%2" is shown as it is.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/automation/settings.h"
#include "control/engine/common/prompts.h"
#include "platform/ui.h"

namespace vz::control {

// Button ids of the dialogs: the identifiers of their texts.
enum DialogButton : int {
  kButtonOk = kTextOk,
  kButtonCancel = kTextCancel,
  kButtonYes = kTextReplaceYes,
  kButtonNo = kTextReplaceNo,
  kButtonAlways = kTextReplaceAlways,
  kButtonNever = kTextNever,
  kButtonRename = kTextReplaceRename,
  kButtonRetry = kTextPasswordRetry,
  kButtonBypass = kTextPasswordBypass,
};

// Longest password the prompt takes, in characters.
inline constexpr int kPasswordMaxChars = 80;
// Longest entry name the password prompt shows, in characters.
inline constexpr size_t kShownEntryNameChars = 28;
// The files the backup-set chooser offers: first parts of backup sets.
inline constexpr const char* kBackupSetFilter = "*.0_?|*.0_?||";
// The extension the new-archive dialog gives a name that has none.
inline constexpr const char* kNewArchiveExtension = "ZIP";

// ---- text helpers ----

// The message with %1..%9 replaced (rules above).
std::string formatMessage(std::string_view pattern, std::initializer_list<std::string_view> args);
// Characters of UTF-8 text (bytes that do not continue a sequence).
size_t characterCount(std::string_view text);
// One "*" per character.
std::string maskedText(std::string_view text);
// An entry's name as the password prompt shows it: "/" shown as "\", and
// when longer than maxChars characters, shortened thus:
//   1. with three or more components, the first component, "\...\" and the
//      fewest trailing components that fit (at least the last), dropping as
//      few middle folders as possible: "DOCS\...\2024\REPORT.TXT";
//   2. else (or when even the first and the last do not fit) "...\" and the
//      last component;
//   3. else (the last component alone is too long) "..." and the last
//      maxChars - 3 characters of the name.
// Characters are counted in UTF-8 and never cut in the middle.
std::string shortenEntryName(std::string_view name, size_t maxChars = kShownEntryNameChars);

// ---- replace question ----
ui::Question replaceQuestion(const engine::ReplaceRequest& req);
// The answer of a button id; closing and unknown ids answer Never.
engine::ReplaceAnswer replaceAnswerFor(int buttonId);
engine::ReplaceAnswer showReplaceQuestion(const engine::ReplaceRequest& req);

// ---- rename dialog ----
ui::Question renameQuestion(const std::string& name);
// The name confirmed, nullopt when cancelled (or confirmed empty).
std::optional<std::string> showRenameDialog(const std::string& name);

// ---- password prompt ----
struct PasswordPrompt {
  std::string entryName;             // as stored, "/" separators
  std::string lastPassword;          // last tried: prefills the field, %2 when wrong
  bool firstAttempt = true;          // no password was rejected for the entry yet
  bool showPasswords = true;         // show typed and rejected passwords in clear
  std::vector<std::string> history;  // drop-down of earlier passwords, newest first
};
ui::Question passwordQuestion(const PasswordPrompt& p);
struct PasswordReply {
  engine::PasswordAnswer answer = engine::PasswordAnswer::Never;
  std::string typed;  // the field's text (at most 80 characters) when answer is Retry
};
// The answer of a button id; closing and unknown ids answer Never.
engine::PasswordAnswer passwordAnswerFor(int buttonId);
PasswordReply showPasswordPrompt(const PasswordPrompt& p);

// ---- file choosers ----
// The backup-set chooser, opening in folder.
ui::FileChooser backupSetChooser(const std::string& folder);
// The chosen first part, nullopt when cancelled.
std::optional<std::string> chooseBackupSet(const std::string& folder);
// The new-archive dialog: start is a folder when it ends in "\" or "/",
// else the proposed name (its folder, if any, is where the dialog opens).
ui::FileChooser newArchiveChooser(const std::string& start);
// The chosen name, with ".ZIP" added when it has no extension; nullopt when
// cancelled. Confirming to overwrite an existing file is the back end's.
std::optional<std::string> chooseNewArchive(const std::string& start);

}  // namespace vz::control
