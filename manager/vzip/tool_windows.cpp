// The tool windows' screenshot list: each window file offers its own
// windows filled with sample data; this gathers them in one order.
#include "manager/vzip/tool_windows.h"

namespace vz::vzip {

std::vector<ScreenshotWindow> toolScreenshotWindows() {
  std::vector<ScreenshotWindow> all;
  for (auto part : {findArchiveScreenshots, recoverPasswordScreenshots, ftpScreenshots, viewerScreenshots})
    for (ScreenshotWindow& w : part()) all.push_back(std::move(w));
  return all;
}

}  // namespace vz::vzip
