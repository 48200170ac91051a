// The main window's widgets, menus and the hand-over to the controller.
#include "manager/vzip/main_window.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QSysInfo>
#include <QTextDocument>
#include <QTextOption>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "manager/app/print_layout.h"
#include "manager/vzip/archive_model.h"
#include "manager/vzip/progress_window.h"
#include "manager/vzip/windows.h"
#include "platform/process.h"
#include "platform/window.h"

#ifndef VZ_VERSION
#define VZ_VERSION "0"
#endif
#ifndef VZ_HELP_DIR
#define VZ_HELP_DIR ""
#endif

namespace vz::vzip {

using manager::Command;
using manager::Menu;

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

// Theme icon with a plain fallback so no button is ever blank.
QIcon themeIcon(const char* name) {
  if (!*name) return {};
  return QIcon::fromTheme(QString::fromLatin1(name));
}

// Where the menus group their commands.
bool separatorBefore(Command c) {
  switch (c) {
    case Command::TestArchive:
    case Command::RecoverPassword:
    case Command::Exit:
    case Command::LargeIcons:
    case Command::ArrangeByName:
    case Command::Options:
    case Command::ViewSelected:
    case Command::ScanSelected:
    case Command::Refresh:
    case Command::LaunchExplorer:
    case Command::SendMail:
    case Command::AboutVemoraZip:
      return true;
    default:
      return false;
  }
}

// The pump the wrapper calls from its callbacks: Qt's events, at most
// every 20 ms so that a long listing is not slowed by repainting.
void pumpQtEvents() {
  static QElapsedTimer last;
  if (last.isValid() && last.elapsed() < 20) return;
  last.start();
  QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("VemoraZip"));
  setWindowTitle(QString::fromLatin1(manager::kBusyCaption));
  setWindowIcon(QIcon::fromTheme(QStringLiteral("vemorazip"), QIcon::fromTheme(QStringLiteral("package-x-generic"))));
  controller_ = std::make_unique<manager::MainController>(*this);
  vz::setMessagePump(pumpQtEvents);
  buildActions();
  buildMenus();
  buildToolBar();
  buildList();
  buildContextMenu();
  panels_[0] = new QLabel(QString::fromLatin1(manager::kNoOpenFile), this);
  panels_[0]->setMinimumWidth(270);
  panels_[0]->setTextFormat(Qt::PlainText);
  panels_[1] = new QLabel(QStringLiteral("0 files"), this);
  panels_[1]->setMinimumWidth(50);
  statusBar()->addWidget(panels_[0], 1);
  statusBar()->addPermanentWidget(panels_[1]);
  progress_ = new ProgressWindow(this);
  progress_->onCancel = [this] { controller_->cancel(); };
  setAcceptDrops(true);
  resize(640, 440);
  applyCommandState(controller_->commandState());
}

MainWindow::~MainWindow() { vz::setMessagePump({}); }

void MainWindow::buildActions() {
  for (const manager::CommandInfo& info : manager::commandTable()) {
    auto* a = new QAction(themeIcon(info.icon), QString::fromLatin1(info.caption), this);
    if (*info.shortcut) a->setShortcut(QKeySequence(QString::fromLatin1(info.shortcut)));
    a->setShortcutContext(Qt::WindowShortcut);
    const Command c = info.id;
    connect(a, &QAction::triggered, this, [this, c] { trigger(c); });
    actions_[static_cast<int>(c)] = a;
  }
  styleGroup_ = new QActionGroup(this);
  for (Command c : {Command::LargeIcons, Command::SmallIcons, Command::ListStyle, Command::ReportStyle}) {
    action(c)->setCheckable(true);
    styleGroup_->addAction(action(c));
  }
  sortGroup_ = new QActionGroup(this);
  for (Command c : {Command::ArrangeByName, Command::ArrangeByArchive}) {
    action(c)->setCheckable(true);
    sortGroup_->addAction(action(c));
  }
}

void MainWindow::buildMenus() {
  for (int m = 0; m < manager::kMenuCount; ++m)
    menus_[m] = menuBar()->addMenu(QString::fromLatin1(manager::menuCaption(static_cast<Menu>(m))));
  QMenu* sub = nullptr;
  std::string subName;
  Menu lastMenu = Menu::Count;
  for (const manager::CommandInfo& info : manager::commandTable()) {
    QMenu* target = menus_[static_cast<int>(info.menu)];
    if (info.menu != lastMenu) {
      sub = nullptr;
      subName.clear();
      lastMenu = info.menu;
    }
    if (*info.submenu) {
      if (!sub || subName != info.submenu) {
        sub = target->addMenu(QString::fromLatin1(info.submenu));
        subName = info.submenu;
      }
      sub->addAction(action(info.id));
    } else {
      sub = nullptr;
      subName.clear();
      if (separatorBefore(info.id)) target->addSeparator();
      target->addAction(action(info.id));
    }
  }
}

void MainWindow::buildToolBar() {
  toolBar_ = addToolBar(QStringLiteral("Toolbar"));
  toolBar_->setObjectName(QStringLiteral("MainToolbar"));
  toolBar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  toolBar_->setIconSize(QSize(22, 22));
  for (Command c : manager::toolbarCommands()) {
    if (c == Command::Count) {
      toolBar_->addSeparator();
      continue;
    }
    // The button has its own short text; the action stays the menu's.
    auto* b = new QAction(action(c)->icon(), QString::fromLatin1(manager::commandInfo(c).toolbar), toolBar_);
    b->setToolTip(action(c)->text().remove('&'));
    connect(b, &QAction::triggered, action(c), &QAction::trigger);
    connect(action(c), &QAction::enabledChanged, b, &QAction::setEnabled);
    b->setEnabled(action(c)->isEnabled());
    toolBar_->addAction(b);
  }
}

void MainWindow::buildContextMenu() {
  context_ = new QMenu(this);
  for (Command c : manager::contextCommands()) {
    if (c == Command::Count) {
      context_->addSeparator();
      continue;
    }
    auto* a = new QAction(action(c)->icon(), QString::fromLatin1(manager::commandInfo(c).context), context_);
    a->setCheckable(action(c)->isCheckable());
    connect(a, &QAction::triggered, action(c), &QAction::trigger);
    connect(action(c), &QAction::enabledChanged, a, &QAction::setEnabled);
    connect(action(c), &QAction::toggled, a, &QAction::setChecked);
    context_->addAction(a);
  }
}

void MainWindow::buildList() {
  model_ = new ArchiveModel(this);
  proxy_ = new ArchiveSortProxy(this);
  proxy_->setSourceModel(model_);
  report_ = new QTreeView(this);
  report_->setRootIsDecorated(false);
  report_->setUniformRowHeights(true);
  report_->setItemsExpandable(false);
  report_->setAllColumnsShowFocus(true);
  report_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  report_->setSelectionBehavior(QAbstractItemView::SelectRows);
  report_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  report_->setModel(proxy_);
  report_->header()->setSectionsClickable(false);  // header clicks are ignored
  report_->header()->setStretchLastSection(false);
  report_->setColumnWidth(0, 250);
  report_->setColumnWidth(1, 90);
  report_->setColumnWidth(2, 100);
  icons_ = new QListView(this);
  icons_->setModel(proxy_);
  icons_->setSelectionModel(report_->selectionModel());
  icons_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  icons_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  icons_->setUniformItemSizes(true);
  icons_->setResizeMode(QListView::Adjust);
  icons_->setLayoutMode(QListView::Batched);
  icons_->setBatchSize(500);
  for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(report_), static_cast<QAbstractItemView*>(icons_)}) {
    v->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(v, &QWidget::customContextMenuRequested, this,
            [this, v](const QPoint& p) { showContextMenu(v->viewport()->mapToGlobal(p)); });
    connect(v, &QAbstractItemView::doubleClicked, this, &MainWindow::viewIndex);
    v->viewport()->installEventFilter(this);
  }
  stack_ = new QStackedWidget(this);
  stack_->addWidget(new QWidget(stack_));  // page 0: no archive, the list hidden
  stack_->addWidget(report_);
  stack_->addWidget(icons_);
  setCentralWidget(stack_);
  setViewStyle(2);
}

// ---- Commands ----

void MainWindow::trigger(Command c) {
  if (controller_->busy()) return;
  switch (c) {
    case Command::LargeIcons:
      return setViewStyle(0);
    case Command::ListStyle:
      return setViewStyle(1);
    case Command::ReportStyle:
      return setViewStyle(2);
    case Command::SmallIcons:
      return setViewStyle(3);
    case Command::ArrangeByName:
      return setSortByName(true);
    case Command::ArrangeByArchive:
      return setSortByName(false);
    case Command::LineUpIcons:
      icons_->doItemsLayout();
      return;
    case Command::Exit:
      close();
      return;
    case Command::PrintFileList:
    case Command::Options:
    case Command::FindArchive:
    case Command::RecoverPassword:
    case Command::FtpDownload:
    case Command::FtpUpload:
    case Command::HelpContents:
    case Command::AboutVemoraZip:
    case Command::AboutWindows:
      return runWindowCommand(c);
    default:
      controller_->run(c);
  }
}

void MainWindow::runWindowCommand(Command c) {
  const std::string path = controller_->currentPath();
  switch (c) {
    case Command::PrintFileList: {
      QPrinter printer(QPrinter::HighResolution);
      printer.setDocName(QString::fromLatin1(manager::kPrintTitle));
      QPrintDialog dlg(&printer, this);
      dlg.setWindowTitle(QStringLiteral("Print File List"));
      if (dlg.exec() == QDialog::Accepted) printListing(printer);
      return;
    }
    case Command::Options:
      if (runOptionsWindow(this)) {
        manager::SettingsStore& s = controller_->settings();
        applyViewSettings(viewStyle_, proxy_->sortByName(), s.buttonsHighlight());
      }
      return;
    case Command::FindArchive:
      if (std::optional<std::string> found = runFindArchive(this))
        controller_->openArchive(*found, manager::MainController::OpenRoute::Dialog);
      return;
    case Command::RecoverPassword:
      if (runRecoverPassword(this, path) && !path.empty())
        controller_->openArchive(path, manager::MainController::OpenRoute::CommandLine);
      return;
    case Command::FtpDownload:
    case Command::FtpUpload:
      runFtpWindow(this, c == Command::FtpUpload, path);
      return;
    case Command::HelpContents: {
      QString page = QCoreApplication::applicationDirPath() + QStringLiteral("/help/index.html");
      if (!QFileInfo::exists(page)) page = QStringLiteral(VZ_HELP_DIR "/index.html");
      vz::openDocument(page.toStdString());
      return;
    }
    case Command::AboutVemoraZip:
      QMessageBox::about(this, QStringLiteral("About Vemora.Zip"),
                         QStringLiteral("<h3>Vemora.Zip</h3><p>Version %1</p><p>An archive manager for ZIP archives "
                                        "and the archives of many other formats.</p>")
                             .arg(QStringLiteral(VZ_VERSION)));
      return;
    case Command::AboutWindows:
      // The platform's own facts stand in for the system's about box.
      QMessageBox::about(
          this, QStringLiteral("About this system"),
          QStringLiteral("<h3>%1</h3><p>Kernel: %2 %3<br>Architecture: %4<br>Qt %5</p>")
              .arg(QSysInfo::prettyProductName().toHtmlEscaped(), QSysInfo::kernelType(), QSysInfo::kernelVersion(),
                   QSysInfo::currentCpuArchitecture(), QString::fromLatin1(qVersion())));
      return;
    default:
      return;
  }
}

void MainWindow::printListing(QPrinter& printer) const {
  QTextDocument doc;
  QFont font(QStringLiteral("Courier"), 12);
  font.setStyleHint(QFont::TypeWriter);
  doc.setDefaultFont(font);
  QTextOption option = doc.defaultTextOption();
  option.setWrapMode(QTextOption::NoWrap);
  doc.setDefaultTextOption(option);
  doc.setMetaInformation(QTextDocument::DocumentTitle, QString::fromLatin1(manager::kPrintTitle));
  QStringList lines;
  for (const std::string& l : controller_->printText()) lines << qs(l);
  doc.setPlainText(lines.join('\n'));
  printer.setDocName(QString::fromLatin1(manager::kPrintTitle));
  doc.print(&printer);
}

// ---- View styles and sorting ----

void MainWindow::setViewStyle(int style) {
  if (style < 0 || style > 3) style = 2;
  viewStyle_ = style;
  const Command checks[4] = {Command::LargeIcons, Command::ListStyle, Command::ReportStyle, Command::SmallIcons};
  action(checks[style])->setChecked(true);
  if (style == 2) {
    if (listVisible_) stack_->setCurrentWidget(report_);
    spreadColumns();
    return;
  }
  icons_->setModelColumn(ArchiveModel::NameColumn);
  switch (style) {
    case 0:  // large icons: a grid of 32-pixel icons with the name below
      icons_->setViewMode(QListView::IconMode);
      icons_->setFlow(QListView::LeftToRight);
      icons_->setIconSize(QSize(32, 32));
      icons_->setUniformItemSizes(false);  // each name gets the width it needs, up to the grid
      icons_->setGridSize(QSize(112, 76));
      icons_->setWordWrap(true);
      icons_->setTextElideMode(Qt::ElideRight);
      break;
    case 1:  // list: small icons in columns, top to bottom
      icons_->setUniformItemSizes(true);
      icons_->setViewMode(QListView::ListMode);
      icons_->setFlow(QListView::TopToBottom);
      icons_->setIconSize(QSize(16, 16));
      icons_->setGridSize(QSize(190, 22));
      icons_->setWordWrap(false);
      break;
    case 3:  // small icons: small icons in rows, left to right
      icons_->setUniformItemSizes(true);
      icons_->setViewMode(QListView::ListMode);
      icons_->setFlow(QListView::LeftToRight);
      icons_->setIconSize(QSize(16, 16));
      icons_->setGridSize(QSize(190, 22));
      icons_->setWordWrap(false);
      break;
  }
  icons_->setWrapping(true);
  icons_->setMovement(QListView::Static);
  if (listVisible_) stack_->setCurrentWidget(icons_);
}

void MainWindow::setSortByName(bool byName) {
  proxy_->setSortByName(byName);
  action(byName ? Command::ArrangeByName : Command::ArrangeByArchive)->setChecked(true);
}

void MainWindow::spreadColumns() {
  // The three columns keep their proportions 250 : 90 : 100 of the width.
  const int width = report_->viewport()->width();
  if (width <= 0) return;
  const int name = width * 250 / 440;
  const int size = width * 90 / 440;
  report_->setColumnWidth(0, name);
  report_->setColumnWidth(1, size);
  report_->setColumnWidth(2, std::max(20, width - name - size));
}

QStringList MainWindow::shownCaptions() const {
  QStringList out;
  for (int r = 0; r < proxy_->rowCount(); ++r) out << proxy_->index(r, 0).data().toString();
  return out;
}

// ---- MainView ----

void MainWindow::setCaption(const std::string& caption) { setWindowTitle(qs(caption)); }

void MainWindow::setPanel(int panel, const std::string& text) { panels_[panel == 0 ? 0 : 1]->setText(qs(text)); }

QString MainWindow::panelText(int panel) const { return panels_[panel == 0 ? 0 : 1]->text(); }

void MainWindow::showRows(const std::vector<manager::ListedRow>& rows) {
  report_->setUpdatesEnabled(false);
  icons_->setUpdatesEnabled(false);
  model_->setRows(rows);
  report_->setUpdatesEnabled(true);
  icons_->setUpdatesEnabled(true);
}

void MainWindow::applyCommandState(const manager::CommandState& state) {
  for (int i = 0; i < manager::kCommandCount; ++i) actions_[i]->setEnabled(state.enabled[i]);
  for (int m = 0; m < manager::kMenuCount; ++m) menus_[m]->menuAction()->setEnabled(state.menuEnabled[m]);
  for (QAction* a : recentActions_) a->setEnabled(!controller_->busy());
  for (QAction* a : sendToActions_) a->setEnabled(state.isMenuEnabled(Menu::SendTo));
  const bool busy = controller_->busy();
  // While busy the list keeps what it shows; otherwise it follows the state.
  if (!busy) {
    listVisible_ = state.listVisible;
    stack_->setCurrentIndex(!listVisible_ ? 0 : (viewStyle_ == 2 ? 1 : 2));
  }
  setAcceptDrops(!busy);
}

std::vector<int> MainWindow::selectedRows() const {
  std::vector<int> out;
  for (const QModelIndex& i : report_->selectionModel()->selectedRows(0)) out.push_back(proxy_->mapToSource(i).row());
  std::sort(out.begin(), out.end());
  return out;
}

void MainWindow::setRecentFiles(const std::vector<std::string>& files) {
  QMenu* file = menu(Menu::File);
  for (QAction* a : recentActions_) {
    file->removeAction(a);
    a->deleteLater();
  }
  recentActions_.clear();
  for (size_t i = 0; i < files.size(); ++i) {
    auto* a = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(qs(files[i])), file);
    connect(a, &QAction::triggered, this, [this, i] {
      if (!controller_->busy()) controller_->openRecent(i);
    });
    file->insertAction(action(Command::Exit), a);
    recentActions_.push_back(a);
  }
  if (!recentActions_.empty()) recentActions_.push_back(file->insertSeparator(action(Command::Exit)));
}

void MainWindow::setSendToEntries(const std::vector<manager::SendToEntry>&) { rebuildSendToMenu(); }

void MainWindow::rebuildSendToMenu() {
  QMenu* m = menu(Menu::SendTo);
  for (QAction* a : sendToActions_) {
    m->removeAction(a);
    a->deleteLater();
  }
  sendToActions_.clear();
  const std::vector<manager::SendToEntry>& entries = controller_->sendToList();
  if (entries.empty()) return;
  sendToActions_.push_back(m->addSeparator());
  for (size_t i = 0; i < entries.size(); ++i) {
    QAction* a = m->addAction(qs(entries[i].caption));
    connect(a, &QAction::triggered, this, [this, i] { controller_->sendTo(i); });
    sendToActions_.push_back(a);
  }
}

void MainWindow::applyViewSettings(int viewStyle, bool sortAlpha, bool buttonsHighlight) {
  setViewStyle(viewStyle);
  setSortByName(sortAlpha);
  highlight_ = buttonsHighlight;
  for (QToolButton* b : toolBar_->findChildren<QToolButton*>()) b->setAutoRaise(buttonsHighlight);
}

void MainWindow::openProgress(char letter) { progress_->open(letter); }
void MainWindow::setProgress(int percent) { progress_->setPercent(percent); }
void MainWindow::setFeedback(const std::string& text) { progress_->setFeedback(qs(text)); }
void MainWindow::closeProgress() { progress_->closeWindow(); }

void MainWindow::bringToFront() {
  raise();
  activateWindow();
}

std::optional<std::string> MainWindow::askViewMethod(const std::string& extension) {
  return vz::vzip::askViewMethod(this, extension);
}

void MainWindow::showInternalViewer(const std::string& file) { showViewer(this, file); }

void MainWindow::waitForInstallation() {
  QDialog wait(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint);
  wait.setWindowTitle(QStringLiteral("Vemora.Zip"));
  auto* layout = new QVBoxLayout(&wait);
  auto* button =
      new QPushButton(QStringLiteral("When Installation has completed, click here to show Vemora.Zip"), &wait);
  connect(button, &QPushButton::clicked, &wait, &QDialog::accept);
  layout->addWidget(button);
  showMinimized();
  wait.exec();
  showNormal();
  bringToFront();
}

// ---- Start-up, hand-over, exit ----

void MainWindow::startUp(const std::string& commandLinePath) {
  manager::SettingsStore& s = controller_->settings();
  const std::vector<uint8_t> geometry = s.windowPlacement("VemoraZip");
  if (!geometry.empty())
    restoreGeometry(QByteArray(reinterpret_cast<const char*>(geometry.data()), static_cast<int>(geometry.size())));
  const std::vector<uint8_t> bars = s.toolbarState();
  if (!bars.empty())
    restoreState(QByteArray(reinterpret_cast<const char*>(bars.data()), static_cast<int>(bars.size())));
  controller_->startUp(commandLinePath);
}

void MainWindow::openHandedOver(const QString& path) {
  if (isMinimized()) showNormal();
  show();
  bringToFront();
  controller_->openArchive(path.toStdString(), manager::MainController::OpenRoute::Handover);
}

void MainWindow::closeEvent(QCloseEvent* e) {
  if (controller_->busy()) {
    e->ignore();
    return;
  }
  manager::SettingsStore& s = controller_->settings();
  const QByteArray g = saveGeometry();
  s.setWindowPlacement("VemoraZip", std::vector<uint8_t>(g.begin(), g.end()));
  const QByteArray st = saveState();
  s.setToolbarState(std::vector<uint8_t>(st.begin(), st.end()));
  controller_->shutDown(viewStyle_, proxy_->sortByName());
  e->accept();
}

void MainWindow::resizeEvent(QResizeEvent* e) {
  QMainWindow::resizeEvent(e);
  spreadColumns();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* e) {
  if (!controller_->busy() && e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* e) {
  std::vector<std::string> paths;
  for (const QUrl& u : e->mimeData()->urls())
    if (u.isLocalFile()) paths.push_back(u.toLocalFile().toStdString());
  e->acceptProposedAction();
  controller_->dropFiles(paths);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* e) {
  // The list's viewports pass drops to the window.
  if (e->type() == QEvent::DragEnter || e->type() == QEvent::DragMove) {
    auto* d = static_cast<QDragMoveEvent*>(e);
    if (!controller_->busy() && d->mimeData()->hasUrls()) {
      d->acceptProposedAction();
      return true;
    }
  } else if (e->type() == QEvent::Drop) {
    dropEvent(static_cast<QDropEvent*>(e));
    return true;
  } else if (e->type() == QEvent::Resize && watched == report_->viewport()) {
    spreadColumns();
  }
  return QMainWindow::eventFilter(watched, e);
}

void MainWindow::showContextMenu(const QPoint& global) {
  if (!controller_->busy()) context_->popup(global);
}

void MainWindow::viewIndex(const QModelIndex& proxyIndex) {
  if (!proxyIndex.isValid() || controller_->busy()) return;
  controller_->viewEntry(proxy_->mapToSource(proxyIndex).row());
}

}  // namespace vz::vzip
