// The options window's model against a private registry: what the pages
// show when the window opens, and exactly what OK and Cancel leave in the
// store.
#include "manager/app/options_model.h"

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "tests/support/test_env.h"

namespace vz::manager {
namespace {

constexpr RegRoot kCU = RegRoot::CurrentUser;
const std::string kAssoc = std::string(kSettingsKey) + "\\Associations";

class OptionsModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SettingsStore().replaceAssociations({{".TXT", kWindowsNotepad},
                                         {".BMP", kInternalViewer},
                                         {".doc", kAssociatedProgram},
                                         {".GIF", kInternalViewer}});
  }
  test::ScopedRoot root_;
};

class UseFavSpelling : public ::testing::TestWithParam<std::pair<const char*, bool>> {
 protected:
  test::ScopedRoot root_;
};

TEST_P(UseFavSpelling, SelectsFavouritesForAnyCaseOfTrue) {
  reg::setString(kCU, kSettingsKey, "UseFav", GetParam().first);
  EXPECT_EQ(OptionsModel().useFavourites, GetParam().second);
}
INSTANTIATE_TEST_SUITE_P(Values, UseFavSpelling,
                         ::testing::Values(std::pair{"True", true}, std::pair{"true", true}, std::pair{"TRUE", true},
                                           std::pair{"tRuE", true}, std::pair{"False", false}, std::pair{"yes", false},
                                           std::pair{"True ", false}, std::pair{"", false}));

TEST_F(OptionsModelTest, AssociationsAreShownSortedByTextIgnoringCase) {
  OptionsModel m;
  std::vector<std::string> shown;
  for (const AssociationRow& r : m.associations()) shown.push_back(r.extension);
  EXPECT_EQ(shown, (std::vector<std::string>{".BMP", ".doc", ".GIF", ".TXT"}));
}

TEST_F(OptionsModelTest, RemovingEveryRowAndOkLeavesTotalZeroAndNoRows) {
  OptionsModel m;
  while (!m.associations().empty()) m.removeAssociation(0);
  m.removeAssociation(0);  // nothing left: no effect
  m.commit();
  EXPECT_EQ(reg::valueNames(kCU, kAssoc), std::vector<std::string>{"Total"});
  EXPECT_EQ(reg::getInteger(kCU, kAssoc, "Total"), 0u);
  EXPECT_TRUE(SettingsStore().associations().empty());
}

TEST_F(OptionsModelTest, OkWritesEveryPageAndRenumbersTheRowsInShownOrder) {
  OptionsModel m;
  m.removeAssociation(1);                   // .doc
  m.modifyAssociation(2, kInternalViewer);  // .TXT
  m.useFavourites = true;
  m.buttonsHighlight = false;
  m.baseFolder = "/x/Unzips/";
  m.virusProgram = "/usr/bin/clamscan";
  m.virusParam = "-r --bell";
  m.commit();

  SettingsStore s;
  EXPECT_EQ(reg::getString(kCU, kSettingsKey, "UseFav"), "True");
  EXPECT_EQ(reg::getInteger(kCU, kSettingsKey, "ButtonsHighlight"), 0u);
  EXPECT_EQ(s.baseFolder(), "/x/Unzips/");
  EXPECT_EQ(s.virusProgram(), "/usr/bin/clamscan");
  EXPECT_EQ(s.virusParam(), "-r --bell");
  EXPECT_EQ(reg::valueNames(kCU, kAssoc), (std::vector<std::string>{"0", "0Dat", "1", "1Dat", "2", "2Dat", "Total"}));
  std::vector<AssociationRow> rows = s.associations();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].extension, ".BMP");
  EXPECT_EQ(rows[1].extension, ".GIF");
  EXPECT_EQ(rows[2].extension, ".TXT");
  EXPECT_EQ(rows[2].method, kInternalViewer);

  // Reopening shows what was written; ticking the box again writes 1.
  OptionsModel again;
  EXPECT_TRUE(again.useFavourites);
  EXPECT_FALSE(again.buttonsHighlight);
  again.buttonsHighlight = true;
  again.commit();
  EXPECT_EQ(reg::getInteger(kCU, kSettingsKey, "ButtonsHighlight"), 1u);
}

TEST_F(OptionsModelTest, CancelWritesNothing) {
  const std::string file = reg::storeFile(kCU);
  const std::vector<uint8_t> before = test::readFile(file);
  {
    OptionsModel m;
    while (!m.associations().empty()) m.removeAssociation(0);
    m.useFavourites = true;
    m.baseFolder = "/elsewhere/";
    m.virusProgram = "scanner";
  }  // closed with Cancel: never committed
  EXPECT_EQ(test::readFile(file), before);
  EXPECT_FALSE(reg::getValue(kCU, kSettingsKey, "UseFav"));
  EXPECT_FALSE(reg::getValue(kCU, kSettingsKey, "BaseFolder"));
}

}  // namespace
}  // namespace vz::manager

namespace vz::manager {
namespace {

TEST(VirusProgramChooser, ExecutableFilesAreExeComAnyCaseOrRunnableWithoutExtension) {
  struct Case {
    const char* name;
    bool executable;
    bool shown;
  };
  for (const Case& c : {Case{"SCAN.EXE", false, true}, Case{"scan.exe", false, true}, Case{"Scan.Com", true, true},
                        Case{"clamscan", true, true}, Case{"clamscan", false, false}, Case{"scan.sh", true, false},
                        Case{"readme.txt", false, false}, Case{".hidden", true, true}, Case{"x.exe.bak", false, false}})
    EXPECT_EQ(looksLikeProgram(c.name, c.executable), c.shown) << c.name << " " << c.executable;
}

}  // namespace
}  // namespace vz::manager
