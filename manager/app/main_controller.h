// MainController: every decision of vzip's main window, without a widget.
//
// The window (manager/vzip/main_window.cpp) is a MainView: it shows what
// the controller tells it (caption, panels, rows, command state, progress)
// and hands every command, drop, double click and hand-over to the
// controller. Questions and messages go through the user-interface service
// (platform/ui.h), so tests drive the controller with a fake view and a
// ScriptedBackend and read every text that was shown.
//
// The controller owns the main wrapper (Compression 6, StoredExtensions
// ".ZIP;.LZH;.ARC;.ARJ;.ZOO;.BH;.CAB") with its events bound to the
// progress window and the questions; the settings go through
// SettingsStore. Every command runs between the "Vemora.Zip - Busy" and
// "Vemora.Zip - Idle" captions with every command disabled in between.
// The Qt-only commands (print, options, about, help, the tool windows)
// are the window's; the controller gives them the data they need.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "manager/app/archive_kind.h"
#include "manager/app/archive_listing.h"
#include "manager/app/command_state.h"
#include "manager/app/desktop_actions.h"
#include "manager/app/settings_store.h"
#include "zipwrap/zip_wrapper.h"

namespace vz::manager {

inline constexpr const char* kAppTitle = "Vemora.Zip";
inline constexpr const char* kBusyCaption = "Vemora.Zip - Busy";
inline constexpr const char* kIdleCaption = "Vemora.Zip - Idle";
inline constexpr const char* kNoOpenFile = "(no open file)";

// The operation labels of the progress window by letter (case-insensitive);
// empty for another letter.
std::string progressLabel(char letter);
// The progress window's caption and its label before an operation.
inline constexpr const char* kProgressCaption = "Please Wait...";
inline constexpr const char* kProgressInitial = "Initalizing";

// The texts of the wrapper's skip warning (reason 0..7) and the questions
// of its events.
std::string skipReasonText(int reason);
std::string skipMessage(const std::string& name, int reason, bool testing);
std::string replaceQuestion(const std::string& name);
std::string newDiskQuestion(int diskNumber);

class MainView {
 public:
  virtual ~MainView() = default;
  virtual void setCaption(const std::string& caption) = 0;
  // Panel 0 (the archive path) and panel 1 (the entry count).
  virtual void setPanel(int panel, const std::string& text) = 0;
  // Replaces the list's rows (updates suspended while they are added).
  virtual void showRows(const std::vector<ListedRow>& rows) = 0;
  virtual void applyCommandState(const CommandState& state) = 0;
  // Indexes (into the rows last shown) of the selected rows.
  virtual std::vector<int> selectedRows() const = 0;
  virtual void setRecentFiles(const std::vector<std::string>& files) = 0;
  virtual void setSendToEntries(const std::vector<SendToEntry>& entries) = 0;
  // ViewStyle (0..3), SortType "Alpha", ButtonsHighlight, with the menu checks.
  virtual void applyViewSettings(int viewStyle, bool sortAlpha, bool buttonsHighlight) = 0;
  // The progress window: opened with a letter (bar at 0, feedback cleared).
  virtual void openProgress(char letter) = 0;
  virtual void setProgress(int percent) = 0;
  virtual void setFeedback(const std::string& text) = 0;
  virtual void closeProgress() = 0;
  virtual void bringToFront() = 0;
  // The view-method question for an extension without an Associations row.
  virtual std::optional<std::string> askViewMethod(const std::string& extension) = 0;
  virtual void showInternalViewer(const std::string& file) = 0;
  // Minimises to the small window "When Installation has completed, click
  // here to show Vemora.Zip" and returns when it is clicked.
  virtual void waitForInstallation() = 0;
};

class MainController {
 public:
  enum class OpenRoute { Dialog, Recent, CommandLine, Dropped, Handover };

  explicit MainController(MainView& view);
  ~MainController();  // deletes the scratch folder
  MainController(const MainController&) = delete;
  MainController& operator=(const MainController&) = delete;

  // Start-up after the running-copy check: the association check, the
  // command line's archive (surrounding double quotes removed), Send To,
  // the virus settings, the view settings, then Idle.
  void startUp(const std::string& commandLinePath);
  // Exit: ViewStyle and SortType written, the scratch folder deleted.
  void shutDown(int viewStyle, bool sortAlpha);

  // Opening by any route (step 2); true when the archive was listed.
  bool openArchive(const std::string& path, OpenRoute route);
  void openRecent(size_t index);
  // Runs a command the controller decides (the others are the window's).
  void run(Command c);
  // Files dropped on the window.
  void dropFiles(const std::vector<std::string>& paths);
  // View / execute one row (double click, "&Open / View").
  void viewEntry(int row);
  void sendTo(size_t index);
  // The progress window's Cancel: sets the wrapper's Abort.
  void cancel();

  // The Busy scope, for the window's own commands too.
  void beginBusy();
  void endBusy();

  const std::string& currentPath() const { return path_; }
  ArchiveKind kind() const { return kind_; }
  bool archiveOpen() const { return open_; }
  bool busy() const { return busyDepth_ > 0; }
  const std::vector<ListedRow>& rows() const { return rows_; }
  std::vector<std::string> printText() const;
  CommandState commandState() const;
  const std::vector<SendToEntry>& sendToList() const { return sendTo_; }
  zipwrap::TZipWrapper& wrapper() { return wrapper_; }
  SettingsStore& settings() { return settings_; }

  // The folder of SfxForge and the help page (the program's folder).
  std::string programFolder;

 private:
  bool listCurrent();
  void closeArchive();
  void refreshState();
  void bindWrapperEvents();
  void testArchive();
  void repairArchive(bool thorough);
  void convertSelfExtractor(Command c);
  void convertToSfx();
  void removeSelected();
  void refresh();
  void deleteArchive();
  void installProgram();
  void scanForViruses(bool all);
  void removeAttributes();
  void sendMail();
  void launchExplorer();
  std::optional<std::string> askForZip();
  bool ensureVirusProgram();
  int message(const std::string& text, unsigned flags);

  MainView& view_;
  zipwrap::TZipWrapper wrapper_;               // the main wrapper instance
  SettingsStore settings_;                     // the registry values
  std::string path_;                           // current archive, empty when none
  ArchiveKind kind_ = ArchiveKind::akUnknown;  // kind of path_
  bool open_ = false;                          // the last listing was valid
  bool installAvailable_ = false;              // a root SETUP.EXE / INSTALL.EXE was listed
  std::vector<ListedRow> rows_;                // the rows shown
  std::vector<SendToEntry> sendTo_;            // the Send To entries of the menu
  int busyDepth_ = 0;                          // nesting of Busy scopes
  bool testing_ = false;                       // a TestArchive runs (the skip warning's wording)
};

}  // namespace vz::manager
