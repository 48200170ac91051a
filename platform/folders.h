// The known folders. When the environment variable VZ_ROOT is set every
// folder below lies inside it (tests and portable installs never touch the
// real home); otherwise the XDG locations apply. Folders are created on
// first use where the description says so.
//
//   windowsFolder()   QX30.INI, WIN.INI, registry/   $XDG_CONFIG_HOME/VemoraZip   VZ_ROOT/windows
//   systemFolder()    shared files, TEMP.ELF         $XDG_DATA_HOME/VemoraZip/system  VZ_ROOT/system
//   tempPath()        GetTempPathA                  $TMPDIR or /tmp              $TMPDIR or VZ_ROOT/tmp
//   desktopFolder()   the desktop                   XDG desktop dir (~/Desktop)  VZ_ROOT/Desktop
//   programsFolder()  program groups                $XDG_DATA_HOME/applications  VZ_ROOT/applications
//   sendToFolder()    "Sendto\"                      windowsFolder()/Sendto
//   defaultInstallFolder()                          ~/.local/opt/VemoraZip        VZ_ROOT/opt/VemoraZip
#pragma once

#include <string>

namespace vz {

// Each returns the folder without a trailing "/" and creates it when it is
// missing (except defaultInstallFolder, which setup creates).
std::string windowsFolder();
std::string systemFolder();
std::string tempPath();
std::string desktopFolder();
std::string programsFolder();
std::string sendToFolder();
std::string defaultInstallFolder();
// The user's home folder ($HOME, else the password database).
std::string homeFolder();

}  // namespace vz
