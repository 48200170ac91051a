// The parts of a split archive found beside the one the user named, and all
// of them mapped end to end as one read-only range, so that the directory
// reader sees a split set as one archive whose disks begin at known places.
//
// Two ways of naming the parts are known:
//
//   NAME.z01  NAME.z02  ...  NAME.zip      the set of a split archiver: the
//                                          last part has the archive's own
//                                          name, the others count from z01
//   NAME.001  NAME.002  ...  NAME.00n      numbered parts, any of which may
//                                          be named (the set is every part
//                                          from 001 up to the first missing)
//
// Mapping: a part whose start falls on a page boundary (every part before it
// a whole number of pages long, as sizes like 1 MiB are) is mapped straight
// from its file into its place; when some earlier part is not, the whole
// set is read into anonymous memory instead (bounded by the files' sizes).
// Either way one munmap of the range frees it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vz::zipwrap {

// The parts of the set the archive at path belongs to, in order, the last
// one holding the end record; empty when path names no such set. lastDisk is
// the disk number the archive's end record gives (0 when it names none), and
// decides how many ".zNN" parts there must be.
std::vector<std::string> findSetParts(const std::string& path, uint32_t lastDisk);

// Whether path ends in a numbered part's extension (".001" and so on).
bool isNumberedPart(const std::string& path);

// For an earlier part of a split archiver's set ("NAME.z01"), the set's
// last part ("NAME.zip") when it is there; empty otherwise.
std::string lastPartOf(const std::string& path);

// The parts mapped end to end. Returns 0 or a result code of
// engine_results.h (100 a part missing, 400 unreadable, 120 out of memory).
struct MappedParts {
  const uint8_t* data = nullptr;  // the range (read-only); null when nothing is mapped
  size_t size = 0;                // its length: the parts' lengths summed
  std::vector<uint64_t> starts;   // where each part begins in the range
};
[[nodiscard]] uint16_t mapParts(const std::vector<std::string>& parts, MappedParts& out);

}  // namespace vz::zipwrap
