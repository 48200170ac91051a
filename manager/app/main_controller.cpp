// The main window's decisions: opening, listing, the commands, the
// wrapper's events and their texts.
#include "manager/app/main_controller.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>

#include "manager/app/association_check.h"
#include "manager/app/entry_extraction.h"
#include "manager/app/print_layout.h"
#include "manager/app/scratch_folder.h"
#include "manager/readers/blak_hole.h"
#include "manager/readers/un_sfx.h"
#include "platform/attributes.h"
#include "platform/process.h"
#include "platform/ui.h"
#include "zipwrap/report_result.h"

namespace vz::manager {

namespace ui = vz::ui;

namespace {

constexpr const char* kStoredExtensions = ".ZIP;.LZH;.ARC;.ARJ;.ZOO;.BH;.CAB";
constexpr const char* kRepairFilter = "Repairable archives|*.zip||";

bool fileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string baseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string folderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string upperExtension(const std::string& name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || name.find('/', dot) != std::string::npos) return {};
  std::string ext = name.substr(dot);
  for (char& c : ext)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return ext;
}

std::string stripQuotes(std::string s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
  return s;
}

}  // namespace

std::string progressLabel(char letter) {
  static constexpr std::array<const char*, 11> kLabels{"Reading archive",
                                                       "Adding files to archive",
                                                       "Deleting files from archive",
                                                       "Changing archive properties",
                                                       "Decompressing files",
                                                       "Preparing to view file",
                                                       "Attempting to repair archive",
                                                       "Plugin action",
                                                       "Creating Self-Extractor",
                                                       "Testing archive integrity",
                                                       "Repairing archive"};
  const char up = (letter >= 'a' && letter <= 'z') ? static_cast<char>(letter - 'a' + 'A') : letter;
  if (up < 'A' || up > 'K') return {};
  return kLabels[static_cast<size_t>(up - 'A')];
}

std::string skipReasonText(int reason) {
  static constexpr std::array<const char*, 8> kReasons{"file not found.",
                                                       "unknown compression.",
                                                       "CRC check failure.",
                                                       "file is already up to date.",
                                                       "unable to open file.",
                                                       "invalid or no password to decrypt file.",
                                                       "file's compressed data is corrupted.",
                                                       "instructed not to overwrite."};
  return reason >= 0 && reason < 8 ? kReasons[static_cast<size_t>(reason)] : "";
}

std::string skipMessage(const std::string& name, int reason, bool testing) {
  if (testing) return "File \"" + name + "\" failed test: " + skipReasonText(reason);
  return "Skipping \"" + name + "\", " + skipReasonText(reason);
}

std::string replaceQuestion(const std::string& name) {
  return "The file \"" + name + "\" already exists. Do you wish to replace this file?";
}

std::string newDiskQuestion(int diskNumber) {
  if (diskNumber == 0) return "Please insert the LAST DISK of the set.";
  return "Please insert disk " + std::to_string(diskNumber) + " of the set.";
}

MainController::MainController(MainView& view) : view_(view) {
  wrapper_.Compression = 6;
  wrapper_.StoredExtensions = kStoredExtensions;
  char exe[4096];
  const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  programFolder = n > 0 ? folderOf(std::string(exe, static_cast<size_t>(n))) : ".";
  bindWrapperEvents();
}

MainController::~MainController() { removeScratchFolder(); }

int MainController::message(const std::string& text, unsigned flags) { return ui::messageBox(text, kAppTitle, flags); }

void MainController::bindWrapperEvents() {
  using zipwrap::TZipWrapper;
  using zipwrap::TZwFileStats;
  auto barAndName = [this](TZipWrapper&, const TZwFileStats& s) {
    view_.setProgress(s.PercentDone);
    view_.setFeedback(s.FileName);
  };
  wrapper_.OnAdding = barAndName;
  wrapper_.OnExtracting = barAndName;
  wrapper_.OnStatus = [this](TZipWrapper&, const TZwFileStats& s) { view_.setProgress(s.PercentDone); };
  auto nameOnly = [this](TZipWrapper&, const std::string& name) { view_.setFeedback(name); };
  wrapper_.OnDeleting = nameOnly;
  wrapper_.OnFixing = nameOnly;
  wrapper_.OnTesting = [this](TZipWrapper&, const TZwFileStats& s) { view_.setFeedback(s.FileName); };
  wrapper_.OnUpdating = [this](TZipWrapper&, const TZwFileStats& s) { view_.setFeedback(s.FileName); };
  wrapper_.OnNewdisk = [this](TZipWrapper& w, int disk) {
    if (message(newDiskQuestion(disk), ui::MB_OKCANCEL | ui::MB_ICONINFORMATION) == ui::IDCANCEL) w.Abort = true;
  };
  wrapper_.OnReplace = [this](TZipWrapper& w, zipwrap::TZwReplace& r) {
    const int a = message(replaceQuestion(r.FileName), ui::MB_YESNOCANCEL | ui::MB_ICONQUESTION);
    r.Answer = a == ui::IDYES ? 1 : 0;
    if (a == ui::IDCANCEL) w.Abort = true;
  };
  wrapper_.OnPwdQuery = [](TZipWrapper&, zipwrap::TZwPwdQuery& q) {
    ui::Question question;
    question.caption = "Password";
    question.text = baseName(q.FileName);
    question.icon = ui::Icon::Question;
    question.edit = ui::EditField{"Password:", "", 80, true};
    question.buttons = {{2, "&OK", true, false, false}, {0, "&Skip File"}, {1, "&Always Skip"}};
    question.closeId = 0;
    const ui::Answer a = ui::ask(question);
    q.Answer = static_cast<uint8_t>(a.buttonId);
    if (a.buttonId == 2) q.Password = a.editText;
  };
  wrapper_.OnSkippingFile = [this](TZipWrapper&, const zipwrap::TZwSkipping& s) {
    message(skipMessage(s.FileName, s.Reason, testing_), ui::MB_OK | ui::MB_ICONWARNING);
    view_.setProgress(0);
  };
}

// ---- State ----

CommandState MainController::commandState() const {
  WindowState s;
  s.archiveOpen = open_;
  s.kind = kind_;
  s.installAvailable = installAvailable_;
  s.busy = busyDepth_ > 0;
  return computeCommandState(s);
}

void MainController::refreshState() { view_.applyCommandState(commandState()); }

void MainController::beginBusy() {
  if (busyDepth_++ == 0) {
    view_.setCaption(kBusyCaption);
    refreshState();
  }
}

void MainController::endBusy() {
  if (busyDepth_ > 0 && --busyDepth_ == 0) {
    view_.setCaption(kIdleCaption);
    refreshState();
  }
}

namespace {
// Busy for the lifetime of the object.
class BusyScope {
 public:
  explicit BusyScope(MainController& c) : c_(c) { c_.beginBusy(); }
  ~BusyScope() { c_.endBusy(); }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  MainController& c_;
};
}  // namespace

void MainController::closeArchive() {
  path_.clear();
  open_ = false;
  installAvailable_ = false;
  rows_.clear();
  view_.showRows(rows_);
  view_.setPanel(0, kNoOpenFile);
  view_.setPanel(1, filesText(0));
  refreshState();
}

// ---- Start-up and exit ----

void MainController::startUp(const std::string& commandLinePath) {
  busyDepth_ = 0;
  view_.setCaption(kBusyCaption);
  view_.applyCommandState(computeCommandState(WindowState{}));
  ++busyDepth_;
  view_.setPanel(0, kNoOpenFile);
  view_.setPanel(1, filesText(0));
  for (const AssociationProblem& p : findAssociationProblems())
    if (message(p.questionText, ui::MB_YESNO | ui::MB_ICONWARNING) == ui::IDYES) repairAssociation(p);
  const std::string path = stripQuotes(commandLinePath);
  if (!path.empty()) {
    if (archiveKindOf(path) == ArchiveKind::akUue)
      message("Error: UU decoding of " + baseName(path) + " is not available yet.", ui::MB_OK | ui::MB_ICONERROR);
    else
      openArchive(path, OpenRoute::CommandLine);
  }
  sendTo_ = sendToEntries();
  view_.setSendToEntries(sendTo_);
  view_.setRecentFiles(settings_.recentFiles());
  view_.applyViewSettings(settings_.viewStyle(), settings_.sortAlpha(), settings_.buttonsHighlight());
  busyDepth_ = 0;
  refreshState();
  view_.setCaption(kIdleCaption);
}

void MainController::shutDown(int viewStyle, bool sortAlpha) {
  settings_.setViewStyle(viewStyle);
  settings_.setSortAlpha(sortAlpha);
  removeScratchFolder();
}

// ---- Opening and listing ----

bool MainController::listCurrent() {
  BusyScope busy(*this);
  rows_.clear();
  view_.showRows(rows_);
  view_.setPanel(0, path_);
  view_.openProgress('A');
  ListingHooks hooks;
  hooks.progress = [this](int pct) { view_.setProgress(pct); };
  hooks.countPanel = [this](const std::string& t) { view_.setPanel(1, t); };
  ListingResult r = listArchiveContents(wrapper_, kind_, path_, hooks);
  if (!r.valid) {
    zipwrap::ShowResult(r.code, kReadingPhrase, kAppTitle);
    view_.setPanel(0, "");
    view_.setPanel(1, filesText(0));
  } else {
    view_.setPanel(1, r.countPanel);
  }
  rows_ = std::move(r.rows);
  installAvailable_ = r.installAvailable;
  open_ = r.valid;
  view_.showRows(rows_);
  view_.bringToFront();
  view_.closeProgress();
  return r.valid;
}

bool MainController::openArchive(const std::string& path, OpenRoute route) {
  if (busy() && route == OpenRoute::Handover) return false;
  if (route == OpenRoute::Handover && !fileExists(path)) return false;
  if (route == OpenRoute::Recent && !fileExists(path)) {
    message("Error: The file " + path + " could not be found.\n\nIt has been removed from the Recent files list.",
            ui::MB_OK | ui::MB_ICONERROR);
    settings_.removeRecentFile(path);
    view_.setRecentFiles(settings_.recentFiles());
    return false;
  }
  if (route == OpenRoute::Dialog) settings_.setLastOpenMain(folderOf(path));
  path_ = path;
  kind_ = archiveKindOf(path);
  wrapper_.MultidiskMode = IsMultiDiskArchive(path);
  const bool valid = listCurrent();
  if (valid) {
    settings_.addRecentFile(path);
    view_.setRecentFiles(settings_.recentFiles());
  } else {
    path_.clear();
    if (route == OpenRoute::Recent)
      message(
          "Error: The file you have selected is not a valid archive.\n\nIf this is a ZIP archive, you can try and fix "
          "it by selecting Repair from the File menu",
          ui::MB_OK | ui::MB_ICONERROR);
  }
  refreshState();
  return valid;
}

void MainController::openRecent(size_t index) {
  const std::vector<std::string> recent = settings_.recentFiles();
  if (index < recent.size()) openArchive(recent[index], OpenRoute::Recent);
}

// ---- Commands ----

void MainController::run(Command c) {
  if (busy() || !commandState().isEnabled(c)) return;
  switch (c) {
    case Command::OpenArchive:
    case Command::OpenViaWindows: {
      ui::FileChooser chooser;
      chooser.caption = kOpenDialogTitle;
      chooser.filter = openDialogFilter();
      chooser.initialFolder = settings_.lastOpenMain();
      chooser.mustExist = true;
      std::vector<std::string> chosen = ui::backend().chooseFiles(chooser);
      if (chosen.empty()) return;
      if (archiveKindOf(chosen[0]) == ArchiveKind::akUue) {
        message("Error: UU decoding of " + baseName(chosen[0]) + " is not available yet.",
                ui::MB_OK | ui::MB_ICONERROR);
        return;
      }
      openArchive(chosen[0], OpenRoute::Dialog);
      return;
    }
    case Command::TestArchive:
      return testArchive();
    case Command::RepairStandard:
      return repairArchive(false);
    case Command::RepairAggressive:
      return repairArchive(true);
    case Command::ConvertSfxZip:
    case Command::ConvertSfxArj:
    case Command::ConvertSfxArc:
    case Command::ConvertSfxPak:
    case Command::ConvertSfxRar:
      return convertSelfExtractor(c);
    case Command::SfxNote:
      message(
          "Vemora.Zip Self-Extractors can not be converted back to ZIP files. \n\nThis is a security feature that "
          "ensures that when Vemora.Zip Self-Extracting files are decompressed, all the messages and prompts you want "
          "shown are displayed.\n\nPlease do not report this as it is not a bug.",
          ui::MB_OK | ui::MB_ICONINFORMATION);
      return;
    case Command::RemoveSelected:
      return removeSelected();
    case Command::ConvertToSfx:
      return convertToSfx();
    case Command::InstallProgram:
      return installProgram();
    case Command::ScanSelected:
      return scanForViruses(false);
    case Command::ScanArchive:
      return scanForViruses(true);
    case Command::Refresh:
      return refresh();
    case Command::DeleteArchive:
      return deleteArchive();
    case Command::LaunchExplorer:
      return launchExplorer();
    case Command::RemoveAttributes:
      return removeAttributes();
    case Command::SendMail:
      return sendMail();
    case Command::ViewSelected: {
      const std::vector<int> sel = view_.selectedRows();
      if (!sel.empty()) viewEntry(sel.front());
      return;
    }
    default:
      return;  // the window's own commands, or windows still to come
  }
}

std::optional<std::string> MainController::askForZip() {
  ui::FileChooser chooser;
  chooser.caption = kAppTitle;
  chooser.filter = kRepairFilter;
  chooser.mustExist = true;
  if (!path_.empty()) chooser.initialFolder = folderOf(path_);
  std::vector<std::string> chosen = ui::backend().chooseFiles(chooser);
  if (chosen.empty()) return std::nullopt;
  return chosen[0];
}

void MainController::testArchive() {
  std::optional<std::string> zip = askForZip();
  if (!zip) return;
  BusyScope busy(*this);
  view_.openProgress('J');
  wrapper_.ZipFileName = *zip;
  wrapper_.MultidiskMode = IsMultiDiskArchive(*zip);
  testing_ = true;
  const int code = wrapper_.TestArchive();
  testing_ = false;
  view_.closeProgress();
  if (code == 0)
    message("All files in the archive passed the test.", ui::MB_OK | ui::MB_ICONINFORMATION);
  else if (code == 40)
    message("All files tested in the archive are OK.\n(Some files were skipped)", ui::MB_OK | ui::MB_ICONINFORMATION);
  else
    zipwrap::ShowResult(code, "Testing Archive", kAppTitle);
}

void MainController::repairArchive(bool thorough) {
  std::optional<std::string> zip = askForZip();
  if (!zip) return;
  int code = 0;
  {
    BusyScope busy(*this);
    view_.openProgress(thorough ? 'K' : 'G');
    wrapper_.ZipFileName = *zip;
    wrapper_.MultidiskMode = IsMultiDiskArchive(*zip);
    code = wrapper_.FixArchive(thorough);
    view_.closeProgress();
  }
  if (code == 0) {
    if (message("The Archive you have specified has been fixed. Open it now?", ui::MB_YESNO | ui::MB_ICONQUESTION) ==
        ui::IDYES)
      openArchive(*zip, OpenRoute::Dialog);
  } else {
    message("The specified Archive is too corrupted to be fixed.", ui::MB_OK | ui::MB_ICONERROR);
  }
}

void MainController::convertSelfExtractor(Command c) {
  const std::string kindName = commandInfo(c).caption;  // "Zip", "ARJ", ...
  ui::FileChooser chooser;
  chooser.caption = kAppTitle;
  chooser.filter = "Self-Extracting " + kindName + " Files|*.EXE||";
  chooser.mustExist = true;
  std::vector<std::string> chosen = ui::backend().chooseFiles(chooser);
  if (chosen.empty()) return;
  std::string converted;
  {
    BusyScope busy(*this);
    readers::TUnSFX sfx;
    sfx.setArchiveFile(chosen[0]);
    std::string wanted = "." + kindName;
    for (char& ch : wanted)
      if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    // The program must carry an archive of the kind the user chose.
    if (readers::sfxArchiveExtension(sfx.ArcType()) != wanted) {
      message("Error: Could not convert file", ui::MB_OK | ui::MB_ICONERROR);
      return;
    }
    if (!sfx.activate()) {
      if (!sfx.Message().empty()) message("Error: Could not convert file", ui::MB_OK | ui::MB_ICONERROR);
      return;
    }
    converted = sfx.ConvertedFile();
  }
  openArchive(converted, OpenRoute::Dialog);
}

void MainController::convertToSfx() {
  if (kind_ != ArchiveKind::akZip) {
    message("Error: Only ZIP files can be converted to Self-Extractors.", ui::MB_OK | ui::MB_ICONERROR);
    return;
  }
  vz::LaunchRequest req;
  req.argv = {programFolder + "/SfxForge", path_};
  if (!vz::startProgram(req).started)
    message("Windows Sub-System error. Could not load Vemora.Zip Self-Extractor Creator.\n\n" + programFolder +
                "/SfxForge could not be started.",
            ui::MB_OK | ui::MB_ICONERROR);
}

void MainController::removeSelected() {
  const std::vector<int> sel = view_.selectedRows();
  if (sel.empty()) {
    message("Error: You must select some files to remove first.", ui::MB_OK | ui::MB_ICONERROR);
    return;
  }
  std::vector<std::string> names;
  for (int i : sel)
    if (i >= 0 && static_cast<size_t>(i) < rows_.size()) names.push_back(rows_[static_cast<size_t>(i)].storedName());
  {
    BusyScope busy(*this);
    view_.applyCommandState(computeCommandState(WindowState{false, kind_, false, false}));
    view_.openProgress('C');
    if (kind_ == ArchiveKind::akZip) {
      wrapper_.ZipFileName = path_;
      wrapper_.FilesToProcess = names;
      const int code = wrapper_.DeleteFiles();
      view_.closeProgress();
      zipwrap::ShowResult(code, "Removing files", kAppTitle);
      if (code > 0) zipwrap::ShowResult(code, "Deleting files", kAppTitle);
    } else {
      // The Blak-Hole writer in its delete mode, the selected names as its
      // FileSpec in the list form: every name ends its own line, so that a
      // single name with blanks is not split at them.
      readers::TBlakHole bh;
      bh.Switch = readers::swDelete;
      bh.RecurseDirs = false;
      std::string spec;
      for (const std::string& n : names) spec += n + "\n";
      bh.FileSpec = spec;
      bh.OnError = [](readers::TZipCommon&, const std::string& fn, const std::string& volume, int32_t code) {
        vz::ui::messageBox(readerErrorMessage(code, volume.empty() ? fn : volume), kAppTitle,
                           ui::MB_OK | ui::MB_ICONERROR);
      };
      bh.setArchiveFile(path_);
      (void)bh.activate();
      view_.closeProgress();
    }
  }
  if (!listCurrent()) {
    message("Error: Can't read zip structure - Please repair this zip file.", ui::MB_OK | ui::MB_ICONERROR);
    closeArchive();
  }
}

void MainController::dropFiles(const std::vector<std::string>& paths) {
  if (paths.empty() || busy()) return;
  if (paths.size() == 1) {
    const ArchiveKind k = archiveKindOf(paths[0]);
    std::error_code ec;
    if (k != ArchiveKind::akUnknown && !std::filesystem::is_directory(paths[0], ec)) {
      if (k == ArchiveKind::akUue)
        message("Error: UU decoding of " + baseName(paths[0]) + " is not available yet.", ui::MB_OK | ui::MB_ICONERROR);
      else
        openArchive(paths[0], OpenRoute::Dropped);
      return;
    }
  }
  if (!open_) {
    message("You must Open or Create an archive to compress these files to first.", ui::MB_OK | ui::MB_ICONERROR);
    return;
  }
  if (kind_ != ArchiveKind::akZip) {
    message("Error: Compression to this file type not supported.", ui::MB_OK | ui::MB_ICONERROR);
    return;
  }
  if (message("Would you like to add all dropped files and folders to the current archive?",
              ui::MB_YESNO | ui::MB_ICONQUESTION) != ui::IDYES)
    return;
  {
    BusyScope busy(*this);
    view_.openProgress('B');
    bool folders = false;
    wrapper_.ZipFileName = path_;
    wrapper_.FilesToProcess.clear();
    for (const std::string& p : paths) {
      std::error_code ec;
      if (std::filesystem::is_directory(p, ec)) {
        folders = true;
        wrapper_.FilesToProcess.push_back(p + "/*.*");
      } else {
        wrapper_.FilesToProcess.push_back(p);
      }
    }
    const bool oldRecurse = wrapper_.Recurse;
    wrapper_.Recurse = folders;
    const int code = wrapper_.AddFiles(0);
    wrapper_.Recurse = oldRecurse;
    view_.closeProgress();
    zipwrap::ShowResult(code, "Adding Dragged files", kAppTitle);
  }
  listCurrent();
}

void MainController::refresh() {
  if (message("Would you like to re-read this archive?", ui::MB_YESNO | ui::MB_ICONQUESTION) == ui::IDYES)
    if (!listCurrent()) closeArchive();
}

void MainController::deleteArchive() {
  if (message("Are you sure you wish to PERMANENTALY remove this file from your system?\n\nYou will not be able to "
              "retrieve this file from your Recycling Bin if you continue.",
              ui::MB_YESNO | ui::MB_ICONWARNING) != ui::IDYES)
    return;
  if (::unlink(path_.c_str()) != 0) {
    message(
        "Error: Windows file system error.\n\nWindows could not delete the currently open Archive. Possible causes are "
        "that the file is Read-Only or is located on a media that is Read-Only. It could be in use by another "
        "application or you don't have sufficient rights to remove it.",
        ui::MB_OK | ui::MB_ICONERROR);
    return;
  }
  settings_.removeRecentFile(path_);
  view_.setRecentFiles(settings_.recentFiles());
  closeArchive();
}

void MainController::installProgram() {
  std::string program;
  for (const ListedRow& row : rows_)
    if (isInstallRow(row)) {
      program = row.caption;
      break;
    }
  if (program.empty()) return;
  {
    BusyScope busy(*this);
    const std::string folder = ensureScratchFolder();
    view_.openProgress('E');
    ExtractionResult x = extractEntries(wrapper_, kind_, path_, {}, folder, true);
    view_.closeProgress();
    if (!x.unavailable.empty()) {
      message(x.unavailable, ui::MB_OK | ui::MB_ICONERROR);
      removeScratchFolder();
      return;
    }
    if (folder.empty() || !vz::openDocument(folder + "/" + program)) {
      message(
          "A Windows system error occured while trying to run the setup program.\n\nThis can be caused by too little "
          "disk space, a corrupted Setup program, missing DLL files or insufficient memory. Please rectify this "
          "problem and try again later.",
          ui::MB_OK | ui::MB_ICONERROR);
      removeScratchFolder();
      return;
    }
  }
  view_.waitForInstallation();
  removeScratchFolder();
}

bool MainController::ensureVirusProgram() {
  const std::string program = settings_.virusProgram();
  if (!program.empty() && ::access(program.c_str(), X_OK) == 0) return true;
  if (message("Error: Anti-Virus program is undefined or can't be found\n\nChoose OK to locate the program that "
              "scans files for viruses, or Cancel to stop.",
              ui::MB_OKCANCEL | ui::MB_ICONERROR) != ui::IDOK)
    return false;
  ui::FileChooser chooser;
  chooser.caption = kAppTitle;
  chooser.filter = "Programs|*||";
  chooser.mustExist = true;
  std::vector<std::string> chosen = ui::backend().chooseFiles(chooser);
  if (chosen.empty()) return false;
  settings_.setVirusProgram(chosen[0]);
  return true;
}

void MainController::scanForViruses(bool all) {
  std::vector<std::string> names;
  if (!all) {
    for (int i : view_.selectedRows())
      if (i >= 0 && static_cast<size_t>(i) < rows_.size()) names.push_back(rows_[static_cast<size_t>(i)].storedName());
    if (names.empty()) all = true;
  }
  if (!ensureVirusProgram()) return;
  BusyScope busy(*this);
  const std::string folder = ensureScratchFolder();
  view_.openProgress('E');
  ExtractionResult x = extractEntries(wrapper_, kind_, path_, names, folder, true);
  view_.closeProgress();
  if (!x.unavailable.empty()) {
    message(x.unavailable, ui::MB_OK | ui::MB_ICONERROR);
    return;
  }
  const std::string program = settings_.virusProgram();
  if (program.empty()) {
    message("Error: You did not define the Anti-Virus program. Scanning will not continue.",
            ui::MB_OK | ui::MB_ICONERROR);
    return;
  }
  startVirusScan(program, settings_.virusParam(), folder);
}

void MainController::viewEntry(int index) {
  if (busy() || index < 0 || static_cast<size_t>(index) >= rows_.size()) return;
  const ListedRow row = rows_[static_cast<size_t>(index)];
  if (!row.caption.empty() && row.caption.back() == '/') return;  // a folder entry
  const std::string ext = upperExtension(row.caption);
  std::optional<std::string> method = settings_.viewMethodFor(ext);
  if (!method) {
    method = view_.askViewMethod(ext);
    if (!method) return;
    settings_.setViewMethod(ext, *method);
  }
  std::string file;
  {
    BusyScope busy(*this);
    const std::string folder = ensureScratchFolder();
    view_.openProgress('F');
    ExtractionResult x = extractEntries(wrapper_, kind_, path_, {row.storedName()}, folder, false);
    view_.closeProgress();
    if (!x.unavailable.empty()) {
      message(x.unavailable, ui::MB_OK | ui::MB_ICONERROR);
      return;
    }
    if (kind_ == ArchiveKind::akZip && x.code != 0) zipwrap::ShowResult(x.code, "Decompressing files", kAppTitle);
    file = folder + "/" + row.caption;
  }
  if (!fileExists(file)) {
    message("Error: the path containing this file could not be found.", ui::MB_OK | ui::MB_ICONERROR);
    return;
  }
  if (*method == kWindowsNotepad) {
    if (!vz::openInTextEditor(file))
      message("Error: Windows reports that there is no application associated with this file that supports printing.",
              ui::MB_OK | ui::MB_ICONERROR);
  } else if (*method == kInternalViewer) {
    view_.showInternalViewer(file);
  } else if (!vz::hasDefaultApplication(file)) {
    message("Error: Windows reports that there is no application associated with this file that supports printing.",
            ui::MB_OK | ui::MB_ICONERROR);
  } else if (!vz::openDocument(file)) {
    message("Error: A DDE error has occured. Please try again and make sure that the DDE Server is installed correctly",
            ui::MB_OK | ui::MB_ICONERROR);
  }
}

void MainController::removeAttributes() {
  if (!vz::setFileAttributes(path_, vz::kAttrNormal))
    message("Error: Windows file system error.", ui::MB_OK | ui::MB_ICONERROR);
}

void MainController::sendMail() {
  const int code = mailArchive(path_);
  if (code != 0) message(mailErrorText(code), ui::MB_OK | ui::MB_ICONERROR);
}

void MainController::launchExplorer() { openFileManager(programFolder); }

void MainController::sendTo(size_t index) {
  if (open_ && index < sendTo_.size()) vz::manager::sendTo(sendTo_[index], path_);
}

void MainController::cancel() { wrapper_.Abort = true; }

std::vector<std::string> MainController::printText() const { return printLines(path_, rows_); }

}  // namespace vz::manager
