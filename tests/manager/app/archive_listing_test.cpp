// The listing rules of the main window: rows from stored names, the valid
// codes of a ZIP listing through the scripted fake engine, the Install
// rule, and the readers' rows for the other kinds.
#include "manager/app/archive_listing.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app_test_env.h"

namespace vz::manager {
namespace {

TEST(ListedRows, CaptionAndFolderFromTheStoredName) {
  struct Row {
    const char* name;
    const char* caption;
    const char* folder;
  };
  for (const Row& r :
       {Row{"a.txt", "a.txt", ""}, Row{"docs/a.txt", "a.txt", "docs/"}, Row{"docs/sub/a.txt", "a.txt", "docs/sub/"},
        Row{"docs/", "docs/", ""}, Row{"docs/sub/", "sub/", "docs/"}, Row{"bad\x01name", "bad?name", ""}}) {
    const ListedRow row = rowFromStoredName(r.name, 7);
    EXPECT_EQ(row.caption, r.caption) << r.name;
    EXPECT_EQ(row.folder, r.folder) << r.name;
    EXPECT_EQ(row.size, 7u);
  }
  EXPECT_EQ(rowFromStoredName("docs/a.txt", 0).storedName(), "docs/a.txt");
}

TEST(ListedRows, InstallOnlyAtTheRootInAnyCase) {
  EXPECT_TRUE(isInstallRow(rowFromStoredName("setup.exe", 1)));
  EXPECT_TRUE(isInstallRow(rowFromStoredName("SETUP.EXE", 1)));
  EXPECT_TRUE(isInstallRow(rowFromStoredName("Install.Exe", 1)));
  EXPECT_FALSE(isInstallRow(rowFromStoredName("disk1/setup.exe", 1)));
  EXPECT_FALSE(isInstallRow(rowFromStoredName("setup.exe.txt", 1)));
  EXPECT_FALSE(isInstallRow(rowFromStoredName("mysetup.exe", 1)));
}

// A ZIP listing through the fake engine ending with a given result.
struct CodeRow {
  int code;
  bool valid;
};

class ZipListingCode : public test::ControllerTest, public testing::WithParamInterface<CodeRow> {};

TEST_P(ZipListingCode, ValidFor0_40_50_100) {
  const CodeRow& row = GetParam();
  script("cb 70 n=2\ncb 80 name=readme.txt size=12\ncb 80 name=bin/SETUP.EXE size=3400\nresult " +
         std::to_string(row.code) + "\n");
  zipwrap::TZipWrapper w;
  std::string panel;
  ListingHooks hooks;
  hooks.countPanel = [&](const std::string& t) { panel = t; };
  ListingResult r = listArchiveContents(w, ArchiveKind::akZip, "z.zip", hooks);
  EXPECT_EQ(r.valid, row.valid) << row.code;
  EXPECT_EQ(r.code, row.code);
  EXPECT_EQ(panel, row.code == 0 ? "2 files" : "0 files");  // GetEntryCount is 0 unless the call succeeded
  if (row.valid) {
    ASSERT_EQ(r.rows.size(), 2u);
    EXPECT_EQ(r.rows[1].caption, "SETUP.EXE");
    EXPECT_EQ(r.rows[1].folder, "bin/");
    EXPECT_EQ(r.rows[1].size, 3400u);
    EXPECT_FALSE(r.installAvailable);  // setup.exe inside a folder
  } else {
    EXPECT_TRUE(r.rows.empty());
    EXPECT_EQ(r.countPanel, "0 files");
  }
  EXPECT_NE(engineLog().find("call zwunzip 3 \\e -v z.zip\n"), std::string::npos) << engineLog();
}

INSTANTIATE_TEST_SUITE_P(Codes, ZipListingCode,
                         testing::Values(CodeRow{0, true}, CodeRow{40, true}, CodeRow{50, true}, CodeRow{100, true},
                                         CodeRow{10, false}, CodeRow{110, false}, CodeRow{190, false},
                                         CodeRow{200, false}, CodeRow{500, false}));

using ReaderListing = test::ControllerTest;

TEST_F(ReaderListing, TarRowsWithFoldersAndTotals) {
  if (!vz::test::haveProgram("tar")) GTEST_SKIP() << "tar missing";
  std::filesystem::create_directories(dir_.file("t/sub"));
  vz::test::writeFile(dir_.file("t/setup.exe"), std::string_view("MZ12345"));
  vz::test::writeFile(dir_.file("t/sub/b.txt"), std::string_view("hello"));
  ASSERT_EQ(
      vz::test::run({"tar", "--format=ustar", "-cf", dir_.file("a.tar"), "-C", dir_.file("t"), "setup.exe", "sub"}), 0);
  zipwrap::TZipWrapper w;
  ListingResult r = listArchiveContents(w, ArchiveKind::akTar, dir_.file("a.tar"));
  EXPECT_TRUE(r.valid);
  ASSERT_EQ(r.rows.size(), 3u);
  EXPECT_EQ(r.rows[0].storedName(), "setup.exe");
  EXPECT_EQ(r.rows[0].size, 7u);
  EXPECT_EQ(r.rows[1].storedName(), "sub/");
  EXPECT_EQ(r.rows[2].caption, "b.txt");
  EXPECT_EQ(r.rows[2].folder, "sub/");
  EXPECT_TRUE(r.installAvailable);
  EXPECT_EQ(r.countPanel, "3 files");
}

}  // namespace
}  // namespace vz::manager
