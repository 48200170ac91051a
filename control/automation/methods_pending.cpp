// Handlers of the methods whose engine work is still to come: extraction,
// writing and update, spanning, repair, self-extractor assembly, the item
// list, and the full test of IsZIPFileSlow.
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

// ---- extraction ----

// UnzipFiles(szZipName, szMask, szDestDirectory, bRebuildDir, bEraseReadOnlyFiles, iOverwriteMode,
//            szPassword, bAskPassword, bBackGroundProcessing)
Variant unzipFiles(CZCtrl& c, const Args& a) {
  CallOptions o;
  o.eraseReadOnly = a.flag(4);
  o.password = a.text(6);
  o.askPassword = a.flag(7);
  beginCall(c, EngineSide::Reader, a.flag(8), o);
  return notYetBuilt(shortResult(6));  // NOT YET BUILT: 6, the archive cannot be opened
}
// UnzipToFile(szZipName, szMask, szDestFile, bEraseReadOnlyFiles, szPassword, bAskPassword,
//             bAckGroundProcessing)
Variant unzipToFile(CZCtrl& c, const Args& a) {
  CallOptions o;
  o.eraseReadOnly = a.flag(3);
  o.password = a.text(4);
  o.askPassword = a.flag(5);
  beginCall(c, EngineSide::Reader, a.flag(6), o);
  return notYetBuilt(shortResult(6));  // NOT YET BUILT: 6
}
// View(szZipName, szMask, bUseTextEditor, bRunEXE, szPrivateTempDir, szPassword, bAskPassword,
//      bBackGroundProcessing): never erases read-only files.
Variant view(CZCtrl& c, const Args& a) {
  CallOptions o;
  o.eraseReadOnly = false;
  o.password = a.text(5);
  o.askPassword = a.flag(6);
  beginCall(c, EngineSide::Reader, a.flag(7), o);
  return notYetBuilt(Variant::fromBool(false));  // NOT YET BUILT: FALSE
}
// IsZIPFileSlow(szZipName, szPassword, bAskPassword, bBackGroundProcessing)
Variant isZipFileSlow(CZCtrl& c, const Args& a) {
  CallOptions o;
  o.password = a.text(1);
  o.askPassword = a.flag(2);
  beginCall(c, EngineSide::Reader, a.flag(3), o);
  return notYetBuilt(shortResult(6));  // NOT YET BUILT: 6, the archive could not be opened
}
// UnzipGetReplaceFlag: 1 after "always", 0 after "never" in the last call,
// 2 otherwise.
Variant unzipGetReplaceFlag(CZCtrl&, const Args&) {
  return notYetBuilt(shortResult(2));  // NOT YET BUILT: 2, no lasting answer
}

// ---- item list and icons ----

// BuildZIPITEMList(szZipName, hListZIPITEM, bListCtrlMode, szPrivateTempDirectory, bWindowsIcons,
//                  iSortMode, bBackGroundProcessing)
Variant buildItemList(CZCtrl& c, const Args& a) {
  beginCall(c, EngineSide::Reader, a.flag(6));
  return notYetBuilt(shortResult(-1));  // NOT YET BUILT: -1, the archive cannot be read
}
// SortZIPITEMList(hListZIPITEM, iSortMode, bBackGroundProcessing)
Variant sortItemList(CZCtrl& c, const Args& a) {
  beginCall(c, EngineSide::Reader, a.flag(2));
  return notYetBuilt(Variant::fromBool(false));  // NOT YET BUILT: FALSE
}
// The item accessors (hListZIPITEM, iIndex, bListCtrlMode): the value of
// an item that cannot be read.
Variant itemFlag(CZCtrl&, const Args&) {
  return notYetBuilt(Variant::fromBool(false));  // NOT YET BUILT: FALSE
}
Variant itemShort(CZCtrl&, const Args&) {
  return notYetBuilt(shortResult(0));  // NOT YET BUILT: 0
}
Variant itemOriginalSize(CZCtrl&, const Args&) {
  return notYetBuilt(Variant::fromLong(0));  // NOT YET BUILT: 0
}
Variant itemCrc(CZCtrl&, const Args&) {
  return notYetBuilt(Variant::fromDouble(0));  // NOT YET BUILT: 0
}
Variant itemText(CZCtrl&, const Args&) {
  return notYetBuilt(Variant::fromText({}));  // NOT YET BUILT: empty text
}
// BuildZIPITEMImageList()
Variant buildImageList(CZCtrl&, const Args&) {
  return notYetBuilt(Variant::fromBool(false));  // NOT YET BUILT: FALSE
}
// DestroyZIPITEMLParam(hListZIPITEM)
Variant destroyItemLParam(CZCtrl&, const Args&) {
  return notYetBuilt(Variant());  // NOT YET BUILT: does nothing
}
// DeleteTempDirectories()
Variant deleteTempDirectories(CZCtrl&, const Args&) {
  return notYetBuilt(Variant::fromBool(false));  // NOT YET BUILT: FALSE
}
// SetListViewImageList(hListView): fails while no image lists are built.
Variant setListViewImageList(CZCtrl&, const Args&) {
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
    {13, itemFlag},  // GetZIPITEMIsDir
    {14, itemFlag},  // GetZIPITEMIsEncrypted
    {15, itemFlag},  // GetZIPITEMIsArchive
    {16, itemFlag},  // GetZIPITEMIsHidden
    {17, itemFlag},  // GetZIPITEMIsSystem
    {18, itemFlag},  // GetZIPITEMIsReadOnly
    {19, itemFlag},  // GetZIPITEMIsAnnotated
    {20, itemShort},  // GetZIPITEMMethod
    {21, itemShort},  // GetZIPITEMDay
    {22, itemShort},  // GetZIPITEMMonth
    {23, itemShort},  // GetZIPITEMYear
    {24, itemShort},  // GetZIPITEMHour
    {25, itemShort},  // GetZIPITEMMin
    {26, itemShort},  // GetZIPITEMRate
    {27, itemShort},  // GetZIPITEMIconIndex
    {28, itemOriginalSize},
    {29, itemCrc},
    {30, unzipGetReplaceFlag},
    {31, buildImageList},
    {33, destroyItemLParam},
    {42, sortItemList},
    {43, join},
    {44, restore},
    {46, unzipToFile},
    {48, isZipFileSlow},
    {49, backup},
    {50, view},
    {52, isDisketteReady},
    {53, isDriveWriteable},
    {54, isWriteable},
    {63, unzipFiles},
    {64, zipFiles},
    {65, buildItemList},
    {66, deleteWithSelection},
    {67, itemText},  // GetZIPITEMName
    {68, itemText},  // GetZIPITEMDir
    {70, deleteTempDirectories},
    {71, setListViewImageList},
};

}  // namespace

std::span<const MethodEntry> pendingMethods() { return kTable; }

}  // namespace vz::control
