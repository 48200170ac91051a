// Handler of MakeEXEFile: the self-extractor assembly (engine/sfx_assembly.h)
// driven from the control. The stubs and the default language file are
// looked up in the folder of the control's own library file.
#include "control/automation/call_frame.h"
#include "control/automation/control.h"
#include "control/automation/methods.h"
#include "control/engine/sfx/sfx_assembly.h"
#include "platform/com/server.h"
#include "platform/paths.h"

namespace vz::control {

namespace {

using com::Variant;

// The folder of the file that holds this code (QX30W32.so when loaded as
// the control; the program itself when the control is linked in).
std::string controlFolder() {
  static const char anchor = 0;
  const std::string lib = com::libraryPathOf(&anchor);
  return lib.empty() ? executableDirectory() : directoryPart(lib);
}

// MakeEXEFile(szZipName, szEXEName, szProgramToLaunch, szEXETitle, szELFFile, iOverwriteMode,
//             bAskDirectory, bWin32Target, bBackGroundProcessing): the one
// write method that leaves the cancel flag as it is.
Variant makeExeFile(CZCtrl& c, const Args& a) {
  CallOptions o;
  o.resetCancel = false;
  beginCall(c, EngineSide::Writer, a.flag(8), o);
  engine::MakeExeRequest r;
  r.zipName = a.text(0);
  r.exeName = a.text(1);
  r.programToLaunch = a.text(2);
  r.caption = a.text(3);
  r.languageFile = a.text(4);
  r.overwriteMode = a.i2(5);
  r.askDirectory = a.flag(6);
  r.win32Target = a.flag(7);
  engine::MakeExeContext ctx;
  ctx.controlFolder = controlFolder();
  if (const ZipEngine* z = c.zipEngine()) {
    ctx.window = z->window;
    ctx.pump = z->pump;
  }
  return Variant::fromShort(engine::makeExeFile(r, ctx));
}

constexpr MethodEntry kTable[] = {
    {10, makeExeFile},
};

}  // namespace

std::span<const MethodEntry> sfxMethods() { return kTable; }

}  // namespace vz::control
