// Handlers of extraction, viewing and the full test of an archive, and of
// the replace flag they leave behind.
//
// Each runs the call frame on the reader side (pumping switch, cancel flag
// cleared, notification window when bBackGroundProcessing is true, the
// password, ask-password and erase-read-only options) and calls the
// extraction driver (engine/extract_run.h); its result goes back
// unchanged, as its number. Without the reader state (it could not be made
// with the control) a method answers with its failure result: 6 (the
// archive cannot be opened), FALSE for View, 2 (no lasting answer) for the
// replace flag.
#include "control/automation/call_frame.h"
#include "control/automation/control.h"
#include "control/automation/methods.h"
#include "control/engine/extract/extract_run.h"

namespace vz::control {

namespace {

using com::Variant;

// The result of a method whose archive cannot be worked on.
constexpr engine::ReadStatus kNoReaderStatus = engine::ReadStatus::TestOpenFailed;

Variant shortResult(engine::ReadStatus s) { return Variant::fromShort(engine::statusCode(s)); }

// Runs the frame for a reader method; null when the reader state is missing.
engine::UnzipState* readerCall(CZCtrl& ctl, bool background, const CallOptions& o) {
  if (!beginCall(ctl, EngineSide::Reader, background, o)) return nullptr;
  return ctl.readerState();
}

// UnzipFiles(szZipName, szMask, szDestDirectory, bRebuildDir, bEraseReadOnlyFiles, iOverwriteMode,
//            szPassword, bAskPassword, bBackGroundProcessing)
Variant unzipFiles(CZCtrl& c, const Args& a) {
  CallOptions o;
  o.eraseReadOnly = a.flag(4);
  o.password = a.text(6);
  o.askPassword = a.flag(7);
  engine::UnzipState* st = readerCall(c, a.flag(8), o);
  if (!st) return shortResult(kNoReaderStatus);
  return shortResult(engine::unzipFiles(*st, a.text(0), a.text(1), a.text(2), a.flag(3), a.i2(5)));
}

// UnzipToFile(szZipName, szMask, szDestFile, bEraseReadOnlyFiles, szPassword, bAskPassword,
//             bAckGroundProcessing)
Variant unzipToFile(CZCtrl& c, const Args& a) {
  CallOptions o;
  o.eraseReadOnly = a.flag(3);
  o.password = a.text(4);
  o.askPassword = a.flag(5);
  engine::UnzipState* st = readerCall(c, a.flag(6), o);
  if (!st) return shortResult(kNoReaderStatus);
  return shortResult(engine::unzipToFile(*st, a.text(0), a.text(1), a.text(2)));
}

// View(szZipName, szMask, bUseTextEditor, bRunEXE, szPrivateTempDir, szPassword, bAskPassword,
//      bBackGroundProcessing): never erases read-only files.
Variant view(CZCtrl& c, const Args& a) {
  CallOptions o;
  o.eraseReadOnly = false;
  o.password = a.text(5);
  o.askPassword = a.flag(6);
  engine::UnzipState* st = readerCall(c, a.flag(7), o);
  if (!st) return Variant::fromBool(false);
  return Variant::fromBool(engine::view(*st, a.text(0), a.text(1), a.flag(2), a.flag(3), a.text(4)));
}

// IsZIPFileSlow(szZipName, szPassword, bAskPassword, bBackGroundProcessing)
Variant isZipFileSlow(CZCtrl& c, const Args& a) {
  CallOptions o;
  o.password = a.text(1);
  o.askPassword = a.flag(2);
  engine::UnzipState* st = readerCall(c, a.flag(3), o);
  if (!st) return shortResult(kNoReaderStatus);
  return shortResult(engine::testArchive(*st, a.text(0)));
}

// UnzipGetReplaceFlag: 1 after "always", 0 after "never" in the last call,
// 2 otherwise.
Variant unzipGetReplaceFlag(CZCtrl& c, const Args&) {
  const engine::UnzipState* st = c.readerState();
  return Variant::fromShort(st ? engine::unzipGetReplaceFlag(*st) : int16_t{2});
}

constexpr MethodEntry kTable[] = {
    {30, unzipGetReplaceFlag}, {46, unzipToFile}, {48, isZipFileSlow}, {50, view}, {63, unzipFiles},
};

}  // namespace

std::span<const MethodEntry> extractMethods() { return kTable; }

}  // namespace vz::control
