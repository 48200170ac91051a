// The options window, its four pages, and the view-method question.
//
// The window keeps nothing of its own: each page is filled from the
// OptionsModel when the window is built, Remove and Modify change the
// model's list and the list widget is refilled from it, and OK copies the
// remaining widgets into the model before committing it. So the model's
// tests cover what OK and Cancel write, and this file only wires widgets.
//
// The virus program's chooser: the Windows filter "Executable Files|*.EXE;
// *.COM|All Files|*.*" becomes Qt's "Executable Files (*.EXE *.COM);;All
// Files (*)". Programs here rarely end in .EXE, so the "Executable Files"
// choice also shows files without an extension that may be run: the file
// system model is told to keep the names its patterns reject (shown
// disabled), and a proxy model between it and the view decides with
// manager::looksLikeProgram, enabling what it keeps.
#include "manager/vzip/options_window.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSortFilterProxyModel>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtGlobal>

#include "manager/app/settings_store.h"
#include "manager/app/version_details.h"
#include "manager/vzip/windows.h"

namespace vz::vzip {
namespace t = manager::options_text;

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

const char* const kMethods[3] = {manager::kAssociatedProgram, manager::kInternalViewer, manager::kWindowsNotepad};

// The window's name for its stored placement.
constexpr const char* kPlacementName = "Optionsfrm";

QTreeWidget* twoColumnList(const char* first, const char* second, const char* name) {
  auto* list = new QTreeWidget;
  list->setObjectName(name);
  list->setColumnCount(2);
  list->setHeaderLabels({first, second});
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setAllColumnsShowFocus(true);
  list->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  list->header()->setStretchLastSection(true);
  return list;
}

}  // namespace

QString qtFileFilter(const QString& windowsFilter) {
  const QStringList fields = windowsFilter.split('|');
  QStringList filters;
  for (int i = 0; i + 1 < fields.size(); i += 2) {
    QStringList patterns = fields[i + 1].split(';', Qt::SkipEmptyParts);
    for (QString& p : patterns)
      if (p == "*.*") p = "*";
    filters << fields[i] + " (" + patterns.join(' ') + ")";
  }
  return filters.join(";;");
}

// --- the virus program's chooser ------------------------------------------

void ProgramFileFilter::setSourceModel(QAbstractItemModel* source) {
  // Keep the names the dialog's own patterns reject, so that this model
  // sees them (they come disabled and are enabled in flags()).
  if (auto* fs = qobject_cast<QFileSystemModel*>(source)) fs->setNameFilterDisables(true);
  QSortFilterProxyModel::setSourceModel(source);
}

void ProgramFileFilter::setProgramsOnly(bool on) {
  programsOnly_ = on;
  invalidateFilter();
}

bool ProgramFileFilter::filterAcceptsRow(int row, const QModelIndex& parent) const {
  auto* fs = qobject_cast<QFileSystemModel*>(sourceModel());
  if (!fs || !programsOnly_) return true;
  const QFileInfo info = fs->fileInfo(fs->index(row, 0, parent));
  if (info.isDir()) return true;
  return manager::looksLikeProgram(info.fileName().toStdString(), info.isExecutable());
}

Qt::ItemFlags ProgramFileFilter::flags(const QModelIndex& index) const {
  Qt::ItemFlags f = QSortFilterProxyModel::flags(index);
  return index.isValid() ? f | Qt::ItemIsEnabled | Qt::ItemIsSelectable : f;
}

// --- the options window -----------------------------------------------------

OptionsDialog::OptionsDialog(manager::OptionsModel& model, QWidget* parent) : QDialog(parent), model_(model) {
  setObjectName("Optionsfrm");
  setWindowTitle(t::kCaption);
  tabs_ = new QTabWidget;
  tabs_->setUsesScrollButtons(false);  // the window is as wide as its four tabs
  tabs_->addTab(makeGeneralPage(), t::kGeneralPage);
  tabs_->addTab(makeAssociationsPage(), t::kAssociationsPage);
  tabs_->addTab(makeVersionPage(), t::kVersionPage);
  tabs_->addTab(makeVirusPage(), t::kVirusPage);

  auto* buttons = new QDialogButtonBox;
  QPushButton* ok = buttons->addButton(t::kOk, QDialogButtonBox::AcceptRole);
  QPushButton* cancel = buttons->addButton(t::kCancel, QDialogButtonBox::RejectRole);
  ok->setObjectName("ok");
  cancel->setObjectName("cancel");
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &OptionsDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &OptionsDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addWidget(buttons);
  resize(520, 400);
}

QWidget* OptionsDialog::makeGeneralPage() {
  auto* page = new QWidget;
  auto* group = new QGroupBox(t::kOpenGroup);
  standardOpen_ = new QRadioButton(t::kStandardOpen);
  favouritesOpen_ = new QRadioButton(t::kFavouritesOpen);
  standardOpen_->setObjectName("standardOpen");
  favouritesOpen_->setObjectName("favouritesOpen");
  (model_.useFavourites ? favouritesOpen_ : standardOpen_)->setChecked(true);
  auto* groupLayout = new QVBoxLayout(group);
  groupLayout->addWidget(standardOpen_);
  groupLayout->addWidget(favouritesOpen_);

  // The favourites set-up opens from here once that window exists.
  auto* link = new QLabel(QString("<a href=\"favourites\">%1</a>").arg(t::kFavouritesLink));
  link->setObjectName("favouritesLink");
  link->setEnabled(false);

  auto* baseLabel = new QLabel(t::kBaseFolder);
  baseFolder_ = new QLineEdit(q(model_.baseFolder));
  baseFolder_->setObjectName("baseFolder");
  baseLabel->setBuddy(baseFolder_);
  auto* browse = new QPushButton("...");
  browse->setObjectName("browseBaseFolder");
  connect(browse, &QPushButton::clicked, this, &OptionsDialog::browseBaseFolder);
  auto* baseRow = new QHBoxLayout;
  baseRow->addWidget(baseFolder_);
  baseRow->addWidget(browse);

  highlight_ = new QCheckBox(t::kHighlight);
  highlight_->setObjectName("buttonsHighlight");
  highlight_->setChecked(model_.buttonsHighlight);

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(group);
  layout->addWidget(baseLabel);
  layout->addLayout(baseRow);
  layout->addWidget(highlight_);
  layout->addWidget(link);
  layout->addStretch();
  return page;
}

QWidget* OptionsDialog::makeAssociationsPage() {
  auto* page = new QWidget;
  associations_ = twoColumnList(t::kFileTypeColumn, t::kViewMethodColumn, "associations");
  fillAssociations();
  connect(associations_, &QTreeWidget::itemDoubleClicked, this, [this] { modifySelected(); });

  auto* remove = new QPushButton(t::kRemove);
  auto* modify = new QPushButton(t::kModify);
  remove->setObjectName("remove");
  modify->setObjectName("modify");
  connect(remove, &QPushButton::clicked, this, &OptionsDialog::removeSelected);
  connect(modify, &QPushButton::clicked, this, &OptionsDialog::modifySelected);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(remove);
  buttons->addWidget(modify);

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(associations_);
  layout->addLayout(buttons);
  return page;
}

QWidget* OptionsDialog::makeVersionPage() {
  auto* page = new QWidget;
  QTreeWidget* list = twoColumnList(t::kItemColumn, t::kDataColumn, "versionDetails");
  for (const manager::VersionRow& r : manager::versionDetails(qVersion()))
    list->addTopLevelItem(new QTreeWidgetItem({q(r.item), q(r.data)}));
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(list);
  return page;
}

QWidget* OptionsDialog::makeVirusPage() {
  auto* page = new QWidget;
  auto* programLabel = new QLabel(t::kVirusProgram);
  virusProgram_ = new QLineEdit(q(model_.virusProgram));
  virusProgram_->setObjectName("virusProgram");
  programLabel->setBuddy(virusProgram_);
  auto* browse = new QPushButton("...");
  browse->setObjectName("browseVirusProgram");
  connect(browse, &QPushButton::clicked, this, &OptionsDialog::browseVirusProgram);
  auto* programRow = new QHBoxLayout;
  programRow->addWidget(virusProgram_);
  programRow->addWidget(browse);

  auto* paramLabel = new QLabel(t::kVirusParam);
  virusParam_ = new QLineEdit(q(model_.virusParam));
  virusParam_->setObjectName("virusParam");
  paramLabel->setBuddy(virusParam_);

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(programLabel);
  layout->addLayout(programRow);
  layout->addWidget(paramLabel);
  layout->addWidget(virusParam_);
  layout->addStretch();
  return page;
}

void OptionsDialog::fillAssociations() {
  const int keep = associations_->currentIndex().row();
  associations_->clear();
  for (const manager::AssociationRow& r : model_.associations())
    associations_->addTopLevelItem(new QTreeWidgetItem({q(r.extension), q(r.method)}));
  const int count = associations_->topLevelItemCount();
  if (count > 0) associations_->setCurrentItem(associations_->topLevelItem(qBound(0, keep, count - 1)));
}

void OptionsDialog::removeSelected() {
  const int row = associations_->currentIndex().row();
  if (row < 0) return;
  model_.removeAssociation(static_cast<size_t>(row));
  fillAssociations();
}

void OptionsDialog::modifySelected() {
  const int row = associations_->currentIndex().row();
  if (row < 0 || static_cast<size_t>(row) >= model_.associations().size()) return;
  const manager::AssociationRow& r = model_.associations()[static_cast<size_t>(row)];
  if (std::optional<std::string> m = askViewMethod(this, r.extension, r.method)) {
    model_.modifyAssociation(static_cast<size_t>(row), *m);
    fillAssociations();
  }
}

void OptionsDialog::browseBaseFolder() {
  QString folder = QFileDialog::getExistingDirectory(this, t::kBaseFolder, baseFolder_->text());
  if (folder.isEmpty()) return;
  if (!folder.endsWith('/')) folder += '/';
  baseFolder_->setText(folder);
}

void OptionsDialog::browseVirusProgram() {
  QFileDialog chooser(this, t::kVirusProgram);
  chooser.setOption(QFileDialog::DontUseNativeDialog);
  chooser.setFileMode(QFileDialog::ExistingFile);
  chooser.setNameFilters(qtFileFilter(t::kVirusFilter).split(";;"));
  auto* proxy = new ProgramFileFilter(&chooser);
  chooser.setProxyModel(proxy);
  connect(&chooser, &QFileDialog::filterSelected, proxy,
          [&chooser, proxy](const QString& f) { proxy->setProgramsOnly(f == chooser.nameFilters().value(0)); });
  const QFileInfo current(virusProgram_->text());
  if (!virusProgram_->text().isEmpty()) chooser.setDirectory(current.absolutePath());
  if (chooser.exec() == QDialog::Accepted && !chooser.selectedFiles().isEmpty())
    virusProgram_->setText(chooser.selectedFiles().first());
}

void OptionsDialog::accept() {
  model_.useFavourites = favouritesOpen_->isChecked();
  model_.baseFolder = baseFolder_->text().toStdString();
  model_.buttonsHighlight = highlight_->isChecked();
  model_.virusProgram = virusProgram_->text().toStdString();
  model_.virusParam = virusParam_->text().toStdString();
  model_.commit();
  QDialog::accept();
}

// --- the view-method question -----------------------------------------------

ViewMethodDialog::ViewMethodDialog(const std::string& extension, const std::string& current, QWidget* parent)
    : QDialog(parent) {
  setObjectName("ViewMethod");
  setWindowTitle(t::kViewCaption);
  auto* question = new QLabel(QString(t::kViewQuestion) + q(extension) + "?");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(question);
  int ticked = 0;
  for (int i = 0; i < 3; ++i) {
    choices_[i] = new QRadioButton(kMethods[i]);
    choices_[i]->setObjectName(QString("method%1").arg(i));
    if (current == kMethods[i]) ticked = i;
    layout->addWidget(choices_[i]);
  }
  choices_[ticked]->setChecked(true);
  auto* buttons = new QDialogButtonBox;
  buttons->addButton(t::kOk, QDialogButtonBox::AcceptRole)->setDefault(true);
  buttons->addButton(t::kCancel, QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

std::string ViewMethodDialog::method() const {
  for (int i = 0; i < 3; ++i)
    if (choices_[i]->isChecked()) return kMethods[i];
  return kMethods[0];
}

// --- the entry points -------------------------------------------------------

bool runOptionsWindow(QWidget* parent) {
  manager::SettingsStore store;
  manager::OptionsModel model(store);
  OptionsDialog dialog(model, parent);
  const std::vector<uint8_t> placement = store.windowPlacement(kPlacementName);
  if (!placement.empty())
    dialog.restoreGeometry(
        QByteArray(reinterpret_cast<const char*>(placement.data()), static_cast<qsizetype>(placement.size())));
  const bool ok = dialog.exec() == QDialog::Accepted;
  const QByteArray geometry = dialog.saveGeometry();
  store.setWindowPlacement(kPlacementName, std::vector<uint8_t>(geometry.begin(), geometry.end()));
  return ok;
}

std::optional<std::string> askViewMethod(QWidget* parent, const std::string& extension, const std::string& current) {
  ViewMethodDialog dialog(extension, current, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.method();
}

std::vector<ScreenshotWindow> optionsScreenshotWindows() {
  // One model with sample values shared by the four page shots; it lives
  // as long as the program (the factories may be called at any time).
  static manager::OptionsModel* sample = [] {
    auto* m = new manager::OptionsModel(manager::SettingsStore{});
    m->useFavourites = false;
    m->baseFolder = "/home/user/Desktop/Unzips/";
    m->buttonsHighlight = true;
    m->virusProgram = "/usr/bin/clamscan";
    m->virusParam = "--recursive --infected";
    m->setAssociations({{".TXT", manager::kWindowsNotepad},
                        {".JPG", manager::kInternalViewer},
                        {".DOC", manager::kAssociatedProgram},
                        {".BMP", manager::kInternalViewer},
                        {".HTM", manager::kAssociatedProgram}});
    return m;
  }();
  std::vector<ScreenshotWindow> shots;
  const char* names[4] = {"options_general", "options_associations", "options_version", "options_virus"};
  for (int page = 0; page < 4; ++page) {
    shots.push_back({names[page], [page](QWidget* parent) -> QWidget* {
                       auto* d = new OptionsDialog(*sample, parent);
                       d->tabs()->setCurrentIndex(page);
                       return d;
                     }});
  }
  shots.push_back({"view_method", [](QWidget* parent) -> QWidget* {
                     return new ViewMethodDialog(".LZH", manager::kInternalViewer, parent);
                   }});
  return shots;
}

}  // namespace vz::vzip
