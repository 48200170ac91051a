// The command table and the enabled set per window state.
#include "manager/app/command_state.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace vz::manager {
namespace {

using C = Command;

TEST(CommandTable, CaptionsShortcutsAndButtonsAreTheWindowsOwn) {
  std::set<std::string> shortcuts;
  for (const CommandInfo& info : commandTable()) {
    EXPECT_NE(std::string(info.caption), "") << static_cast<int>(info.id);
    if (*info.shortcut) EXPECT_TRUE(shortcuts.insert(info.shortcut).second) << info.shortcut;
  }
  EXPECT_STREQ(commandInfo(C::OpenArchive).caption, "&Open Archive...");
  EXPECT_STREQ(commandInfo(C::OpenArchive).shortcut, "Ctrl+O");
  EXPECT_STREQ(commandInfo(C::OpenArchive).toolbar, "&Open");
  EXPECT_STREQ(commandInfo(C::RemoveSelected).shortcut, "Del");
  EXPECT_STREQ(commandInfo(C::RemoveSelected).context, "Delete Selected file(s)");
  EXPECT_STREQ(commandInfo(C::RemoveSelected).submenu, "&Remove Files");
  EXPECT_STREQ(commandInfo(C::ViewSelected).context, "&Open / View");
  EXPECT_STREQ(commandInfo(C::ScanArchive).shortcut, "Ctrl+V");
  EXPECT_STREQ(commandInfo(C::DeleteArchive).shortcut, "Ctrl+Del");
  EXPECT_STREQ(commandInfo(C::Refresh).shortcut, "F5");
  EXPECT_STREQ(commandInfo(C::RepairStandard).toolbar, "&Repair");
  for (C c : toolbarCommands())
    if (c != C::Count) EXPECT_NE(std::string(commandInfo(c).toolbar), "");
  for (C c : contextCommands())
    if (c != C::Count) EXPECT_NE(std::string(commandInfo(c).context), "");
}

// One state and the commands expected on and off in it.
struct StateRow {
  const char* name;
  WindowState state;
  std::vector<C> on;
  std::vector<C> off;
  bool listVisible;
};

class EnabledSet : public testing::TestWithParam<StateRow> {};

TEST_P(EnabledSet, FollowsTheOpenArchive) {
  const StateRow& row = GetParam();
  const CommandState st = computeCommandState(row.state);
  for (C c : row.on) EXPECT_TRUE(st.isEnabled(c)) << row.name << ": " << commandInfo(c).caption;
  for (C c : row.off) EXPECT_FALSE(st.isEnabled(c)) << row.name << ": " << commandInfo(c).caption;
  EXPECT_EQ(st.listVisible, row.listVisible) << row.name;
  // Windows of later issues are never enabled.
  for (const CommandInfo& info : commandTable())
    if (!info.windowAvailable) EXPECT_FALSE(st.isEnabled(info.id)) << row.name << ": " << info.caption;
}

const WindowState kNone{};
WindowState open(ArchiveKind k, bool install = false) { return WindowState{true, k, install, false}; }

INSTANTIATE_TEST_SUITE_P(
    Table, EnabledSet,
    testing::Values(
        StateRow{
            "none",
            kNone,
            {C::OpenArchive, C::TestArchive, C::RepairStandard, C::FindArchive, C::Options, C::HelpContents},
            {C::PrintFileList, C::RemoveSelected, C::ViewSelected, C::ConvertToSfx, C::ScanSelected, C::ScanArchive,
             C::RemoveAttributes, C::SendMail, C::FtpUpload, C::InstallProgram, C::DeleteArchive, C::Refresh},
            false},
        StateRow{"zip",
                 open(ArchiveKind::akZip),
                 {C::OpenArchive, C::RepairStandard, C::PrintFileList, C::RemoveSelected, C::ViewSelected,
                  C::ConvertToSfx, C::RemoveAttributes, C::FtpUpload, C::DeleteArchive, C::ScanArchive, C::SendMail},
                 {C::InstallProgram},
                 true},
        StateRow{"zip with setup", open(ArchiveKind::akZip, true), {C::InstallProgram}, {}, true},
        StateRow{"bh", open(ArchiveKind::akBlakHole), {C::RemoveSelected, C::ViewSelected}, {C::ConvertToSfx}, true},
        StateRow{"tar",
                 open(ArchiveKind::akTar),
                 {C::ViewSelected, C::PrintFileList, C::DeleteArchive},
                 {C::RemoveSelected, C::ConvertToSfx},
                 true},
        StateRow{
            "unknown", open(ArchiveKind::akUnknown), {C::ViewSelected}, {C::RemoveSelected, C::ConvertToSfx}, true},
        StateRow{"busy",
                 WindowState{true, ArchiveKind::akZip, true, true},
                 {},
                 {C::OpenArchive, C::Exit, C::RemoveSelected, C::HelpContents, C::InstallProgram},
                 false}),
    [](const testing::TestParamInfo<StateRow>& i) { return "Row" + std::to_string(i.index); });

TEST(EnabledSet, ActionsAndSendToMenusNeedAnArchive) {
  EXPECT_FALSE(computeCommandState(kNone).isMenuEnabled(Menu::Actions));
  EXPECT_FALSE(computeCommandState(kNone).isMenuEnabled(Menu::SendTo));
  EXPECT_TRUE(computeCommandState(kNone).isMenuEnabled(Menu::File));
  EXPECT_TRUE(computeCommandState(open(ArchiveKind::akCab)).isMenuEnabled(Menu::Actions));
  EXPECT_TRUE(computeCommandState(open(ArchiveKind::akCab)).isMenuEnabled(Menu::SendTo));
}

}  // namespace
}  // namespace vz::manager
