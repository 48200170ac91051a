// View: entries extracted into the view folder (the private folder or
// "QXVIEW" under the temporary base folder), each opened through the
// platform's launcher (replaced here, so nothing is started), and the
// settled result: TRUE only when viewers started and nothing failed.
#include <gtest/gtest.h>

#include "control/engine/common/status.h"
#include "platform/process.h"
#include "tests/engine/extract/extract_test_util.h"

namespace vz::test {
namespace {

class ExtractView : public ExtractTest {
 protected:
  void SetUp() override {
    ExtractTest::SetUp();
    previous_ = setLauncher([this](const LaunchRequest& r) {
      launched.push_back(r.argv);
      return LaunchResult{startWorks, -1};
    });
    ZipBuilder b;
    b.entries.push_back(entry("DOC/README.TXT", "readme"));
    b.entries.push_back(entry("PROG.EXE", "MZ"));
    b.entries.push_back(entry("../UP.TXT", "up"));
    zip = archive(b);
  }
  void TearDown() override { setLauncher(previous_); }

  std::string zip;
  bool startWorks = true;
  std::vector<std::vector<std::string>> launched;
  Launcher previous_;
};

TEST_F(ExtractView, FilesAreExtractedAndOpened) {
  const std::string folder = file("view");
  EXPECT_TRUE(engine::view(st, zip, "", true, false, folder));
  EXPECT_EQ(st.status, ReadStatus::Ok);
  EXPECT_EQ(treeOf(folder),
            (std::map<std::string, std::string>{{"DOC/README.TXT", "readme"}, {"PROG.EXE", "MZ"}, {"UP.TXT", "up"}}));
  const std::vector<std::vector<std::string>> want = {
      {"xdg-open", folder + "/DOC/README.TXT"}, {"xdg-open", folder + "/PROG.EXE"}, {"xdg-open", folder + "/UP.TXT"}};
  EXPECT_EQ(launched, want);
  // Run as a program when asked; a second view overwrites the files.
  launched.clear();
  writeFile(folder + "/PROG.EXE", "old");
  EXPECT_TRUE(engine::view(st, zip, "*.EXE", false, true, folder));
  EXPECT_EQ(launched, (std::vector<std::vector<std::string>>{{folder + "/PROG.EXE"}}));
  EXPECT_EQ(readText(folder + "/PROG.EXE"), "MZ");
}

TEST_F(ExtractView, DefaultFolderAndSettledResult) {
  const std::string folder = root.path() + "/tmp/QXVIEW";
  EXPECT_EQ(engine::viewFolder(""), folder);
  EXPECT_TRUE(engine::view(st, zip, "PROG.EXE", true, false, ""));
  EXPECT_EQ(readText(folder + "/PROG.EXE"), "MZ");
  // Nothing selected: nothing to show, FALSE.
  EXPECT_FALSE(engine::view(st, zip, "NONE.TXT", true, false, ""));
  EXPECT_EQ(st.status, ReadStatus::Ok);
  // A viewer that does not start ends the run with 10 and FALSE.
  startWorks = false;
  launched.clear();
  fs::remove_all(folder);
  EXPECT_FALSE(engine::view(st, zip, "", true, false, ""));
  EXPECT_EQ(st.status, ReadStatus::Skipped);
  EXPECT_TRUE(st.cancel);
  EXPECT_EQ(launched.size(), 1u);
  EXPECT_EQ(treeOf(folder).size(), 1u);
  // A missing archive.
  st.cancel = false;
  EXPECT_FALSE(engine::view(st, file("missing.zip"), "", true, false, ""));
  EXPECT_EQ(st.status, ReadStatus::TestOpenFailed);
}

}  // namespace
}  // namespace vz::test
