// The windows the main window opens, one function each, so that the main
// window knows only these calls and each dialog keeps its own files:
//   options_window.cpp     the options window and the view-method question
//   find_archive_window.cpp, recover_password_window.cpp, ftp_window.cpp,
//   viewer_window.cpp      the tool windows
// Each file also lists its windows for scripts/screenshots.sh.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vz::vzip {

// The options window ("Configure Options for Vemora.Zip"), modal; true when
// closed with OK (the settings are then written).
bool runOptionsWindow(QWidget* parent);

// The view-method question for an extension that has no Associations row
// (also the options window's "Modify"): the method chosen (one of
// "Associated Program", "Internal Viewer", "Windows Notepad"), nothing when
// cancelled. current preselects a method.
std::optional<std::string> askViewMethod(QWidget* parent, const std::string& extension,
                                         const std::string& current = {});

// "Find an Archive", modal: the archive picked to open, nothing when closed.
std::optional<std::string> runFindArchive(QWidget* parent);

// "Recover Password", modal, on the open archive. True when it changed the
// archive (the list is then read again).
bool runRecoverPassword(QWidget* parent, const std::string& archivePath);

// The FTP window, modal: takes an ftp:// or sftp:// address and hands it
// to the desktop. upload: the open archive is the file to send.
void runFtpWindow(QWidget* parent, bool upload, const std::string& archivePath);

// The internal viewer on an extracted file: pictures through Qt's image
// readers, .RTF and .DOC as formatted text where Qt can, anything else as
// plain text. Modeless; deletes itself when closed.
void showViewer(QWidget* parent, const std::string& filePath);

// The windows each file offers to scripts/screenshots.sh: a name (the PNG's
// base name) and a factory that builds the window filled with sample data.
using ScreenshotWindow = std::pair<QString, std::function<QWidget*(QWidget* parent)>>;
std::vector<ScreenshotWindow> mainScreenshotWindows();     // main window, progress, splash
std::vector<ScreenshotWindow> optionsScreenshotWindows();  // options pages, view-method question
std::vector<ScreenshotWindow> toolScreenshotWindows();     // find, recover password, FTP, viewer

}  // namespace vz::vzip
