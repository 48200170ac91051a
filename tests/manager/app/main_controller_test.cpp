// The main window's decisions through a fake view, scripted answers and
// the scripted fake engine: captions, opening routes and their messages,
// cancel, removal, drops, deletion, Send To and the event texts.
#include "manager/app/main_controller.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "app_test_env.h"
#include "manager/readers/blak_hole.h"
#include "platform/folders.h"

namespace vz::manager {
namespace {

using test::ControllerTest;
using C = Command;

constexpr const char* kTwoRows =
    "cb 70 n=2\ncb 80 name=readme.txt size=12 pct=50\ncb 80 name=docs/a.txt size=5 pct=100\n";

class Controller : public ControllerTest {
 protected:
  Controller() : c_(view_) {}
  bool contains(const std::string& text) const {
    for (const std::string& t : texts())
      if (t == text) return true;
    return false;
  }
  MainController c_;
};

TEST_F(Controller, ListingRunsUnderTheBusyCaptionAndEndsIdle) {
  script(kTwoRows);
  const std::string zip = touch("z.zip");
  std::vector<std::string> captionsDuringListing;
  view_.onProgress = [&](int) { captionsDuringListing.push_back(view_.captions.back()); };
  EXPECT_TRUE(c_.openArchive(zip, MainController::OpenRoute::CommandLine));
  ASSERT_FALSE(captionsDuringListing.empty());
  for (const std::string& cap : captionsDuringListing) EXPECT_EQ(cap, "Vemora.Zip - Busy");
  EXPECT_EQ(view_.captions.back(), "Vemora.Zip - Idle");
  EXPECT_EQ(view_.progressLetters, "A");
  EXPECT_EQ(view_.progressClosed, 1);
  EXPECT_EQ(view_.panels[0], zip);
  EXPECT_EQ(view_.panels[1], "2 files");
  ASSERT_EQ(view_.rows.size(), 2u);
  EXPECT_EQ(view_.rows[1].folder, "docs/");
  EXPECT_TRUE(view_.state.isEnabled(C::RemoveSelected));
  EXPECT_TRUE(view_.state.listVisible);
  EXPECT_EQ(c_.settings().recentFiles(), std::vector<std::string>{zip});
  EXPECT_EQ(view_.recent, std::vector<std::string>{zip});
}

TEST_F(Controller, CancelDuringALongListingStopsIt) {
  std::string s = "cb 70 n=5000\n";
  for (int i = 0; i < 5000; ++i)
    s += "cb 80 name=f" + std::to_string(i) + ".txt size=1 pct=" + std::to_string(i / 50) + "\n";
  script(s);
  view_.onProgress = [&](int pct) {
    if (pct == 3) c_.cancel();  // the progress window's Cancel
  };
  EXPECT_FALSE(c_.openArchive(touch("big.zip"), MainController::OpenRoute::CommandLine));
  EXPECT_TRUE(contains("Warning: The Reading Archive contents operation was aborted."));
  EXPECT_EQ(view_.panels[0], "");
  EXPECT_EQ(view_.panels[1], "0 files");
  EXPECT_TRUE(view_.rows.empty());
  EXPECT_FALSE(view_.state.listVisible);
  // The listing call (after the entry-count call) stopped at the Cancel.
  const std::string all = engineLog();
  const std::string log = all.substr(all.find(" -v "));
  EXPECT_NE(log.find("reply 80 1"), std::string::npos);
  EXPECT_LT(std::count(log.begin(), log.end(), '\n'), 1000);
  EXPECT_TRUE(c_.settings().recentFiles().empty());
}

TEST_F(Controller, RecentFileThatIsGoneIsRemovedWithItsMessage) {
  const std::string gone = dir_.file("gone.zip");
  c_.settings().addRecentFile(gone);
  c_.openRecent(0);
  ASSERT_EQ(texts().size(), 1u);
  EXPECT_EQ(texts()[0],
            "Error: The file " + gone + " could not be found.\n\nIt has been removed from the Recent files list.");
  EXPECT_TRUE(c_.settings().recentFiles().empty());
  EXPECT_TRUE(view_.recent.empty());
}

TEST_F(Controller, RecentFileThatCannotBeListedSaysSo) {
  script("result 200\n");
  const std::string bad = touch("bad.zip");
  c_.settings().addRecentFile(bad);
  c_.openRecent(0);
  const std::vector<std::string> t = texts();
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0], "Error: The archive contains errors.");
  EXPECT_EQ(t[1],
            "Error: The file you have selected is not a valid archive.\n\nIf this is a ZIP archive, you can try and "
            "fix it by selecting Repair from the File menu");
  EXPECT_EQ(view_.panels[1], "0 files");
  EXPECT_FALSE(c_.archiveOpen());
}

TEST_F(Controller, DialogRouteStoresTheFolderAndUsesTheFilterList) {
  script(kTwoRows);
  const std::string zip = touch("d.zip");
  ui_->pushPaths({zip});
  c_.run(C::OpenArchive);
  ASSERT_EQ(ui_->fileChoosers().size(), 1u);
  EXPECT_EQ(ui_->fileChoosers()[0].caption, "Please select the file to open with Vemora.Zip");
  EXPECT_EQ(ui_->fileChoosers()[0].filter, openDialogFilter());
  EXPECT_TRUE(ui_->fileChoosers()[0].mustExist);
  EXPECT_EQ(c_.settings().lastOpenMain(), dir_.path());
  EXPECT_TRUE(c_.archiveOpen());
}

TEST_F(Controller, HandoverNeedsAnExistingFile) {
  script(kTwoRows);
  EXPECT_FALSE(c_.openArchive(dir_.file("missing.zip"), MainController::OpenRoute::Handover));
  EXPECT_TRUE(texts().empty());
  EXPECT_TRUE(c_.openArchive(touch("h.zip"), MainController::OpenRoute::Handover));
}

TEST_F(Controller, RemoveSelectedNeedsASelectionThenDeletesThroughTheWrapper) {
  script(kTwoRows);
  ASSERT_TRUE(c_.openArchive(touch("r.zip"), MainController::OpenRoute::CommandLine));
  c_.run(C::RemoveSelected);
  ASSERT_EQ(texts().size(), 1u);
  EXPECT_EQ(texts()[0], "Error: You must select some files to remove first.");
  view_.selection = {1};
  c_.run(C::RemoveSelected);
  EXPECT_NE(engineLog().find(" -d " + dir_.file("r.zip") + " docs/a.txt\n"), std::string::npos) << engineLog();
  EXPECT_NE(view_.progressLetters.find('C'), std::string::npos);
  EXPECT_TRUE(c_.archiveOpen());  // listed again
}

TEST_F(Controller, RemoveWhoseRelistingFailsAsksForRepair) {
  script(kTwoRows);
  ASSERT_TRUE(c_.openArchive(touch("r.zip"), MainController::OpenRoute::CommandLine));
  view_.selection = {0};
  script("result 110\n");
  c_.run(C::RemoveSelected);
  EXPECT_TRUE(contains("Error: Can't read zip structure - Please repair this zip file."));
  EXPECT_FALSE(c_.archiveOpen());
}

// Removing selected entries of a Blak-Hole archive goes through its writer
// in the delete mode, the names (with blanks) one per line.
TEST_F(Controller, RemoveSelectedFromABlakHoleArchive) {
  std::filesystem::create_directories(dir_.file("src"));
  vz::test::writeFile(dir_.file("src/keep me.txt"), "kept");
  vz::test::writeFile(dir_.file("src/drop me.txt"), "dropped");
  readers::TBlakHole add;
  add.Switch = readers::swAdd;
  add.DefaultDir = dir_.file("src");
  add.FileSpec = "*";
  std::vector<int32_t> errors;
  add.OnError = [&](readers::TZipCommon&, const std::string&, const std::string&, int32_t c) { errors.push_back(c); };
  add.setArchiveFile(dir_.file("b.bh"));
  ASSERT_EQ(add.activate(), 2) << (errors.empty() ? 0 : errors[0]);
  ASSERT_TRUE(c_.openArchive(dir_.file("b.bh"), MainController::OpenRoute::CommandLine));
  ASSERT_EQ(view_.rows.size(), 2u);
  for (size_t i = 0; i < view_.rows.size(); ++i)
    if (view_.rows[i].caption == "drop me.txt") view_.selection = {static_cast<int>(i)};
  c_.run(C::RemoveSelected);
  EXPECT_TRUE(texts().empty()) << texts().front();
  ASSERT_EQ(view_.rows.size(), 1u);
  EXPECT_EQ(view_.rows[0].caption, "keep me.txt");
}

TEST_F(Controller, DroppedFilesFollowTheArchiveKind) {
  const std::string file = touch("new.txt");
  c_.dropFiles({file, file});
  EXPECT_TRUE(contains("You must Open or Create an archive to compress these files to first."));

  if (!vz::test::haveProgram("tar")) GTEST_SKIP() << "tar missing";
  ASSERT_EQ(vz::test::run({"tar", "-cf", dir_.file("a.tar"), "-C", dir_.path(), "new.txt"}), 0);
  ASSERT_TRUE(c_.openArchive(dir_.file("a.tar"), MainController::OpenRoute::CommandLine));
  c_.dropFiles({file});
  EXPECT_TRUE(contains("Error: Compression to this file type not supported."));

  script(kTwoRows);
  ASSERT_TRUE(c_.openArchive(touch("z.zip"), MainController::OpenRoute::CommandLine));
  std::filesystem::create_directories(dir_.file("folder"));
  ui_->pushButton("yes");
  c_.dropFiles({file, dir_.file("folder")});
  EXPECT_TRUE(contains("Would you like to add all dropped files and folders to the current archive?"));
  const std::string log = engineLog();
  EXPECT_NE(log.find(" -r "), std::string::npos) << log;
  EXPECT_NE(log.find(dir_.file("z.zip") + " " + file + " " + dir_.file("folder") + "/*.*\n"), std::string::npos) << log;
}

TEST_F(Controller, SingleDroppedArchiveIsOpened) {
  script(kTwoRows);
  const std::string zip = touch("drop.zip");
  c_.dropFiles({zip});
  EXPECT_TRUE(c_.archiveOpen());
  EXPECT_EQ(c_.currentPath(), zip);
}

TEST_F(Controller, DeleteThisArchiveAsksThenRemovesTheFile) {
  script(kTwoRows);
  const std::string zip = touch("del.zip");
  ASSERT_TRUE(c_.openArchive(zip, MainController::OpenRoute::CommandLine));
  ui_->pushButton("no");
  c_.run(C::DeleteArchive);
  EXPECT_TRUE(std::filesystem::exists(zip));
  EXPECT_EQ(texts().back(),
            "Are you sure you wish to PERMANENTALY remove this file from your system?\n\nYou will not be able to "
            "retrieve this file from your Recycling Bin if you continue.");
  ui_->pushButton("yes");
  c_.run(C::DeleteArchive);
  EXPECT_FALSE(std::filesystem::exists(zip));
  EXPECT_FALSE(c_.archiveOpen());
  EXPECT_EQ(view_.panels[0], "(no open file)");
  EXPECT_EQ(view_.panels[1], "0 files");
  EXPECT_FALSE(view_.state.listVisible);
}

TEST_F(Controller, StartUpWithoutSendToShortcutsAndWithTheCommandLinesArchive) {
  script(kTwoRows);
  const std::string zip = touch("start.zip");
  c_.startUp("\"" + zip + "\"");
  EXPECT_TRUE(view_.sendTo.empty());  // the two fixed entries only
  EXPECT_EQ(view_.captions.front(), "Vemora.Zip - Busy");
  EXPECT_EQ(view_.captions.back(), "Vemora.Zip - Idle");
  EXPECT_EQ(c_.currentPath(), zip);  // quotes removed
  EXPECT_EQ(view_.viewStyle, 2);
  EXPECT_FALSE(view_.sortAlpha);
  EXPECT_TRUE(view_.buttonsHighlight);
  // The association check asked about .zip first.
  ASSERT_FALSE(ui_->asked().empty());
  EXPECT_NE(ui_->asked()[0].text.find("ZIP"), std::string::npos);
}

TEST_F(Controller, StartUpListsTheSendToShortcuts) {
  std::filesystem::create_directories(vz::sendToFolder());
  vz::test::writeFile(vz::sendToFolder() + "/mail.desktop",
                      std::string_view("[Desktop Entry]\nType=Application\nName=Mail It\nExec=true %f\n"));
  c_.startUp("");
  ASSERT_EQ(view_.sendTo.size(), 1u);
  EXPECT_EQ(view_.sendTo[0].caption, "Mail It");
}

TEST_F(Controller, InstallOnlyForARootSetupProgram) {
  script("cb 80 name=disk1/setup.exe size=1\n");
  ASSERT_TRUE(c_.openArchive(touch("a.zip"), MainController::OpenRoute::CommandLine));
  EXPECT_FALSE(view_.state.isEnabled(C::InstallProgram));
  script("cb 80 name=Setup.Exe size=1\n");
  ASSERT_TRUE(c_.openArchive(touch("b.zip"), MainController::OpenRoute::CommandLine));
  EXPECT_TRUE(view_.state.isEnabled(C::InstallProgram));
}

TEST_F(Controller, ConvertToSfxStartsTheConverterOrSaysWhy) {
  script(kTwoRows);
  ASSERT_TRUE(c_.openArchive(touch("s.zip"), MainController::OpenRoute::CommandLine));
  c_.programFolder = dir_.path();  // no SfxForge there
  c_.run(C::ConvertToSfx);
  ASSERT_FALSE(texts().empty());
  EXPECT_EQ(texts().back().rfind("Windows Sub-System error. Could not load Vemora.Zip Self-Extractor Creator.", 0), 0u);
}

TEST_F(Controller, TestArchiveMessages) {
  const std::string zip = touch("t.zip");
  script("result 0\n");
  ui_->pushPaths({zip});
  c_.run(C::TestArchive);
  EXPECT_EQ(texts().back(), "All files in the archive passed the test.");
  EXPECT_EQ(ui_->fileChoosers().back().filter, "Repairable archives|*.zip||");
  script("cb 1060 name=x.txt reason=2\nresult 40\n");
  ui_->pushPaths({zip});
  c_.run(C::TestArchive);
  const std::vector<std::string> t = texts();
  EXPECT_EQ(t[t.size() - 2], "File \"x.txt\" failed test: CRC check failure.");
  EXPECT_EQ(t.back(), "All files tested in the archive are OK.\n(Some files were skipped)");
  EXPECT_NE(view_.progressLetters.find('J'), std::string::npos);
}

TEST_F(Controller, RepairMessages) {
  const std::string zip = touch("f.zip");
  script("result 0\n");
  ui_->pushPaths({zip});
  ui_->pushButton("no");
  c_.run(C::RepairStandard);
  EXPECT_EQ(texts().back(), "The Archive you have specified has been fixed. Open it now?");
  EXPECT_NE(engineLog().find(" -F " + zip), std::string::npos);
  script("result 200\n");
  ui_->pushPaths({zip});
  c_.run(C::RepairAggressive);
  EXPECT_EQ(texts().back(), "The specified Archive is too corrupted to be fixed.");
  EXPECT_NE(engineLog().find(" -FF " + zip), std::string::npos);
}

TEST_F(Controller, WrapperEventTexts) {
  EXPECT_EQ(progressLabel('a'), "Reading archive");
  EXPECT_EQ(progressLabel('K'), "Repairing archive");
  EXPECT_EQ(progressLabel('L'), "");
  EXPECT_EQ(skipMessage("a.txt", 5, false), "Skipping \"a.txt\", invalid or no password to decrypt file.");
  EXPECT_EQ(skipMessage("a.txt", 7, false), "Skipping \"a.txt\", instructed not to overwrite.");
  EXPECT_EQ(replaceQuestion("a.txt"), "The file \"a.txt\" already exists. Do you wish to replace this file?");
  EXPECT_EQ(newDiskQuestion(3), "Please insert disk 3 of the set.");
  EXPECT_EQ(newDiskQuestion(0), "Please insert the LAST DISK of the set.");
}

TEST_F(Controller, PasswordQueryShowsTheNameAndTakesTheAnswer) {
  script("cb 100 name=secret/plan.txt\nresult 0\n");
  ui_->pushButton("ok", "hunter2");
  c_.wrapper().ZipFileName = "p.zip";
  c_.wrapper().ListArchive();
  ASSERT_EQ(ui_->asked().size(), 1u);
  EXPECT_EQ(ui_->asked()[0].text, "plan.txt");
  EXPECT_NE(engineLog().find("hunter2"), std::string::npos) << engineLog();
}

TEST_F(Controller, VirusScanWithoutAScannerOffersToLocateIt) {
  script(kTwoRows);
  ASSERT_TRUE(c_.openArchive(touch("v.zip"), MainController::OpenRoute::CommandLine));
  ui_->pushButton("cancel");
  c_.run(C::ScanArchive);
  ASSERT_FALSE(texts().empty());
  EXPECT_EQ(texts().back().rfind("Error: Anti-Virus program is undefined or can't be found", 0), 0u);
  EXPECT_TRUE(ui_->fileChoosers().empty());
  EXPECT_EQ(engineLog().find("zwunzip 2 "), std::string::npos);  // nothing extracted
}

// The stand-in engine extracts for real.
class ControllerOnEngine : public Controller {
 protected:
  ControllerOnEngine() : real_("VZ_ENGINE_DIR", vz::test::binDir()) {}
  test::ScopedEnv real_;
};

TEST_F(ControllerOnEngine, ViewEntryAsksTheMethodOnceAndShowsTheExtractedFile) {
  if (!vz::test::haveProgram("zip")) GTEST_SKIP() << "zip missing";
  std::filesystem::create_directories(dir_.file("src/docs"));
  vz::test::writeFile(dir_.file("src/docs/note.txt"), std::string_view("hello viewer\n"));
  ASSERT_EQ(vz::test::run({"zip", "-qr", dir_.file("v.zip"), "docs"}, nullptr, nullptr, dir_.file("src")), 0);
  ASSERT_TRUE(c_.openArchive(dir_.file("v.zip"), MainController::OpenRoute::CommandLine));
  int row = -1;
  for (size_t i = 0; i < view_.rows.size(); ++i)
    if (view_.rows[i].caption == "note.txt") row = static_cast<int>(i);
  ASSERT_GE(row, 0);
  view_.viewMethodAnswer = kInternalViewer;
  c_.viewEntry(row);
  ASSERT_EQ(view_.askedMethods, std::vector<std::string>{".TXT"});
  ASSERT_EQ(view_.viewed.size(), 1u);
  EXPECT_EQ(vz::test::readFile(view_.viewed[0]).size(), 13u);
  EXPECT_EQ(view_.viewed[0].rfind(vz::tempPath(), 0), 0u) << view_.viewed[0];
  EXPECT_NE(view_.viewed[0].find("/VZipTemp/"), std::string::npos);
  EXPECT_EQ(c_.settings().viewMethodFor(".txt"), std::optional<std::string>(kInternalViewer));
  c_.viewEntry(row);
  EXPECT_EQ(view_.askedMethods.size(), 1u);  // stored after the first question
  EXPECT_EQ(view_.viewed.size(), 2u);
  EXPECT_NE(view_.progressLetters.find('F'), std::string::npos);
}

TEST_F(ControllerOnEngine, PrintTextOfAKnownArchive) {
  if (!vz::test::haveProgram("zip")) GTEST_SKIP() << "zip missing";
  std::filesystem::create_directories(dir_.file("src/sub"));
  vz::test::writeFile(dir_.file("src/a.txt"), std::string(1000, 'a'));
  vz::test::writeFile(dir_.file("src/sub/b.bin"), std::string(42, 'b'));
  ASSERT_EQ(vz::test::run({"zip", "-qD", dir_.file("p.zip"), "a.txt", "sub/b.bin"}, nullptr, nullptr, dir_.file("src")),
            0);
  ASSERT_TRUE(c_.openArchive(dir_.file("p.zip"), MainController::OpenRoute::CommandLine));
  const std::vector<std::string> lines = c_.printText();
  const std::vector<std::string> expected{
      "Vemora.Zip Archive contents list                           file: " + dir_.file("p.zip"),
      "   File Name                              Size          Path",
      "  a.txt                                   1000          ",
      "  b.bin                                   42            sub/",
      "                             -= End of Report =-"};
  EXPECT_EQ(lines, expected);
}

}  // namespace
}  // namespace vz::manager
