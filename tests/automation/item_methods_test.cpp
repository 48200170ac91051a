// The item-list methods through the control's dispatch interface: building
// in both list modes, every accessor and its failure value, sorting, the
// image-list methods, freeing list-view blocks, the temporary folders, and
// a control without its reader state.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "control/engine/items/item_list.h"
#include "control/engine/common/temp_base.h"
#include "platform/file.h"
#include "platform/handles.h"
#include "platform/mime_globs.h"
#include "tests/automation/automation_test_util.h"
#include "tests/engine/zip_builder.h"

namespace vz::test {
namespace {

namespace fs = std::filesystem;

// One root for the whole program, made before anything computes the
// temporary base folder (kept for the life of the process).
class ProgramRoot : public ::testing::Environment {
 public:
  void SetUp() override {
    root_ = std::make_unique<ScopedRoot>();
    (void)engine::tempBaseFolder();
  }
  void TearDown() override { root_.reset(); }

 private:
  std::unique_ptr<ScopedRoot> root_;
};
[[maybe_unused]] const auto* const kProgramRoot = ::testing::AddGlobalTestEnvironment(new ProgramRoot);

class ItemMethods : public ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    // Registered types from a private list: text files have a default
    // application, nothing else does.
    fs::create_directories(dir_.file("xdg"));
    writeFile(dir_.file("xdg/mimeapps.list"), std::string_view("[Default Applications]\ntext/plain=editor.desktop\n"));
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME", "XDG_DATA_DIRS"}) {
      const char* old = std::getenv(name);
      savedEnv_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
      setenv(name, dir_.file("xdg").c_str(), 1);
    }
  }
  void TearDown() override {
    for (const auto& [name, value] : savedEnv_) {
      if (value)
        setenv(name, value->c_str(), 1);
      else
        unsetenv(name);
    }
    for (Handle h : lists_) {
      engine::destroyItemBlocks(h);
      handles::destroy(h);
    }
    ControlTest::TearDown();
  }
  Handle list(bool view) {
    const Handle h = view ? handles::add(std::make_shared<ListView>()) : handles::add(std::make_shared<ListBox>());
    lists_.push_back(h);
    return h;
  }
  // An archive of four entries, written by the test's own builder.
  std::string archive() {
    ZipBuilder b;
    TestEntry readme;
    readme.name = "docs/readme.txt";
    readme.data = std::string(1000, 'r');
    readme.uncompressedSize = 4000;  // stored as a quarter: rate 75
    readme.method = 8;
    readme.comment = "notes";
    readme.time = 0x6000 + (30 << 5);  // 12:30
    readme.date = static_cast<uint16_t>(((1999 - 1980) << 9) | (12 << 5) | 31);
    readme.externalAttributes = 0x21;  // archive, read-only
    TestEntry dir;
    dir.name = "docs/";
    dir.data = "";
    dir.externalAttributes = 0x10;
    TestEntry secret;
    secret.name = "SETUP.EXE";
    secret.flags = 1;
    secret.externalAttributes = 0x06;  // hidden, system
    secret.date = static_cast<uint16_t>(((2001 - 1980) << 9) | (1 << 5) | 2);
    TestEntry odd;
    odd.name = "a;b:c.dat";
    odd.method = 12;
    b.entries = {readme, dir, secret, odd};
    const std::string path = dir_.file("items.zip");
    writeFile(path, b.build());
    return path;
  }
  CallResult build(com::IDispatch* d, const std::string& zip, Handle h, bool view, int16_t sortMode = -1,
                   bool background = false) {
    return call(d, "BuildZIPITEMList",
                {T(zip), L(h), B(view), T(dir_.file("icons")), B(false), S(sortMode), B(background)});
  }
  com::Variant item(com::IDispatch* d, const char* accessor, Handle h, int16_t index, bool view) {
    return call(d, accessor, {L(h), S(index), B(view)}).value;
  }

  std::vector<Handle> lists_;
  std::vector<std::pair<const char*, std::optional<std::string>>> savedEnv_;  // environment before the test
};

TEST_F(ItemMethods, BuildAndReadEveryFieldInBothModes) {
  auto ctl = newControl();
  com::IDispatch* d = ctl.get();
  const std::string zip = archive();
  for (bool view : {false, true}) {
    SCOPED_TRACE(view ? "list view" : "list box");
    const Handle h = list(view);
    ASSERT_EQ(build(d, zip, h, view).value, S(0));
    EXPECT_EQ(item(d, "GetZIPITEMName", h, 0, view), T("README.TXT"));
    EXPECT_EQ(item(d, "GetZIPITEMDir", h, 0, view), T("DOCS\\"));
    EXPECT_EQ(item(d, "GetZIPITEMIsArchive", h, 0, view), B(true));
    EXPECT_EQ(item(d, "GetZIPITEMIsReadOnly", h, 0, view), B(true));
    EXPECT_EQ(item(d, "GetZIPITEMIsAnnotated", h, 0, view), B(true));
    EXPECT_EQ(item(d, "GetZIPITEMIsHidden", h, 0, view), B(false));
    EXPECT_EQ(item(d, "GetZIPITEMMethod", h, 0, view), S(8));
    EXPECT_EQ(item(d, "GetZIPITEMYear", h, 0, view), S(99));
    EXPECT_EQ(item(d, "GetZIPITEMMonth", h, 0, view), S(12));
    EXPECT_EQ(item(d, "GetZIPITEMDay", h, 0, view), S(31));
    EXPECT_EQ(item(d, "GetZIPITEMHour", h, 0, view), S(12));
    EXPECT_EQ(item(d, "GetZIPITEMMin", h, 0, view), S(30));
    EXPECT_EQ(item(d, "GetZIPITEMOriginalSize", h, 0, view), L(4000));
    EXPECT_EQ(item(d, "GetZIPITEMRate", h, 0, view), S(75));
    EXPECT_EQ(item(d, "GetZIPITEMCrc", h, 0, view),
              com::Variant::fromDouble(static_cast<double>(referenceCrc32(std::string(1000, 'r')))));
    EXPECT_EQ(item(d, "GetZIPITEMIconIndex", h, 0, view), S(4));  // base 0 (no image lists) + registered

    EXPECT_EQ(item(d, "GetZIPITEMIsDir", h, 1, view), B(true));
    EXPECT_EQ(item(d, "GetZIPITEMName", h, 1, view), T(""));
    EXPECT_EQ(item(d, "GetZIPITEMIconIndex", h, 1, view), S(0));
    EXPECT_EQ(item(d, "GetZIPITEMIsEncrypted", h, 2, view), B(true));
    EXPECT_EQ(item(d, "GetZIPITEMIsHidden", h, 2, view), B(true));
    EXPECT_EQ(item(d, "GetZIPITEMIsSystem", h, 2, view), B(true));
    EXPECT_EQ(item(d, "GetZIPITEMIconIndex", h, 2, view), S(1));  // encrypted wins over program
    EXPECT_EQ(item(d, "GetZIPITEMName", h, 3, view), T("A;B:C.DAT"));
    EXPECT_EQ(item(d, "GetZIPITEMMethod", h, 3, view), S(9));

    // Beyond the list, before it, in the other mode: the failure values.
    for (int16_t index : {int16_t{4}, int16_t{-1}, int16_t{32767}}) {
      EXPECT_EQ(item(d, "GetZIPITEMName", h, index, view), T(""));
      EXPECT_EQ(item(d, "GetZIPITEMDir", h, index, view), T(""));
      EXPECT_EQ(item(d, "GetZIPITEMIsDir", h, index, view), B(false));
      EXPECT_EQ(item(d, "GetZIPITEMMethod", h, index, view), S(0));
      EXPECT_EQ(item(d, "GetZIPITEMOriginalSize", h, index, view), L(0));
      EXPECT_EQ(item(d, "GetZIPITEMCrc", h, index, view), com::Variant::fromDouble(0));
    }
    EXPECT_EQ(item(d, "GetZIPITEMName", h, 0, !view), T(""));
    EXPECT_EQ(item(d, "GetZIPITEMIsArchive", h, 0, !view), B(false));
  }
  EXPECT_EQ(item(d, "GetZIPITEMName", 0, 0, false), T(""));
  EXPECT_EQ(item(d, "GetZIPITEMRate", 987654, 0, true), S(0));
}

TEST_F(ItemMethods, SortingAndTheFailureResults) {
  auto ctl = newControl();
  com::IDispatch* d = ctl.get();
  const std::string zip = archive();
  const Handle box = list(false);
  ASSERT_EQ(build(d, zip, box, false, 3).value, S(0));                   // newest first
  EXPECT_EQ(item(d, "GetZIPITEMDir", box, 0, false), T("DOCS\\"));       // 2020
  EXPECT_EQ(item(d, "GetZIPITEMName", box, 1, false), T("A;B:C.DAT"));   // 2020
  EXPECT_EQ(item(d, "GetZIPITEMName", box, 2, false), T("SETUP.EXE"));   // 2001
  EXPECT_EQ(item(d, "GetZIPITEMName", box, 3, false), T("README.TXT"));  // 1999
  EXPECT_EQ(call(d, "SortZIPITEMList", {L(box), S(4), B(false)}).value, B(true));
  EXPECT_EQ(item(d, "GetZIPITEMName", box, 0, false), T("README.TXT"));  // largest first
  EXPECT_EQ(call(d, "SortZIPITEMList", {L(0), S(4), B(false)}).value, B(false));
  EXPECT_EQ(call(d, "SortZIPITEMList", {L(list(true)), S(4), B(false)}).value, B(true));

  EXPECT_EQ(build(d, dir_.file("missing.zip"), box, false).value, S(-1));
  EXPECT_EQ(handles::getAs<ListBox>(box)->count(), 0);
}

TEST_F(ItemMethods, ImageListsAndListViewBlocks) {
  if (!isRegularFile(mime::kSystemGlobsFile)) GTEST_SKIP() << "no MIME database installed";
  auto ctl = newControl();
  com::IDispatch* d = ctl.get();
  const Handle view = list(true);
  EXPECT_EQ(call(d, "GetZIPITEMHImageList", {B(true)}).value, L(0));
  EXPECT_EQ(call(d, "SetListViewImageList", {L(view)}).value, B(false));
  ASSERT_EQ(call(d, "BuildZIPITEMImageList").value, B(true));
  const Handle large = call(d, "GetZIPITEMHImageList", {B(true)}).value.longValue();
  const Handle small = call(d, "GetZIPITEMHImageList", {B(false)}).value.longValue();
  ASSERT_NE(large, 0);
  ASSERT_NE(small, large);
  EXPECT_EQ(call(d, "SetListViewImageList", {L(view)}).value, B(true));
  EXPECT_EQ(handles::getAs<ListView>(view)->largeImages(), large);
  const int base = ctl->readerState()->firstOwnIcon;
  EXPECT_EQ(handles::getAs<ImageList>(small)->image(base)->key, "vz-directory");

  const size_t blocks = engine::itemBlockCount();
  ASSERT_EQ(build(d, archive(), view, true).value, S(0));
  EXPECT_EQ(item(d, "GetZIPITEMIconIndex", view, 1, true), S(base));
  EXPECT_EQ(engine::itemBlockCount(), blocks + 4);
  EXPECT_EQ(call(d, "DestroyZIPITEMLParam", {L(view)}).hr, com::S_OK);
  EXPECT_EQ(engine::itemBlockCount(), blocks);
  EXPECT_EQ(handles::getAs<ListView>(view)->count(), 0);

  EXPECT_EQ(call(d, "DestroyZIPITEMImageList").value, B(true));
  EXPECT_EQ(handles::get(large), nullptr);
  EXPECT_EQ(call(d, "GetZIPITEMHImageList", {B(false)}).value, L(0));
  EXPECT_EQ(call(d, "SetListViewImageList", {L(view)}).value, B(false));
  EXPECT_EQ(call(d, "DestroyZIPITEMImageList").value, B(true));
}

TEST_F(ItemMethods, DeleteTempDirectoriesRemovesTheViewerAndIconFolders) {
  auto ctl = newControl();
  com::IDispatch* d = ctl.get();
  // A build without a private folder makes the icon folder.
  ASSERT_EQ(
      call(d, "BuildZIPITEMList", {T(archive()), L(list(false)), B(false), T(""), B(false), S(0), B(false)}).value,
      S(0));
  const std::string base = engine::tempBaseFolder();
  EXPECT_TRUE(isDirectory(base + "QXICONS"));
  fs::create_directories(base + "QXVIEW/deep");
  writeFile(base + "QXVIEW/deep/f", std::string_view("x"));
  EXPECT_EQ(call(d, "DeleteTempDirectories").value, B(true));
  EXPECT_FALSE(fileExists(base + "QXVIEW"));
  EXPECT_FALSE(fileExists(base + "QXICONS"));
}

TEST_F(ItemMethods, WithoutTheReaderStateEveryMethodFails) {
  control::setConstructionFaultsForTesting({false, true});
  auto ctl = newControl();
  com::IDispatch* d = ctl.get();
  const Handle box = list(false);
  handles::getAs<ListBox>(box)->add("kept");
  EXPECT_EQ(build(d, archive(), box, false).value, S(-1));
  EXPECT_EQ(handles::getAs<ListBox>(box)->count(), 1);
  EXPECT_EQ(call(d, "SortZIPITEMList", {L(box), S(0), B(false)}).value, B(false));
  EXPECT_EQ(call(d, "BuildZIPITEMImageList").value, B(false));
  EXPECT_EQ(call(d, "GetZIPITEMHImageList", {B(false)}).value, L(0));
  EXPECT_EQ(call(d, "SetListViewImageList", {L(list(true))}).value, B(false));
}

}  // namespace
}  // namespace vz::test
