// Handlers of the settings methods, the about box and the read side's
// cancel request: everything the control answers from its own state
// without running an archive operation. (The write side's cancel request,
// replace flag and new-archive name are in methods_write.cpp.)
#include "control/automation/about.h"
#include "control/automation/control.h"
#include "control/automation/methods.h"
#include "control/automation/settings.h"
#include "control/typelib/qx_typelib.h"

namespace vz::control {

namespace {

using com::Variant;

Variant setStringResourceM(CZCtrl&, const Args& a) {
  setStringResource(a.i2(0), a.text(1));
  return {};
}

Variant setHelpFileM(CZCtrl& c, const Args& a) {
  c.setHelpFile(a.text(0));
  setHelpFile(a.text(0));
  return {};
}

Variant setIniFileM(CZCtrl&, const Args& a) {
  setIniFile(a.text(0));
  return {};
}

Variant setPasswordModeM(CZCtrl&, const Args& a) {
  setPasswordMode(a.flag(0), a.flag(1));
  return {};
}

// The method returns nothing; a file that cannot be written leaves the
// passwords as they were.
Variant deletePasswordsM(CZCtrl&, const Args&) {
  deletePasswords();
  return {};
}

Variant aboutBoxM(CZCtrl& c, const Args&) {
  showAboutBox(c.helpFile().empty() ? settings().helpFile : c.helpFile());
  return {};
}

// UnzipCancel(bCancel): the read side's cancel request, read before each
// entry.
Variant unzipCancelM(CZCtrl& c, const Args& a) {
  if (engine::UnzipState* st = c.readerState()) st->cancel = a.flag(0);
  return {};
}

constexpr MethodEntry kTable[] = {
    {45, unzipCancelM},     {51, setStringResourceM}, {55, setHelpFileM},           {56, setIniFileM},
    {57, setPasswordModeM}, {58, deletePasswordsM},   {kDispIdAboutBox, aboutBoxM},
};

}  // namespace

std::span<const MethodEntry> settingsMethods() { return kTable; }

}  // namespace vz::control
