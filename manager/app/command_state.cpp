// The command table and the rules of the enabled set.
#include "manager/app/command_state.h"

namespace vz::manager {

namespace {

using C = Command;
using M = Menu;

constexpr std::array<CommandInfo, kCommandCount> kTable{{
    {C::OpenArchive, M::File, "", "&Open Archive...", "Ctrl+O", "&Open", "", "document-open", true},
    {C::OpenViaFavourites, M::File, "", "Open Archive via &Favourites", "", "", "", "", false},
    {C::OpenViaWindows, M::File, "", "Open Archive via &Windows", "", "", "", "folder-open", true},
    {C::NewArchive, M::File, "", "Create &New Archive...", "Ctrl+N", "&New", "", "document-new", false},
    {C::FindArchive, M::File, "", "Find an Archive", "Ctrl+F", "", "", "edit-find", true},
    {C::ArchiveProperties, M::File, "", "Archive &Properties", "Ctrl+P", "", "&Properties", "document-properties",
     false},
    {C::TestArchive, M::File, "", "&Test an Archives for Errors", "Ctrl+T", "", "", "tools-check-spelling", true},
    {C::RepairStandard, M::File, "Repair an Archive", "Standard Archive repair (Try first)", "", "&Repair", "",
     "tools-wizard", true},
    {C::RepairAggressive, M::File, "Repair an Archive", "Agressively Repair Archive", "", "", "", "", true},
    {C::ConvertSfxZip, M::File, "&Convert Self-Extractor -> Archive", "Zip", "", "", "", "", true},
    {C::ConvertSfxArj, M::File, "&Convert Self-Extractor -> Archive", "ARJ", "", "", "", "", true},
    {C::ConvertSfxArc, M::File, "&Convert Self-Extractor -> Archive", "ARC", "", "", "", "", true},
    {C::ConvertSfxPak, M::File, "&Convert Self-Extractor -> Archive", "PAK", "", "", "", "", true},
    {C::ConvertSfxRar, M::File, "&Convert Self-Extractor -> Archive", "RAR", "", "", "", "", true},
    {C::SfxNote, M::File, "", "&A note on Quorrin '95 Self-Extractors", "", "", "", "", true},
    {C::RecoverPassword, M::File, "", "Recover Password", "", "", "", "", true},
    {C::BatchDecompress, M::File, "", "&Batch Decompress", "", "", "", "", false},
    {C::Exit, M::File, "", "&Exit", "Ctrl+X", "", "", "application-exit", true},

    {C::PrintFileList, M::View, "", "Print &File List", "Ctrl+L", "", "", "document-print", true},
    {C::LargeIcons, M::View, "", "&Large Icons", "", "", "&Large Icons", "view-list-icons", true},
    {C::SmallIcons, M::View, "", "&Small Icons", "", "", "&Small Icons", "", true},
    {C::ListStyle, M::View, "", "&List", "", "", "&List", "view-list-text", true},
    {C::ReportStyle, M::View, "", "&Report", "", "", "&Report", "view-list-details", true},
    {C::ArrangeByName, M::View, "Arrange &Icons", "by Name", "", "", "", "", true},
    {C::ArrangeByArchive, M::View, "Arrange &Icons", "by Archive Tree (none)", "", "", "", "", true},
    {C::LineUpIcons, M::View, "", "Line up Icons", "", "", "", "", true},
    {C::Options, M::View, "", "Vemora.Zip &Options", "", "", "", "configure", true},

    {C::AddFiles, M::Actions, "", "&Add Files to Archive", "Ins", "&Add", "&Add files...", "archive-insert", false},
    {C::RemoveSelected, M::Actions, "&Remove Files", "Remove &Selected Files", "Del", "&Remove",
     "Delete Selected file(s)", "archive-remove", true},
    {C::RemoveWildcard, M::Actions, "&Remove Files", "Remove with &Wildcard", "", "", "", "", false},
    {C::ExtractFiles, M::Actions, "", "&Extract files from Archive", "Ctrl+E", "&Extract", "&Extract files...",
     "archive-extract", false},
    {C::ViewSelected, M::Actions, "", "&View/Execute selected file", "", "&View", "&Open / View", "document-preview",
     true},
    {C::ConvertToSfx, M::Actions, "", "&Convert to Self-Extractor", "Ctrl+S", "", "", "", true},
    {C::UnzipWizard, M::Actions, "", "&Unzip Wizard", "", "", "", "", false},
    {C::InstallProgram, M::Actions, "", "&Install Program", "Ctrl+I", "&Install", "", "run-install", true},
    {C::ScanSelected, M::Actions, "", "&Scan for Viruses", "", "", "&Scan for Viruses", "", true},
    {C::ScanArchive, M::Actions, "", "Sca&n entire archive for Viruses", "Ctrl+V", "",
     "Sca&n entire archive for Viruses", "", true},
    {C::Refresh, M::Actions, "", "Refres&h", "F5", "", "", "view-refresh", true},

    {C::MoveOrCopy, M::SendTo, "", "&Move or Copy Archive", "", "", "", "", false},
    {C::DeleteArchive, M::SendTo, "", "Delete this Archive", "Ctrl+Del", "", "", "edit-delete", true},

    {C::BackupDrive, M::Tools, "", "&Backup a Drive", "", "", "", "", false},
    {C::RestoreBackup, M::Tools, "", "R&estore from a backup", "", "", "", "", false},
    {C::SpaceMaker, M::Tools, "", "&Run Space Maker", "F11", "", "", "", false},
    {C::LaunchExplorer, M::Tools, "", "&Launch Windows Explorer", "F12", "", "", "system-file-manager", true},
    {C::RemoveAttributes, M::Tools, "", "Remove file &Attributes", "", "", "", "", true},

    {C::FtpDownload, M::Internet, "", "&Download from FTP site", "", "", "", "", true},
    {C::FtpUpload, M::Internet, "", "&Upload to FTP Site", "", "", "", "", true},
    {C::UuEncode, M::Internet, "", "&UU Encode an archive", "", "", "", "", false},
    {C::SendMail, M::Internet, "", "Send via MAPI", "", "", "", "mail-send", true},

    {C::HelpContents, M::Help, "", "&Contents", "F1", "", "", "help-contents", true},
    {C::AboutVemoraZip, M::Help, "", "About Vemora.Zip", "", "", "", "help-about", true},
    {C::AboutWindows, M::Help, "", "About &Microsoft Windows", "", "", "", "", true},
}};

constexpr bool tableInOrder() {
  for (int i = 0; i < kCommandCount; ++i)
    if (static_cast<int>(kTable[i].id) != i) return false;
  return true;
}
static_assert(tableInOrder(), "the command table lists every command in enum order");

void set(CommandState& st, std::initializer_list<Command> cs, bool on) {
  for (Command c : cs) st.enabled[static_cast<int>(c)] = on;
}

}  // namespace

const std::array<CommandInfo, kCommandCount>& commandTable() { return kTable; }
const CommandInfo& commandInfo(Command c) { return kTable[static_cast<int>(c)]; }

const char* menuCaption(Menu m) {
  static constexpr const char* kCaptions[kMenuCount] = {"&File",  "&View",     "&Actions", "&Send to",
                                                        "&Tools", "&Internet", "&Help"};
  return kCaptions[static_cast<int>(m)];
}

const std::vector<Command>& toolbarCommands() {
  static const std::vector<Command> kButtons{C::OpenArchive,    C::NewArchive,    C::Count,        C::AddFiles,
                                             C::RemoveSelected, C::ExtractFiles,  C::ViewSelected, C::Count,
                                             C::InstallProgram, C::RepairStandard};
  return kButtons;
}

const std::vector<Command>& contextCommands() {
  static const std::vector<Command> kEntries{C::ViewSelected, C::ExtractFiles,     C::AddFiles,    C::RemoveSelected,
                                             C::Count,        C::ScanSelected,     C::ScanArchive, C::Count,
                                             C::LargeIcons,   C::SmallIcons,       C::ListStyle,   C::ReportStyle,
                                             C::Count,        C::ArchiveProperties};
  return kEntries;
}

CommandState computeCommandState(const WindowState& s) {
  CommandState st;
  if (s.busy) return st;  // everything off; the progress window's Cancel is its own
  st.enabled.fill(true);
  st.menuEnabled.fill(true);
  // The commands that need an open archive.
  const std::initializer_list<Command> needArchive{
      C::PrintFileList,    C::AddFiles,     C::RemoveSelected,    C::RemoveWildcard, C::ExtractFiles,
      C::ViewSelected,     C::ConvertToSfx, C::UnzipWizard,       C::ScanSelected,   C::ScanArchive,
      C::RemoveAttributes, C::SendMail,     C::ArchiveProperties, C::FtpUpload,      C::InstallProgram,
      C::Refresh,          C::MoveOrCopy,   C::DeleteArchive};
  if (!s.archiveOpen) {
    set(st, needArchive, false);
    st.menuEnabled[static_cast<int>(M::Actions)] = false;
    st.menuEnabled[static_cast<int>(M::SendTo)] = false;
  } else {
    st.listVisible = true;
    const bool writable = s.kind == ArchiveKind::akZip || s.kind == ArchiveKind::akBlakHole;
    set(st, {C::AddFiles, C::RemoveSelected, C::RemoveWildcard}, writable);
    set(st, {C::ConvertToSfx}, s.kind == ArchiveKind::akZip);
    set(st, {C::InstallProgram}, s.installAvailable);
  }
  // Windows that come later stay disabled whatever the state.
  for (const CommandInfo& info : kTable)
    if (!info.windowAvailable) st.enabled[static_cast<int>(info.id)] = false;
  return st;
}

}  // namespace vz::manager
