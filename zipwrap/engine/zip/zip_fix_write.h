// Writing the archive the thorough fix (-FF) recovered: the kept entries
// copied into a new archive in a temporary file, which then replaces the
// damaged one in one step (the control's builder and placement:
// control/engine/write/zip_writer.h, archive_update_place.h).
//
//   [preamble] [local header, name, extra, data, descriptor]... [central]... [end]
//
// Each entry gets a new local header from its checked facts (the damaged
// one may lie about sizes, or be gone); a data descriptor follows the data
// when flag bit 3 is set (an encrypted entry's check byte depends on that
// bit, so flags are kept as they were). Every kept entry is reported with
// callback 1070 before it is written; a stop there leaves the archive as it
// was.
#pragma once

#include "control/engine/write/archive_update_place.h"
#include "platform/file.h"
#include "zipwrap/engine/engine_host.h"
#include "zipwrap/engine/engine_op.h"
#include "zipwrap/engine/zip/zip_fix_scan.h"

namespace vz::zipwrap {

// Writes scan's entries of the damaged file into target (see above).
// Results: 0, 190 (stopped), 150 (no room), 400 (cannot replace the
// archive), 500 (any other write failure).
OpResult writeFixedArchive(const File& damaged, const FixScan& scan, const engine::ArchiveTarget& target,
                           EngineHost& host);

}  // namespace vz::zipwrap
