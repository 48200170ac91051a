// The control's dialogs through the scripted user interface: the exact
// captions, texts, buttons, defaults and disabled states of the replace
// question, the rename dialog and the password prompt; the rename-cancel
// loop; the message formatting and the entry-name shortening; the file
// choosers; replaced texts and the help file reaching the dialogs.
#include "control/automation/dialogs.h"

#include <gtest/gtest.h>

#include "control/automation/control_prompts.h"
#include "tests/automation/automation_test_util.h"

namespace vz::test {
namespace {

using control::ControlPrompts;
using engine::PasswordAnswer;
using engine::ReplaceAnswer;

struct ButtonState {
  int id;
  std::string text;
  bool isDefault;
  bool disabled;
  bool needsEditText;
  bool operator==(const ButtonState&) const = default;
};

std::vector<ButtonState> buttonsOf(const ui::Question& q) {
  std::vector<ButtonState> out;
  for (const ui::Button& b : q.buttons) out.push_back({b.id, b.text, b.isDefault, b.disabled, b.needsEditText});
  return out;
}

void PrintTo(const ButtonState& b, std::ostream* os) {
  *os << "{" << b.id << " \"" << b.text << "\"" << (b.isDefault ? " default" : "") << (b.disabled ? " disabled" : "")
      << (b.needsEditText ? " needs-text" : "") << "}";
}

engine::ReplaceRequest replaceRequest(bool newer, bool allowRename = true) {
  engine::ReplaceRequest r;
  r.path = "/data/out/README.TXT";
  r.archiveNewer = newer;
  r.allowRename = allowRename;
  return r;
}

TEST_F(ControlTest, ReplaceQuestionTextsButtonsAndDefaults) {
  ControlPrompts prompts;
  ui_->pushButton("yes");
  EXPECT_EQ(prompts.askReplace(replaceRequest(true)), ReplaceAnswer::Yes);
  ui_->pushButton("no");
  EXPECT_EQ(prompts.askReplace(replaceRequest(false)), ReplaceAnswer::No);
  ASSERT_EQ(ui_->asked().size(), 2u);

  const ui::Question& newer = ui_->asked()[0];
  EXPECT_EQ(newer.caption, "Replace...");
  EXPECT_EQ(newer.text,
            "The file /data/out/README.TXT already exists.\nThe ZIP file version is newer..\n"
            "Would you like to replace it?");
  EXPECT_EQ(newer.icon, ui::Icon::Question);
  EXPECT_FALSE(newer.edit.has_value());
  EXPECT_EQ(newer.closeId, control::kButtonNever);
  EXPECT_EQ(buttonsOf(newer), (std::vector<ButtonState>{{9, "&Yes", true, false, false},
                                                        {10, "&No", false, false, false},
                                                        {11, "&Always", false, false, false},
                                                        {12, "Ne&ver", false, false, false},
                                                        {13, "&Rename...", false, false, false}}));

  const ui::Question& older = ui_->asked()[1];
  EXPECT_EQ(older.text,
            "The file /data/out/README.TXT already exists.\nThe ZIP file version is older..\n"
            "Would you like to replace it?");
  EXPECT_FALSE(older.buttons[0].isDefault);
  EXPECT_TRUE(older.buttons[1].isDefault);
  EXPECT_TRUE(ui_->errors().empty());
}

TEST_F(ControlTest, ReplaceAnswersAndClosing) {
  ControlPrompts prompts;
  ui_->pushButton("always");
  EXPECT_EQ(prompts.askReplace(replaceRequest(true)), ReplaceAnswer::Always);
  ui_->pushButton("never");
  EXPECT_EQ(prompts.askReplace(replaceRequest(true)), ReplaceAnswer::Never);
  // An empty queue closes the dialog: Never.
  EXPECT_EQ(prompts.askReplace(replaceRequest(true)), ReplaceAnswer::Never);
  // Adding to an archive: Rename is disabled and cannot be chosen.
  ui_->pushButton("rename...");
  EXPECT_EQ(prompts.askReplace(replaceRequest(false, false)), ReplaceAnswer::Never);
  ASSERT_EQ(ui_->asked().size(), 4u);
  EXPECT_TRUE(ui_->asked()[3].buttons[4].disabled);
  ASSERT_EQ(ui_->errors().size(), 1u);
  EXPECT_NE(ui_->errors()[0].find("disabled"), std::string::npos);
  EXPECT_EQ(ui::describe(ui_->asked()[3]).substr(ui::describe(ui_->asked()[3]).rfind('\t') + 1),
            "[Yes] [No]* [Always] [Never] [Rename...]-");
}

TEST_F(ControlTest, RenameCancelledShowsTheReplaceQuestionAgain) {
  ControlPrompts prompts;
  ui_->pushButton("rename...");
  ui_->pushButton("cancel");
  ui_->pushButton("rename...");
  ui_->pushButton("ok", "");  // an empty name cannot be confirmed: closes as Cancel
  ui_->pushButton("rename...");
  ui_->pushButton("ok", "README2.TXT");
  EXPECT_EQ(prompts.askReplace(replaceRequest(true)), ReplaceAnswer::Rename);
  ASSERT_EQ(ui_->asked().size(), 6u);
  for (size_t i : {0u, 2u, 4u}) EXPECT_EQ(ui_->asked()[i].caption, "Replace...");
  const ui::Question& rename = ui_->asked()[1];
  EXPECT_EQ(rename.caption, "Rename README.TXT...");
  EXPECT_EQ(rename.text, "");
  ASSERT_TRUE(rename.edit.has_value());
  EXPECT_EQ(rename.edit->initial, "README.TXT");
  EXPECT_FALSE(rename.edit->masked);
  EXPECT_EQ(rename.closeId, control::kButtonCancel);
  EXPECT_EQ(buttonsOf(rename),
            (std::vector<ButtonState>{{6, "Ok", true, false, true}, {7, "Cancel", false, false, false}}));
  EXPECT_EQ(ui_->errors().size(), 1u);  // the empty-name Ok

  // The confirmed name is handed out without a second dialog, once.
  EXPECT_EQ(prompts.askRename("README.TXT"), "README2.TXT");
  EXPECT_EQ(ui_->asked().size(), 6u);
  // Without a pending name, askRename asks itself; closing is a cancel.
  EXPECT_EQ(prompts.askRename("README.TXT"), std::nullopt);
  EXPECT_EQ(ui_->asked().size(), 7u);
  ui_->pushButton("ok", "OTHER.TXT");
  EXPECT_EQ(prompts.askRename("README.TXT"), "OTHER.TXT");
}

TEST_F(ControlTest, PasswordPromptFirstAttempt) {
  ControlPrompts prompts;
  engine::PasswordRequest req;
  req.entryName = "PROJECTS/2024/QUARTERLY/REPORTS/SUMMARY.TXT";
  req.firstAttempt = true;
  std::string typed = "untouched";
  // The default answer with an empty field: Bypass.
  ui_->push({});
  EXPECT_EQ(prompts.askPassword(req, &typed), PasswordAnswer::Bypass);
  EXPECT_EQ(typed, "untouched");

  const ui::Question& q = ui_->asked()[0];
  EXPECT_EQ(q.caption, "Password...");
  EXPECT_EQ(q.text,
            "PROJECTS\\...\\SUMMARY.TXT is an encrypted file.\nTo use it you must provide its password.\n"
            "Would you like to retry?\n");
  EXPECT_EQ(q.icon, ui::Icon::None);
  EXPECT_EQ(q.closeId, control::kButtonNever);
  ASSERT_TRUE(q.edit.has_value());
  EXPECT_EQ(q.edit->label, "Password:");
  EXPECT_EQ(q.edit->initial, "");
  EXPECT_EQ(q.edit->maxLength, 80);
  EXPECT_FALSE(q.edit->masked);  // show is on by default
  // Retry waits for a typed password; Bypass is the default.
  EXPECT_EQ(buttonsOf(q), (std::vector<ButtonState>{{16, "&Retry", false, false, true},
                                                    {17, "&Bypass", true, false, false},
                                                    {12, "Ne&ver", false, false, false}}));

  // Retry cannot be chosen while the field is empty ...
  ui_->pushButton("retry");
  EXPECT_EQ(prompts.askPassword(req, &typed), PasswordAnswer::Never);
  EXPECT_EQ(ui_->errors().size(), 1u);
  // ... and can as soon as a password is typed.
  ui_->pushButton("retry", "tiger");
  EXPECT_EQ(prompts.askPassword(req, &typed), PasswordAnswer::Retry);
  EXPECT_EQ(typed, "tiger");
  ui_->pushButton("never");
  EXPECT_EQ(prompts.askPassword(req, &typed), PasswordAnswer::Never);
}

TEST_F(ControlTest, PasswordPromptAfterAWrongPassword) {
  ControlPrompts prompts;
  engine::PasswordRequest req;
  req.entryName = "A.TXT";
  req.lastPassword = "l\xC3\xB6we";  // four characters
  req.firstAttempt = false;
  std::string typed;
  ui_->push({});  // default: Retry with the prefilled password
  EXPECT_EQ(prompts.askPassword(req, &typed), PasswordAnswer::Retry);
  EXPECT_EQ(typed, req.lastPassword);
  const ui::Question& shown = ui_->asked()[0];
  EXPECT_EQ(shown.text,
            "A.TXT is an encrypted file.\nl\xC3\xB6we is not the good password.\nWould you like to retry?\n");
  EXPECT_EQ(shown.edit->initial, req.lastPassword);
  EXPECT_EQ(buttonsOf(shown), (std::vector<ButtonState>{{16, "&Retry", true, false, false},
                                                        {17, "&Bypass", false, false, false},
                                                        {12, "Ne&ver", false, false, false}}));

  // Passwords hidden: the rejected one as one "*" per character, the field masked.
  control::setPasswordMode(false, true);
  ui_->pushButton("bypass");
  EXPECT_EQ(prompts.askPassword(req, &typed), PasswordAnswer::Bypass);
  const ui::Question& hidden = ui_->asked()[1];
  EXPECT_EQ(hidden.text, "A.TXT is an encrypted file.\n**** is not the good password.\nWould you like to retry?\n");
  EXPECT_TRUE(hidden.edit->masked);
  EXPECT_TRUE(hidden.edit->choices.empty());

  // A typed password longer than 80 characters is cut to 80.
  ui_->pushButton("retry", std::string(100, 'x'));
  EXPECT_EQ(prompts.askPassword(req, &typed), PasswordAnswer::Retry);
  EXPECT_EQ(typed, std::string(80, 'x'));
}

TEST(DialogText, EntryNameShortening) {
  using control::shortenEntryName;
  EXPECT_EQ(shortenEntryName("DIR/SUB/FILE.TXT"), "DIR\\SUB\\FILE.TXT");
  const std::string exactly28 = "ABCDEFGHIJ/KLMNOPQRST/UV.TXT";
  ASSERT_EQ(exactly28.size(), 28u);
  EXPECT_EQ(shortenEntryName(exactly28), "ABCDEFGHIJ\\KLMNOPQRST\\UV.TXT");
  // As few middle folders as possible are dropped.
  EXPECT_EQ(shortenEntryName("DOCS/ARCHIVE/OLD/2024/MAY/REPORT.TXT"), "DOCS\\...\\2024\\MAY\\REPORT.TXT");
  EXPECT_EQ(shortenEntryName("DOCS/A/B/C/D/E/F/G/H/I/J/K/L.TXT").size(), 28u);
  EXPECT_EQ(shortenEntryName("DOCS/A/B/C/D/E/F/G/H/I/J/K/L.TXT"), "DOCS\\...\\E\\F\\G\\H\\I\\J\\K\\L.TXT");
  // The first folder and the last name do not fit together.
  EXPECT_EQ(shortenEntryName("AVERYLONGFOLDERNAME/ANOTHER/SOMEFILENAME.TXT"), "...\\SOMEFILENAME.TXT");
  EXPECT_EQ(shortenEntryName("AVERYLONGFOLDERNAMEINDEED/FILE.TXT"), "...\\FILE.TXT");
  // The last name alone is too long: its end.
  EXPECT_EQ(shortenEntryName("DIR/ABCDEFGHIJKLMNOPQRSTUVWXYZ0123.TXT"), "...JKLMNOPQRSTUVWXYZ0123.TXT");
  EXPECT_EQ(shortenEntryName("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789").size(), 28u);
  // Characters, not bytes: 30 two-byte letters keep 25 whole ones.
  std::string wide;
  for (int i = 0; i < 30; ++i) wide += "\xC3\xA9";
  const std::string shortWide = shortenEntryName(wide);
  EXPECT_EQ(control::characterCount(shortWide), 28u);
  EXPECT_EQ(shortWide.substr(0, 3), "...");
  EXPECT_EQ(shortWide.size(), 3u + 25u * 2u);
  EXPECT_EQ(shortenEntryName(""), "");
}

TEST(DialogText, MessageFormatting) {
  using control::formatMessage;
  EXPECT_EQ(formatMessage("%1 and %2", {"a", "b"}), "a and b");
  EXPECT_EQ(formatMessage("%2%1", {"a", "b"}), "ba");
  // "%%" and other percent signs stay; numbers without an argument vanish.
  EXPECT_EQ(formatMessage("100%% of %1, %3, 5%x%", {"it"}), "100%% of it, , 5%x%");
  // Arguments are not scanned again.
  EXPECT_EQ(formatMessage("File %1: %2", {"50%2.TXT", "gone"}), "File 50%2.TXT: gone");
  EXPECT_EQ(control::maskedText("p\xC3\xA4ss"), "****");
}

TEST_F(ControlTest, ReplacedTextsAndHelpFileReachTheDialogs) {
  auto ctl = newControl();
  EXPECT_EQ(ctl->readerState()->prompts, &ctl->prompts());
  call(ctl.get(), "SetStringResource", {S(9), T("&Oui")});
  call(ctl.get(), "SetStringResource", {S(5), T("%2 -- %1 existe.")});
  call(ctl.get(), "SetStringResource",
       {S(4), T("Plus r\xC3\xA9"
                "cent")});
  call(ctl.get(), "SetStringResource", {S(14), T("Mot de passe")});
  call(ctl.get(), "SetHelpFile", {T("/opt/help/qx.html")});

  ui_->pushButton("oui");
  EXPECT_EQ(ctl->prompts().askReplace(replaceRequest(true)), ReplaceAnswer::Yes);
  engine::PasswordRequest req;
  req.entryName = "X";
  ctl->prompts().askPassword(req, nullptr);
  ASSERT_EQ(ui_->asked().size(), 2u);
  EXPECT_EQ(ui_->asked()[0].text,
            "Plus r\xC3\xA9"
            "cent -- /data/out/README.TXT existe.");
  EXPECT_EQ(ui_->asked()[0].buttons[0].text, "&Oui");
  EXPECT_EQ(ui_->asked()[0].helpFile, "/opt/help/qx.html");
  EXPECT_EQ(ui_->asked()[1].caption, "Mot de passe");
  EXPECT_EQ(ui_->asked()[1].helpFile, "/opt/help/qx.html");
  EXPECT_TRUE(ui_->errors().empty());
}

TEST_F(ControlTest, BackupSetAndNewArchiveChoosers) {
  EXPECT_EQ(control::chooseBackupSet(dir_.path()), std::nullopt);  // cancelled
  ui_->pushPaths({dir_.file("SET1.0_1")});
  EXPECT_EQ(control::chooseBackupSet(dir_.path()), dir_.file("SET1.0_1"));
  ASSERT_EQ(ui_->fileChoosers().size(), 2u);
  const ui::FileChooser& set = ui_->fileChoosers()[0];
  EXPECT_EQ(set.caption, "Please choose backup set...");
  EXPECT_EQ(set.filter, "*.0_?|*.0_?||");
  EXPECT_EQ(set.initialFolder, dir_.path());
  EXPECT_EQ(set.okText, "Ok");
  EXPECT_EQ(set.cancelText, "Cancel");
  EXPECT_FALSE(set.save);

  ui_->pushPaths({dir_.file("new")});
  EXPECT_EQ(control::chooseNewArchive(dir_.path() + "/"), dir_.file("new.ZIP"));
  ui_->pushPaths({dir_.file("named.zip")});
  EXPECT_EQ(control::chooseNewArchive(dir_.file("proposed.zip")), dir_.file("named.zip"));
  EXPECT_EQ(control::chooseNewArchive(dir_.file("x.zip")), std::nullopt);
  const ui::FileChooser& fresh = ui_->fileChoosers()[2];
  EXPECT_EQ(fresh.caption, "Build a new ZIP file...");
  EXPECT_EQ(fresh.filter, "ZIP files|*.ZIP|All|*.*||");
  EXPECT_TRUE(fresh.save);
  EXPECT_EQ(fresh.initialFolder, dir_.path() + "/");
  EXPECT_EQ(fresh.initialName, "");
  const ui::FileChooser& proposed = ui_->fileChoosers()[3];
  EXPECT_EQ(proposed.initialFolder, dir_.path() + "/");
  EXPECT_EQ(proposed.initialName, "proposed.zip");
}

}  // namespace
}  // namespace vz::test
