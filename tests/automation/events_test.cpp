// Notifications to the control's window become events: every binding, the
// parameter sources (text from lParam, null as "", numbers from wParam or
// lParam, ZNTest's bNoError), the events that never fire, the
// bBackGroundProcessing switch of a call (notification window and pumping),
// and re-entry from a sink.
#include <gtest/gtest.h>

#include <set>

#include "control/automation/events.h"
#include "tests/automation/automation_test_util.h"

namespace vz::test {
namespace {

using com::Variant;
using control::kDQXEvents;

class EventsTest : public ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    ctl_ = newControl();
    sink_ = RecordingSink::make();
    cookie_ = advise(ctl_.get(), sink_.get());
  }
  void TearDown() override {
    sink_.reset();
    ctl_.reset();
    ControlTest::TearDown();
  }
  void send(uint32_t msg, WParam w, const char* text) {
    sendMessage(ctl_->window(), msg, w, reinterpret_cast<LParam>(text));
  }

  com::Ref<control::CZCtrl> ctl_;
  com::Ref<RecordingSink> sink_;
  uint32_t cookie_ = 0;
};

TEST_F(EventsTest, EveryBoundEventFiresWithTypedParameters) {
  std::set<com::DispId> bound;
  for (const control::EventBinding& b : control::eventBindings()) {
    SCOPED_TRACE(b.event);
    EXPECT_TRUE(bound.insert(b.event).second);
    sink_->events.clear();
    // Bindings that read a number from lParam get the pointer's value;
    // this loop checks only the event's shape.
    sendMessage(ctl_->window(), b.message, 1, reinterpret_cast<LParam>("NAME"));
    ASSERT_EQ(sink_->events.size(), 1u);
    const com::FuncDesc* f = com::findMember(kDQXEvents, b.event);
    ASSERT_EQ(sink_->events[0].args.size(), f->params.size());
    for (size_t i = 0; i < f->params.size(); ++i) EXPECT_EQ(sink_->events[0].args[i].type(), f->params[i].type);
  }
  // Every event but ZNJoined (6) and ZNCompute (20) has a message.
  for (com::DispId id = 1; id <= 24; ++id) EXPECT_EQ(bound.count(id), id == 6 || id == 20 ? 0u : 1u) << id;
}

TEST_F(EventsTest, ParameterSources) {
  send(control::kMsgOpenFile, 0, "DIR\\FILE.TXT");
  send(control::kMsgOpenFile, 0, nullptr);  // a null text pointer arrives as ""
  send(control::kMsgExpanding, 42, "FILE.TXT");
  send(control::kMsgCloseFile, 0, "FILE.TXT");
  send(control::kMsgJoining, 12, "PART.0_1");
  sendMessage(ctl_->window(), control::kMsgSplitted, 3, 70000);
  sendMessage(ctl_->window(), control::kMsgJoinDoneSize, 9, 123456);
  sendMessage(ctl_->window(), control::kMsgMakeExeStep1, 0, 0);
  ASSERT_EQ(sink_->events.size(), 8u);
  const auto& e = sink_->events;
  EXPECT_EQ(e[0].id, 1);
  EXPECT_EQ(e[0].args[0], T("DIR\\FILE.TXT"));
  EXPECT_EQ(e[1].args[0], T(""));
  EXPECT_EQ(e[2].id, 2);
  EXPECT_EQ(e[2].args[1], S(42));
  EXPECT_EQ(e[3].id, 3);
  EXPECT_EQ(e[3].args[1], B(false));
  EXPECT_EQ(e[4].id, 5);
  EXPECT_EQ(e[4].args[0], S(12));
  EXPECT_EQ(e[4].args[1], T("PART.0_1"));
  EXPECT_EQ(e[5].id, 23);
  EXPECT_EQ(e[5].args[0], S(3));
  EXPECT_EQ(e[5].args[1], L(70000));
  EXPECT_EQ(e[6].id, 7);
  EXPECT_EQ(e[6].args[0], L(123456));  // from lParam, not wParam
  EXPECT_EQ(e[7].id, 13);
  EXPECT_TRUE(e[7].args.empty());
}

TEST_F(EventsTest, TestEventReportsStatusBelowTwoAsNoError) {
  for (WParam status : {0, 1, 2, 5, 10}) send(control::kMsgTest, status, "E.TXT");
  ASSERT_EQ(sink_->events.size(), 5u);
  const bool expected[] = {true, true, false, false, false};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(sink_->events[i].id, 4);
    EXPECT_EQ(sink_->events[i].args[1], B(expected[i])) << i;
  }
}

TEST_F(EventsTest, UnboundMessagesFireNothing) {
  sendMessage(ctl_->window(), control::kMsgCatalogueCount, 5, 0);
  sendMessage(ctl_->window(), WM_USER + 0x2A, 5, 0);  // would be ZNJoined's; none is bound
  sendMessage(ctl_->window(), 0x0001, 0, 0);          // WM_CREATE
  EXPECT_TRUE(sink_->events.empty());
}

TEST_F(EventsTest, UnadviseStopsDelivery) {
  com::Ref<com::IConnectionPointContainer> cpc;
  ctl_->QueryInterface(com::IID_IConnectionPointContainer, cpc.put());
  com::Ref<com::IConnectionPoint> cp;
  cpc->FindConnectionPoint(control::DIID_DQXEvents, outPtr(cp));
  EXPECT_EQ(cp->Unadvise(cookie_), com::S_OK);
  send(control::kMsgOpenFile, 0, "X");
  EXPECT_TRUE(sink_->events.empty());
}

TEST_F(EventsTest, BackgroundSwitchSetsWindowAndPumping) {
  int pumps = 0;
  setMessagePump([&] { ++pumps; });
  const std::string zip = makeSmallZip();
  if (zip.empty()) GTEST_SKIP() << "zip is not installed";

  // FALSE: no notification window (so no events) and no pumping.
  EXPECT_EQ(call(ctl_.get(), "GetTotalSize", {T(zip), B(true), B(false)}).value, Variant::fromDouble(2));
  EXPECT_EQ(ctl_->readerState()->notifyWindow, 0);
  EXPECT_FALSE(ctl_->readerState()->pump);
  EXPECT_TRUE(control::settings().noPump);
  // Adding the archive's own first file again: a small, real write.
  const std::string file = zip.substr(0, zip.rfind('/')) + "/A.TXT";
  call(ctl_.get(), "ZipFiles", {T(zip), T(file), B(false), S(0), S(0), S(0), B(false), B(false), T(""), B(false)});
  EXPECT_EQ(ctl_->zipEngine()->window, 0);
  EXPECT_EQ(pumps, 0);
  EXPECT_TRUE(sink_->events.empty());

  // TRUE: the control's window receives the engine's notifications and the
  // engine pumps.
  EXPECT_EQ(call(ctl_.get(), "GetTotalSize", {T(zip), B(true), B(true)}).value, Variant::fromDouble(2));
  EXPECT_EQ(ctl_->readerState()->notifyWindow, ctl_->window());
  EXPECT_TRUE(ctl_->readerState()->pump);
  EXPECT_FALSE(control::settings().noPump);
  call(ctl_.get(), "ZipFiles", {T(zip), T(file), B(false), S(0), S(0), S(0), B(false), B(false), T(""), B(true)});
  EXPECT_EQ(ctl_->zipEngine()->window, ctl_->window());
  sink_->events.clear();
  sendMessage(ctl_->readerState()->notifyWindow, control::kMsgOpenFile, 0, reinterpret_cast<LParam>("A.TXT"));
  ASSERT_EQ(sink_->events.size(), 1u);

  // Methods without the parameter leave the switch as it is.
  call(ctl_.get(), "GetZipBufferSize");
  call(ctl_.get(), "IsFileNameInFilter", {T("A"), T("A")});
  EXPECT_FALSE(control::settings().noPump);
}

TEST_F(EventsTest, SinkMayCallBackAndReleaseTheControl) {
  // A host's handler runs inside the notification: it may call the control
  // again, and may drop the last reference to it.
  std::vector<Variant> sizes;
  sink_->onEvent = [&](const RecordingSink::Event&) {
    sizes.push_back(call(ctl_.get(), "GetZipBufferSize").value);
    sizes.push_back(call(ctl_.get(), "GetUnzipBufferSize").value);
    ctl_.reset();
  };
  const Handle w = ctl_->window();
  sendMessage(w, control::kMsgWriting, 0, reinterpret_cast<LParam>("A.ZIP"));
  EXPECT_EQ(sizes, (std::vector<Variant>{S(32767), S(24576)}));
  EXPECT_FALSE(ctl_);
  // The window went with the control.
  EXPECT_EQ(sendMessage(w, control::kMsgWriting, 0, reinterpret_cast<LParam>("A.ZIP")), 0);
  EXPECT_EQ(sink_->events.size(), 1u);
}

}  // namespace
}  // namespace vz::test
