// Type detection: which format a file is, and where the archive starts in
// it (plain at offset 0, or embedded in a self-extracting program).
//
// Signature classification: the first four bytes at a position as a
// little-endian V (L low 16 bits, H high 16 bits), plain or embedded; the
// table of classifySignature() is tested in its order and the first match
// decides (see the .cpp for the table).
//
// Detection of a file (detectArchiveType):
//   1. Cannot be opened, or shorter than 6 bytes: atFileError.
//   2. A program ("MZ", or the ELF magic 7F "ELF" - on this platform ELF
//      programs are programs too, so our own self-extractors and Linux
//      self-extracting archives are found): atUnknown, then the embedded
//      archive is looked for three ways, stopping at the first that gives
//      another type:
//      a. string resources 1 to 4 (MZ only: read from the program's resource
//         section), each a number of at most 5 characters below the file
//         size naming a position, classified as embedded; a ZIP type found
//         this way is remembered as the ZIP start;
//      b. the end of the program image (MZ: (pages - 1) x 512 + bytes on the
//         last page from the words at 4 and 2, and for a Windows (PE)
//         program, whose DOS image is only its stub, also the end of its
//         last section; ELF: the end of the last section or segment,
//         whichever is further): when bytes 2 and 3 there are 60 EA the
//         archive starts 2 bytes later;
//      c. ZIP from the end: the end record searched backwards in the last
//         ZipCmntBufSize + 23 bytes (23 when the buffer size is 0; file size
//         - 76 when the span is longer than the file), its central header
//         checked, the archive start that header's local-header offset, the
//         type atZipExe.
//   3. Otherwise the first 4 bytes classified as plain.
//   4. Still atUnknown, longer than 512 bytes, with the extension ".TAR"
//      (ignoring case): the TAR checksum test on the first block, or on the
//      second when the first is a volume label ("V" at 156; the archive then
//      starts at 512).
#pragma once

#include <cstdint>
#include <string>

#include "manager/readers/arc_types.h"

namespace vz::readers {

struct SignatureClass {
  TArcType type = atUnknown;
  int64_t startOverride = -1;  // >= 0: the archive's start (zero-based) the signature implies (7716 for B7 92/DF)
};

// One signature test (the table above).
SignatureClass classifySignature(uint32_t v, bool embedded);

struct DetectedType {
  TArcType type = atNA;
  int64_t archiveStart = 0;  // zero-based position of the archive in the file
  int64_t zipStart = -1;     // the ZIP start remembered by step 2a, -1 when none
  int64_t fileSize = 0;
};

// Detects the type of the file at path (steps above). zipCommentBufferSize
// is TArcLister's ZipCmntBufSize.
DetectedType detectArchiveType(const std::string& path, int32_t zipCommentBufferSize);

// The TAR header test of step 4 on one 512-byte block.
bool isTarHeaderBlock(const uint8_t* block);

}  // namespace vz::readers
