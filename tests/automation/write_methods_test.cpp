// The write methods through the control's Invoke: ZipFiles with its events
// and a cancel request from an event handler, the replace question through
// the control's own dialog and ZipGetReplaceFlag, DeleteWithMask,
// DeleteWithSelection over a list the control built, the comments,
// CreateBlankZIPFile with and without its dialog, and GetNewZIPName.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "control/engine/read/catalogue.h"
#include "platform/attributes.h"
#include "platform/handles.h"
#include "tests/automation/automation_test_util.h"

namespace vz::test {
namespace {

using com::Variant;
namespace fs = std::filesystem;

class WriteMethods : public ControlWithEvents {
 protected:
  Variant zipFiles(const std::string& zip, const std::string& mask, int16_t overwrite, bool background,
                   const std::string& password = "", int16_t compression = 0) {
    const CallResult r = call(
        ctl.get(), "ZipFiles",
        {T(zip), T(mask), B(true), S(1), S(overwrite), S(compression), B(false), B(false), T(password), B(background)});
    EXPECT_EQ(r.hr, com::S_OK);
    return r.value;
  }
  std::vector<std::string> names(const std::string& zip) {
    engine::LoadedCatalogue c;
    EXPECT_EQ(engine::loadCatalogue(zip, {}, c), engine::CatalogueStatus::Ok);
    std::vector<std::string> out;
    for (const engine::ArchiveEntry* e = c.entries.first(); e; e = e->next.get()) out.push_back(e->name);
    return out;
  }
  std::vector<com::DispId> eventIds() const {
    std::vector<com::DispId> ids;
    for (const auto& e : sink->events) ids.push_back(e.id);
    return ids;
  }
  void put(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    writeFile(path, std::string_view(text));
  }
};

TEST_F(WriteMethods, ZipFilesEventsAndResults) {
  put(dir_.file("src/A.TXT"), std::string(5000, 'a'));
  put(dir_.file("src/SUB/B.TXT"), "b");
  const std::string zip = dir_.file("new.zip");
  int pumped = 0;
  setMessagePump([&] { ++pumped; });
  EXPECT_EQ(zipFiles(zip, dir_.file("src/*.*"), 0, false), S(0));
  EXPECT_TRUE(sink->events.empty());
  EXPECT_EQ(pumped, 0);
  EXPECT_EQ(names(zip).size(), 3u);

  put(dir_.file("src/C.TXT"), std::string(70000, 'c'));
  EXPECT_EQ(zipFiles(zip, dir_.file("src/*.*"), 0, true), S(0));
  EXPECT_GT(pumped, 0);
  const std::vector<com::DispId> ids = eventIds();
  EXPECT_EQ(std::count(ids.begin(), ids.end(), 17), 4);  // ZNFileZipped: A, SUB/, B and C
  EXPECT_GT(std::count(ids.begin(), ids.end(), 15), 0);  // ZNZipping
  EXPECT_GT(std::count(ids.begin(), ids.end(), 16), 0);  // ZNZipping2
  ASSERT_EQ(std::count(ids.begin(), ids.end(), 18), 1);  // ZNWriting
  EXPECT_EQ(ids.back(), 18);
  EXPECT_EQ(sink->events.back().args[0], T(zip));

  EXPECT_EQ(zipFiles("", dir_.file("src/*.*"), 0, false), S(6));
  EXPECT_EQ(zipFiles(zip, dir_.file("src/*.NONE"), 0, false), S(6));
  EXPECT_EQ(zipFiles(zip, dir_.file("src/*.*"), 1, false), S(6));
  EXPECT_EQ(zipFiles(dir_.file("src"), dir_.file("src/*.*"), 0, false), S(2));  // a folder is no archive

  // With a password every file is encrypted; the full test opens them.
  const std::string secret = dir_.file("secret.zip");
  EXPECT_EQ(zipFiles(secret, dir_.file("src/*.*"), 0, false, "pw"), S(0));
  EXPECT_EQ(call(ctl.get(), "IsZIPFileSlow", {T(secret), T("pw"), B(false), B(false)}).value, S(0));
}

TEST_F(WriteMethods, ZipCancelFromAnEventHandler) {
  put(dir_.file("old/OLD.TXT"), "old");
  const std::string zip = dir_.file("a.zip");
  ASSERT_EQ(zipFiles(zip, dir_.file("old/*.*"), 0, false), S(0));
  for (int i = 1; i <= 5; ++i) put(dir_.file("new/F" + std::to_string(i) + ".TXT"), std::string(300000 + i, 'x'));
  int zipped = 0;
  sink->onEvent = [&](const RecordingSink::Event& e) {
    if (e.id == 17) ++zipped;
    if (e.id == 15 && zipped == 2) call(ctl.get(), "ZipCancel", {B(true)});  // during the third file
  };
  EXPECT_EQ(zipFiles(zip, dir_.file("new/*.*"), 0, true), S(17));
  EXPECT_EQ(zipped, 3);
  EXPECT_EQ(names(zip).size(), 4u);  // the old entry and the first three files
  EXPECT_TRUE(ctl->zipEngine()->cancel);
  // The next call clears the request.
  sink->onEvent = nullptr;
  EXPECT_EQ(zipFiles(zip, dir_.file("new/*.*"), 0, false), S(0));
  EXPECT_EQ(names(zip).size(), 6u);
}

TEST_F(WriteMethods, ReplaceQuestionAndReplaceFlag) {
  put(dir_.file("src/A.TXT"), "a");
  put(dir_.file("src/B.TXT"), "b");
  const std::string zip = dir_.file("a.zip");
  ASSERT_EQ(zipFiles(zip, dir_.file("src/*.*"), 0, false), S(0));
  ui_->pushButton("always");
  EXPECT_EQ(zipFiles(zip, dir_.file("src/*.*"), 2, false), S(0));
  ASSERT_EQ(ui_->asked().size(), 1u);  // "always": no second question
  const ui::Question& q = ui_->asked()[0];
  EXPECT_EQ(q.caption, "Replace...");
  EXPECT_NE(q.text.find("already exists."), std::string::npos);
  const auto rename =
      std::find_if(q.buttons.begin(), q.buttons.end(), [](const ui::Button& b) { return b.text == "&Rename..."; });
  ASSERT_NE(rename, q.buttons.end());
  EXPECT_TRUE(rename->disabled);  // no renaming when adding
  EXPECT_EQ(call(ctl.get(), "ZipGetReplaceFlag").value, S(0));

  ui_->pushButton("never");
  EXPECT_EQ(zipFiles(zip, dir_.file("src/*.*"), 2, false), S(6));
  EXPECT_EQ(call(ctl.get(), "ZipGetReplaceFlag").value, S(1));
  EXPECT_EQ(ui_->asked().size(), 2u);
  EXPECT_EQ(zipFiles(zip, dir_.file("src/*.*"), 3, false), S(0));
  EXPECT_EQ(call(ctl.get(), "ZipGetReplaceFlag").value, S(3));
}

TEST_F(WriteMethods, DeleteAndComments) {
  const std::string zip = makeSmallZip();  // A.TXT, SUB/B.TXT, comments
  if (zip.empty()) GTEST_SKIP() << "zip is not installed";
  EXPECT_EQ(call(ctl.get(), "DeleteWithMask", {T(zip), T("*.DOC"), B(false)}).value, S(6));
  EXPECT_EQ(call(ctl.get(), "SetGlobalComment", {T(zip), T(std::string(32768, 'x')), B(false)}).value, S(8));
  EXPECT_EQ(call(ctl.get(), "SetGlobalComment", {T(zip), T("new comment"), B(true)}).value, S(0));
  EXPECT_EQ(call(ctl.get(), "GetGlobalComment", {T(zip), S(100), B(false)}).value, T("new comment"));
  EXPECT_EQ(call(ctl.get(), "SetLocalComment", {T(zip), T("SUB\\B.TXT"), T("bee"), B(false)}).value, S(0));
  EXPECT_EQ(call(ctl.get(), "GetLocalComment", {T(zip), T("SUB\\B.TXT"), S(100), B(false)}).value, T("bee"));
  sink->events.clear();
  EXPECT_EQ(call(ctl.get(), "DeleteWithMask", {T(zip), T("A.TXT"), B(true)}).value, S(0));
  ASSERT_GE(sink->events.size(), 2u);
  EXPECT_EQ(sink->events[0].id, 24);  // ZNDeleting
  EXPECT_EQ(sink->events[0].args[0], T("A.TXT"));
  EXPECT_EQ(call(ctl.get(), "GetCount", {T(zip), B(false)}).value, S(1));
  EXPECT_EQ(call(ctl.get(), "IsZIPFileSlow", {T(zip), T(""), B(false), B(false)}).value, S(0));
}

TEST_F(WriteMethods, DeleteWithSelectionOverTheControlsItemList) {
  const std::string zip = makeSmallZip();
  if (zip.empty()) GTEST_SKIP() << "zip is not installed";
  auto list = std::make_shared<ListBox>();
  const Handle hList = handles::add(list);
  ASSERT_EQ(call(ctl.get(), "BuildZIPITEMList", {T(zip), L(hList), B(false), T(""), B(false), S(0), B(false)}).value,
            S(0));
  ASSERT_EQ(list->count(), 2);
  auto selected = std::make_shared<ListBox>();
  const Handle hSel = handles::add(selected);
  for (int i = 0; i < list->count(); ++i)
    if (list->text(i)->ends_with(":B.TXT")) selected->add(*list->text(i));
  EXPECT_EQ(call(ctl.get(), "DeleteWithSelection", {T(zip), L(hList), L(hSel), B(false), B(false)}).value, S(0));
  EXPECT_EQ(names(zip), std::vector<std::string>{"A.TXT"});
  EXPECT_EQ(call(ctl.get(), "DeleteWithSelection", {T(zip), L(hList), L(hSel), B(false), B(false)}).value, S(6));
  handles::destroy(hList);
  handles::destroy(hSel);
}

TEST_F(WriteMethods, BlankArchiveAndItsDialog) {
  const std::string blank = dir_.file("blank.zip");
  EXPECT_EQ(call(ctl.get(), "CreateBlankZIPFile", {T(blank), B(false)}).value, B(true));
  EXPECT_EQ(readFile(blank).size(), 22u);
  EXPECT_EQ(call(ctl.get(), "GetCount", {T(blank), B(false)}).value, S(0));
  EXPECT_EQ(call(ctl.get(), "IsZIPFileQuick", {T(blank), B(false)}).value, S(0));
  EXPECT_EQ(call(ctl.get(), "GetNewZIPName").value, T(""));  // only the dialog's name is kept

  // The dialog: cancelled, then a name without an extension.
  EXPECT_EQ(call(ctl.get(), "CreateBlankZIPFile", {T(dir_.path() + "/"), B(true)}).value, B(false));
  ASSERT_EQ(ui_->fileChoosers().size(), 1u);
  EXPECT_EQ(ui_->fileChoosers()[0].caption, "Build a new ZIP file...");
  EXPECT_EQ(ui_->fileChoosers()[0].filter, "ZIP files|*.ZIP|All|*.*||");
  EXPECT_TRUE(ui_->fileChoosers()[0].save);
  ui_->pushPaths({dir_.file("chosen")});
  EXPECT_EQ(call(ctl.get(), "CreateBlankZIPFile", {T(blank), B(true)}).value, B(true));
  EXPECT_EQ(ui_->fileChoosers()[1].initialName, "blank.zip");
  EXPECT_EQ(readFile(dir_.file("chosen.ZIP")).size(), 22u);
  EXPECT_EQ(call(ctl.get(), "GetNewZIPName").value, T(dir_.file("chosen.ZIP")));
  EXPECT_EQ(call(ctl.get(), "GetNewZIPName").value, T(""));
}

}  // namespace
}  // namespace vz::test
