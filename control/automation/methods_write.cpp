// Handlers of the write methods: adding files, deleting entries, comments,
// the empty archive and its dialog, and the write side's cancel request,
// replace flag and new-archive name.
//
// Each archive method runs the call frame on the write side (pumping
// switch, cancel flag cleared, report window when bBackGroundProcessing is
// true, the per-call modes and password), gives the engine this control's
// dialogs for the replace question, and calls the engine's operation
// (engine/archive_update.h); its result goes back unchanged, as its
// number. Without the write-engine object (it could not be made with the
// control) a method answers 2, the archive cannot be written.
#include "control/automation/call_frame.h"
#include "control/automation/control.h"
#include "control/automation/dialogs.h"
#include "control/automation/methods.h"
#include "control/engine/write/archive_update.h"

namespace vz::control {

namespace {

using com::Variant;

// The result of a write method without the write-engine object.
constexpr engine::WriteStatus kNoEngineStatus = engine::WriteStatus::IoError;

// Runs the frame for a write method; null when the engine object is
// missing.
ZipEngine* writerCall(CZCtrl& ctl, bool background, const CallOptions& o = {}) {
  if (!beginCall(ctl, EngineSide::Writer, background, o)) return nullptr;
  ZipEngine* z = ctl.zipEngine();
  z->pump = background;
  z->prompts = &ctl.prompts();
  return z;
}

Variant shortResult(engine::WriteStatus s) { return Variant::fromShort(engine::statusCode(s)); }

// ZipFiles(szZipName, szMask, bRecurseSubDirs, iStorePathMethod, iOverwriteMode, iCompressionMode,
//          bUseArchiveFlag, bRemoveArchiveFlag, szPassword, bBackGroundProcessing)
Variant zipFiles(CZCtrl& c, const Args& a) {
  CallOptions o;
  o.overwriteMode = a.i2(4);
  o.compressionMode = a.i2(5);
  o.password = a.text(8);
  ZipEngine* z = writerCall(c, a.flag(9), o);
  if (!z) return shortResult(kNoEngineStatus);
  engine::ZipFilesRequest r;
  r.zipName = a.text(0);
  r.mask = a.text(1);
  r.recurse = a.flag(2);
  r.storePathMethod = a.i2(3);
  r.useArchiveFlag = a.flag(6);
  r.removeArchiveFlag = a.flag(7);
  r.password = z->password.data();  // as the engine object keeps it: at most 80 characters
  return shortResult(engine::zipFiles(*z, r));
}

// DeleteWithMask(szZipName, szMask, bBackGroundProcessing)
Variant deleteWithMask(CZCtrl& c, const Args& a) {
  ZipEngine* z = writerCall(c, a.flag(2));
  if (!z) return shortResult(kNoEngineStatus);
  return shortResult(engine::deleteWithMask(*z, a.text(0), a.text(1)));
}

// DeleteWithSelection(szZipName, hListZIPITEM, hListSelected, bListIsListCtrl, bBackGroundProcessing)
Variant deleteWithSelection(CZCtrl& c, const Args& a) {
  ZipEngine* z = writerCall(c, a.flag(4));
  if (!z) return shortResult(kNoEngineStatus);
  return shortResult(engine::deleteWithSelection(*z, a.text(0), a.i4(1), a.i4(2), a.flag(3)));
}

// SetGlobalComment(szZipName, szComment, bBackGroundProcessing)
Variant setGlobalComment(CZCtrl& c, const Args& a) {
  ZipEngine* z = writerCall(c, a.flag(2));
  if (!z) return shortResult(kNoEngineStatus);
  return shortResult(engine::setGlobalComment(*z, a.text(0), a.text(1)));
}

// SetLocalComment(szZipName, szMask, szComment, bBackGroundProcessing)
Variant setLocalComment(CZCtrl& c, const Args& a) {
  ZipEngine* z = writerCall(c, a.flag(3));
  if (!z) return shortResult(kNoEngineStatus);
  return shortResult(engine::setLocalComment(*z, a.text(0), a.text(1), a.text(2)));
}

// CreateBlankZIPFile(szZipName, bOpenDialog): with the dialog, the name
// chosen there (remembered for GetNewZIPName once the archive is made);
// cancelling the dialog gives FALSE. The dialog, parented to this control,
// asks before an existing file is replaced; without it an existing file is
// never replaced (FALSE).
Variant createBlankZipFile(CZCtrl& c, const Args& a) {
  beginCall(c, EngineSide::None, std::nullopt);
  std::string name = a.text(0);
  if (a.flag(1)) {
    std::optional<std::string> chosen = chooseNewArchive(name);
    if (!chosen) return Variant::fromBool(false);
    name = std::move(*chosen);
  }
  if (!engine::createBlankArchive(name, a.flag(1))) return Variant::fromBool(false);
  if (a.flag(1)) c.newZipName() = name;
  return Variant::fromBool(true);
}

// GetNewZIPName: the name last made by CreateBlankZIPFile's dialog, then
// forgotten.
Variant getNewZipName(CZCtrl& c, const Args&) {
  std::string name;
  name.swap(c.newZipName());
  return Variant::fromText(std::move(name));
}

// ZipCancel(bCancel): the write side's cancel request, read between
// entries (it arrives through the message pump while an operation runs).
Variant zipCancel(CZCtrl& c, const Args& a) {
  if (ZipEngine* z = c.zipEngine()) z->cancel = a.flag(0);
  return {};
}

// ZipGetReplaceFlag: the overwrite mode in force (0 after "always", 1
// after "never"); 0 without the engine object.
Variant zipGetReplaceFlag(CZCtrl& c, const Args&) {
  const ZipEngine* z = c.zipEngine();
  return Variant::fromShort(z ? z->currentOverwriteMode : int16_t{0});
}

constexpr MethodEntry kTable[] = {
    {4, zipCancel},       {5, zipGetReplaceFlag}, {7, setGlobalComment},
    {8, setLocalComment}, {11, deleteWithMask},   {12, createBlankZipFile},
    {62, getNewZipName},  {64, zipFiles},         {66, deleteWithSelection},
};

}  // namespace

std::span<const MethodEntry> writeMethods() { return kTable; }

}  // namespace vz::control
