// Status codes of the read side, as the engine functions return them and the
// control's methods report them to the host.
#pragma once

#include <cstdint>

namespace vz::engine {

enum ReadStatus : int16_t {
  kOk = 0,
  kCorrected = 1,      // read after a correction (empty archive, unshifted directory, offset 0 fixed)
  kCannotOpen = 2,     // the archive file could not be opened (quick test)
  kNotZip = 3,         // no end record, a signature missing, or a read failed
  kCrcError = 5,       // extraction: CRC mismatch; full test: no readable end record
  kTestOpenFailed = 6, // full test: the archive could not be opened or buffers not allocated
  kWriteFailed = 8,    // extraction: the output could not be written
  kSkipped = 10,       // an entry was skipped, or a name longer than 1023 bytes was cut
  kPrefixData = 17,    // the archive has data in front of it
};

// Codes 0, 1 and 17 count as readable: a directory operation goes on after
// them and stops after any other code.
constexpr bool isReadable(int status) { return status == kOk || status == kCorrected || status == kPrefixData; }

// Results of the catalogue loader (the write side's reader).
enum CatalogueStatus : int16_t {
  kCatalogueOk = 0,
  kCatalogueNotArchive = 4,  // not an archive the loader accepts
  kCatalogueNoMemory = 5,
};

}  // namespace vz::engine
