// vzip's main window (TMainfrm): a thin Qt shell over MainController.
//
// It builds the menu bar, the dockable toolbar and the context menu from
// the command table (manager/app/command_state.h), shows the controller's
// rows through one ArchiveModel in the four view styles (report: a
// QTreeView with the columns "File Name" 250, "Size" 90, "Path" 100,
// re-spread over the width on every resize; large icons, small icons and
// list: a QListView over the same model and selection), keeps the status
// bar's two panels, the progress window, drag and drop (files in; a
// single archive opens), and the window's geometry, toolbar positions,
// ViewStyle, SortType and ButtonsHighlight in the settings.
//
// The commands that need Qt (print, options, about, help, the tool
// windows) are handled here; every other command goes to the controller.
// While a command runs the wrapper pumps Qt's events (at most every 20 ms)
// so the progress window paints and its Cancel reaches the wrapper.
#pragma once

#include <QMainWindow>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "manager/app/main_controller.h"

class QAction;
class QActionGroup;
class QLabel;
class QListView;
class QMenu;
class QPrinter;
class QStackedWidget;
class QToolBar;
class QTreeView;

namespace vz::vzip {

class ArchiveModel;
class ArchiveSortProxy;
class ProgressWindow;

class MainWindow : public QMainWindow, public manager::MainView {
  Q_OBJECT
 public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  // Start-up (association check, the command line's archive, settings).
  void startUp(const std::string& commandLinePath);
  // A path handed over by a second copy: restore, activate, open.
  void openHandedOver(const QString& path);

  manager::MainController& controller() { return *controller_; }
  QAction* action(manager::Command c) const { return actions_[static_cast<int>(c)]; }
  QMenu* menu(manager::Menu m) const { return menus_[static_cast<int>(m)]; }
  QMenu* contextMenu() const { return context_; }
  QToolBar* toolBar() const { return toolBar_; }
  QTreeView* reportView() const { return report_; }
  QListView* iconView() const { return icons_; }
  ProgressWindow* progressWindow() const { return progress_; }
  ArchiveModel* model() const { return model_; }
  QString panelText(int panel) const;
  int viewStyle() const { return viewStyle_; }
  void setViewStyle(int style);
  void setSortByName(bool byName);
  // The rows in the order shown (captions), for tests and screenshots.
  QStringList shownCaptions() const;
  // Prints the listing into printer (the print dialog's choice, or a PDF).
  void printListing(QPrinter& printer) const;

  // MainView
  void setCaption(const std::string& caption) override;
  void setPanel(int panel, const std::string& text) override;
  void showRows(const std::vector<manager::ListedRow>& rows) override;
  void applyCommandState(const manager::CommandState& state) override;
  std::vector<int> selectedRows() const override;
  void setRecentFiles(const std::vector<std::string>& files) override;
  void setSendToEntries(const std::vector<manager::SendToEntry>& entries) override;
  void applyViewSettings(int viewStyle, bool sortAlpha, bool buttonsHighlight) override;
  void openProgress(char letter) override;
  void setProgress(int percent) override;
  void setFeedback(const std::string& text) override;
  void closeProgress() override;
  void bringToFront() override;
  std::optional<std::string> askViewMethod(const std::string& extension) override;
  void showInternalViewer(const std::string& file) override;
  void waitForInstallation() override;

 protected:
  void closeEvent(QCloseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dropEvent(QDropEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void buildActions();
  void buildMenus();
  void buildToolBar();
  void buildContextMenu();
  void buildList();
  void trigger(manager::Command c);
  void runWindowCommand(manager::Command c);
  void spreadColumns();
  void rebuildSendToMenu();
  void showContextMenu(const QPoint& global);
  void viewIndex(const QModelIndex& proxyIndex);

  std::unique_ptr<manager::MainController> controller_;     // the decisions
  std::array<QAction*, manager::kCommandCount> actions_{};  // one per command
  std::array<QMenu*, manager::kMenuCount> menus_{};         // the menu bar's menus
  QActionGroup* styleGroup_ = nullptr;                      // the four view styles (radio)
  QActionGroup* sortGroup_ = nullptr;                       // by name / archive order (radio)
  QMenu* context_ = nullptr;                                // the list's context menu
  QToolBar* toolBar_ = nullptr;                             // the dockable toolbar
  std::vector<QAction*> recentActions_;                     // the File menu's recent files
  std::vector<QAction*> sendToActions_;                     // the Send to menu's shortcuts
  QStackedWidget* stack_ = nullptr;                         // the list's page or the empty page
  QTreeView* report_ = nullptr;                             // report style
  QListView* icons_ = nullptr;                              // large icons, small icons, list
  ArchiveModel* model_ = nullptr;                           // the rows
  ArchiveSortProxy* proxy_ = nullptr;                       // sorting
  QLabel* panels_[2] = {nullptr, nullptr};                  // the status bar's panels
  ProgressWindow* progress_ = nullptr;                      // the one progress window
  int viewStyle_ = 2;                                       // 0 large, 1 list, 2 report, 3 small
  bool listVisible_ = false;                                // an archive is shown
  bool highlight_ = true;                                   // ButtonsHighlight
};

}  // namespace vz::vzip
