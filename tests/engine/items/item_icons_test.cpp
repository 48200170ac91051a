// The control's item image lists: system images first, then the six own
// icons at base; building fails without system images; destroying,
// handing the lists to a list view, and rebuilding.
#include "control/engine/items/item_icons.h"

#include <gtest/gtest.h>

#include "platform/handles.h"
#include "platform/icons.h"
#include "tests/support/test_env.h"

namespace vz::engine {
namespace {

class ItemImageLists : public ::testing::Test {
 protected:
  void SetUp() override {
    test::writeFile(dir_.file("globs2"), std::string_view("50:text/plain:*.txt\n50:image/png:*.png\n"));
    previous_ = icons::setBackend(std::make_shared<icons::HeadlessBackend>(dir_.file("globs2")));
  }
  void TearDown() override {
    destroyItemImageLists(st_);
    icons::setBackend(previous_);
  }
  test::ScratchDir dir_{"vzimages"};
  UnzipState st_;
  std::shared_ptr<icons::Backend> previous_;
};

TEST_F(ItemImageLists, HoldTheSystemImagesAndThenTheOwnIcons) {
  ASSERT_TRUE(buildItemImageLists(st_));
  // application/octet-stream, image/png, text/plain
  EXPECT_EQ(st_.firstOwnIcon, 3);
  auto small = handles::getAs<ImageList>(itemImageList(st_, false));
  auto large = handles::getAs<ImageList>(itemImageList(st_, true));
  ASSERT_TRUE(small && large);
  EXPECT_EQ(small->width(), 16);
  EXPECT_EQ(large->height(), 32);
  ASSERT_EQ(small->count(), 3 + 6);
  ASSERT_EQ(large->count(), 3 + 6);
  EXPECT_EQ(small->image(0)->key, "application-octet-stream");
  EXPECT_EQ(small->image(2)->key, "text-plain");
  const char* own[] = {"vz-directory", "vz-encrypted", "vz-program", "vz-unassigned", "vz-registered", "vz-other"};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(small->image(3 + i)->key, own[i]);
    EXPECT_EQ(large->image(3 + i)->key, own[i]);
    EXPECT_FALSE(small->image(3 + i)->pixels.empty());
  }
  // The system icon index of a text file points at its image.
  EXPECT_EQ(small->image(icons::systemIconIndex(dir_.file("A.TXT"), true))->key, "text-plain");
}

TEST_F(ItemImageLists, RebuildingReplacesAndDestroyingForgets) {
  ASSERT_TRUE(buildItemImageLists(st_));
  const Handle firstSmall = st_.smallImages, firstLarge = st_.largeImages;
  ASSERT_TRUE(buildItemImageLists(st_));
  EXPECT_NE(st_.smallImages, firstSmall);
  EXPECT_EQ(handles::get(firstSmall), nullptr);  // the earlier lists are gone
  EXPECT_EQ(handles::get(firstLarge), nullptr);
  const Handle small = st_.smallImages;
  EXPECT_TRUE(destroyItemImageLists(st_));
  EXPECT_EQ(handles::get(small), nullptr);
  EXPECT_EQ(itemImageList(st_, false), 0);
  EXPECT_EQ(itemImageList(st_, true), 0);
  EXPECT_EQ(st_.firstOwnIcon, 0);
  EXPECT_TRUE(destroyItemImageLists(st_));  // none: still true
}

TEST_F(ItemImageLists, FailWithoutSystemImagesAndKeepWhatWasThere) {
  ASSERT_TRUE(buildItemImageLists(st_));
  const Handle small = st_.smallImages;
  icons::setBackend(std::make_shared<icons::HeadlessBackend>(dir_.file("no-such-database")));
  EXPECT_FALSE(buildItemImageLists(st_));
  EXPECT_EQ(st_.smallImages, small);
  EXPECT_EQ(st_.firstOwnIcon, 3);
}

TEST_F(ItemImageLists, GoToListViewsOnlyOnceBuilt) {
  const Handle view = handles::add(std::make_shared<ListView>());
  const Handle box = handles::add(std::make_shared<ListBox>());
  EXPECT_FALSE(setListViewImageLists(st_, view));
  ASSERT_TRUE(buildItemImageLists(st_));
  EXPECT_FALSE(setListViewImageLists(st_, box));
  EXPECT_FALSE(setListViewImageLists(st_, 0));
  EXPECT_TRUE(setListViewImageLists(st_, view));
  auto lv = handles::getAs<ListView>(view);
  EXPECT_EQ(lv->smallImages(), st_.smallImages);
  EXPECT_EQ(lv->largeImages(), st_.largeImages);
  // The view shares the lists: destroying the view leaves them.
  handles::destroy(view);
  handles::destroy(box);
  EXPECT_NE(handles::get(st_.smallImages), nullptr);
}

TEST(ItemIconChooser, ExtensionsAreTheTextBehindTheLastDot) {
  EXPECT_EQ(itemExtension("A.TAR.GZ"), "GZ");
  EXPECT_EQ(itemExtension("NOEXT"), "");
  EXPECT_EQ(itemExtension("TRAILING."), "");
  EXPECT_EQ(itemExtension(".HIDDEN"), "HIDDEN");

  ItemIconChooser own(100, false, "/nonexistent/");
  ZIPITEM it;
  it.name = "TRAILING.";
  EXPECT_EQ(own.iconFor(it), 105);
  it.name = "X.C\tM";  // a control character is never a usable extension
  EXPECT_EQ(own.iconFor(it), 105);
  it.name = "X.EXE";
  it.isDirectory = 0x10;  // a directory wins over everything
  it.isEncrypted = 1;
  EXPECT_EQ(own.iconFor(it), 100);
  it.isDirectory = 0;
  EXPECT_EQ(own.iconFor(it), 101);
  it.isEncrypted = 0;
  for (const char* name : {"A.EXE", "A.COM", "A.PIF", "A.BAT", "a.bat"}) {
    it.name = name;
    EXPECT_EQ(own.iconFor(it), 102) << name;
  }
}

}  // namespace
}  // namespace vz::engine
