// Extraction of the open archive's entries into a folder for the main
// window's own uses (viewing an entry, the virus scan, Install Program):
// ZIP archives through the wrapper (overwriting, progress through the
// wrapper's events), the other kinds through the readers' extractor of
// the detected format when the family has one.
#pragma once

#include <string>
#include <vector>

#include "manager/app/archive_kind.h"
#include "zipwrap/zip_wrapper.h"

namespace vz::manager {

struct ExtractionResult {
  bool ok = false;
  int code = 0;             // the wrapper's result for ZIP archives
  std::string unavailable;  // set when the kind cannot be extracted yet (the message to show)
};

// Extracts names (stored names; empty: every entry) from archive into
// folder. usePaths false drops the entries' folders.
ExtractionResult extractEntries(zipwrap::TZipWrapper& wrapper, ArchiveKind kind, const std::string& archive,
                                const std::vector<std::string>& names, const std::string& folder, bool usePaths);

}  // namespace vz::manager
