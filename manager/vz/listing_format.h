// The lines of `vz l`: a header, one line per entry (size, packed size,
// space saved, date and time, name) and a totals line, in fixed columns so
// that scripts can cut them:
//
//       Size     Packed Saved Date       Time  Name
//   ---------- ---------- ----- ---------- ----- ----
//         1234        567   54% 2024-01-02 13:45 docs/readme.txt
//   ---------- ---------- -----                  ----
//         1234        567   54%                  1 file
//
// An encrypted entry's name is followed by " *". "Saved" is the space saved
// as a whole percent, 0 when the entry grew, the same rule for an entry and
// for the totals.
#pragma once

#include <cstdint>
#include <string>

#include "zipwrap/zip_wrapper.h"

namespace vz::cli {

// Space saved in percent, rounded down; 0 when packed >= size.
unsigned savedPercent(uint64_t size, uint64_t packed);

std::string listingHeader();                                  // the two header lines, each ending in "\n"
std::string listingLine(const zipwrap::TZwFileStats& entry);  // with "\n"
// The same line from plain values (the multi-format readers' entries).
std::string listingLine(uint64_t size, uint64_t packed, const vz::LocalTime& stamp, const std::string& name,
                        bool encrypted);

// Sums the listed entries and formats the totals.
class ListingTotals {
 public:
  void add(const zipwrap::TZwFileStats& entry);
  void add(uint64_t size, uint64_t packed);
  uint32_t entries() const { return entries_; }
  std::string text() const;  // the two closing lines, each ending in "\n"

 private:
  uint32_t entries_ = 0;  // entries listed
  uint64_t size_ = 0;     // sum of their sizes
  uint64_t packed_ = 0;   // sum of their packed sizes
};

}  // namespace vz::cli
