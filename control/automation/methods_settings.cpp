// Handlers of the settings methods, the about box, the cancel requests, the
// write side's replace flag and the new-archive name: everything the
// control answers from its own state without running an archive operation.
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

// ZipCancel(bCancel): the write side's cancel request, read between entries.
Variant zipCancelM(CZCtrl& c, const Args& a) {
  if (ZipEngine* z = c.zipEngine()) z->cancel = a.flag(0);
  return {};
}

// UnzipCancel(bCancel): the read side's cancel request, read before each
// entry.
Variant unzipCancelM(CZCtrl& c, const Args& a) {
  if (engine::UnzipState* st = c.readerState()) st->cancel = a.flag(0);
  return {};
}

// ZipGetReplaceFlag: the overwrite mode in force (0 after "always", 1
// after "never"); 0 without the engine object.
Variant zipGetReplaceFlagM(CZCtrl& c, const Args&) {
  const ZipEngine* z = c.zipEngine();
  return Variant::fromShort(z ? z->currentOverwriteMode : int16_t{0});
}

// GetNewZIPName: the name last made by CreateBlankZIPFile's dialog, then
// forgotten.
Variant getNewZipNameM(CZCtrl& c, const Args&) {
  std::string name;
  name.swap(c.newZipName());
  return Variant::fromText(std::move(name));
}

constexpr MethodEntry kTable[] = {
    {4, zipCancelM},          {5, zipGetReplaceFlagM}, {45, unzipCancelM},       {51, setStringResourceM},
    {55, setHelpFileM},       {56, setIniFileM},       {57, setPasswordModeM},   {58, deletePasswordsM},
    {62, getNewZipNameM},     {kDispIdAboutBox, aboutBoxM},
};

}  // namespace

std::span<const MethodEntry> settingsMethods() { return kTable; }

}  // namespace vz::control
