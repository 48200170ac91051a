// Notification windows and the message-pump hook.
#include "platform/window.h"

#include <gtest/gtest.h>

namespace {

TEST(Window, SendIsSynchronousAndCarriesTheParameters) {
  std::vector<uint32_t> seen;
  vz::Handle h = vz::createWindow([&](uint32_t msg, vz::WParam w, vz::LParam l) -> intptr_t {
    seen.push_back(msg);
    return static_cast<intptr_t>(w) + l;
  });
  ASSERT_NE(h, 0);
  EXPECT_EQ(vz::sendMessage(h, vz::WM_USER + 1, 40, 2), 42);
  ASSERT_EQ(seen.size(), 1u);  // the procedure has run when send returns
  EXPECT_EQ(seen[0], vz::WM_USER + 1);
  EXPECT_TRUE(vz::destroyWindow(h));
  EXPECT_EQ(vz::sendMessage(h, vz::WM_USER, 1, 1), 0);  // destroyed
  EXPECT_EQ(seen.size(), 1u);
  EXPECT_FALSE(vz::destroyWindow(h));
}

TEST(Window, SendToZeroUnknownOrNonWindowHandlesIsHarmless) {
  EXPECT_EQ(vz::sendMessage(0, vz::WM_USER, 0, 0), 0);
  EXPECT_EQ(vz::sendMessage(0x7ffffff0, vz::WM_USER, 0, 0), 0);
  vz::Handle lb = vz::handles::add(std::make_shared<vz::ListBox>());
  EXPECT_EQ(vz::sendMessage(lb, vz::WM_USER, 0, 0), 0);
  EXPECT_FALSE(vz::destroyWindow(lb));  // not a window: left alone
  EXPECT_NE(vz::handles::get(lb), nullptr);
  vz::handles::destroy(lb);
  vz::Handle empty = vz::createWindow(nullptr);
  EXPECT_EQ(vz::sendMessage(empty, vz::WM_USER, 5, 5), 0);
  vz::destroyWindow(empty);
}

TEST(Window, ProcedureMayDestroyItsOwnWindow) {
  vz::Handle self = 0;
  int calls = 0;
  self = vz::createWindow([&](uint32_t, vz::WParam, vz::LParam) -> intptr_t {
    ++calls;
    vz::destroyWindow(self);
    return calls;
  });
  EXPECT_EQ(vz::sendMessage(self, vz::WM_USER, 0, 0), 1);
  EXPECT_EQ(vz::sendMessage(self, vz::WM_USER, 0, 0), 0);
}

TEST(MessagePump, HookRunsOnceAndMayReenterOrBeCleared) {
  vz::pumpMessages();  // no hook: nothing happens
  int runs = 0;
  vz::setMessagePump([&] {
    if (++runs == 1) vz::pumpMessages();  // re-entry must not deadlock
  });
  vz::pumpMessages();
  EXPECT_EQ(runs, 2);
  vz::setMessagePump([&] {
    vz::setMessagePump(nullptr);
    ++runs;
  });  // a hook removing itself
  vz::pumpMessages();
  vz::pumpMessages();
  EXPECT_EQ(runs, 3);
}

}  // namespace
