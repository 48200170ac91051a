// The tool windows behind the entry points of windows.h, as factories, so
// that the entry points, the screenshots and the tests build the same
// windows:
//   find_archive_window.cpp     "Find an Archive" (archive_search.h)
//   recover_password_window.cpp "Recover Password" (password_recovery.h)
//   ftp_window.cpp              the FTP address window
//   viewer_window.cpp           the internal viewer (rtf_text.h for rich text)
// Widgets that tests look for carry object names (listed at each factory).
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "manager/app/archive_search.h"
#include "manager/app/password_recovery.h"
#include "manager/vzip/windows.h"

namespace vz::vzip {

// "Find an Archive". Objects: "folder", "mask", "kinds" (a checkable list),
// "subfolders", "byExtension", "find", "stop", "results", "open",
// "status". startFolder fills the folder field. After exec() returned
// Accepted, chosenArchive() gives the path.
QDialog* createFindArchiveWindow(QWidget* parent, const QString& startFolder = {});
// The path picked in a find window (empty when none).
QString chosenArchive(QDialog* findWindow);
// Adds one result row, as the search does (screenshots use it).
void addFindResult(QDialog* findWindow, const manager::SearchResult& result);

// "Recover Password" on an archive's encrypted entries (the list given, or
// read from the archive when entries is null). Objects: "entry", "wordList",
// "alphabet", "maxLength", "threads", "start", "stop", "progress",
// "tried", "current", "password", "copy", "status".
QDialog* createRecoverPasswordWindow(QWidget* parent, const std::string& archivePath,
                                     const std::vector<manager::EncryptedEntry>* entries = nullptr);

// The FTP window. Objects: "address", "addressState", "file" (upload
// only), "openAddress".
QDialog* createFtpWindow(QWidget* parent, bool upload, const std::string& archivePath);
// Whether an address is one the window hands on: an ftp:// or sftp:// URL
// with a host (user, password, port and path optional).
bool isFtpAddress(const QString& address);

// The viewer on bytes already read (name decides by its extension how they
// are shown; fullSize is the file's size when the bytes are only its
// beginning). A window that deletes itself when closed. Objects:
// "viewerPicture" (a label with the picture), "viewerRichText",
// "viewerPlainText", "viewerNote" (the cut or error notice).
QWidget* createViewer(QWidget* parent, const QString& name, const QByteArray& bytes, qint64 fullSize);

// The screenshot windows of each file.
std::vector<ScreenshotWindow> findArchiveScreenshots();
std::vector<ScreenshotWindow> recoverPasswordScreenshots();
std::vector<ScreenshotWindow> ftpScreenshots();
std::vector<ScreenshotWindow> viewerScreenshots();

}  // namespace vz::vzip
