// The thorough fix's scan (-FF): every entry of a damaged archive whose
// data checks out, wherever it lies in the file.
//
// Where -F trusts each local header's sizes and steps from one entry to the
// next, -FF trusts nothing it has not checked:
//   1. Every "PK" 03 04 in the file whose fixed header, name and extra field
//      fit in the file is a candidate. The old central directory, when an
//      end record and at least some of its headers can still be read, gives
//      a second opinion on each entry (sizes, CRC, attributes, comment) and
//      names the entries whose local header is damaged.
//   2. Candidates are taken in file order; one that lies inside an entry
//      already kept is data of that entry and is passed over.
//   3. An entry is kept when its data checks out (zip_fix_verify.h): decoded
//      with its CRC right (the compressed size is then what the decoder used,
//      whatever the headers say), or, for data the engine cannot check (an
//      encrypted entry, an unknown method), when its sizes are consistent:
//      the data ends at a record, a data descriptor or the end of the file.
//   4. A central record whose local header was not found (its signature or
//      lengths damaged) is tried at its offset with the central header's
//      fields and names; kept when its data checks out there.
// Everything is read through bounds-checked reads of the file, never more
// than the file holds, so a damaged length costs a failed check, nothing
// else.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "control/engine/format/zip_records.h"
#include "platform/file.h"

namespace vz::zipwrap {

// One entry kept by the scan, as it will be written again.
struct FixedEntry {
  int64_t headerAt = 0;               // where its local header (or its central record's offset) was
  int64_t dataAt = 0;                 // first byte of its data in the damaged file
  int64_t endAt = 0;                  // first byte behind its data and data descriptor
  engine::CentralHeader central;      // the record written for it: sizes and CRC as checked
  std::string name;                   // name bytes as stored
  std::vector<uint8_t> localExtra;    // local extra field
  std::vector<uint8_t> centralExtra;  // central extra field (the local one when there was no record)
  std::string comment;                // file comment (from the old record, else empty)
  bool checked = false;               // the data was decoded and its CRC matched
  bool fromDirectory = false;         // its local header was damaged: rebuilt from the central record
};

struct FixScan {
  std::vector<FixedEntry> entries;  // in file order
  int64_t preamble = 0;             // bytes in front of the first local header kept as they are
  std::string comment;              // the archive comment, when the end record was found
  size_t rejected = 0;              // candidates whose data did not check out
};

// Scans file (see above). stop, when given, is polled between candidates:
// true ends the scan early with what was kept so far.
FixScan scanThoroughly(const File& file, const std::function<bool()>& stop = {});

}  // namespace vz::zipwrap
