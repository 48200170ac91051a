// Repare: rebuilds an archive whose central directory is missing or damaged
// from its local headers alone.
//
//   1. An empty name or a folder: 6. A file that is missing or cannot be
//      opened: 2.
//   2. The catalogue loader's rebuild scan (catalogue.h): from the first
//      local header (or end record) on, entry by entry, stepping over each
//      entry's data by its compressed size (for entries with a data
//      descriptor, by the descriptor's); the bytes in front are the
//      preamble. The old central directory is never read: it is the part
//      most likely to be damaged, and a repair that needed it would fail on
//      exactly the archives it is for. The scan reports ZNReparing step 1
//      per entry and step 2 at the end, to the window when there is one.
//      No signature at all: 4; out of memory: 5.
//   3. When the scan ended at bytes that are no record, it goes on at the
//      next local header (repair_resync.h), so that one damaged entry does
//      not lose the entries behind it. No entries found: 6.
//   4. The archive's path must take writes (2; 15 for a write-protected
//      removable disk). Every entry's bytes must lie inside the file: an
//      entry whose data runs past the end (an archive cut inside its last
//      entry) gives 2 before anything is written.
//   5. A new archive in a temporary file (zip_writer.h): the preamble, every
//      entry copied unchanged in scan order (a cancel request stops the
//      copying; the entries copied so far are kept), one central record per
//      entry with its new offset, the end record. ZNWriting, then the new
//      archive is put in place with the old one's attributes
//      (archive_update_place.h: 2, 15, 16).
// Any failure removes the temporary file and leaves the archive exactly as
// it was. Entry data is copied, never decompressed or verified.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "control/engine/read/archive_entry.h"
#include "control/engine/repair/repair_status.h"
#include "platform/types.h"

namespace vz::engine {

struct RepairSession {
  Handle window = 0;             // receives ZNReparing and ZNWriting, 0 for none
  bool pump = false;             // dispatch waiting messages after each report
  const bool* cancel = nullptr;  // the cancel request, read between entries; null: none
  // Seams for other callers of the repair (the control leaves both unset,
  // so its Repare behaves as described above):
  // called after each entry is copied into the new archive; false stops the
  // rebuild with Stopped, and nothing is put in place.
  std::function<bool(const ArchiveEntry&)> entryCopied;
  // set to true when the rebuild gives 2 because an entry's data runs past
  // the end of the file (rather than for a file that cannot be read or
  // written).
  bool* entryPastEnd = nullptr;
};

// Results: RepairStatus (repair_status.h).
[[nodiscard]] RepairStatus repairArchive(const RepairSession& session, const std::string& zipName);

}  // namespace vz::engine
