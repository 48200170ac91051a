// What every vzip process (the program, its tests, the screenshot program)
// sets up once its QApplication exists: the application's names, an icon
// theme when the session names none (breeze, then Adwaita, so buttons are
// never blank under Xvfb or a bare window manager), and the Qt back end of
// the icon service.
#pragma once

namespace vz::vzip {

void setUpApplication();

}  // namespace vz::vzip
