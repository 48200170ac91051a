// Event sinks and connection points: order, reference counting, and
// sinks that advise or unadvise while an event is being fired.
#include "platform/com/connection.h"

#include <gtest/gtest.h>

#include <functional>

using namespace vz::com;

namespace {

// A sink that records its calls and can run an action inside one. Lives on
// the stack; the reference count is only observed, never deletes.
class Sink final : public IDispatch {
 public:
  explicit Sink(std::string name, std::vector<std::string>* log) : name_(std::move(name)), log_(log) {}
  ~Sink() = default;
  HRESULT QueryInterface(const Guid& iid, void** out) override {
    if (iid != IID_IUnknown && iid != IID_IDispatch) return *out = nullptr, E_NOINTERFACE;
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  uint32_t AddRef() override { return ++refs; }
  uint32_t Release() override { return --refs; }
  HRESULT GetTypeInfo(const InterfaceDesc**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(const std::vector<std::string>&, std::vector<DispId>&) override { return E_NOTIMPL; }
  HRESULT Invoke(DispId id, InvokeKind, const std::vector<Variant>& args, Variant*, unsigned*) override {
    log_->push_back(name_ + ":" + std::to_string(id) + (args.empty() ? "" : ":" + formatForDisplay(args[0])));
    if (action) {
      auto run = action;  // the action may replace itself
      run();
    }
    return E_FAIL;  // a failing sink must not stop the others
  }
  uint32_t refs = 1;             // the stack owner's reference
  std::function<void()> action;  // runs inside Invoke

 private:
  std::string name_;
  std::vector<std::string>* log_;
};

// An object that is only IUnknown, for refused advises and as a container.
class Plain final : public IUnknown {
 public:
  ~Plain() = default;
  HRESULT QueryInterface(const Guid& iid, void** out) override {
    if (iid != IID_IUnknown) return *out = nullptr, E_NOINTERFACE;
    *out = this;
    AddRef();
    return S_OK;
  }
  uint32_t AddRef() override { return ++refs; }
  uint32_t Release() override { return --refs; }
  uint32_t refs = 1;  // the stack owner's reference
};

using Log = std::vector<std::string>;

}  // namespace

TEST(EventSinks, FiresInAdviseOrderAndHoldsReferences) {
  Log log;
  Sink a("a", &log), b("b", &log);
  EventSinks sinks;
  uint32_t ca = sinks.add(&a), cb = sinks.add(&b);
  EXPECT_NE(ca, 0u);
  EXPECT_NE(ca, cb);
  EXPECT_EQ(sinks.add(nullptr), 0u);
  EXPECT_EQ(a.refs, 2u);
  sinks.fire(3, {Variant::fromText("x.zip")});
  EXPECT_EQ(log, (Log{"a:3:x.zip", "b:3:x.zip"}));
  EXPECT_TRUE(sinks.remove(ca));
  EXPECT_FALSE(sinks.remove(ca));
  EXPECT_FALSE(sinks.remove(0));
  EXPECT_EQ(a.refs, 1u);
  sinks.clear();
  EXPECT_EQ(b.refs, 1u);
  EXPECT_EQ(sinks.count(), 0u);
}

TEST(EventSinks, SinkAddedDuringFireIsCalledFromTheNextFire) {
  Log log;
  Sink a("a", &log), b("b", &log), late("late", &log);
  EventSinks sinks;
  sinks.add(&a);
  sinks.add(&b);
  // Enough additions to force the list to grow while it is being fired.
  a.action = [&] {
    for (int i = 0; i < 3; ++i) sinks.add(&late);
    a.action = nullptr;
  };
  sinks.fire(1, {});
  EXPECT_EQ(log, (Log{"a:1", "b:1"}));
  log.clear();
  sinks.fire(2, {});
  EXPECT_EQ(log, (Log{"a:2", "b:2", "late:2", "late:2", "late:2"}));
  sinks.clear();
  EXPECT_EQ(late.refs, 1u);
}

TEST(EventSinks, SinkRemovedDuringFireIsNotCalledAfterwards) {
  Log log;
  Sink a("a", &log), b("b", &log), c("c", &log);
  EventSinks sinks;
  uint32_t ca = sinks.add(&a);
  sinks.add(&b);
  uint32_t cc = sinks.add(&c);
  // b removes itself and the sink after it; a nested fire runs meanwhile.
  b.action = [&] {
    b.action = nullptr;
    sinks.remove(ca);
    sinks.remove(cc);
    sinks.fire(9, {});
  };
  sinks.fire(1, {});
  EXPECT_EQ(log, (Log{"a:1", "b:1", "b:9"}));
  EXPECT_EQ(a.refs, 1u);
  EXPECT_EQ(c.refs, 1u);
  EXPECT_EQ(sinks.count(), 1u);
}

TEST(ConnectionPoint, AdvisesDispatchSinksOnlyAndKeepsItsContainer) {
  Log log;
  Plain container, notDispatch;
  Sink sink("s", &log);
  EventSinks sinks;
  const Guid events = makeGuid(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11);
  auto* cp = new ConnectionPoint(&container, events, &sinks);
  EXPECT_EQ(container.refs, 2u);
  Guid iid;
  EXPECT_EQ(cp->GetConnectionInterface(&iid), S_OK);
  EXPECT_EQ(iid, events);
  uint32_t cookie = 77;
  EXPECT_EQ(cp->Advise(&notDispatch, &cookie), CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(cookie, 0u);
  EXPECT_EQ(cp->Advise(nullptr, &cookie), CONNECT_E_CANNOTCONNECT);
  ASSERT_EQ(cp->Advise(&sink, &cookie), S_OK);
  sinks.fire(4, {Variant::fromShort(50)});
  EXPECT_EQ(log, (Log{"s:4:50"}));
  EXPECT_EQ(cp->Unadvise(cookie + 1), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(cp->Unadvise(cookie), S_OK);
  EXPECT_EQ(sink.refs, 1u);
  void* other = nullptr;
  EXPECT_EQ(cp->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
  EXPECT_EQ(cp->Release(), 0u);
  EXPECT_EQ(container.refs, 1u);
}
