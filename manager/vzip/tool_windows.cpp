// The tool windows' entry points until each window has its own file.
#include "manager/vzip/windows.h"

namespace vz::vzip {

std::optional<std::string> runFindArchive(QWidget*) { return std::nullopt; }
bool runRecoverPassword(QWidget*, const std::string&) { return false; }
void runFtpWindow(QWidget*, bool, const std::string&) {}
void showViewer(QWidget*, const std::string&) {}
std::vector<ScreenshotWindow> toolScreenshotWindows() { return {}; }

}  // namespace vz::vzip
