// The main window's command table and its command state.
//
// One row per command: the menu it sits in (and the submenu, if any), the
// menu caption with its "&" access key, the shortcut, the toolbar text, the
// context-menu text, the theme icon, and whether its window exists yet
// (commands whose windows come later stay present and disabled). The
// window builds its menus, toolbar and context menu from this table alone.
//
// The enabled set follows the window's state: no archive, an archive of a
// kind (with or without a root SETUP.EXE / INSTALL.EXE), or Busy (while a
// command runs every command is disabled; only the progress window's
// Cancel stays live).
#pragma once

#include <array>
#include <string>
#include <vector>

#include "manager/app/archive_kind.h"

namespace vz::manager {

enum class Command : int {
  // File
  OpenArchive,
  OpenViaFavourites,
  OpenViaWindows,
  NewArchive,
  FindArchive,
  ArchiveProperties,
  TestArchive,
  RepairStandard,
  RepairAggressive,
  ConvertSfxZip,
  ConvertSfxArj,
  ConvertSfxArc,
  ConvertSfxPak,
  ConvertSfxRar,
  SfxNote,
  RecoverPassword,
  BatchDecompress,
  Exit,
  // View
  PrintFileList,
  LargeIcons,
  SmallIcons,
  ListStyle,
  ReportStyle,
  ArrangeByName,
  ArrangeByArchive,
  LineUpIcons,
  Options,
  // Actions
  AddFiles,
  RemoveSelected,
  RemoveWildcard,
  ExtractFiles,
  ViewSelected,
  ConvertToSfx,
  UnzipWizard,
  InstallProgram,
  ScanSelected,
  ScanArchive,
  Refresh,
  // Send to
  MoveOrCopy,
  DeleteArchive,
  // Tools
  BackupDrive,
  RestoreBackup,
  SpaceMaker,
  LaunchExplorer,
  RemoveAttributes,
  // Internet
  FtpDownload,
  FtpUpload,
  UuEncode,
  SendMail,
  // Help
  HelpContents,
  AboutVemoraZip,
  AboutWindows,
  Count
};
inline constexpr int kCommandCount = static_cast<int>(Command::Count);

enum class Menu : int { File, View, Actions, SendTo, Tools, Internet, Help, Count };
inline constexpr int kMenuCount = static_cast<int>(Menu::Count);

struct CommandInfo {
  Command id;
  Menu menu;
  const char* submenu;   // caption of the submenu it sits in, "" for none
  const char* caption;   // menu caption with "&"
  const char* shortcut;  // in QKeySequence's portable text ("Ctrl+O"), "" for none
  const char* toolbar;   // toolbar button text, "" when not on the toolbar
  const char* context;   // context-menu caption, "" when not in the context menu
  const char* icon;      // theme icon name, "" for none
  bool windowAvailable;  // false: its window comes later; always disabled
};

// The table in menu order.
const std::array<CommandInfo, kCommandCount>& commandTable();
const CommandInfo& commandInfo(Command c);
// The menu bar's captions ("&File", ...).
const char* menuCaption(Menu m);
// The toolbar's buttons in order (a separator where Command::Count stands).
const std::vector<Command>& toolbarCommands();
// The context menu in order (Command::Count for a separator).
const std::vector<Command>& contextCommands();

// What the enabled set depends on.
struct WindowState {
  bool archiveOpen = false;
  ArchiveKind kind = ArchiveKind::akUnknown;
  bool installAvailable = false;  // a root SETUP.EXE or INSTALL.EXE was listed
  bool busy = false;
};

struct CommandState {
  std::array<bool, kCommandCount> enabled{};
  std::array<bool, kMenuCount> menuEnabled{};
  bool listVisible = false;
  bool isEnabled(Command c) const { return enabled[static_cast<int>(c)]; }
  bool isMenuEnabled(Menu m) const { return menuEnabled[static_cast<int>(m)]; }
};

CommandState computeCommandState(const WindowState& s);

}  // namespace vz::manager
