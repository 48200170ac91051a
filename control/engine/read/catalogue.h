// The catalogue loader of the write side: walks an archive from its first
// local header, cross-checks the central directory against the local
// headers, and builds the catalogue (the list of ArchiveEntry records) that
// the writer, the repair and the spanning code update.
//
// It is stricter than the read side's directory reader: bytes in front of
// the first local header are accepted, but every stored offset must then be
// the absolute file position, so an archive behind a prefix whose offsets
// were not adjusted is refused (4) - it can be read and extracted, not
// updated.
//
// Steps (normal mode):
//   1. An empty path, a missing, empty or unopenable file: status 0, empty
//      catalogue.
//   2. The first "PK" 03 04 or "PK" 05 06 from the start; the bytes passed
//      over are the prefix count. None: 4.
//   3. For each local header: the 26 header bytes, the name (length 0: 4),
//      the local extra field; the header's position becomes the local header
//      offset. Data is stepped over by the compressed size.
//   4. Local flag bit 3: with a compressed size, a data descriptor ("PK" 07
//      08) must follow the data, else 4; with compressed size 0, the first
//      descriptor after the data whose compressed size equals its distance
//      from the data is taken (a "PK" 07 08 inside the data is passed over).
//      CRC and sizes come from the descriptor.
//      A descriptor behind an entry whose bit 3 is clear is accepted and
//      stepped over when it repeats the local header's CRC and sizes (the
//      entry is complete without it); otherwise the archive is refused (4).
//   5. "PK" 01 02 for every entry, in order: the shared fields (version
//      needed to name length, flag bits 13-15 ignored) must equal the
//      entry's local values (after its descriptor), the stored offset its
//      position, the name its local name. Central fields, extra field
//      (shared with the local block when byte-identical) and file comment
//      are kept. Any mismatch or short read: 4.
//   6. "PK" 05 06 next: entries on this disk must equal the entry count and
//      the directory offset the first central header's position; the
//      archive comment is kept. Else 4.
//   7. The entries sorted by name ignoring case (Shell sort, gaps 3 x gap + 1)
//      for lookups by name.
//
// Rebuild mode (the repair's scan): a failed read in the local pass ends the
// scan without an error (the entry being read is dropped), the central pass
// is skipped, the central copies of flags and extra field are the local
// ones, and the notification window gets WM_USER+0x31 (wParam 1, lParam the
// entry's display name) per entry, WM_USER+0x34 (wParam the entry count) at
// the end of the scan, then WM_USER+0x31 (wParam 2, lParam the archive path).
//
// Bounds: at most 65,535 entries are loaded (the end record cannot count
// more; a normal load with more is refused with 4, a rebuild scan stops
// there). Every name, extra field and comment is read from the file before
// it is kept, so memory never exceeds a small multiple of the file's size.
// Out of memory: 5.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "control/engine/read/archive_entry.h"
#include "control/engine/common/status.h"
#include "platform/types.h"

namespace vz::engine {

struct CatalogueOptions {
  bool rebuild = false;     // the repair's scan (see above)
  Handle notifyWindow = 0;  // receives the rebuild-mode messages; 0: none
  bool pump = false;        // dispatch waiting messages after each message
};

struct LoadedCatalogue {
  Catalogue entries;                  // the entries in archive order
  std::vector<ArchiveEntry*> byName;  // the same entries sorted by name ignoring case
  int64_t prefixCount = 0;            // bytes in front of the first local header (or end record)
  int64_t centralDirectoryStart = 0;  // position of the first central header (of the end record when there is none)
  std::string comment;                // the archive comment, as stored

  size_t count() const { return entries.count(); }
  // The first entry whose stored name equals name ignoring case; null when none.
  ArchiveEntry* findByName(std::string_view name) const;
  // Sorts byName again after entries were added (the writer's new files).
  void rebuildIndex();
  void clear();
};

// The highest entry count an archive can record.
constexpr size_t kMaxCatalogueEntries = 0xFFFF;

// Loads the catalogue of path into out: Ok loaded (also for the empty
// catalogue of step 1), NotArchive not an archive the loader accepts,
// NoMemory out of memory. On NotArchive and NoMemory out is left empty.
[[nodiscard]] CatalogueStatus loadCatalogue(const std::string& path, const CatalogueOptions& options,
                                            LoadedCatalogue& out);

// Shell sort by name ignoring case, gap sequence 1, 4, 13, 40, ... (not stable).
void sortEntriesByName(std::vector<ArchiveEntry*>& entries);

}  // namespace vz::engine
