// "Find an Archive": a modal dialog over manager::searchArchives.
//
//   Look in   [folder.....................] [Browse...]
//   Names     [*.*                        ]
//   Kinds     [x ZIP] [x ARC] ...  (checkable list)   [x] Search sub-folders
//                                                     [ ] By extension only
//   [Find] [Stop]                                status text
//   +--------------------------------------------------------------+
//   | Name | Folder | Kind | Size | Modified                       |
//   +--------------------------------------------------------------+
//                                              [Open] [Close]
//
// The search runs on the user-interface thread; its visitor adds rows as
// archives are found and pumps the window's events at most every 50 ms, so
// Stop (and closing the window, which stops first) reach it through the
// stop flag. Double-clicking a row or Open closes the window with that
// archive as the answer.
#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <atomic>

#include "manager/vzip/tool_windows.h"

namespace vz::vzip {

namespace {

// Role of a result row's item holding the full path.
constexpr int kPathRole = Qt::UserRole + 1;
// Longest pause between two event pumps during a search.
constexpr qint64 kPumpIntervalMs = 50;

class FindArchiveWindow : public QDialog {
 public:
  FindArchiveWindow(QWidget* parent, const QString& startFolder) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Find an Archive"));
    setObjectName(QStringLiteral("findArchiveWindow"));
    auto* form = new QGridLayout;

    folder_ = new QLineEdit(startFolder.isEmpty() ? QDir::homePath() : startFolder);
    folder_->setObjectName(QStringLiteral("folder"));
    auto* browse = new QPushButton(QStringLiteral("&Browse..."));
    connect(browse, &QPushButton::clicked, this, [this] {
      QString dir = QFileDialog::getExistingDirectory(this, QStringLiteral("Look in"), folder_->text());
      if (!dir.isEmpty()) folder_->setText(dir);
    });
    form->addWidget(new QLabel(QStringLiteral("&Look in:")), 0, 0);
    form->addWidget(folder_, 0, 1);
    form->addWidget(browse, 0, 2);
    qobject_cast<QLabel*>(form->itemAtPosition(0, 0)->widget())->setBuddy(folder_);

    mask_ = new QLineEdit(QStringLiteral("*.*"));
    mask_->setObjectName(QStringLiteral("mask"));
    mask_->setToolTip(QStringLiteral("One or more patterns separated by \";\", for example *.zip;*.arj"));
    auto* maskLabel = new QLabel(QStringLiteral("&Names:"));
    maskLabel->setBuddy(mask_);
    form->addWidget(maskLabel, 1, 0);
    form->addWidget(mask_, 1, 1, 1, 2);

    kinds_ = new QListWidget;
    kinds_->setObjectName(QStringLiteral("kinds"));
    kinds_->setFlow(QListView::LeftToRight);
    kinds_->setWrapping(true);
    kinds_->setResizeMode(QListView::Adjust);
    kinds_->setMaximumHeight(56);
    for (int k = 0; k < manager::kSearchKindCount; ++k) {
      auto* item =
          new QListWidgetItem(QString::fromUtf8(manager::searchKindLabel(static_cast<manager::SearchKind>(k))));
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
      item->setCheckState(Qt::Checked);
      item->setData(Qt::UserRole, k);
      kinds_->addItem(item);
    }
    form->addWidget(new QLabel(QStringLiteral("Kinds:")), 2, 0, Qt::AlignTop);
    form->addWidget(kinds_, 2, 1, 1, 2);

    subfolders_ = new QCheckBox(QStringLiteral("Search &sub-folders"));
    subfolders_->setObjectName(QStringLiteral("subfolders"));
    subfolders_->setChecked(true);
    byExtension_ = new QCheckBox(QStringLiteral("Decide the kind by the &extension only (faster, less sure)"));
    byExtension_->setObjectName(QStringLiteral("byExtension"));
    auto* options = new QHBoxLayout;
    options->addWidget(subfolders_);
    options->addWidget(byExtension_);
    options->addStretch();
    form->addLayout(options, 3, 1, 1, 2);

    find_ = new QPushButton(QStringLiteral("&Find"));
    find_->setObjectName(QStringLiteral("find"));
    find_->setDefault(true);
    stop_ = new QPushButton(QStringLiteral("S&top"));
    stop_->setObjectName(QStringLiteral("stop"));
    stop_->setEnabled(false);
    status_ = new QLabel;
    status_->setObjectName(QStringLiteral("status"));
    auto* actions = new QHBoxLayout;
    actions->addWidget(find_);
    actions->addWidget(stop_);
    actions->addWidget(status_, 1);
    connect(find_, &QPushButton::clicked, this, [this] { runSearch(); });
    connect(stop_, &QPushButton::clicked, this, [this] { stopRequested_ = true; });

    results_ = new QTreeWidget;
    results_->setObjectName(QStringLiteral("results"));
    results_->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Folder"), QStringLiteral("Kind"),
                               QStringLiteral("Size"), QStringLiteral("Modified")});
    results_->setRootIsDecorated(false);
    results_->setUniformRowHeights(true);
    results_->setSortingEnabled(false);
    results_->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    results_->header()->setStretchLastSection(false);
    results_->setColumnWidth(0, 160);
    results_->setColumnWidth(2, 90);
    results_->setColumnWidth(3, 90);
    results_->setColumnWidth(4, 150);
    connect(results_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) { choose(item); });
    connect(results_, &QTreeWidget::currentItemChanged, this, [this] { updateButtons(); });

    auto* buttons = new QDialogButtonBox;
    open_ = buttons->addButton(QStringLiteral("&Open"), QDialogButtonBox::AcceptRole);
    open_->setObjectName(QStringLiteral("open"));
    buttons->addButton(QDialogButtonBox::Close);
    connect(open_, &QPushButton::clicked, this, [this] { choose(results_->currentItem()); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(actions);
    layout->addWidget(results_, 1);
    layout->addWidget(buttons);
    resize(720, 480);
    updateButtons();
  }

  QString chosen() const { return chosen_; }

  void addResult(const manager::SearchResult& r) {
    QFileInfo info(QString::fromStdString(r.path));
    auto* item = new QTreeWidgetItem;
    item->setText(0, info.fileName());
    item->setText(1, info.absolutePath());
    item->setText(2, QString::fromStdString(r.kindName));
    item->setText(3, QLocale().toString(static_cast<qulonglong>(r.size)));
    item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
    item->setText(4, QLocale().toString(QDateTime::fromSecsSinceEpoch(r.modified), QLocale::ShortFormat));
    item->setData(0, kPathRole, QString::fromStdString(r.path));
    results_->addTopLevelItem(item);
    if (!results_->currentItem()) results_->setCurrentItem(item);
  }

  void reject() override {
    // Closing during a search stops it first; the search's end closes.
    if (busy_) {
      stopRequested_ = true;
      closeWhenDone_ = true;
      return;
    }
    QDialog::reject();
  }

 private:
  void updateButtons() {
    find_->setEnabled(!busy_);
    stop_->setEnabled(busy_);
    open_->setEnabled(!busy_ && results_->currentItem() != nullptr);
  }

  void choose(QTreeWidgetItem* item) {
    if (!item || busy_) return;
    chosen_ = item->data(0, kPathRole).toString();
    accept();
  }

  void runSearch() {
    manager::SearchOptions o;
    o.folder = QDir::cleanPath(folder_->text().trimmed()).toStdString();
    o.mask = mask_->text().trimmed().toStdString();
    o.subfolders = subfolders_->isChecked();
    o.byExtension = byExtension_->isChecked();
    o.kinds = 0;
    for (int i = 0; i < kinds_->count(); ++i)
      if (kinds_->item(i)->checkState() == Qt::Checked)
        o.kinds |=
            manager::searchKindBit(static_cast<manager::SearchKind>(kinds_->item(i)->data(Qt::UserRole).toInt()));
    if (o.kinds == 0) {
      status_->setText(QStringLiteral("Tick at least one kind of archive."));
      return;
    }
    results_->clear();
    busy_ = true;
    stopRequested_ = false;
    updateButtons();
    status_->setText(QStringLiteral("Searching..."));

    QElapsedTimer sincePump;
    sincePump.start();
    auto pump = [&] {
      if (sincePump.elapsed() >= kPumpIntervalMs) {
        QApplication::processEvents();
        sincePump.restart();
      }
      return true;
    };
    manager::SearchVisitor v;
    v.found = [&](const manager::SearchResult& r) {
      addResult(r);
      return pump();
    };
    v.entering = [&](const std::string& folder) {
      status_->setText(QStringLiteral("Searching %1").arg(QString::fromStdString(folder)));
      return pump();
    };
    v.checking = [&](const std::string&) { return pump(); };
    manager::SearchSummary s = manager::searchArchives(o, v, &stopRequested_);

    busy_ = false;
    if (s.folderMissing)
      status_->setText(QStringLiteral("Error: The folder %1 could not be read.").arg(folder_->text()));
    else
      status_->setText(QStringLiteral("%1 %2 found in %3 folders%4.")
                           .arg(s.found)
                           .arg(s.found == 1 ? QStringLiteral("archive") : QStringLiteral("archives"))
                           .arg(s.foldersRead)
                           .arg(s.stopped ? QStringLiteral(" (stopped)") : QString()));
    updateButtons();
    if (closeWhenDone_) QDialog::reject();
  }

  QLineEdit* folder_;
  QLineEdit* mask_;
  QListWidget* kinds_;
  QCheckBox* subfolders_;
  QCheckBox* byExtension_;
  QPushButton* find_;
  QPushButton* stop_;
  QPushButton* open_;
  QLabel* status_;
  QTreeWidget* results_;
  std::atomic<bool> stopRequested_{false};  // Stop pressed, or the window closed, during a search
  bool busy_ = false;                       // a search is running
  bool closeWhenDone_ = false;              // close once the running search has stopped
  QString chosen_;                          // the archive picked
};

}  // namespace

QDialog* createFindArchiveWindow(QWidget* parent, const QString& startFolder) {
  return new FindArchiveWindow(parent, startFolder);
}

QString chosenArchive(QDialog* findWindow) {
  auto* w = dynamic_cast<FindArchiveWindow*>(findWindow);
  return w ? w->chosen() : QString();
}

void addFindResult(QDialog* findWindow, const manager::SearchResult& result) {
  if (auto* w = dynamic_cast<FindArchiveWindow*>(findWindow)) w->addResult(result);
}

std::optional<std::string> runFindArchive(QWidget* parent) {
  FindArchiveWindow window(parent, QString());
  if (window.exec() != QDialog::Accepted || window.chosen().isEmpty()) return std::nullopt;
  return window.chosen().toStdString();
}

std::vector<ScreenshotWindow> findArchiveScreenshots() {
  return {{QStringLiteral("find_archive"), [](QWidget* parent) -> QWidget* {
             QDialog* w = createFindArchiveWindow(parent, QStringLiteral("/home/user/Downloads"));
             const std::time_t when = 1700000000;
             addFindResult(w, {"/home/user/Downloads/photos.zip", "ZIP", manager::SearchKind::Zip, 2483021, when});
             addFindResult(w, {"/home/user/Downloads/old/tools.arj", "ARJ", manager::SearchKind::Arj, 318220, when});
             addFindResult(w, {"/home/user/Downloads/old/setup.exe", "ZIP SFX", manager::SearchKind::SelfExtracting,
                               905114, when});
             addFindResult(w, {"/home/user/Downloads/src/backup.tar", "TAR", manager::SearchKind::Tar, 10240000, when});
             return w;
           }}};
}

}  // namespace vz::vzip
