// -F and -FF: a damaged archive rebuilt.
//
//   -F   the control's repair (control/engine/repair/repair.h): the local
//        headers walked from the start, each entry's data stepped over by
//        its stated size (the scan searches on for the next local header
//        when it lands on bytes that are no record), every entry copied
//        unchanged, a new central directory. Names keep their bytes (and so
//        their case). Fast, and enough when only the directory is damaged.
//   -FF  the thorough scan (zip_fix_scan.h): every local header in the file,
//        each entry kept only when its data checks out (decoded, CRC right),
//        sizes taken from what the data proves; entries whose local header
//        is damaged come back from the old directory. Then written anew
//        (zip_fix_write.h). Recovers archives cut short, with wrong sizes,
//        garbage between entries or damaged headers.
// Both report every entry kept with callback 1070 and put the new archive
// in place only when it is complete; a stop (190) or any failure leaves the
// archive as it was.
//
// Results: 0 rebuilt; 100 the archive does not exist (or is a folder); 110
// nothing recognisable in it (no entry found, or -F met an entry cut off by
// the end of the file); 120 out of memory; 150 no room; 190 stopped; 400
// the archive cannot be read or replaced; 500 any other write failure.
#include <new>

#include "control/engine/repair/repair.h"
#include "control/engine/write/archive_update_place.h"
#include "platform/file.h"
#include "zipwrap/engine/zip/zip_fix_scan.h"
#include "zipwrap/engine/zip/zip_fix_write.h"
#include "zipwrap/engine/zip/zip_ops.h"

namespace vz::zipwrap {

using namespace vz::engine;

namespace {

OpResult fixStandard(const EngineCommand& command, EngineHost& host) {
  RepairSession session;
  bool pastEnd = false;
  session.entryPastEnd = &pastEnd;
  session.entryCopied = [&host](const ArchiveEntry& e) { return host.nameEvent(kCbFixing, e.displayName); };
  switch (repairArchive(session, command.archive)) {
    case RepairStatus::Ok:
      return {kResultOk, 0};
    case RepairStatus::Stopped:
      return {kResultAborted, 0};
    case RepairStatus::ScanFailed:
    case RepairStatus::Nothing:
      return {kResultNotAnArchive, 0};
    case RepairStatus::NoMemory:
      return {kResultOutOfMemory, 0};
    case RepairStatus::DiskFull:
      return {kResultDiskFull, 0};
    case RepairStatus::WriteProtected:
      return {kResultCannotAccess, 0};
    case RepairStatus::IoError:
      return {pastEnd ? kResultNotAnArchive : kResultCannotAccess, 0};
  }
  return {kResultCannotWrite, 0};
}

OpResult fixThorough(const ArchiveTarget& target, EngineHost& host) {
  File damaged;
  if (!damaged.open(target.native, File::Mode::Read)) return {kResultCannotAccess, 0};
  const FixScan scan = scanThoroughly(damaged, [&host] { return host.stopped(); });
  if (host.stopped()) return {kResultAborted, 0};
  if (scan.entries.empty()) return {kResultNotAnArchive, 0};
  return writeFixedArchive(damaged, scan, target, host);
}

}  // namespace

OpResult runFix(const EngineCommand& command, EngineHost& host) {
  try {
    const ArchiveTarget target = describeTarget(command.archive);
    if (command.archive.empty() || target.isFolder || !target.exists) return {kResultArchiveNotFound, 0};
    {
      File probe;
      if (!probe.open(target.native, File::Mode::Read)) return {kResultCannotAccess, 0};
    }
    if (command.action == EngineAction::FixThorough) return fixThorough(target, host);
    return fixStandard(command, host);
  } catch (const std::bad_alloc&) {
    return {kResultOutOfMemory, 0};
  }
}

}  // namespace vz::zipwrap
