// Handlers of the methods whose engine work is still to come: writing and
// update, spanning, repair and self-extractor assembly.
//
// Each handler already runs the call frame exactly as it will (pumping
// switch, cancel flag, notification window, per-call options), so the
// host sees the final call behaviour; then, at the one line marked
// NOT YET BUILT, it answers with the method's failure result. When the
// engine's operation lands, that line becomes the call of the operation.
#include "control/automation/call_frame.h"
#include "control/automation/control.h"
#include "control/automation/methods.h"

namespace vz::control {

namespace {

using com::Variant;

// The answer of a method whose engine work has not landed: its failure
// result.
Variant notYetBuilt(Variant failure) { return failure; }

Variant shortResult(int16_t v) { return Variant::fromShort(v); }

// ---- writing and update ----

// SetGlobalComment(szZipName, szComment, bBackGroundProcessing)
Variant setGlobalComment(CZCtrl& c, const Args& a) {
  beginCall(c, EngineSide::Writer, a.flag(2));
  return notYetBuilt(shortResult(2));  // NOT YET BUILT: 2, the archive cannot be written
}
// SetLocalComment(szZipName, szMask, szComment, bBackGroundProcessing)
Variant setLocalComment(CZCtrl& c, const Args& a) {
  beginCall(c, EngineSide::Writer, a.flag(3));
  return notYetBuilt(shortResult(2));  // NOT YET BUILT: 2
}
// DeleteWithMask(szZipName, szMask, bBackGroundProcessing)
Variant deleteWithMask(CZCtrl& c, const Args& a) {
  beginCall(c, EngineSide::Writer, a.flag(2));
  return notYetBuilt(shortResult(2));  // NOT YET BUILT: 2
}
// DeleteWithSelection(szZipName, hListZIPITEM, hListSelected, bListIsListCtrl, bBackGroundProcessing)
Variant deleteWithSelection(CZCtrl& c, const Args& a) {
  beginCall(c, EngineSide::Writer, a.flag(4));
  return notYetBuilt(shortResult(2));  // NOT YET BUILT: 2
}
// ZipFiles(szZipName, szMask, bRecurseSubDirs, iStorePathMethod, iOverwriteMode, iCompressionMode,
//          bUseArchiveFlag, bRemoveArchiveFlag, szPassword, bBackGroundProcessing)
Variant zipFiles(CZCtrl& c, const Args& a) {
  CallOptions o;
  o.overwriteMode = a.i2(4);
  o.compressionMode = a.i2(5);
  o.password = a.text(8);
  beginCall(c, EngineSide::Writer, a.flag(9), o);
  return notYetBuilt(shortResult(2));  // NOT YET BUILT: 2, the archive cannot be created
}
// CreateBlankZIPFile(szZipName, bOpenDialog): its dialog is parented to
// this control.
Variant createBlankZipFile(CZCtrl& c, const Args&) {
  beginCall(c, EngineSide::None, std::nullopt);
  return notYetBuilt(Variant::fromBool(false));  // NOT YET BUILT: FALSE
}

// ---- repair and self-extractor ----

// Repare(szZipName, bBackGroundProcessing)
Variant repare(CZCtrl& c, const Args& a) {
  beginCall(c, EngineSide::Writer, a.flag(1));
  return notYetBuilt(shortResult(2));  // NOT YET BUILT: 2
}
// MakeEXEFile(szZipName, szEXEName, szProgramToLaunch, szEXETitle, szELFFile, iOverwriteMode,
//             bAskDirectory, bWin32Target, bBackGroundProcessing): the one
// write method that leaves the cancel flag as it is.
Variant makeExeFile(CZCtrl& c, const Args& a) {
  CallOptions o;
  o.resetCancel = false;
  beginCall(c, EngineSide::Writer, a.flag(8), o);
  return notYetBuilt(shortResult(4));  // NOT YET BUILT: 4, the archive could not be prepared
}

// ---- spanning ----

// Split(szZipName, szDestDir, lFirstBlockSizeInBytes, lNextBlockSizeInBytes, bBackGroundProcessing,
//       szTitle, szMsg)
Variant split(CZCtrl& c, const Args& a) {
  beginCall(c, EngineSide::Writer, a.flag(4));
  return notYetBuilt(shortResult(3));  // NOT YET BUILT: 3, the archive cannot be opened
}
// Join(szPartFileName, szDestDirectory, szTitle, szMsg, bBackGroundProcessing)
Variant join(CZCtrl& c, const Args& a) {
  beginCall(c, EngineSide::Writer, a.flag(4));
  return notYetBuilt(shortResult(4));  // NOT YET BUILT: 4, the joined archive cannot be created
}
// Backup(szMask, szDestDrive, bRecurse, bUseArchiveFlag, bRemoveArchiveFlag, bForceSingleBackup,
//        szTitle, szMsg, iCompressionMode, bBackGroundProcessing)
Variant backup(CZCtrl& c, const Args& a) {
  CallOptions o;
  o.compressionMode = a.i2(8);
  beginCall(c, EngineSide::Writer, a.flag(9), o);
  return notYetBuilt(shortResult(4));  // NOT YET BUILT: 4, the temporary archive is missing
}
// Restore(szSourceDirectory, szDestinationDirectory, iOverwriteMode, bDisplayDialog,
//         bEraseReadOnlyFiles, szTitle, szMsg, bBackGroundProcessing)
Variant restore(CZCtrl& c, const Args& a) {
  CallOptions o;
  o.eraseReadOnly = a.flag(4);
  beginCall(c, EngineSide::Both, a.flag(7), o);
  return notYetBuilt(shortResult(2));  // NOT YET BUILT: 2, the joined archive is missing
}
// IsDisketteReady(szDiskette), IsDriveWriteable(szDrive), IsWriteable(szDestFile, lSizeInBytes)
Variant isDisketteReady(CZCtrl&, const Args&) {
  return notYetBuilt(Variant::fromBool(false));  // NOT YET BUILT: FALSE
}
Variant isDriveWriteable(CZCtrl&, const Args&) {
  return notYetBuilt(Variant::fromBool(false));  // NOT YET BUILT: FALSE
}
Variant isWriteable(CZCtrl&, const Args&) {
  return notYetBuilt(Variant::fromBool(false));  // NOT YET BUILT: FALSE
}

constexpr MethodEntry kTable[] = {
    {6, split},
    {7, setGlobalComment},
    {8, setLocalComment},
    {9, repare},
    {10, makeExeFile},
    {11, deleteWithMask},
    {12, createBlankZipFile},
    {43, join},
    {44, restore},
    {49, backup},
    {52, isDisketteReady},
    {53, isDriveWriteable},
    {54, isWriteable},
    {64, zipFiles},
    {66, deleteWithSelection},
};

}  // namespace

std::span<const MethodEntry> pendingMethods() { return kTable; }

}  // namespace vz::control
