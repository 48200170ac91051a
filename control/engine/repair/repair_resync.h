// Resynchronisation of the repair's scan after a damaged entry.
//
// The catalogue loader's rebuild scan steps over each entry's data by its
// stated compressed size and ends at the first position that does not
// hold a local header. When that position holds neither a central header,
// an end record nor the end of the file, an entry was damaged (its stated
// size is wrong, or bytes were lost or inserted), and the entries behind it
// would be lost. The repair therefore searches on:
//   1. From the position reached, the next "PK" 03 04 whose fixed header,
//      name (at least one byte) and extra field lie inside the file; the
//      last entry stays (bytes were inserted or its size is too small).
//   2. When the last entry claims bytes beyond the end of the file, a
//      header inside its range shows that its stated size is wrong: it is
//      dropped (its copy could not be extracted) and the scan goes on at
//      that header. With no header there it was cut off and is kept: the
//      copy then fails with 2, as for any archive cut inside its last entry.
//      (A header inside the range of an entry that ends inside the file is
//      not searched for: it may be an archive stored in the entry.)
//   3. Entries are read from there as the loader reads them (a data
//      descriptor by the same rules); each reports ZNReparing step 1 (after
//      the loader's step 2). A header that cannot be read whole is passed
//      over and the search goes on behind it.
// Every search starts behind the previous one, so the scan always ends.
#pragma once

#include <memory>
#include <vector>

#include "control/engine/read/archive_entry.h"
#include "control/engine/read/catalogue.h"
#include "platform/file.h"
#include "platform/types.h"

namespace vz::engine {

struct ResyncResult {
  std::vector<const ArchiveEntry*> order;            // the entries to copy, in file order
  std::vector<std::unique_ptr<ArchiveEntry>> found;  // entries found behind the damage (owned here)
};

// Continues the scan of cat (loaded in rebuild mode from file) as above.
// Out of memory: std::bad_alloc.
ResyncResult resynchronise(File& file, const LoadedCatalogue& cat, Handle window, bool pump);

}  // namespace vz::engine
