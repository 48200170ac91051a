// ListArchiveContents: the rows of the open archive as the main window
// shows them, from the wrapper (akZip) or the multi-format lister (every
// other kind; the Blak-Hole kind too, until its own reader is driven
// directly), with the validity rule and the Install rule.
//
//   akZip:   ZipFileName := path; the count panel := GetEntryCount + " files";
//            ListArchive; one row per OnListing; valid for results 0, 100,
//            50 and 40 (no message for those).
//   akUnknown whose content is a ZIP (plain, spanned or inside a
//            program) or that the readers cannot walk: as akZip, so the
//            wrapper's result and message decide (as `vz l` does).
//   others:  TArcLister on the path (folders shown); one row per OnRead;
//            OnTotals sets the count panel; always valid. Lister errors are
//            shown through the user-interface service as they come.
//
// A row: caption = the stored name after its last "/" (a folder entry
// keeps its trailing "/"), size = the uncompressed size, folder = the part
// before the caption ("docs/" or ""), so folder + caption is the stored
// name the engine knows.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "manager/app/archive_kind.h"
#include "zipwrap/zip_wrapper.h"

namespace vz::manager {

inline constexpr const char* kReadingPhrase = "Reading Archive contents";

struct ListedRow {
  std::string caption;  // name without its folder (control characters shown as "?")
  uint64_t size = 0;    // uncompressed size
  std::string folder;   // folder part with its trailing "/", "" at the root
  std::string storedName() const { return folder + caption; }
};

// The row of a stored name (see the header comment).
ListedRow rowFromStoredName(const std::string& name, uint64_t size);
// The validity rule of a ZIP listing's result code.
bool zipListingValid(int code);
// A row at the root named SETUP.EXE or INSTALL.EXE, in any case.
bool isInstallRow(const ListedRow& row);
// The "N files" text of the count panel.
std::string filesText(int64_t count);
// The message of a lister error ("Error: " + the reader's text, or
// "General Message: " for the informative codes) with the file it names.
std::string readerErrorMessage(int32_t code, const std::string& file);

struct ListingResult {
  bool valid = false;
  int code = 0;  // the wrapper's result (akZip), else 0
  std::vector<ListedRow> rows;
  std::string countPanel;  // panel 1
  bool installAvailable = false;
};

// What a listing reports while it runs.
struct ListingHooks {
  std::function<void(int percent)> progress;           // the progress bar
  std::function<void(const std::string&)> countPanel;  // panel 1 as soon as it is known
};

// Whether path of kind is listed through the wrapper (see above).
bool listedByWrapper(ArchiveKind kind, const std::string& path);

// Lists path. The wrapper's OnListing is bound for the call and restored
// afterwards; its other events stay as the caller set them.
ListingResult listArchiveContents(zipwrap::TZipWrapper& wrapper, ArchiveKind kind, const std::string& path,
                                  const ListingHooks& hooks = {});

}  // namespace vz::manager
