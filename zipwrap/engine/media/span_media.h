// What the multi-disk writer (span_write.h) and reader (span_read.h) share:
// the disks' labels, the spanning marker, and the end record and central
// directory of one file.
//
// A spanned set, as the ZIP application note lays it out:
//
//   disk 1:  "PK" 07 08  [local header, name, extra, data...]...
//   disk 2:  ...data... [local header ...]...
//   disk N:  ... [central header]... [end record + comment]
//
// Every offset in the central headers and the end record counts from the
// start of the disk the record lies on (the marker counts on disk 1), and
// each central header names the disk of its local header (0 for disk 1).
// The end record names its own disk (N - 1), the disk where the directory
// starts and how many central headers lie on its own disk. Headers are never
// cut between two disks (the writer starts a new disk instead); entry data
// may be cut anywhere. Disk n carries the volume label "PKBACK# 00n", and
// the file on every disk has the archive's name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "control/engine/format/zip_records.h"
#include "platform/file.h"

namespace vz::zipwrap {

// The spanning marker at the start of disk 1.
constexpr uint32_t kSpanningSignature = 0x08074B50;
// The marker of a set that turned out to fit on one disk.
constexpr uint32_t kSingleDiskSpanSignature = 0x30304B50;
// The label's text in front of the disk number.
constexpr std::string_view kDiskLabelPrefix = "PKBACK# ";

// "PKBACK# 001" for disk 1.
std::string diskLabel(uint32_t disk);
// The disk number of a "PKBACK# nnn" label; nullopt for any other label.
std::optional<uint32_t> diskOfLabel(std::string_view label);

// The end record of one file, found from its end.
struct FoundEndRecord {
  engine::EndRecord record;
  int64_t position = 0;  // of its signature in the file
  std::string comment;   // as stored (cut to what the file holds)
};
std::optional<FoundEndRecord> findEndRecord(const File& file);

// Copies count bytes of src from at to the end of out. False when a read or
// write fails (errno kept).
bool copyRange(const File& src, int64_t at, int64_t count, File& out);

}  // namespace vz::zipwrap
