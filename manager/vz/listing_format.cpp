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
  return listingLine(e.Size, e.ValueA, e.DateTime, e.FileName, e.FlagA);
}

std::string listingLine(uint64_t size, uint64_t packed, const vz::LocalTime& t, const std::string& name,
                        bool encrypted) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%10llu %10llu %4u%% %04d-%02d-%02d %02d:%02d ", static_cast<unsigned long long>(size),
                static_cast<unsigned long long>(packed), savedPercent(size, packed), t.year, t.month, t.day, t.hour,
                t.minute);
  return buf + name + (encrypted ? " *" : "") + "\n";
}

void ListingTotals::add(const zipwrap::TZwFileStats& e) { add(e.Size, e.ValueA); }

void ListingTotals::add(uint64_t size, uint64_t packed) {
  ++entries_;
  size_ += size;
  packed_ += packed;
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
