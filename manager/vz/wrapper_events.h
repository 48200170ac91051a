// How vz shows the wrapper's events, as the main window does with its
// progress window and message boxes, on a terminal:
//   listing        one line per entry on standard output (listing_format.h)
//   adding, extracting, updating, testing, deleting, fixing
//                  one line per file on standard output ("  adding: NAME")
//                  unless quiet, and the progress line (name and
//                  PercentDone) on standard error when it is a terminal
//   status         the progress line's percentage
//   skipping       a warning on standard error with the reason text
//   replace, password, new disk
//                  questions (questions.h); Cancel sets the wrapper's Abort
// The view binds itself to one wrapper for its lifetime.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "manager/vz/command_line.h"
#include "manager/vz/listing_format.h"
#include "manager/vz/progress_line.h"
#include "zipwrap/zip_wrapper.h"

namespace vz::cli {

class WrapperView {
 public:
  WrapperView(zipwrap::TZipWrapper& w, Command command, bool quiet, std::ostream& out, std::ostream& err,
              ProgressLine& progress);
  ~WrapperView();
  WrapperView(const WrapperView&) = delete;
  WrapperView& operator=(const WrapperView&) = delete;

  // l: the header when no entry was listed yet, then the totals.
  void finishListing();
  const ListingTotals& totals() const { return totals_; }
  // Skip warnings printed.
  uint32_t skips() const { return skips_; }

 private:
  void bind();
  // One line per file, printed the first time a name is reported.
  void fileLine(const char* verb, const std::string& name);
  void listed(const zipwrap::TZwFileStats& e);

  zipwrap::TZipWrapper& w_;     // the bound wrapper
  Command command_;             // what runs (testing turns the skip warning's text)
  bool quiet_;                  // -q: no lines per file
  std::ostream& out_;           // standard output
  std::ostream& err_;           // standard error
  ProgressLine& progress_;      // drawn on standard error when it is a terminal
  std::string lastName_;        // the file whose line was printed last
  bool headerPrinted_ = false;  // l: the listing's header is out
  ListingTotals totals_;        // l: the sums of the listed entries
  uint32_t skips_ = 0;          // skip warnings printed
};

}  // namespace vz::cli
