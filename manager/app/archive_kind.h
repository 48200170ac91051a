// ArchiveKind: the kind of archive the main window assumes from a path's
// upper-cased extension, which decides who lists it (the wrapper for ZIP,
// the multi-format readers for the rest, UU decoding for .UUE), the open
// dialog's filter list, and IsMultiDiskArchive (a ZIP on a removable disk
// that is missing there or whose volume label marks a spanned backup set).
#pragma once

#include <string>

namespace vz::manager {

enum class ArchiveKind : int {
  akZip = 0,       // .ZIP
  akArj = 1,       // .ARJ
  akArc = 2,       // .ARC
  akBlakHole = 3,  // .BH
  akLha = 4,       // .LHA, .LHZ, .LZH
  akZoo = 5,       // .ZOO
  akTar = 6,       // .TAR
  akUue = 7,       // .UUE (decoded, not listed)
  akCab = 8,       // .CAB
  akZ = 9,         // .Z
  akGz = 10,       // .GZ
  akUnknown = 11,  // anything else: the readers identify it by content
};

// The kind of path from its extension, compared in upper case.
ArchiveKind archiveKindOf(const std::string& path);
// The kind's short name for messages ("ZIP", "Blak-Hole", ...).
std::string archiveKindName(ArchiveKind kind);

// The open dialog's title and filter list, in the original "|" form
// ("All Archives|*.ARC;...|Arc Files|*.ARC|...||").
inline constexpr const char* kOpenDialogTitle = "Please select the file to open with Vemora.Zip";
std::string openDialogFilter();

// A ZIP path on a removable drive that either is not there or sits on a
// volume labelled "PKBACK#..." (a spanned set's disk).
bool IsMultiDiskArchive(const std::string& path);

}  // namespace vz::manager
