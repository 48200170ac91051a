// SettingsStore against a private registry: the defaults of the settings
// table, the kinds and spellings each value is stored with, and the lists
// (recent files, histories, Associations) with their limits.
#include "manager/app/settings_store.h"

#include <gtest/gtest.h>

#include "platform/folders.h"
#include "platform/registry.h"
#include "tests/support/test_env.h"

namespace vz::manager {
namespace {

constexpr RegRoot kCU = RegRoot::CurrentUser;

class SettingsStoreTest : public ::testing::Test {
 protected:
  test::ScopedRoot root_;
  SettingsStore store_;
};

TEST_F(SettingsStoreTest, EmptyStoreReadsTheTableDefaults) {
  EXPECT_FALSE(store_.useFavourites());
  EXPECT_FALSE(store_.useFavouritesAnyCase());
  EXPECT_EQ(store_.baseFolder(), desktopFolder() + "/Unzips/");
  EXPECT_TRUE(store_.buttonsHighlight());
  EXPECT_EQ(store_.virusProgram(), "");
  EXPECT_EQ(store_.virusParam(), "");
  EXPECT_EQ(store_.viewStyle(), 2);
  EXPECT_FALSE(store_.sortAlpha());
  EXPECT_EQ(store_.lastOpenMain(), "");
  EXPECT_TRUE(store_.recentFiles().empty());
  EXPECT_TRUE(store_.history("MRUUnzip").empty());
  EXPECT_TRUE(store_.associations().empty());
  EXPECT_TRUE(store_.toolbarState().empty());
  // Reading never creates the key.
  EXPECT_FALSE(reg::keyExists(kCU, kSettingsKey));
}

TEST_F(SettingsStoreTest, ValuesAreStoredWithTheirKindAndSpelling) {
  store_.setUseFavourites(true);
  store_.setButtonsHighlight(false);
  store_.setSortAlpha(true);
  store_.setViewStyle(3);
  EXPECT_EQ(reg::getValue(kCU, kSettingsKey, "UseFav")->text, "True");
  EXPECT_EQ(reg::getValue(kCU, kSettingsKey, "ButtonsHighlight")->type, RegValue::Type::Integer);
  EXPECT_EQ(reg::getInteger(kCU, kSettingsKey, "ButtonsHighlight"), 0u);
  EXPECT_EQ(reg::getString(kCU, kSettingsKey, "SortType"), "Alpha");
  EXPECT_EQ(reg::getInteger(kCU, kSettingsKey, "ViewStyle"), 3u);
  store_.setUseFavourites(false);
  store_.setSortAlpha(false);
  EXPECT_EQ(reg::getString(kCU, kSettingsKey, "UseFav"), "False");
  EXPECT_EQ(reg::getString(kCU, kSettingsKey, "SortType"), "None");
}

TEST_F(SettingsStoreTest, OnlyExactTrueSelectsFavouritesForOpenButAnyCaseForOptions) {
  reg::setString(kCU, kSettingsKey, "UseFav", "true");
  EXPECT_FALSE(store_.useFavourites());
  EXPECT_TRUE(store_.useFavouritesAnyCase());
  reg::setString(kCU, kSettingsKey, "UseFav", "True");
  EXPECT_TRUE(store_.useFavourites());
}

TEST_F(SettingsStoreTest, OutOfRangeViewStyleAndForeignSortTypeReadAsDefaults) {
  reg::setInteger(kCU, kSettingsKey, "ViewStyle", 7);
  reg::setString(kCU, kSettingsKey, "SortType", "alpha");
  EXPECT_EQ(store_.viewStyle(), 2);
  EXPECT_FALSE(store_.sortAlpha());
}

TEST_F(SettingsStoreTest, RecentFilesKeepFiveNewestFirstWithoutDuplicates) {
  for (int i = 1; i <= 7; ++i) store_.addRecentFile("/a/" + std::to_string(i) + ".zip");
  store_.addRecentFile("/a/4.zip");
  EXPECT_EQ(store_.recentFiles(),
            (std::vector<std::string>{"/a/4.zip", "/a/7.zip", "/a/6.zip", "/a/5.zip", "/a/3.zip"}));
  EXPECT_EQ(reg::getString(kCU, std::string(kSettingsKey) + "\\RecentFiles", "F1"), "/a/4.zip");
  store_.removeRecentFile("/a/7.zip");
  EXPECT_EQ(store_.recentFiles(), (std::vector<std::string>{"/a/4.zip", "/a/6.zip", "/a/5.zip", "/a/3.zip"}));
  EXPECT_FALSE(reg::getValue(kCU, std::string(kSettingsKey) + "\\RecentFiles", "F5"));
}

TEST_F(SettingsStoreTest, HistoriesKeepSevenWithNumKeys) {
  for (int i = 1; i <= 9; ++i) store_.pushHistory("MRUDestDir", "/d" + std::to_string(i));
  store_.pushHistory("MRUDestDir", "/d5");
  const std::string key = std::string(kSettingsKey) + "\\MRUDestDir";
  EXPECT_EQ(reg::getInteger(kCU, key, "NumKeys"), 7u);
  EXPECT_EQ(reg::getString(kCU, key, "item1"), "/d5");
  EXPECT_EQ(store_.history("MRUDestDir"), (std::vector<std::string>{"/d5", "/d9", "/d8", "/d7", "/d6", "/d4", "/d3"}));
  EXPECT_TRUE(store_.history("MRUUnzip").empty());
}

TEST_F(SettingsStoreTest, AssociationsRowsMissingRowsAndUpdates) {
  const std::string key = std::string(kSettingsKey) + "\\Associations";
  reg::setInteger(kCU, key, "Total", 2);
  reg::setString(kCU, key, "0", ".TXT");
  reg::setString(kCU, key, "0Dat", kWindowsNotepad);
  // Row 1 is missing altogether.
  std::vector<AssociationRow> rows = store_.associations();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].extension, ".Unknown");
  EXPECT_EQ(rows[1].method, "<Unknown>");
  EXPECT_EQ(store_.viewMethodFor(".txt"), kWindowsNotepad);
  EXPECT_FALSE(store_.viewMethodFor(".doc"));

  store_.setViewMethod(".txt", kInternalViewer);     // updates row 0 in place
  store_.setViewMethod(".jpg", kAssociatedProgram);  // appended upper-cased
  EXPECT_EQ(reg::getInteger(kCU, key, "Total"), 3u);
  EXPECT_EQ(reg::getString(kCU, key, "0Dat"), kInternalViewer);
  EXPECT_EQ(reg::getString(kCU, key, "2"), ".JPG");
  EXPECT_EQ(reg::getString(kCU, key, "2Dat"), kAssociatedProgram);

  store_.replaceAssociations({{".GIF", kInternalViewer}});
  EXPECT_EQ(reg::valueNames(kCU, key), (std::vector<std::string>{"0", "0Dat", "Total"}));
  EXPECT_EQ(reg::getInteger(kCU, key, "Total"), 1u);
}

TEST_F(SettingsStoreTest, ToolbarStateAndPlacementsRoundTripPerWindow) {
  store_.setToolbarState({1, 2, 0, 255});
  store_.setWindowPlacement("Optionsfrm", {9, 8});
  store_.setWindowPlacement("Unzipnow", {7});
  EXPECT_EQ(store_.toolbarState(), (std::vector<uint8_t>{1, 2, 0, 255}));
  EXPECT_EQ(store_.windowPlacement("Optionsfrm"), (std::vector<uint8_t>{9, 8}));
  EXPECT_EQ(store_.windowPlacement("unzipnow"), (std::vector<uint8_t>{7}));
  EXPECT_TRUE(store_.windowPlacement("Propsfrm").empty());
}

}  // namespace
}  // namespace vz::manager
