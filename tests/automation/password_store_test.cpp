// The password store in the control's INI file, through the password
// prompt: the history's order and its limit of twelve, a remembered
// password staying where it is, the value escape, the 511-character read,
// the file's permissions, the switches of SetPasswordMode and SetIniFile.
#include "control/automation/password_store.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "control/automation/control_prompts.h"
#include "platform/file.h"
#include "platform/profile.h"
#include "tests/automation/automation_test_util.h"

namespace vz::test {
namespace {

using control::ControlPrompts;
using control::PasswordStore;

class PasswordStoreTest : public ControlTest {
 protected:
  // One prompt confirmed with password (Retry); returns the prompt asked.
  ui::Question confirm(const std::string& password) {
    ui_->pushButton("retry", password);
    engine::PasswordRequest req;
    req.entryName = "SECRET.TXT";
    std::string typed;
    EXPECT_EQ(prompts_.askPassword(req, &typed), engine::PasswordAnswer::Retry);
    EXPECT_EQ(typed, password);
    return ui_->asked().back();
  }
  std::vector<std::string> slots() const {
    std::vector<std::string> v;
    for (int slot = 1; slot <= 12; ++slot) v.push_back(store().read(slot));
    return v;
  }
  static PasswordStore store() { return PasswordStore::forControl(); }

  ControlPrompts prompts_;
};

TEST_F(PasswordStoreTest, ThirteenthPasswordPushesTheOldestOut) {
  for (int i = 1; i <= 12; ++i) {
    const ui::Question q = confirm("pw" + std::to_string(i));
    // The drop-down offers what was remembered before, newest first.
    ASSERT_EQ(q.edit->choices.size(), static_cast<size_t>(i - 1));
    if (i > 1) {
      EXPECT_EQ(q.edit->choices.front(), "pw" + std::to_string(i - 1));
    }
  }
  EXPECT_EQ(slots().front(), "pw12");
  EXPECT_EQ(slots().back(), "pw1");

  const ui::Question q = confirm("pw13");
  EXPECT_EQ(q.edit->choices.size(), 12u);
  std::vector<std::string> expected;
  for (int i = 13; i >= 2; --i) expected.push_back("pw" + std::to_string(i));
  EXPECT_EQ(slots(), expected);
  EXPECT_EQ(store().read(0), "pw13");
  // The oldest is gone from the file: no key beyond the thirteen.
  const auto section = getProfileSection("ZipUnzipPasswords", profilePath("QX30.INI"));
  EXPECT_EQ(section.size(), 13u);
  for (const auto& [key, value] : section) EXPECT_NE(value, "pw1") << key;
  EXPECT_TRUE(ui_->errors().empty());
  EXPECT_EQ(prompts_.storeFailures(), 0u);
}

TEST_F(PasswordStoreTest, RememberedPasswordDoesNotMove) {
  confirm("alpha");
  confirm("beta");
  confirm("gamma");
  confirm("alpha");
  EXPECT_EQ(slots()[0], "gamma");
  EXPECT_EQ(slots()[1], "beta");
  EXPECT_EQ(slots()[2], "alpha");
  EXPECT_EQ(slots()[3], "");
  EXPECT_EQ(store().read(0), "alpha");  // still the last confirmed
  // Case counts: "Alpha" is a new password.
  confirm("Alpha");
  EXPECT_EQ(slots()[0], "Alpha");
  EXPECT_EQ(slots()[3], "alpha");
}

TEST_F(PasswordStoreTest, LineFeedIsStoredAsBackslashN) {
  confirm("two\nlines");
  const std::string file = profilePath("QX30.INI");
  EXPECT_EQ(getProfileString("ZipUnzipPasswords", "szExtractPassword_01", "", file), "two\\nlines");
  EXPECT_EQ(getProfileString("ZipUnzipPasswords", "szExtractPassword", "", file), "two\\nlines");
  EXPECT_EQ(store().read(1), "two\nlines");
  // A value written by hand with backslash-n reads as a line feed too.
  ASSERT_TRUE(writeProfileString("ZipUnzipPasswords", "szExtractPassword_02", "a\\nb", file));
  EXPECT_EQ(store().read(2), "a\nb");
  const ui::Question q = confirm("next");
  EXPECT_EQ(q.edit->choices, (std::vector<std::string>{"two\nlines", "a\nb"}));
}

TEST_F(PasswordStoreTest, ValuesAreReadInto511Characters) {
  const std::string file = profilePath("QX30.INI");
  ASSERT_TRUE(writeProfileString("ZipUnzipPasswords", "szExtractPassword_01", std::string(600, 'k'), file));
  EXPECT_EQ(store().read(1), std::string(511, 'k'));
}

TEST_F(PasswordStoreTest, StoreFileIsCreatedPrivate) {
  confirm("first");
  struct stat st {};
  ASSERT_EQ(::stat(profilePath("QX30.INI").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(PasswordStoreTest, SwitchesGovernTheStore) {
  const std::string file = profilePath("QX30.INI");
  // Save off: nothing is written.
  control::setPasswordMode(true, false);
  confirm("unsaved");
  EXPECT_FALSE(fileExists(file));
  // Save on, show off: the last password only; no history offered or kept.
  control::setPasswordMode(false, true);
  confirm("hidden");
  EXPECT_EQ(store().read(0), "hidden");
  EXPECT_EQ(store().read(1), "");
  // Both on: the history grows and is offered.
  control::setPasswordMode(true, true);
  confirm("shown");
  EXPECT_EQ(store().read(1), "shown");
  control::setPasswordMode(false, true);
  EXPECT_TRUE(confirm("again").edit->choices.empty());
  control::setPasswordMode(true, true);
  EXPECT_EQ(confirm("last").edit->choices, std::vector<std::string>{"shown"});
  // Bypass and Never record nothing.
  ui_->pushButton("bypass", "typed-but-bypassed");
  engine::PasswordRequest req;
  prompts_.askPassword(req, nullptr);
  EXPECT_EQ(store().read(0), "last");
}

TEST_F(PasswordStoreTest, DropDownCountRaisesTheShift) {
  // The prompt offered three items, but the file lost one of them meanwhile
  // (emptied by hand): the shift still covers three slots.
  const PasswordStore s = store();
  ASSERT_TRUE(s.write(1, "one"));
  ASSERT_TRUE(s.write(2, ""));
  ASSERT_TRUE(s.write(3, "three"));
  ASSERT_TRUE(s.updateHistory("new", 3));
  EXPECT_EQ(slots()[0], "new");
  EXPECT_EQ(slots()[1], "one");
  EXPECT_EQ(slots()[2], "");
  EXPECT_EQ(slots()[3], "three");
  // Empty passwords are ignored.
  ASSERT_TRUE(s.updateHistory("", 3));
  EXPECT_EQ(slots()[0], "new");
}

TEST_F(PasswordStoreTest, IniFileWithAFullPathHoldsTheStore) {
  auto ctl = newControl();
  const std::string full = dir_.file("own.ini");
  call(ctl.get(), "SetIniFile", {T(full)});
  ui_->pushButton("retry", "elsewhere");
  engine::PasswordRequest req;
  std::string typed;
  EXPECT_EQ(ctl->prompts().askPassword(req, &typed), engine::PasswordAnswer::Retry);
  EXPECT_EQ(getProfileString("ZipUnzipPasswords", "szExtractPassword_01", "", full), "elsewhere");
  EXPECT_FALSE(fileExists(profilePath("QX30.INI")));
  // DeletePasswords empties what the prompt stored.
  call(ctl.get(), "DeletePasswords");
  EXPECT_EQ(PasswordStore(full).loadHistory(), std::vector<std::string>{});
  EXPECT_EQ(PasswordStore(full).read(0), "");
}

}  // namespace
}  // namespace vz::test
