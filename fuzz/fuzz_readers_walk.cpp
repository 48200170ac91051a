// Fuzz target of the multi-format readers: type detection and the header
// walk of whatever type the input is detected as, through TArcLister (the
// input written to a scratch file, as the readers read files). Every
// listed entry's header must lie inside the file and the count must match
// OnTotals and the entries reported; errors are fine, crashes, hangs and unbounded memory
// are not. The input is tried under the names that steer detection
// (".TAR" for the checksum test) and with and without ShowBlankDirs.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_input_file.h"
#include "manager/readers/arc_lister.h"

namespace {

void walk(const std::string& path, bool blankDirs, int64_t size) {
  vz::readers::TArcLister lister;
  lister.ShowBlankDirs = blankDirs;
  lister.ZipCmntBufSize = 1024;
  int32_t reported = 0;
  lister.OnRead = [&](vz::readers::TArcLister& l, int32_t, int32_t) {
    ++reported;
    const auto& e = l.entry();
    if (e.headerOffset < 0 || e.headerOffset >= size) std::abort();
    (void)vz::readers::displayName(e.fileName);
  };
  int32_t totals = -1;
  lister.OnTotals = [&](vz::readers::TArcLister&, int32_t n) { totals = n; };
  lister.setArchiveFile(path);
  const int32_t listed = lister.activate();
  // OnTotals comes after a walk (not when the file could not be walked).
  if ((totals >= 0 && listed != totals) || listed > reported) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = vz::fuzz::writeInput(data, size);
  walk(path, size % 2 == 0, static_cast<int64_t>(size));
  // The same bytes as a ".TAR" file, which adds the TAR checksum test.
  static const vz::fuzz::InputCopy tar(".tar");
  tar.write(data, size);
  walk(tar.path, size % 2 != 0, static_cast<int64_t>(size));
  return 0;
}
