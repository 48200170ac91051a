// Handlers of the spanned backup methods (Split, Join, Backup, Restore) and
// of the drive checks offered with them.
//
// Each spanning handler runs the call frame on the write side (Restore on
// both sides: it extracts too), so the progress reports go to the control's
// window when bBackGroundProcessing is true, and hands the disk prompt's
// caption and text, with this control's prompts to ask it, to the engine
// (engine/span_split.h, span_backup.h); the result goes back as its number.
// Without the write side's engine object a method answers with its failure
// result. The drive checks need no engine object.
#include "control/automation/call_frame.h"
#include "control/automation/control.h"
#include "control/automation/dialogs.h"
#include "control/automation/methods.h"
#include "control/automation/zip_engine.h"
#include "control/engine/span/span_backup.h"
#include "control/engine/span/span_disk.h"
#include "control/engine/span/span_split.h"

namespace vz::control {

namespace {

using com::Variant;

// The session of a spanning call: the write side's report window and
// pumping, the disk prompt's texts and this control's dialogs to ask it.
engine::SpanSession sessionOf(CZCtrl& c, const std::string& title, const std::string& message) {
  engine::SpanSession s;
  if (ZipEngine* eng = c.zipEngine()) {
    s.window = eng->window;
    s.pump = eng->pump;
  }
  s.title = title;
  s.message = message;
  s.prompts = &c.prompts();
  return s;
}

// A spanning result as the number the host receives.
template <class Status>
Variant result(Status s) {
  return Variant::fromShort(engine::statusCode(s));
}

// Split(szZipName, szDestDir, lFirstBlockSizeInBytes, lNextBlockSizeInBytes, bBackGroundProcessing,
//       szTitle, szMsg)
Variant split(CZCtrl& c, const Args& a) {
  if (!beginCall(c, EngineSide::Writer, a.flag(4))) return result(engine::SplitStatus::CannotRead);
  return result(engine::splitArchive(sessionOf(c, a.text(5), a.text(6)), a.text(0), a.text(1), a.i4(2), a.i4(3)));
}

// Join(szPartFileName, szDestDirectory, szTitle, szMsg, bBackGroundProcessing)
Variant join(CZCtrl& c, const Args& a) {
  if (!beginCall(c, EngineSide::Writer, a.flag(4))) return result(engine::JoinStatus::CannotCreate);
  return result(engine::joinParts(sessionOf(c, a.text(2), a.text(3)), a.text(0), a.text(1)));
}

// Backup(szMask, szDestDrive, bRecurse, bUseArchiveFlag, bRemoveArchiveFlag, bForceSingleBackup,
//        szTitle, szMsg, iCompressionMode, bBackGroundProcessing)
Variant backup(CZCtrl& c, const Args& a) {
  CallOptions o;
  o.compressionMode = a.i2(8);
  if (!beginCall(c, EngineSide::Writer, a.flag(9), o)) return result(engine::BackupStatus::NoArchive);
  ZipEngine* eng = c.zipEngine();
  if (!eng) return result(engine::BackupStatus::NoArchive);
  engine::BackupRequest r;
  r.mask = a.text(0);
  r.destination = a.text(1);
  r.recurse = a.flag(2);
  r.useArchiveFlag = a.flag(3);
  r.removeArchiveFlag = a.flag(4);
  r.forceSingleBackup = a.flag(5);
  return result(engine::backupFiles(*eng, sessionOf(c, a.text(6), a.text(7)), r));
}

// Restore(szSourceDirectory, szDestinationDirectory, iOverwriteMode, bDisplayDialog,
//         bEraseReadOnlyFiles, szTitle, szMsg, bBackGroundProcessing)
Variant restore(CZCtrl& c, const Args& a) {
  CallOptions o;
  o.eraseReadOnly = a.flag(4);
  if (!beginCall(c, EngineSide::Both, a.flag(7), o)) return result(engine::RestoreStatus::NoArchive);
  engine::UnzipState* st = c.readerState();
  if (!st) return result(engine::RestoreStatus::NoArchive);
  engine::RestoreRequest r;
  r.source = a.text(0);
  r.destination = a.text(1);
  r.overwriteMode = a.i2(2);
  r.displayDialog = a.flag(3);
  return result(engine::restoreFiles(*st, sessionOf(c, a.text(5), a.text(6)), r,
                                     [](const std::string& folder) { return chooseBackupSet(folder); }));
}

// IsDisketteReady(szDiskette)
Variant isDisketteReady(CZCtrl&, const Args& a) { return Variant::fromBool(engine::isDisketteReady(a.text(0))); }
// IsDriveWriteable(szDrive)
Variant isDriveWriteable(CZCtrl&, const Args& a) { return Variant::fromBool(engine::isDriveWriteable(a.text(0))); }
// IsWriteable(szDestFile, lSizeInBytes)
Variant isWriteable(CZCtrl&, const Args& a) { return Variant::fromBool(engine::isWriteable(a.text(0), a.i4(1))); }

constexpr MethodEntry kTable[] = {
    {6, split},        {43, join}, {44, restore}, {49, backup}, {52, isDisketteReady}, {53, isDriveWriteable},
    {54, isWriteable},
};

}  // namespace

std::span<const MethodEntry> spanMethods() { return kTable; }

}  // namespace vz::control
