// "Recover Password": a modal dialog over manager::PasswordRecovery.
//
//   Entry        [secret.doc (deflated, 12,345 bytes)       v]
//   Word list    [/usr/share/dict/words        ] [Browse...]
//   Alphabet     [Lower-case letters v] [abcdefghijklmnopqrstuvwxyz]
//   Length       up to [4]  characters, threads [2]
//   [Start] [Stop]
//   [=========------------------------]  Tried: 123,456  Trying: abq
//   Password     [hunter2                      ] [Copy]
//   status line                                              [Close]
//
// The run stays on the user-interface thread: the recovery's progress
// callback updates the widgets and pumps events, so Stop and closing the
// window reach it (closing stops first and closes when the run has ended).
// The brute force itself runs on the recovery's worker threads. The window
// never changes the archive.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <atomic>
#include <thread>

#include "manager/vzip/tool_windows.h"

namespace vz::vzip {

namespace {

// Steps of the progress bar.
constexpr int kProgressSteps = 1000;

// The alphabet presets: label and characters (empty: keep the field).
struct AlphabetPreset {
  const char* label;
  const char* characters;
};
constexpr AlphabetPreset kAlphabets[] = {
    {"Lower-case letters", "abcdefghijklmnopqrstuvwxyz"},
    {"Lower-case letters and digits", "abcdefghijklmnopqrstuvwxyz0123456789"},
    {"Letters and digits", "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"},
    {"Digits", "0123456789"},
    {"Every printable character",
     "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~"},
    {"No brute force", ""},
};

// A form label whose access key moves the focus to buddy.
QLabel* buddyLabel(const QString& text, QWidget* buddy) {
  auto* label = new QLabel(text);
  label->setBuddy(buddy);
  return label;
}

QString methodName(uint16_t method) {
  switch (method) {
    case 0:
      return QStringLiteral("stored");
    case 1:
      return QStringLiteral("shrunk");
    case 2:
    case 3:
    case 4:
    case 5:
      return QStringLiteral("reduced");
    case 6:
      return QStringLiteral("imploded");
    case 8:
      return QStringLiteral("deflated");
    default:
      return QStringLiteral("method %1").arg(method);
  }
}

class RecoverPasswordWindow : public QDialog {
 public:
  RecoverPasswordWindow(QWidget* parent, const std::string& archivePath, std::vector<manager::EncryptedEntry> entries)
      : QDialog(parent), archive_(archivePath), entries_(std::move(entries)) {
    setWindowTitle(QStringLiteral("Recover Password"));
    setObjectName(QStringLiteral("recoverPasswordWindow"));
    auto* form = new QFormLayout;

    auto* archiveLabel = new QLabel(QString::fromStdString(archivePath));
    archiveLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(QStringLiteral("Archive:"), archiveLabel);

    entry_ = new QComboBox;
    entry_->setObjectName(QStringLiteral("entry"));
    for (const manager::EncryptedEntry& e : entries_)
      entry_->addItem(QStringLiteral("%1 (%2, %3 bytes)")
                          .arg(QString::fromStdString(e.name), methodName(e.method),
                               QLocale().toString(static_cast<qulonglong>(e.uncompressedSize))));
    form->addRow(QStringLiteral("&Entry:"), entry_);

    wordList_ = new QLineEdit;
    wordList_->setObjectName(QStringLiteral("wordList"));
    wordList_->setPlaceholderText(QStringLiteral("a text file with one word a line (optional)"));
    auto* browse = new QPushButton(QStringLiteral("&Browse..."));
    connect(browse, &QPushButton::clicked, this, [this] {
      QString f = QFileDialog::getOpenFileName(this, QStringLiteral("Word list"), wordList_->text());
      if (!f.isEmpty()) wordList_->setText(f);
    });
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(wordList_, 1);
    listRow->addWidget(browse);
    form->addRow(buddyLabel(QStringLiteral("&Word list:"), wordList_), listRow);

    auto* presets = new QComboBox;
    for (const AlphabetPreset& p : kAlphabets) presets->addItem(QString::fromUtf8(p.label));
    alphabet_ = new QLineEdit(QString::fromUtf8(kAlphabets[0].characters));
    alphabet_->setObjectName(QStringLiteral("alphabet"));
    connect(presets, &QComboBox::currentIndexChanged, this,
            [this](int i) { alphabet_->setText(QString::fromUtf8(kAlphabets[i].characters)); });
    auto* alphaRow = new QHBoxLayout;
    alphaRow->addWidget(presets);
    alphaRow->addWidget(alphabet_, 1);
    form->addRow(buddyLabel(QStringLiteral("&Alphabet:"), presets), alphaRow);

    maxLength_ = new QSpinBox;
    maxLength_->setObjectName(QStringLiteral("maxLength"));
    maxLength_->setRange(1, 16);
    maxLength_->setValue(4);
    threads_ = new QSpinBox;
    threads_->setObjectName(QStringLiteral("threads"));
    threads_->setRange(1, 64);
    threads_->setValue(static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
    auto* lengthRow = new QHBoxLayout;
    lengthRow->addWidget(new QLabel(QStringLiteral("up to")));
    lengthRow->addWidget(maxLength_);
    lengthRow->addWidget(new QLabel(QStringLiteral("characters, using")));
    lengthRow->addWidget(threads_);
    lengthRow->addWidget(new QLabel(QStringLiteral("threads")));
    lengthRow->addStretch();
    form->addRow(buddyLabel(QStringLiteral("&Length:"), maxLength_), lengthRow);

    start_ = new QPushButton(QStringLiteral("&Start"));
    start_->setObjectName(QStringLiteral("start"));
    start_->setDefault(true);
    stop_ = new QPushButton(QStringLiteral("S&top"));
    stop_->setObjectName(QStringLiteral("stop"));
    connect(start_, &QPushButton::clicked, this, [this] { runRecovery(); });
    connect(stop_, &QPushButton::clicked, this, [this] { stopRequested_ = true; });
    auto* runRow = new QHBoxLayout;
    runRow->addWidget(start_);
    runRow->addWidget(stop_);
    runRow->addStretch();

    progress_ = new QProgressBar;
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setRange(0, kProgressSteps);
    progress_->setValue(0);
    tried_ = new QLabel(QStringLiteral("Tried: 0"));
    tried_->setObjectName(QStringLiteral("tried"));
    current_ = new QLabel;
    current_->setObjectName(QStringLiteral("current"));
    current_->setMinimumWidth(160);
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(progress_, 1);
    progressRow->addWidget(tried_);
    progressRow->addWidget(current_);

    password_ = new QLineEdit;
    password_->setObjectName(QStringLiteral("password"));
    password_->setReadOnly(true);
    copy_ = new QPushButton(QStringLiteral("&Copy"));
    copy_->setObjectName(QStringLiteral("copy"));
    connect(copy_, &QPushButton::clicked, this, [this] { QGuiApplication::clipboard()->setText(password_->text()); });
    auto* passwordRow = new QHBoxLayout;
    passwordRow->addWidget(new QLabel(QStringLiteral("Password:")));
    passwordRow->addWidget(password_, 1);
    passwordRow->addWidget(copy_);

    status_ = new QLabel;
    status_->setObjectName(QStringLiteral("status"));
    status_->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(runRow);
    layout->addLayout(progressRow);
    layout->addLayout(passwordRow);
    layout->addWidget(status_);
    layout->addStretch();
    layout->addWidget(buttons);
    resize(600, 0);

    if (entries_.empty())
      status_->setText(QStringLiteral("This archive has no entries protected by the traditional ZIP encryption."));
    updateButtons();
  }

  void reject() override {
    if (busy_) {
      stopRequested_ = true;
      closeWhenDone_ = true;
      return;
    }
    QDialog::reject();
  }

 private:
  void updateButtons() {
    start_->setEnabled(!busy_ && !entries_.empty());
    stop_->setEnabled(busy_);
    copy_->setEnabled(!busy_ && !password_->text().isEmpty());
    entry_->setEnabled(!busy_);
  }

  void runRecovery() {
    const int index = entry_->currentIndex();
    if (index < 0 || static_cast<size_t>(index) >= entries_.size()) return;
    manager::PasswordRecovery recovery;
    manager::RecoveryStatus opened = recovery.open(archive_, entries_[static_cast<size_t>(index)].index);
    if (opened != manager::RecoveryStatus::Found) {
      status_->setText(QStringLiteral("Error: %1").arg(QString::fromUtf8(manager::recoveryStatusText(opened))));
      return;
    }
    manager::RecoveryOptions o;
    o.wordListPath = wordList_->text().trimmed().toStdString();
    o.alphabet = alphabet_->text().toStdString();
    o.maxLength = maxLength_->value();
    o.threads = static_cast<unsigned>(threads_->value());

    busy_ = true;
    stopRequested_ = false;
    password_->clear();
    progress_->setValue(0);
    status_->setText(QStringLiteral("Searching..."));
    updateButtons();
    manager::RecoveryResult r = recovery.run(
        o,
        [this](const manager::RecoveryProgress& p) {
          progress_->setValue(static_cast<int>(p.fraction * kProgressSteps));
          tried_->setText(QStringLiteral("Tried: %1").arg(QLocale().toString(static_cast<qulonglong>(p.tried))));
          current_->setText(QStringLiteral("%1: %2").arg(
              p.phase == 0 ? QStringLiteral("Word") : QStringLiteral("Trying"), QString::fromStdString(p.current)));
          QApplication::processEvents();
        },
        &stopRequested_);
    busy_ = false;
    tried_->setText(QStringLiteral("Tried: %1").arg(QLocale().toString(static_cast<qulonglong>(r.tried))));
    QString text = QString::fromUtf8(manager::recoveryStatusText(r.status));
    if (r.status == manager::RecoveryStatus::Found) {
      password_->setText(QString::fromStdString(r.password));
      progress_->setValue(kProgressSteps);
      if (!r.confirmed)
        text += QStringLiteral(" The entry's method cannot be decoded here, so only its header confirmed it.");
    } else if (r.status != manager::RecoveryStatus::Stopped && r.status != manager::RecoveryStatus::NotFound) {
      text = QStringLiteral("Error: ") + text;
    }
    status_->setText(text);
    updateButtons();
    if (closeWhenDone_) QDialog::reject();
  }

  std::string archive_;                           // the archive's path
  std::vector<manager::EncryptedEntry> entries_;  // the entries offered, in the combo box's order
  QComboBox* entry_;
  QLineEdit* wordList_;
  QLineEdit* alphabet_;
  QSpinBox* maxLength_;
  QSpinBox* threads_;
  QPushButton* start_;
  QPushButton* stop_;
  QPushButton* copy_;
  QProgressBar* progress_;
  QLabel* tried_;
  QLabel* current_;
  QLineEdit* password_;
  QLabel* status_;
  std::atomic<bool> stopRequested_{false};  // Stop pressed, or the window closed, during a run
  bool busy_ = false;                       // a run is going on
  bool closeWhenDone_ = false;              // close once the run has ended
};

}  // namespace

QDialog* createRecoverPasswordWindow(QWidget* parent, const std::string& archivePath,
                                     const std::vector<manager::EncryptedEntry>* entries) {
  return new RecoverPasswordWindow(parent, archivePath,
                                   entries ? *entries : manager::listEncryptedEntries(archivePath));
}

bool runRecoverPassword(QWidget* parent, const std::string& archivePath) {
  RecoverPasswordWindow window(parent, archivePath, manager::listEncryptedEntries(archivePath));
  window.exec();
  return false;  // finding a password never changes the archive
}

std::vector<ScreenshotWindow> recoverPasswordScreenshots() {
  return {{QStringLiteral("recover_password"), [](QWidget* parent) -> QWidget* {
             manager::EncryptedEntry a;
             a.index = 0;
             a.name = "accounts/2024 summary.xls";
             a.method = 8;
             a.uncompressedSize = 48640;
             manager::EncryptedEntry b = a;
             b.index = 1;
             b.name = "letters/notes.txt";
             b.uncompressedSize = 1200;
             std::vector<manager::EncryptedEntry> entries{a, b};
             QDialog* w = createRecoverPasswordWindow(parent, "/home/user/Documents/private.zip", &entries);
             w->findChild<QLineEdit*>(QStringLiteral("wordList"))->setText(QStringLiteral("/usr/share/dict/words"));
             w->findChild<QProgressBar*>(QStringLiteral("progress"))->setValue(420);
             w->findChild<QLabel*>(QStringLiteral("tried"))->setText(QStringLiteral("Tried: 1,284,032"));
             w->findChild<QLabel*>(QStringLiteral("current"))->setText(QStringLiteral("Trying: kqz"));
             return w;
           }}};
}

}  // namespace vz::vzip
