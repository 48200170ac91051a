// Building the item list of an archive in both list modes: the failure
// rules, the icon table, system icons and their probe files, list-view
// blocks and view style, the accessors' item lookup, and for real archives
// (the corpus, zip and 7zz) that every list-box line reads back as the
// list-view block of the same entry.
#include "control/engine/items/item_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <map>
#include <optional>

#include "control/engine/items/item_icons.h"
#include "control/engine/items/item_line.h"
#include "control/engine/common/temp_base.h"
#include "platform/file.h"
#include "platform/handles.h"
#include "platform/icons.h"
#include "platform/window.h"
#include "tests/engine/items/item_test_util.h"
#include "tests/engine/zip_builder.h"
#include "tests/support/test_env.h"

namespace vz::engine {
namespace {

namespace fs = std::filesystem;
using test::TestEntry;
using test::ZipBuilder;

// One root for the whole program, made before anything computes the
// temporary base folder (which is kept for the life of the process).
class ProgramRoot : public ::testing::Environment {
 public:
  void SetUp() override {
    root_ = std::make_unique<test::ScopedRoot>();
    (void)tempBaseFolder();
  }
  void TearDown() override { root_.reset(); }

 private:
  std::unique_ptr<test::ScopedRoot> root_;
};
[[maybe_unused]] const auto* const kProgramRoot = ::testing::AddGlobalTestEnvironment(new ProgramRoot);

// An icon service that records every question: the path asked for and
// whether that file existed at the time.
class RecordingIcons : public icons::Backend {
 public:
  int systemIconIndex(const std::string& path, bool small) override {
    asked.push_back({path, fileExists(path), small});
    if (path.ends_with(".TXT")) return 3;
    if (path.ends_with(".NEG")) return -1;
    return 1;
  }
  int systemImageCount() override { return 10; }
  ImageList::Image systemImage(int index, bool) override { return {"sys" + std::to_string(index), ""}; }
  ImageList::Image ownIcon(icons::OwnIcon which, bool small) override { return headless_.ownIcon(which, small); }

  struct Question {
    std::string path;
    bool existed;
    bool small;
  };
  std::vector<Question> asked;

 private:
  icons::HeadlessBackend headless_;
};

// Sets an environment variable for the life of the object.
class EnvValue {
 public:
  EnvValue(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~EnvValue() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class ItemList : public ::testing::Test {
 protected:
  void SetUp() override {
    st_.pump = false;
    // The registered types come from a private list: text files have a
    // default application, nothing else does.
    fs::create_directories(dir_.file("xdg/config"));
    fs::create_directories(dir_.file("xdg/data"));
    test::writeFile(dir_.file("xdg/config/mimeapps.list"),
                    std::string_view("[Default Applications]\ntext/plain=editor.desktop\n"));
    icons_ = std::make_shared<RecordingIcons>();
    previousIcons_ = icons::setBackend(icons_);
  }
  void TearDown() override {
    destroyItemImageLists(st_);
    for (Handle h : lists_) {
      destroyItemBlocks(h);
      handles::destroy(h);
    }
    icons::setBackend(previousIcons_);
    setMessagePump({});
  }

  Handle newListBox() { return keep(handles::add(std::make_shared<ListBox>())); }
  Handle newListView() { return keep(handles::add(std::make_shared<ListView>())); }
  Handle keep(Handle h) {
    lists_.push_back(h);
    return h;
  }

  std::string writeZip(const ZipBuilder& b, const std::string& name = "a.zip") {
    const std::string path = dir_.file(name);
    test::writeFile(path, b.build());
    return path;
  }

  int build(const std::string& zip, Handle list, bool listView, bool systemIcons = false, int sortMode = -1) {
    ItemListRequest r;
    r.zipName = zip;
    r.list = list;
    r.listView = listView;
    r.privateTempDirectory = dir_.file("icons");
    r.systemIcons = systemIcons;
    r.sortMode = sortMode;
    return buildItemList(st_, r);
  }

  // The items of a list as the accessors read them.
  std::vector<ZIPITEM> items(Handle list, bool listView) {
    std::vector<ZIPITEM> out;
    for (int i = 0;; ++i) {
      std::optional<ZIPITEM> it = readItem(list, i, listView);
      if (!it) break;
      out.push_back(*it);
    }
    return out;
  }

  test::ScratchDir dir_{"vzitems"};
  EnvValue xdgConfig_{"XDG_CONFIG_HOME", dir_.file("xdg/config")};
  EnvValue xdgConfigDirs_{"XDG_CONFIG_DIRS", dir_.file("xdg/none")};
  EnvValue xdgData_{"XDG_DATA_HOME", dir_.file("xdg/data")};
  EnvValue xdgDataDirs_{"XDG_DATA_DIRS", dir_.file("xdg/none")};
  UnzipState st_;
  std::shared_ptr<RecordingIcons> icons_;
  std::shared_ptr<icons::Backend> previousIcons_;
  std::vector<Handle> lists_;
};

TestEntry entry(const std::string& name, std::string data = "data", uint32_t attributes = 0x20) {
  TestEntry e;
  e.name = name;
  e.data = std::move(data);
  e.externalAttributes = attributes;
  return e;
}

// The shapes of the icon table, in archive order.
ZipBuilder iconShapes() {
  ZipBuilder b;
  b.entries.push_back(entry("SUB/", "", 0x10));  // directory
  TestEntry secret = entry("SETUP.EXE");
  secret.flags = 1;  // encrypted program
  b.entries.push_back(secret);
  b.entries.push_back(entry("RUN.EXE"));
  b.entries.push_back(entry("go.bat"));
  b.entries.push_back(entry("readme.txt"));   // registered (text/plain)
  b.entries.push_back(entry("picture.png"));  // a known type without application
  b.entries.push_back(entry("data.neg"));
  b.entries.push_back(entry("NOEXT"));
  b.entries.push_back(entry("photo.jpeg"));               // longer than 3 characters
  b.entries.push_back(entry("SUB/x.\xC3\xA9t\xC3\xA9"));  // three characters, five bytes
  return b;
}

TEST_F(ItemList, IconsFollowTheTableWithoutSystemIcons) {
  const std::string zip = writeZip(iconShapes());
  ASSERT_TRUE(buildItemImageLists(st_));
  const int base = st_.firstOwnIcon;
  ASSERT_EQ(base, 10);
  const std::vector<int> want = {base + 0, base + 1, base + 2, base + 2, base + 4,
                                 base + 5, base + 5, base + 5, base + 5, base + 5};
  for (bool listView : {false, true}) {
    const Handle list = listView ? newListView() : newListBox();
    ASSERT_EQ(build(zip, list, listView), 0);
    std::vector<int> got;
    for (const ZIPITEM& it : items(list, listView)) got.push_back(it.iconIndex);
    EXPECT_EQ(got, want) << (listView ? "list view" : "list box");
  }
  EXPECT_TRUE(icons_->asked.empty());
}

TEST_F(ItemList, SystemIconsAskOncePerExtensionThroughProbeFilesThatAreRemoved) {
  const std::string zip = writeZip(iconShapes());
  ASSERT_TRUE(buildItemImageLists(st_));
  const int base = st_.firstOwnIcon;
  // A probe that already exists is used and kept.
  fs::create_directories(dir_.file("icons"));
  test::writeFile(dir_.file("icons/SICON.TXT"), std::string_view("kept"));

  const Handle list = newListBox();
  ASSERT_EQ(build(zip, list, false, true), 0);
  std::vector<int> got;
  for (const ZIPITEM& it : items(list, false)) got.push_back(it.iconIndex);
  // Encrypted wins over program; negative indexes and unusable extensions give 0.
  EXPECT_EQ(got, (std::vector<int>{base + 0, base + 1, base + 2, base + 2, 3, 1, 0, 0, 0, 1}));

  std::map<std::string, int> asked;
  for (const auto& q : icons_->asked) {
    EXPECT_TRUE(q.existed) << q.path;
    EXPECT_TRUE(q.small);
    ++asked[fs::path(q.path).filename().string()];
  }
  EXPECT_EQ(asked, (std::map<std::string, int>{
                       {"SICON.TXT", 1}, {"SICON.PNG", 1}, {"SICON.NEG", 1}, {"SICON.\xC3\x89T\xC3\x89", 1}}));
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(dir_.file("icons"))) left.push_back(e.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"SICON.TXT"});
  EXPECT_EQ(*test::readFile(dir_.file("icons/SICON.TXT")).data(), 'k');
}

TEST_F(ItemList, FiveHundredEntriesOrNoSmallImagesMeanOwnIconsAndNoProbes) {
  ZipBuilder b;
  for (int i = 0; i < 500; ++i) b.entries.push_back(entry("F" + std::to_string(i) + (i % 2 ? ".TXT" : ".BIN")));
  b.entries.back().name = "LAST.COM";
  const std::string big = writeZip(b, "big.zip");
  ASSERT_TRUE(buildItemImageLists(st_));
  const int base = st_.firstOwnIcon;
  const Handle list = newListView();
  ASSERT_EQ(build(big, list, true, true), 0);
  const std::vector<ZIPITEM> got = items(list, true);
  ASSERT_EQ(got.size(), 500u);
  EXPECT_EQ(got[0].iconIndex, base + 5);
  EXPECT_EQ(got[1].iconIndex, base + 4);
  EXPECT_EQ(got[499].iconIndex, base + 2);
  EXPECT_TRUE(icons_->asked.empty());
  EXPECT_TRUE(fs::is_empty(dir_.file("icons")));

  // 499 entries use system icons, unless the small list has no image.
  b.entries.pop_back();
  const std::string smaller = writeZip(b, "smaller.zip");
  ASSERT_EQ(build(smaller, list, true, true), 0);
  EXPECT_EQ(items(list, true)[1].iconIndex, 3);
  destroyItemImageLists(st_);
  st_.smallImages = handles::add(std::make_shared<ImageList>(16, 16));
  icons_->asked.clear();
  ASSERT_EQ(build(smaller, list, true, true), 0);
  EXPECT_EQ(items(list, true)[1].iconIndex, 4);  // base 0 + registered
  EXPECT_TRUE(icons_->asked.empty());
}

TEST_F(ItemList, AnArchiveOfOnlyAnEndRecordEmptiesTheListAndAddsNothing) {
  const std::string zip = dir_.file("empty.zip");
  test::writeFile(zip, test::emptyArchive("just a comment"));
  const Handle box = newListBox();
  handles::getAs<ListBox>(box)->add("old line");
  EXPECT_EQ(build(zip, box, false, false, 0), 0);
  EXPECT_EQ(handles::getAs<ListBox>(box)->count(), 0);

  const Handle view = newListView();
  const size_t blocks = itemBlockCount();
  ASSERT_EQ(build(writeZip(iconShapes()), view, true), 0);
  EXPECT_EQ(itemBlockCount(), blocks + 10);
  EXPECT_EQ(build(zip, view, true), 0);
  EXPECT_EQ(handles::getAs<ListView>(view)->count(), 0);
  EXPECT_EQ(itemBlockCount(), blocks);  // the earlier blocks were freed
}

TEST_F(ItemList, UnreadableArchivesEmptyTheListAndGiveMinusOne) {
  test::writeFile(dir_.file("junk.zip"), std::string(3000, 'x'));
  ZipBuilder damaged = iconShapes();
  damaged.totalEntries = 11;  // one central header more than there is
  damaged.entriesOnDisk = 11;
  const std::string damagedZip = writeZip(damaged, "damaged.zip");
  const std::string good = writeZip(iconShapes());
  for (const std::string& zip : {dir_.file("junk.zip"), dir_.file("missing.zip"), damagedZip}) {
    const Handle box = newListBox();
    handles::getAs<ListBox>(box)->add("old line");
    EXPECT_EQ(build(zip, box, false), -1) << zip;
    EXPECT_EQ(handles::getAs<ListBox>(box)->count(), 0);

    const Handle view = newListView();
    ASSERT_EQ(build(good, view, true), 0);
    const size_t blocks = itemBlockCount();
    EXPECT_EQ(build(zip, view, true), -1) << zip;
    EXPECT_EQ(handles::getAs<ListView>(view)->count(), 0);
    EXPECT_EQ(itemBlockCount(), blocks - 10);
  }
  // A handle of the wrong kind gives -1 and is left alone.
  const Handle box = newListBox();
  handles::getAs<ListBox>(box)->add("kept");
  EXPECT_EQ(build(good, box, true), -1);
  EXPECT_EQ(handles::getAs<ListBox>(box)->count(), 1);
  EXPECT_EQ(build(good, 0, false), -1);
}

TEST_F(ItemList, ListViewRowsCarryBlocksAndBigListsAreBuiltInReportView) {
  ZipBuilder b;
  for (int i = 0; i < 101; ++i) b.entries.push_back(entry("F" + std::to_string(i) + ".TXT"));
  const std::string zip = writeZip(b);
  const Handle h = newListView();
  auto view = handles::getAs<ListView>(h);
  view->setStyle(ListView::Style::SmallIcon);
  std::vector<ListView::Style> seen;
  setMessagePump([&] { seen.push_back(view->style()); });
  st_.pump = true;
  ASSERT_EQ(build(zip, h, true), 0);
  EXPECT_EQ(seen, std::vector<ListView::Style>(4, ListView::Style::Report));  // pumped every 25 entries
  EXPECT_EQ(view->style(), ListView::Style::SmallIcon);
  ASSERT_EQ(view->count(), 101);
  for (const ListView::Row& row : view->rows()) {
    EXPECT_TRUE(row.textCallback);
    EXPECT_TRUE(row.texts.empty());
    const ZIPITEM* block = itemBlock(row.itemData);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(row.image, block->iconIndex);
  }

  // 100 entries stay in the host's view; so does a list in report view.
  b.entries.pop_back();
  seen.clear();
  ASSERT_EQ(build(writeZip(b, "hundred.zip"), h, true), 0);
  EXPECT_EQ(seen, std::vector<ListView::Style>(4, ListView::Style::SmallIcon));
}

TEST_F(ItemList, AListViewEntryAbove2GBEndsTheBuildWithMinusOne) {
  ZipBuilder b;
  b.entries.push_back(entry("SMALL.TXT"));
  b.entries.push_back(entry("HUGE.BIN"));
  b.entries.back().uncompressedSize = 0x80000000u;
  b.entries.push_back(entry("AFTER.TXT"));
  const std::string zip = writeZip(b);
  const Handle view = newListView();
  EXPECT_EQ(build(zip, view, true), -1);
  EXPECT_EQ(handles::getAs<ListView>(view)->count(), 1);
  // A list box takes it, and the size reads back whole.
  const Handle box = newListBox();
  ASSERT_EQ(build(zip, box, false), 0);
  EXPECT_EQ(readItem(box, 1, false)->originalSize, 0x80000000u);
}

TEST_F(ItemList, ItemsThatCannotBeReadGiveNothing) {
  const std::string zip = writeZip(iconShapes());
  const Handle box = newListBox(), view = newListView();
  ASSERT_EQ(build(zip, box, false), 0);
  ASSERT_EQ(build(zip, view, true), 0);
  for (int index : {-1, 10, 32767}) {
    EXPECT_FALSE(readItem(box, index, false)) << index;
    EXPECT_FALSE(readItem(view, index, true)) << index;
  }
  EXPECT_TRUE(readItem(box, 9, false));
  EXPECT_FALSE(readItem(box, 0, true));    // not a list view
  EXPECT_FALSE(readItem(view, 0, false));  // not a list box
  EXPECT_FALSE(readItem(0, 0, false));
  EXPECT_FALSE(readItem(123456789, 0, true));
  handles::getAs<ListBox>(box)->add("not an item line");
  EXPECT_FALSE(readItem(box, 10, false));

  // Rows the host filled itself: no data, or data that is not our block.
  ZIPITEM hostOwned;
  hostOwned.name = "HOST";
  auto lv = handles::getAs<ListView>(view);
  ListView::Row empty, foreign;
  foreign.itemData = reinterpret_cast<LParam>(&hostOwned);
  lv->insert(-1, empty);
  lv->insert(-1, foreign);
  EXPECT_FALSE(readItem(view, 10, true));
  EXPECT_FALSE(readItem(view, 11, true));
  const size_t blocks = itemBlockCount();
  destroyItemBlocks(view);  // frees our ten blocks and leaves the host's alone
  EXPECT_EQ(lv->count(), 0);
  EXPECT_EQ(itemBlockCount(), blocks - 10);
  EXPECT_EQ(hostOwned.name, "HOST");
  destroyItemBlocks(box);  // not a list view: nothing
  EXPECT_EQ(handles::getAs<ListBox>(box)->count(), 11);
}

TEST_F(ItemList, ListBoxesAreSortedAndListViewsAreNot) {
  ZipBuilder b;
  for (const char* n : {"C.TXT", "A.TXT", "B/D.TXT", "B.TXT"}) b.entries.push_back(entry(n));
  const std::string zip = writeZip(b);
  const Handle box = newListBox(), view = newListView();
  ASSERT_EQ(build(zip, box, false, false, 1), 0);
  ASSERT_EQ(build(zip, view, true, false, 1), 0);
  std::string boxNames, viewNames;
  for (const ZIPITEM& it : items(box, false)) boxNames += it.name + " ";
  for (const ZIPITEM& it : items(view, true)) viewNames += it.name + " ";
  EXPECT_EQ(boxNames, "A.TXT B.TXT C.TXT D.TXT ");
  EXPECT_EQ(viewNames, "C.TXT A.TXT D.TXT B.TXT ");

  // SortZIPITEMList: list boxes sorted, other windows untouched, no window false.
  EXPECT_TRUE(sortItemList(st_, box, 0));
  EXPECT_EQ(readItem(box, 0, false)->name, "A.TXT");
  EXPECT_EQ(readItem(box, 3, false)->directory, "B\\");
  EXPECT_TRUE(sortItemList(st_, view, 0));
  EXPECT_EQ(readItem(view, 0, true)->name, "C.TXT");
  const Handle window = createWindow({});
  EXPECT_TRUE(sortItemList(st_, window, 0));
  destroyWindow(window);
  EXPECT_FALSE(sortItemList(st_, 0, 0));
  EXPECT_FALSE(sortItemList(st_, window, 0));
  const Handle images = handles::add(std::make_shared<ImageList>(16, 16));
  EXPECT_FALSE(sortItemList(st_, images, 0));
  handles::destroy(images);
}

TEST_F(ItemList, PumpsEvery25EntriesOnlyWhenPumpingIsOn) {
  ZipBuilder b;
  for (int i = 0; i < 60; ++i) b.entries.push_back(entry("F" + std::to_string(i)));
  const std::string zip = writeZip(b);
  int pumps = 0;
  setMessagePump([&] { ++pumps; });
  const Handle box = newListBox();
  ASSERT_EQ(build(zip, box, false), 0);
  EXPECT_EQ(pumps, 0);
  st_.pump = true;
  ASSERT_EQ(build(zip, box, false), 0);
  EXPECT_EQ(pumps, 2);
}

TEST_F(ItemList, TheIconFolderAndTheTemporaryFoldersLiveUnderTheTemporaryBase) {
  EXPECT_EQ(itemIconFolder(""), tempBaseFolder() + "QXICONS/");
  EXPECT_EQ(itemIconFolder("/x/y"), "/x/y/");
  EXPECT_EQ(itemIconFolder("/x/y/"), "/x/y/");
  ItemListRequest r;
  r.zipName = writeZip(iconShapes());
  r.list = newListBox();
  ASSERT_EQ(buildItemList(st_, r), 0);
  EXPECT_TRUE(isDirectory(tempBaseFolder() + "QXICONS"));

  fs::create_directories(tempBaseFolder() + "QXVIEW/sub");
  test::writeFile(tempBaseFolder() + "QXVIEW/sub/file.txt", std::string_view("x"));
  test::writeFile(tempBaseFolder() + "QXICONS/SICON.TXT", std::string_view(""));
  EXPECT_TRUE(deleteTempDirectories());
  EXPECT_FALSE(fileExists(tempBaseFolder() + "QXVIEW"));
  EXPECT_FALSE(fileExists(tempBaseFolder() + "QXICONS"));
  EXPECT_TRUE(deleteTempDirectories());  // nothing there: gone already
  EXPECT_TRUE(isDirectory(tempBaseFolder()));
}

// ---- real archives: the line of every entry reads back as its block ----

// partialView: the list-view build stopped at an entry above 2 GB, so only
// the rows before it are compared.
void expectLinesMatchBlocks(Handle box, Handle view, const std::string& what, bool partialView = false) {
  auto lb = handles::getAs<ListBox>(box);
  auto lv = handles::getAs<ListView>(view);
  if (partialView) {
    ASSERT_LT(lv->count(), lb->count()) << what;
    ZIPITEM stopper;
    ASSERT_TRUE(parseItemLine(*lb->text(lv->count()), stopper));
    EXPECT_GT(stopper.originalSize, kMaxListViewEntrySize) << what;
  } else {
    ASSERT_EQ(lb->count(), lv->count()) << what;
  }
  for (int i = 0; i < lv->count(); ++i) {
    ZIPITEM parsed;
    ASSERT_TRUE(parseItemLine(*lb->text(i), parsed)) << what << ": " << *lb->text(i);
    const ZIPITEM* block = itemBlock(lv->row(i)->itemData);
    ASSERT_NE(block, nullptr);
    test::expectSameItem(parsed, *block, what + " #" + std::to_string(i));
  }
}

TEST_F(ItemList, EveryCorpusArchiveListsTheSameInBothModes) {
  ASSERT_TRUE(buildItemImageLists(st_));
  int listed = 0;
  for (const std::string& file : test::corpusFiles()) {
    const Handle box = newListBox(), view = newListView();
    const int boxResult = build(file, box, false);
    const int viewResult = build(file, view, true);
    if (boxResult == 0 && viewResult >= -1) {
      // A list view stops with -1 at an entry above 2 GB (zip64 archives
      // store 0xFFFFFFFF in the central sizes).
      expectLinesMatchBlocks(box, view, file, viewResult == -1);
      ++listed;
    } else {
      EXPECT_EQ(boxResult, -1) << file;
      EXPECT_EQ(viewResult, -1) << file;
      EXPECT_EQ(handles::getAs<ListBox>(box)->count(), 0) << file;
    }
  }
  if (test::corpusFiles().empty()) GTEST_SKIP() << "no corpus";
  EXPECT_GT(listed, 10);
  std::cout << "[ INFO     ] " << listed << " corpus archives listed\n";
}

TEST_F(ItemList, ArchivesOfZipAnd7zzListTheSameInBothModes) {
  const std::string tree = dir_.file("tree");
  fs::create_directories(tree + "/sub dir/deeper");
  fs::create_directories(tree + "/empty dir");
  test::writeFile(tree + "/plain.txt", std::string(5000, 'p'));
  test::writeFile(tree + "/semi;colon.txt", std::string_view("semicolon"));
  test::writeFile(tree + "/co:lon;both.TXT", std::string_view("both"));
  test::writeFile(tree + "/sub dir/inner.exe", std::string(300, 'e'));
  test::writeFile(tree + "/sub dir/deeper/x", std::string_view(""));
  test::writeFile(tree +
                      "/\xC3\xBC"
                      "ber.txt",
                  std::string_view("utf-8 name"));
  std::vector<std::pair<std::string, std::vector<std::string>>> makers;
  if (test::haveProgram("zip")) {
    makers.push_back({"zip", {"zip", "-q", "-r", dir_.file("z.zip"), "."}});
    makers.push_back({"zip -P", {"zip", "-q", "-r", "-P", "secret", dir_.file("zp.zip"), "."}});
  }
  if (test::haveProgram("7zz")) makers.push_back({"7zz", {"7zz", "a", "-tzip", "-bd", dir_.file("s.zip"), "."}});
  if (makers.empty()) GTEST_SKIP() << "neither zip nor 7zz";
  for (const auto& [what, argv] : makers) {
    ASSERT_EQ(test::run(argv, nullptr, nullptr, tree), 0) << what;
    const std::string zip = argv[argv.size() - 2];
    const Handle box = newListBox(), view = newListView();
    ASSERT_EQ(build(zip, box, false), 0) << what;
    ASSERT_EQ(build(zip, view, true), 0) << what;
    expectLinesMatchBlocks(box, view, what);
    bool sawBoth = false;
    for (const ZIPITEM& it : items(box, false)) {
      if (it.name == "CO:LON;BOTH.TXT") sawBoth = true;
      if (what == "zip -P" && !it.isDirectory) {
        EXPECT_EQ(it.iconIndex, kIconEncrypted) << it.name;
      }
    }
    EXPECT_TRUE(sawBoth) << what;
  }
}

}  // namespace
}  // namespace vz::engine
