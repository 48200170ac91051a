// Rebasing a ZIP archive copied out of a self-extracting program, so that
// its offsets count from the copy's own first byte.
//
// A program with a ZIP behind it records its offsets one of two ways: from
// the archive's own start (a ZIP simply appended to a stub) or from the
// start of the program (a stub whose builder shifted the offsets). Once the
// archive part is copied out, the second kind points every offset too far
// by the length of the stub. The rebase finds out how far the recorded
// offsets are off, by where the central directory really is in the copy,
// and subtracts that from every offset that names a position:
//
//   end record            16 offset of the central directory (32)
//   Zip64 end locator      8 offset of the Zip64 end record (64)
//   Zip64 end record      48 offset of the central directory (64)
//   each central header   42 offset of the local header (32), or in its
//                         Zip64 extra field (tag 1) when that reads FFFFFFFF
//
// The copy is patched in place, one record at a time: memory stays bounded
// by one header and its extra field whatever the archive's size.
#pragma once

#include <cstdint>

#include "platform/file.h"

namespace vz::readers {

enum class RebaseResult {
  Done,        // every offset counts from the copy's start now (also when nothing had to change)
  NotZip,      // no end record, or no central directory where it could be
  BadOffsets,  // an offset would fall before the copy's start or past its 32/64-bit field
  WriteError,  // the copy could not be read back or patched
};

// Rebases the ZIP archive in copy (open read-write). stubLength is how many
// bytes of program stood before the archive in the file it was copied
// from: offsets counted from the program's start are that much too large.
RebaseResult rebaseZipCopy(vz::File& copy, int64_t stubLength);

}  // namespace vz::readers
