// Split and Join: cutting an archive into numbered part files that fill
// one disk after another, and putting the parts back together. The parts
// are plain byte ranges of the archive (not the format's own spanning
// records): joining them end to end gives back the archive byte for byte.
//
// Split(archive, folder, first, next):
//   1. The archive must be a file (1). The last index L is 0 when the
//      archive is smaller than first, else 1 + (size - first) / next (a next
//      size of 0 or less counts as 1). A set needs L + 1 parts and part
//      names hold one base-36 digit per index, so more than 36 parts are
//      refused with 4 before anything is written. No buffer: 2; the archive
//      cannot be opened: 3.
//   2. Part i holds first bytes (i = 0) or next bytes (i > 0), the last
//      part the rest. When the sizes divide the archive exactly the last
//      part is written empty: Join expects a file for every index 0..L.
//   3. Each part on a removable destination: the disk prompt asks for disk
//      i + 1 of L + 1; "No" stops with 6, or with 11 when the disk offered
//      before was write-protected. A write-protected disk and a disk without
//      room for the part make it ask again. A file of the part's name already
//      on the disk is deleted before the room check (the part replaces it).
//      On a fixed destination nothing is asked: a write-protected medium
//      gives 11 and a medium without room 6.
//   4. The part file is created (5 when it cannot be), its bytes copied in
//      reads of 8,192 (a failed read: 3, a short write: 10; the incomplete
//      part file is removed), ZNSplitting after each block (kilobytes
//      written in the part, the part's path), ZNSplitted after the part
//      (its number from 1, its size).
//
// Join(partName, folder):
//   1. partName ends in ".?_L" (L one base-36 digit, the last index); any
//      other name: 7.
//   2. The joined archive SHORTNAME.ZIP is created in folder (4).
//   3. For each index 0..L: while the part (looked up ignoring case in the
//      folder of partName) is missing, the disk prompt asks for disk i + 1
//      of L + 1; "No" stops with 5. The part must open (3) and the
//      destination have room for it (9); it is appended in 8,192-byte
//      blocks with ZNJoining after each (kilobytes read from the part, its
//      path); a failed read or short write gives 3.
//   4. ZNJoinDoneName (the joined archive), ZNJoinDoneSize (its size); 0.
// A join that fails removes the incomplete joined archive.
#pragma once

#include <cstdint>
#include <string>

#include "control/engine/span/span_disk.h"
#include "control/engine/span/span_status.h"

namespace vz::engine {

// Block size of the copies.
constexpr size_t kSpanCopyBlock = 8192;
// Split's work buffer: two blocks.
constexpr size_t kSplitBufferSize = 16384;

// The last index of a set for an archive of size bytes; -1 when the set
// would need more than 36 parts.
int lastPartIndex(int64_t size, int64_t firstSize, int64_t nextSize);

// Results: SplitStatus (span_status.h).
[[nodiscard]] SplitStatus splitArchive(const SpanSession& session, const std::string& zipName,
                                       const std::string& destDir, int64_t firstSize, int64_t nextSize);

// joinedPath, when given, receives the joined archive's path (also on
// failure, when it was known). Results: JoinStatus (span_status.h).
[[nodiscard]] JoinStatus joinParts(const SpanSession& session, const std::string& partName, const std::string& destDir,
                                   std::string* joinedPath = nullptr);

}  // namespace vz::engine
