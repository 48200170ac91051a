// ReportResult's whole table: every code's severity, dialog and message
// (the phrase spliced where a message has a gap), both contact texts of
// 240, the 430 text, and the message box that ShowResult asks.
#include "zipwrap/report_result.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/ui.h"

namespace vz::zipwrap {
namespace {

struct Expected {
  int code;
  int severity;
  ResultDialog dialog;
  const char* message;  // with the phrase "Testing Archive"
};

constexpr auto kInfo = ResultDialog::Information;
constexpr auto kError = ResultDialog::Error;
constexpr auto kNone = ResultDialog::None;

const Expected kTable[] = {
    {-5, 0, kNone, ""},
    {0, 0, kNone, ""},
    {10, 1, kNone, ""},
    {30, 1, kNone, ""},
    {140, 1, kNone, ""},
    {40, 1, kInfo, "Warning: Some files were skipped while Testing Archive."},
    {50, 1, kInfo, "Warning: The Zip file is empty."},
    {100, 2, kError, "Error: Could not find the archive file."},
    {110, 2, kError, "The archive file is corrupted. Please try to repair it using Repair from the File menu."},
    {160, 2, kError, "The archive file is corrupted. Please try to repair it using Repair from the File menu."},
    {120, 2, kError, "Error: Out of memorywhile Testing Archive. Please free some memory and try again."},
    {150, 2, kError, "Error: Disk full while Testing Archive. Please free some space and try again"},
    {180, 2, kError,
     "Error: The archive is currently locked. Another application is using it, please try again later."},
    {190, 1, kInfo, "Warning: The Testing Archive operation was aborted."},
    {200, 2, kError, "Error: The archive contains errors."},
    {210, 2, kError, "No files ended up being tested in the archive."},
    {240, 2, kError, "Error: Vemora.Zip could not find the required DLL's. Please contact Dorvane."},
    {280, 2, kError,
     "Error: Temporary compression file has become corrupted. Please restart your computer and try again."},
    {350, 2, kError, "Error: Attempt to remove parent directory."},
    {370, 2, kError,
     "Error: The archive may be corrupt. File names are repeated in archive after discarding pathnames."},
    {380, 2, kError, "Warning: Could not update the Zip archive date. Archive only contains folders or is empty."},
    {400, 2, kError, "Error: Could not access the Zip file or one of the files to process."},
    {410, 2, kError, "Error: Attempt to work with a multiple-disk Zip archive, but not in MultiDisk mode."},
    {420, 2, kError, "Error: You have inserted the wrong disk too many times."},
    {430, 2, kError,
     "Error: This function is not supported in multidisk mode.\n\nThe following features are not supported in "
     "multi-disk mode..\n  * Update files\n  * Freshen files\n  * Remove files\n  * Fix archive\n  * Modify file date"},
    {20, 2, kError, "Error: An error occured while Testing Archive the specified files."},
    {500, 2, kError, "Error: An error occured while Testing Archive the specified files."},
    {65535, 2, kError, "Error: An error occured while Testing Archive the specified files."},
};

TEST(ReportResult, WholeTable) {
  for (const Expected& e : kTable) {
    SCOPED_TRACE(e.code);
    const ResultReport r = ReportResult(e.code, "Testing Archive");
    EXPECT_EQ(r.severity, e.severity);
    EXPECT_EQ(r.dialog, e.dialog);
    EXPECT_EQ(r.message, e.message);
  }
}

TEST(ReportResult, ToolsContactText) {
  EXPECT_EQ(ReportResult(240, "Adding files/folders", kContactTools).message,
            "Error: Vemora.Zip could not find the required DLL's. Please contact support.");
  // The contact sentence belongs to 240 alone.
  EXPECT_EQ(ReportResult(100, "x", kContactTools).message, "Error: Could not find the archive file.");
}

TEST(ReportResult, ShowResultAsksOneOkBox) {
  auto scripted = std::make_shared<ui::ScriptedBackend>();
  auto previous = ui::setBackend(scripted);
  EXPECT_EQ(ShowResult(0, "Fixing", "Vemora.Zip"), 0);
  EXPECT_EQ(ShowResult(10, "Fixing", "Vemora.Zip"), 1);
  EXPECT_EQ(ShowResult(40, "Fixing", "Vemora.Zip"), 1);
  EXPECT_EQ(ShowResult(240, "Fixing", "Vemora.Zip Compress Files", kContactTools), 2);
  ui::setBackend(previous);

  const auto& asked = scripted->asked();
  ASSERT_EQ(asked.size(), 2u);  // nothing for 0 and 10
  EXPECT_EQ(asked[0].caption, "Vemora.Zip");
  EXPECT_EQ(asked[0].text, "Warning: Some files were skipped while Fixing.");
  EXPECT_EQ(asked[0].icon, ui::Icon::Information);
  EXPECT_EQ(asked[1].caption, "Vemora.Zip Compress Files");
  EXPECT_EQ(asked[1].icon, ui::Icon::Error);
  EXPECT_EQ(asked[1].text, "Error: Vemora.Zip could not find the required DLL's. Please contact support.");
  for (const ui::Question& q : asked) {
    ASSERT_EQ(q.buttons.size(), 1u);
    EXPECT_EQ(ui::plainButtonText(q.buttons[0].text), "ok");
  }
}

}  // namespace
}  // namespace vz::zipwrap
