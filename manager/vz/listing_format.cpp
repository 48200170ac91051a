#include "manager/vz/listing_format.h"

#include <cstdio>

namespace vz::cli {

unsigned savedPercent(uint64_t size, uint64_t packed) {
  if (size == 0 || packed >= size) return 0;
  return static_cast<unsigned>((size - packed) * 100 / size);
}

std::string listingHeader() {
  return "      Size     Packed Saved Date       Time  Name\n"
         "---------- ---------- ----- ---------- ----- ----\n";
}

std::string listingLine(const zipwrap::TZwFileStats& e) {
  char buf[80];
  const zipwrap::TZwDateTime& t = e.DateTime;
  std::snprintf(buf, sizeof buf, "%10u %10u %4u%% %04d-%02d-%02d %02d:%02d ", e.Size, e.ValueA,
                savedPercent(e.Size, e.ValueA), t.year, t.month, t.day, t.hour, t.minute);
  return buf + e.FileName + (e.FlagA ? " *" : "") + "\n";
}

void ListingTotals::add(const zipwrap::TZwFileStats& e) {
  ++entries_;
  size_ += e.Size;
  packed_ += e.ValueA;
}

std::string ListingTotals::text() const {
  char buf[120];
  std::snprintf(buf, sizeof buf,
                "---------- ---------- -----                  ----\n"
                "%10llu %10llu %4u%%                  %u %s\n",
                static_cast<unsigned long long>(size_), static_cast<unsigned long long>(packed_),
                savedPercent(size_, packed_), entries_, entries_ == 1 ? "file" : "files");
  return buf;
}

}  // namespace vz::cli
