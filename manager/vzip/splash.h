// The splash window shown while vzip starts: the program's name and
// version over a plain panel with the archive icon, freed before the
// event loop runs.
#pragma once

#include <QSplashScreen>

namespace vz::vzip {

// A new splash screen (not shown).
QSplashScreen* makeSplash();

}  // namespace vz::vzip
