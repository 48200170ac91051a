// What the write operations share: the one-operation-at-a-time guard, the
// progress reports, the mask test on entry names, and the rewrite of an
// archive from its catalogue that deleting and the comments use (every
// entry copied unchanged or left out, new comments, then put in place).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "control/engine/read/archive_entry.h"
#include "control/engine/write/archive_update_place.h"
#include "control/engine/read/catalogue.h"
#include "control/engine/write/zip_writer_engine.h"
#include "platform/types.h"

namespace vz::engine {

// Holds the process-wide write state for one operation. A second operation
// started while one runs (from inside the message pump) does not acquire
// it and must return IoError (2) without doing anything.
class WriteOperation {
 public:
  WriteOperation();
  ~WriteOperation();
  WriteOperation(const WriteOperation&) = delete;
  WriteOperation& operator=(const WriteOperation&) = delete;
  bool acquired() const { return acquired_; }

 private:
  bool acquired_;  // this object holds the process's write state
};

// Sends WM_USER + n with text to the engine's window (pumping when asked).
void report(const WriteEngine& engine, uint32_t n, WParam wParam, const std::string& text);

// A host's mask in the processed form of entry names (upper case, "\"
// separators): drive prefix and leading separators removed.
std::string processedMask(const std::string& mask);
// Whether an entry's processed name matches a processed mask (mask.h's
// rule).
bool entryMatches(const ArchiveEntry& e, const std::string& processedMask);

// What a rewrite does with one entry.
struct EntryPlan {
  bool drop = false;                     // leave the entry out (ZNDeleting is reported)
  const std::string* comment = nullptr;  // new file comment; null: as it was
};
using PlanFor = std::function<EntryPlan(const ArchiveEntry&)>;

// Writes a new archive from the catalogue of target (entries in order,
// each as plan says, the end record with archiveComment) and puts it in
// place. The caller has loaded the catalogue from target and checked that
// there is something to do. Ok, IoError, WriteProtected or DiskFull.
[[nodiscard]] WriteStatus rewriteArchive(const WriteEngine& engine, const std::string& zipName,
                                         const ArchiveTarget& target, const LoadedCatalogue& catalogue,
                                         const PlanFor& plan, const std::string& archiveComment);

}  // namespace vz::engine
