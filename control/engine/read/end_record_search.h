// The end-record search and the prefix correction, shared by the directory
// reader and the self-extractor (whose archive sits behind a program).
//
// Search: the last min(size, 65,557) bytes are searched backwards for
// "PK" 05 06 at positions that leave room for the 22-byte record; the match
// nearest the end wins. A file of at most 24,576 bytes is read whole;
// otherwise the last (size mod 24,576) bytes (at least 22) are read first
// when that remainder is 19 or more, then whole 24,576-byte blocks
// backwards from the last block boundary until the window is covered. A
// signature that straddles two blocks is completed from the bytes of the
// block scanned before. So at most 65,557 positions are searched, and an end
// record 65,558 or more bytes before the end is not found.
//
// Prefix correction: extra bytes = record position - (directory size +
// directory offset), added to every stored offset afterwards. Negative: the
// stored offsets cannot be trusted. Positive with a directory offset of 0
// and a non-zero directory size: the directory is taken to start at the
// extra bytes (which become 0). Then "PK" 01 02 is looked for at offset +
// extra bytes, else at the stored offset alone (the extra bytes become 0):
// an archive whose offsets count from the start of its own data and one
// whose offsets count from the start of the whole file both open.
#pragma once

#include <cstdint>

#include "control/engine/format/zip_records.h"
#include "control/engine/read/archive_input.h"

namespace vz::engine {

// Where the end record lies and what it says.
struct EndRecordLocation {
  EndRecord end;                 // as stored, directory offset as corrected
  int64_t position = -1;         // file position of the record, -1: not found
  int64_t extraBytes = 0;        // added to every stored offset
  bool offsetCorrected = false;  // a directory offset of 0 was taken to be the extra bytes
};

enum class EndRecordSearch {
  NotFound,       // no record (or it could not be read, or its correction overflows)
  NegativeExtra,  // the directory claims to reach beyond the record
  Found,
};

// The file position of the end record's signature, -1 when there is none.
int64_t findEndRecordSignature(ArchiveInput& input);

// Searches, reads the record and applies the prefix correction up to the
// central-header check. position and end are filled whenever the record was
// read, also with NotFound for an overflowing correction and NegativeExtra.
[[nodiscard]] EndRecordSearch findEndRecord(ArchiveInput& input, EndRecordLocation& out);

enum class CentralStart {
  AtExtraBytes,    // "PK" 01 02 at the directory offset + the extra bytes
  AtStoredOffset,  // only at the stored offset: the extra bytes became 0
  Missing,         // at neither (the extra bytes became 0)
};

// The central-header check of the prefix correction; updates loc.extraBytes.
[[nodiscard]] CentralStart checkCentralStart(ArchiveInput& input, EndRecordLocation& loc);

}  // namespace vz::engine
