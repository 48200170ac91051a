// The process-wide settings through the control's methods: the text table,
// the INI file name and DeletePasswords, the password-mode switches, the
// help file and the about box.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "control/automation/about.h"
#include "platform/folders.h"
#include "platform/profile.h"
#include "tests/automation/automation_test_util.h"

namespace vz::test {
namespace {

using control::settings;

std::vector<std::string> allTexts() {
  std::vector<std::string> t;
  for (int id = 0; id < control::kTextCount; ++id) t.push_back(control::settingText(id));
  return t;
}

TEST_F(ControlTest, StringResourceOutsideTheTableChangesNothing) {
  auto ctl = newControl();
  EXPECT_EQ(control::settingText(5), "The file %1 already exists.\n%2.\nWould you like to replace it?");
  EXPECT_EQ(control::settingText(18), "");
  EXPECT_EQ(control::settingText(21), "Build a new ZIP file...");
  const auto before = allTexts();
  for (int16_t id : {18, 22, -1, 100}) EXPECT_EQ(call(ctl.get(), "SetStringResource", {S(id), T("X")}).hr, com::S_OK);
  EXPECT_EQ(allTexts(), before);
  EXPECT_FALSE(settings().texts[18].has_value());

  call(ctl.get(), "SetStringResource", {S(21), T("Neues Archiv...")});
  EXPECT_EQ(control::settingText(21), "Neues Archiv...");
  // The table is process-wide: another control sees the change.
  auto other = newControl();
  EXPECT_EQ(control::settingText(21), "Neues Archiv...");
}

TEST_F(ControlTest, IniFileDefaultsAndSurvivesNewControls) {
  EXPECT_EQ(settings().iniFile, "");
  auto first = newControl();
  EXPECT_EQ(settings().iniFile, "QX30.INI");
  const std::string full = dir_.file("custom.ini");
  call(first.get(), "SetIniFile", {T(full)});
  auto second = newControl();
  EXPECT_EQ(settings().iniFile, full);  // a set name is kept by later controls
  call(first.get(), "SetIniFile", {T("")});
  EXPECT_EQ(control::effectiveIniFile(), "QX30.INI");
}

TEST_F(ControlTest, DeletePasswordsEmptiesThePromptsKeysInTheChosenFile) {
  auto ctl = newControl();
  const std::string full = dir_.file("passwords.ini");
  call(ctl.get(), "SetIniFile", {T(full)});
  ASSERT_TRUE(writeProfileString("ZipUnzipPasswords", "szExtractPassword", "secret", full, 0600));
  ASSERT_TRUE(writeProfileString("ZipUnzipPasswords", "szExtractPassword_03", "older", full, 0600));
  ASSERT_TRUE(writeProfileString("Other", "keep", "me", full));

  EXPECT_EQ(call(ctl.get(), "DeletePasswords").hr, com::S_OK);
  const auto keys = getProfileSection("ZipUnzipPasswords", full);
  ASSERT_EQ(keys.size(), 13u);
  for (const auto& [key, value] : keys) EXPECT_EQ(value, "") << key;
  EXPECT_EQ(getProfileString("ZipUnzipPasswords", "szExtractPassword_12", "?", full), "");
  EXPECT_EQ(getProfileString("Other", "keep", "", full), "me");
  // The default file in the Windows folder was not touched.
  struct stat st {};
  EXPECT_NE(::stat(profilePath("QX30.INI").c_str(), &st), 0);
}

TEST_F(ControlTest, DeletePasswordsCreatesAPrivateFile) {
  auto ctl = newControl();
  call(ctl.get(), "DeletePasswords");
  struct stat st {};
  ASSERT_EQ(::stat(profilePath("QX30.INI").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(ControlTest, PasswordModeSwitchesAreResetByANewControl) {
  auto ctl = newControl();
  call(ctl.get(), "SetPasswordMode", {B(false), B(true)});
  EXPECT_FALSE(settings().showPasswords);
  EXPECT_TRUE(settings().savePasswords);
  call(ctl.get(), "SetPasswordMode", {B(true), B(false)});
  EXPECT_TRUE(settings().showPasswords);
  EXPECT_FALSE(settings().savePasswords);
  auto other = newControl();
  EXPECT_TRUE(settings().showPasswords);
  EXPECT_TRUE(settings().savePasswords);
}

TEST_F(ControlTest, AboutBoxAsksItsQuestionWithTheHelpFile) {
  auto ctl = newControl();
  call(ctl.get(), "SetHelpFile", {T("/usr/share/help/qx.html")});
  EXPECT_EQ(settings().helpFile, "/usr/share/help/qx.html");
  EXPECT_EQ(ctl->helpFile(), "/usr/share/help/qx.html");
  ui_->pushButton("ok");
  EXPECT_EQ(call(ctl.get(), "AboutBox").hr, com::S_OK);
  ASSERT_EQ(ui_->asked().size(), 1u);
  const ui::Question& q = ui_->asked()[0];
  EXPECT_EQ(q.caption, "About Quorrin '95 Compression OCX...");
  EXPECT_EQ(q.text.substr(0, q.text.find('\n')), "Quorrin '95 Compression OCX");
  EXPECT_EQ(std::count(q.text.begin(), q.text.end(), '\n'), 2);  // two maker's lines follow
  ASSERT_EQ(q.buttons.size(), 1u);
  EXPECT_EQ(q.buttons[0].text, "OK");
  EXPECT_EQ(q.helpFile, "/usr/share/help/qx.html");
  EXPECT_TRUE(ui_->errors().empty());
  EXPECT_STREQ(control::kPropertyPageText, "Quorrin '95 CompressionOCX doesn' t use properties but methods.");
}

}  // namespace
}  // namespace vz::test
