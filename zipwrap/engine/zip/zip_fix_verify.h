// Whether one entry's data checks out, for the thorough fix (-FF), and
// where it really ends.
//
// The headers of a damaged archive may lie about the compressed size (the
// local header, the central record and a data descriptor may each be wrong
// or zero), so every claim is a candidate to be proved:
//   - Deflated data is decoded; the compressed size is the number of bytes
//     the decoder needs to reach the final block. The inflater reads ahead
//     by up to eight bytes, so the exact end is the smallest input length
//     (searched in that window) that still decodes. The decoded bytes'
//     CRC-32 and count must match a candidate, or a data descriptor found
//     right behind the data.
//   - Stored data is read forward once with a running CRC: the data may end
//     at any record signature (or the end of the file) where the CRC and the
//     length match a candidate, or at a data descriptor that states them.
//   - The other decodable methods are decoded with each candidate's sizes.
//   - Encrypted data and unknown methods cannot be checked without the
//     password or the decoder: a candidate size is taken when the data then
//     ends at a record signature, a data descriptor that repeats that size,
//     or the end of the file (and an encrypted entry holds its 12-byte
//     header).
// A data descriptor (with or without its signature) behind the data is
// part of the entry when flag bit 3 is set and it states the checked CRC
// and sizes.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/file.h"

namespace vz::zipwrap {

// What a header claims about the data.
struct SizeClaim {
  uint32_t crc32 = 0;
  uint32_t compressedSize = 0;
  uint32_t uncompressedSize = 0;
};

struct DataVerdict {
  bool ok = false;              // the data checks out (or is consistent, see checked)
  bool checked = false;         // decoded and its CRC matched
  SizeClaim facts;              // CRC and sizes as proved
  uint32_t descriptorSize = 0;  // bytes of the data descriptor behind the data (0, 12 or 16)
};

// Checks the data of an entry with method and flags that starts at dataAt
// and cannot run past fileEnd, against the claims (most trusted first).
DataVerdict verifyEntryData(const File& file, uint16_t method, uint16_t flags, int64_t dataAt, int64_t fileEnd,
                            const std::vector<SizeClaim>& claims);

}  // namespace vz::zipwrap
