// The options window's entry points until the window is built.
#include "manager/vzip/windows.h"

namespace vz::vzip {

bool runOptionsWindow(QWidget*) { return false; }
std::optional<std::string> askViewMethod(QWidget*, const std::string&, const std::string&) { return std::nullopt; }
std::vector<ScreenshotWindow> optionsScreenshotWindows() { return {}; }

}  // namespace vz::vzip
