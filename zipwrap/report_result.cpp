// ReportResult's table: every code with its severity and message, the
// phrase spliced into the messages that name the operation.
#include "zipwrap/report_result.h"

#include "platform/ui.h"

namespace vz::zipwrap {
namespace {

// One row: the code, its severity, and the message split around the
// phrase (withPhrase: head + phrase + tail; otherwise head alone).
struct Row {
  int code;
  int severity;
  const char* head;
  bool withPhrase;
  const char* tail;
};

// The code-240 row's text ends with the caller's contact sentence; the
// 430 row's lines are joined with "\n".
constexpr Row kRows[] = {
    {10, 1, "", false, ""},
    {30, 1, "", false, ""},
    {140, 1, "", false, ""},
    {40, 1, "Warning: Some files were skipped while ", true, "."},
    {50, 1, "Warning: The Zip file is empty.", false, ""},
    {100, 2, "Error: Could not find the archive file.", false, ""},
    {110, 2, "The archive file is corrupted. Please try to repair it using Repair from the File menu.", false, ""},
    {160, 2, "The archive file is corrupted. Please try to repair it using Repair from the File menu.", false, ""},
    {120, 2, "Error: Out of memorywhile ", true, ". Please free some memory and try again."},
    {150, 2, "Error: Disk full while ", true, ". Please free some space and try again"},
    {180, 2, "Error: The archive is currently locked. Another application is using it, please try again later.", false,
     ""},
    {190, 1, "Warning: The ", true, " operation was aborted."},
    {200, 2, "Error: The archive contains errors.", false, ""},
    {210, 2, "No files ended up being tested in the archive.", false, ""},
    {240, 2, "Error: Vemora.Zip could not find the required DLL's. ", false, ""},
    {280, 2, "Error: Temporary compression file has become corrupted. Please restart your computer and try again.",
     false, ""},
    {350, 2, "Error: Attempt to remove parent directory.", false, ""},
    {370, 2, "Error: The archive may be corrupt. File names are repeated in archive after discarding pathnames.", false,
     ""},
    {380, 2, "Warning: Could not update the Zip archive date. Archive only contains folders or is empty.", false, ""},
    {400, 2, "Error: Could not access the Zip file or one of the files to process.", false, ""},
    {410, 2, "Error: Attempt to work with a multiple-disk Zip archive, but not in MultiDisk mode.", false, ""},
    {420, 2, "Error: You have inserted the wrong disk too many times.", false, ""},
    {430, 2,
     "Error: This function is not supported in multidisk mode.\n\n"
     "The following features are not supported in multi-disk mode..\n"
     "  * Update files\n"
     "  * Freshen files\n"
     "  * Remove files\n"
     "  * Fix archive\n"
     "  * Modify file date",
     false, ""},
};

constexpr Row kOtherCode = {0, 2, "Error: An error occured while ", true, " the specified files."};

}  // namespace

ResultReport ReportResult(int code, std::string_view phrase, std::string_view contact) {
  ResultReport report;
  if (code <= 0) return report;
  const Row* row = &kOtherCode;
  for (const Row& r : kRows) {
    if (r.code == code) row = &r;
  }
  report.severity = row->severity;
  report.message = row->head;
  if (row->withPhrase) report.message.append(phrase).append(row->tail);
  if (row->code == 240) report.message.append(contact);
  if (!report.message.empty()) {
    report.dialog = report.severity == 1 ? ResultDialog::Information : ResultDialog::Error;
  }
  return report;
}

int ShowResult(int code, std::string_view phrase, std::string_view caption, std::string_view contact) {
  const ResultReport report = ReportResult(code, phrase, contact);
  if (report.dialog != ResultDialog::None) {
    const unsigned icon = report.dialog == ResultDialog::Information ? ui::MB_ICONINFORMATION : ui::MB_ICONERROR;
    ui::messageBox(report.message, std::string(caption), ui::MB_OK | icon);
  }
  return report.severity;
}

}  // namespace vz::zipwrap
