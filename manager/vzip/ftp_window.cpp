// The FTP window ("Download from FTP site" / "Upload to FTP Site").
//
//   Address  [ftp://user@ftp.example.org/pub/            ]
//            state: "Hand this address to the desktop." or what is wrong
//   File     /home/user/archive.zip (1,234 bytes)   (upload only)
//            [Show in folder]
//   note on how the transfer happens
//                                     [Open address] [Close]
//
// The system carries no network client of its own: "Open address" hands
// the address to the desktop (xdg-open through platform/process.h), whose
// file manager or FTP program logs on and transfers. For an upload the
// window shows which archive to send and can open its folder, so the user
// drags it across.
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "manager/app/desktop_actions.h"
#include "manager/vzip/tool_windows.h"
#include "platform/process.h"

namespace vz::vzip {

namespace {

// Why an address is not usable; empty when it is.
QString addressProblem(const QString& text) {
  const QString address = text.trimmed();
  if (address.isEmpty()) return QStringLiteral("Type an address such as ftp://ftp.example.org/pub/.");
  QUrl url(address, QUrl::StrictMode);
  if (!url.isValid()) return QStringLiteral("This is not a valid address.");
  const QString scheme = url.scheme().toLower();
  if (scheme != QLatin1String("ftp") && scheme != QLatin1String("sftp"))
    return QStringLiteral("The address must begin with ftp:// or sftp://.");
  if (url.host().isEmpty()) return QStringLiteral("The address names no server.");
  return {};
}

class FtpWindow : public QDialog {
 public:
  FtpWindow(QWidget* parent, bool upload, const std::string& archivePath) : QDialog(parent) {
    setWindowTitle(upload ? QStringLiteral("Upload to FTP Site") : QStringLiteral("Download from FTP site"));
    setObjectName(QStringLiteral("ftpWindow"));
    auto* form = new QFormLayout;

    address_ = new QLineEdit(QStringLiteral("ftp://"));
    address_->setObjectName(QStringLiteral("address"));
    address_->setMinimumWidth(380);
    state_ = new QLabel;
    state_->setObjectName(QStringLiteral("addressState"));
    form->addRow(QStringLiteral("&Address:"), address_);
    form->addRow(QString(), state_);

    if (upload) {
      QFileInfo info(QString::fromStdString(archivePath));
      auto* file = new QLabel(archivePath.empty() ? QStringLiteral("(no archive is open)")
                                                  : QStringLiteral("%1 (%2 bytes)")
                                                        .arg(info.absoluteFilePath(),
                                                             QLocale().toString(static_cast<qulonglong>(info.size()))));
      file->setObjectName(QStringLiteral("file"));
      file->setTextInteractionFlags(Qt::TextSelectableByMouse);
      auto* show = new QPushButton(QStringLiteral("Show in &folder"));
      show->setEnabled(!archivePath.empty());
      const QString folder = info.absolutePath();
      connect(show, &QPushButton::clicked, this, [folder] { manager::openFileManager(folder.toStdString()); });
      auto* fileRow = new QHBoxLayout;
      fileRow->addWidget(file, 1);
      fileRow->addWidget(show);
      form->addRow(QStringLiteral("File to send:"), fileRow);
    }

    auto* note =
        new QLabel(upload ? QStringLiteral("Open address shows the site in your desktop's file manager or FTP program; "
                                           "drag the archive above into it to send it.")
                          : QStringLiteral("Open address shows the site in your desktop's file manager or FTP program; "
                                           "copy the archives you want from there and open them here."));
    note->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    open_ = buttons->addButton(QStringLiteral("&Open address"), QDialogButtonBox::ActionRole);
    open_->setObjectName(QStringLiteral("openAddress"));
    open_->setDefault(true);
    connect(open_, &QPushButton::clicked, this, [this] { openAddress(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(address_, &QLineEdit::textChanged, this, [this] { validate(); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(buttons);
    validate();
  }

 private:
  void validate() {
    QString problem = addressProblem(address_->text());
    state_->setText(problem.isEmpty() ? QStringLiteral("Ready to hand this address to the desktop.") : problem);
    open_->setEnabled(problem.isEmpty());
  }

  void openAddress() {
    if (!addressProblem(address_->text()).isEmpty()) return;
    if (!openDocument(address_->text().trimmed().toStdString()))
      QMessageBox::warning(this, windowTitle(),
                           QStringLiteral("Error: The desktop could not open the address. Make sure that "
                                          "xdg-open is installed and that a program handles FTP addresses."));
    else
      accept();
  }

  QLineEdit* address_;
  QLabel* state_;
  QPushButton* open_;
};

}  // namespace

bool isFtpAddress(const QString& address) { return addressProblem(address).isEmpty(); }

QDialog* createFtpWindow(QWidget* parent, bool upload, const std::string& archivePath) {
  return new FtpWindow(parent, upload, archivePath);
}

void runFtpWindow(QWidget* parent, bool upload, const std::string& archivePath) {
  FtpWindow window(parent, upload, archivePath);
  window.exec();
}

std::vector<ScreenshotWindow> ftpScreenshots() {
  auto make = [](bool upload) {
    return [upload](QWidget* parent) -> QWidget* {
      QDialog* w = createFtpWindow(parent, upload, upload ? "/home/user/Documents/reports.zip" : "");
      w->findChild<QLineEdit*>(QStringLiteral("address"))->setText(QStringLiteral("ftp://ftp.example.org/pub/"));
      return w;
    };
  };
  return {{QStringLiteral("ftp_download"), make(false)}, {QStringLiteral("ftp_upload"), make(true)}};
}

}  // namespace vz::vzip
