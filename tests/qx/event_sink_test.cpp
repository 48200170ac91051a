// The --events sink on its own: one tab-separated line per event, text
// kept on one line, and reference counting that frees the sink exactly
// when the last holder lets go.
#include <gtest/gtest.h>

#include <sstream>

#include "control/typelib/qx_typelib.h"
#include "tools/qx/event_sink.h"

namespace vz::qx {
namespace {

using com::Variant;

TEST(QxEventSink, OneLinePerEventWithTabs) {
  std::ostringstream out;
  auto sink = EventPrinter::create(out, control::kDQXEvents);
  ASSERT_TRUE(sink);
  EXPECT_EQ(sink->Invoke(2, com::InvokeKind::Method, {Variant::fromText("dir/a.txt"), Variant::fromShort(50)}, nullptr,
                         nullptr),
            com::S_OK);
  sink->Invoke(3, com::InvokeKind::Method, {Variant::fromText("a.txt"), Variant::fromBool(true)}, nullptr, nullptr);
  sink->Invoke(23, com::InvokeKind::Method, {Variant::fromShort(-2), Variant::fromLong(1457664)}, nullptr, nullptr);
  sink->Invoke(13, com::InvokeKind::Method, {}, nullptr, nullptr);
  // A null text pointer reaches the host as an empty string: the line keeps
  // its tab.
  sink->Invoke(1, com::InvokeKind::Method, {Variant::fromText("")}, nullptr, nullptr);
  EXPECT_EQ(out.str(),
            "ZNExpanding\tdir/a.txt\t50\n"
            "ZNCloseFile\ta.txt\t1\n"
            "ZNSplitted\t-2\t1457664\n"
            "ZNMakeEXEStep1\n"
            "ZNOpenFile\t\n");
  EXPECT_EQ(sink->eventCount(), 5u);
}

TEST(QxEventSink, TextThatWouldBreakTheLineIsEscaped) {
  EXPECT_EQ(formatEventLine(control::kDQXEvents, 1, {Variant::fromText("a\tb\nc\rd\\e")}),
            "ZNOpenFile\ta\\tb\\nc\\rd\\e");
  // An event the interface does not describe is still shown.
  EXPECT_EQ(formatEventLine(control::kDQXEvents, 99, {Variant::fromDouble(0.5)}), "#99\t0.5");
}

TEST(QxEventSink, InterfacesAndNames) {
  std::ostringstream out;
  auto sink = EventPrinter::create(out, control::kDQXEvents);
  for (const com::Guid& iid : {com::IID_IUnknown, com::IID_IDispatch, control::DIID_DQXEvents}) {
    void* p = nullptr;
    ASSERT_EQ(sink->QueryInterface(iid, &p), com::S_OK);
    EXPECT_EQ(p, static_cast<com::IDispatch*>(sink.get()));
    static_cast<com::IDispatch*>(p)->Release();
  }
  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(sink->QueryInterface(control::IID_DQX, &p), com::E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);

  std::vector<com::DispId> ids;
  EXPECT_EQ(sink->GetIDsOfNames({"znsplitting", "ZNDeleting"}, ids), com::S_OK);
  EXPECT_EQ(ids, (std::vector<com::DispId>{22, 24}));
  EXPECT_EQ(sink->GetIDsOfNames({"ZNOpenFile", "Nope"}, ids), com::DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids, (std::vector<com::DispId>{1, com::DISPID_UNKNOWN}));
}

// A sink that records its own destruction would need a hook in the class;
// instead the counts returned by AddRef/Release are checked, and the final
// Release is left to the Ref (a double free or leak shows under the
// sanitizer build).
TEST(QxEventSink, ReferenceCounts) {
  std::ostringstream out;
  auto sink = EventPrinter::create(out, control::kDQXEvents);
  EXPECT_EQ(sink->AddRef(), 2u);
  EXPECT_EQ(sink->AddRef(), 3u);
  EXPECT_EQ(sink->Release(), 2u);
  EXPECT_EQ(sink->Release(), 1u);
  com::Ref<EventPrinter> second = sink;
  EXPECT_EQ(sink->AddRef(), 3u);
  EXPECT_EQ(sink->Release(), 2u);
}

}  // namespace
}  // namespace vz::qx
