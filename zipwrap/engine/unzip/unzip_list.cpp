// The reader's directory-only operations: list (-v), the entry count
// (argc 1) and the archive comment (-z). Each opens the archive, reads its
// central directory (reader_archive.h) and reports through the host; none
// reads entry data.
//
// List: one callback 80 per selected entry with every field of its record
// (engine_abi.h), then one 90 with the totals of the listed entries: their
// sizes summed, their number, the newest DOS stamp and the archive comment.
#include <algorithm>

#include "zipwrap/engine/unzip/reader_match.h"
#include "zipwrap/engine/unzip/reader_open.h"
#include "zipwrap/engine/unzip/unzip_ops.h"
#include "zipwrap/engine/unzip/unzip_records.h"

namespace vz::zipwrap {

OpResult runList(const EngineCommand& command, EngineHost& host) {
  OpenedArchive opened;
  if (uint16_t r = opened.open(command, host, true); r != kResultOk) return {r, 0};
  const ReaderArchive& archive = opened.archive();
  if (archive.entries().empty()) return {kResultEmptyArchive, 0};

  const EntrySelector selector(command);
  FileEvent totals;
  totals.name = command.archive;
  totals.percentDone = 100;
  uint32_t listed = 0;
  for (const ReaderEntry& e : archive.entries()) {
    if (!selector.selects(e.name)) continue;
    FileEvent ev = fileEventOf(e);
    ev.percentDone = 100;
    if (!host.fileEvent(kCbListing, ev)) return {kResultAborted, 0};
    ++listed;
    totals.size += e.uncompressedSize;
    totals.packedSize += e.compressedSize;
    // The newest stamp: date in the high half, so the combined values order.
    totals.dosDateTime = std::max(totals.dosDateTime, e.dosDateTime());
  }
  if (listed == 0 && selector.hasSpecs()) return {kResultNothingToDo, 0};
  totals.crc32 = listed;  // the totals record carries the entry count here
  totals.comment = std::string(archive.comment());
  if (!host.fileEvent(kCbTotals, totals)) return {kResultAborted, 0};
  return {kResultOk, 0};
}

OpResult runCountEntries(const EngineCommand& command, EngineHost& host) {
  OpenedArchive opened;
  if (uint16_t r = opened.open(command, host, true); r != kResultOk) return {r, 0};
  const size_t n = opened.archive().entries().size();
  if (!host.entryCount(static_cast<uint32_t>(std::min<size_t>(n, UINT32_MAX)))) return {kResultAborted, 0};
  return {n == 0 ? kResultEmptyArchive : kResultOk, 0};
}

OpResult runReadComment(const EngineCommand& command, EngineHost& host) {
  OpenedArchive opened;
  if (uint16_t r = opened.open(command, host, true); r != kResultOk) return {r, 0};
  if (!host.deliverArchiveComment(opened.archive().comment())) return {kResultAborted, 0};
  return {kResultOk, 0};
}

}  // namespace vz::zipwrap
