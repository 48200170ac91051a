// The handle table and the list objects it holds.
#include "platform/handles.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

namespace {

TEST(Handles, AreNeverZeroNeverReusedAndDestroyedOnce) {
  size_t before = vz::handles::count();
  vz::Handle a = vz::handles::add(std::make_shared<vz::ListBox>());
  vz::Handle b = vz::handles::add(std::make_shared<vz::ListBox>());
  EXPECT_NE(a, 0);
  EXPECT_NE(b, 0);
  EXPECT_NE(a, b);
  EXPECT_EQ(vz::handles::count(), before + 2);
  EXPECT_TRUE(vz::handles::destroy(a));
  EXPECT_FALSE(vz::handles::destroy(a));
  EXPECT_EQ(vz::handles::get(a), nullptr);
  vz::Handle c = vz::handles::add(std::make_shared<vz::ListBox>());
  EXPECT_NE(c, a);  // a destroyed handle is not handed out again
  EXPECT_EQ(vz::handles::add(nullptr), 0);
  EXPECT_EQ(vz::handles::get(0), nullptr);
  vz::handles::destroy(b);
  vz::handles::destroy(c);
  EXPECT_EQ(vz::handles::count(), before);
}

TEST(Handles, GetAsChecksTheKindAndKeepsTheObjectAlive) {
  vz::Handle h = vz::handles::add(std::make_shared<vz::ImageList>(16, 16));
  EXPECT_EQ(vz::handles::getAs<vz::ListBox>(h), nullptr);
  auto list = vz::handles::getAs<vz::ImageList>(h);
  ASSERT_NE(list, nullptr);
  EXPECT_TRUE(vz::handles::destroy(h));
  // The user's reference survives the destroy.
  EXPECT_EQ(list->add({"folder", ""}), 0);
  EXPECT_EQ(list->image(0)->key, "folder");
  EXPECT_EQ(list->image(1), nullptr);
  EXPECT_EQ(list->width(), 16);
}

TEST(Handles, ConcurrentAddsGiveDistinctHandles) {
  std::vector<std::vector<vz::Handle>> got(4);
  std::vector<std::thread> threads;
  for (auto& g : got)
    threads.emplace_back([&g] {
      for (int i = 0; i < 500; ++i) g.push_back(vz::handles::add(std::make_shared<vz::ListBox>()));
    });
  for (auto& t : threads) t.join();
  std::set<vz::Handle> all;
  for (auto& g : got)
    for (vz::Handle h : g) {
      EXPECT_TRUE(all.insert(h).second);
      vz::handles::destroy(h);
    }
  EXPECT_EQ(all.size(), 2000u);
}

TEST(ListBox, InsertEraseAndBounds) {
  vz::ListBox lb;
  EXPECT_EQ(lb.add("b"), 0);
  EXPECT_EQ(lb.insert(0, "a"), 0);
  EXPECT_EQ(lb.insert(-1, "c"), 2);
  EXPECT_EQ(lb.insert(3, "d"), 3);  // exactly at the end is allowed
  EXPECT_EQ(lb.insert(9, "x"), -1);
  EXPECT_EQ(lb.insert(-2, "x"), -1);
  ASSERT_EQ(lb.count(), 4);
  EXPECT_EQ(*lb.text(1), "b");
  EXPECT_EQ(lb.text(4), nullptr);
  EXPECT_EQ(lb.text(-1), nullptr);
  EXPECT_TRUE(lb.erase(0));
  EXPECT_FALSE(lb.erase(3));
  EXPECT_EQ(*lb.text(0), "b");
  lb.reset();
  EXPECT_EQ(lb.count(), 0);
}

TEST(ListView, RowsAppendOutOfRangeAndEraseChecksBounds) {
  vz::ListView lv;
  vz::ListView::Row r;
  r.itemData = 7;
  EXPECT_EQ(lv.insert(-1, r), 0);
  r.itemData = 9;
  EXPECT_EQ(lv.insert(50, r), 1);  // past the end: appended
  r.itemData = 8;
  EXPECT_EQ(lv.insert(1, r), 1);
  EXPECT_EQ(lv.row(1)->itemData, 8);
  EXPECT_EQ(lv.row(2)->itemData, 9);
  EXPECT_EQ(lv.row(3), nullptr);
  EXPECT_FALSE(lv.erase(3));
  EXPECT_TRUE(lv.erase(0));
  EXPECT_EQ(lv.count(), 2);
  lv.setStyle(vz::ListView::Style::Report);
  EXPECT_EQ(lv.style(), vz::ListView::Style::Report);
  lv.clear();
  EXPECT_EQ(lv.count(), 0);
}

}  // namespace
