// Helpers of the control's tests: a control made directly from vz_control,
// calls by name, a sink that records the events it receives, and a small
// archive made with the zip program.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control/automation/control.h"
#include "control/automation/settings.h"
#include "control/typelib/qx_typelib.h"
#include "platform/com/connection.h"
#include "platform/ui.h"
#include "platform/window.h"
#include "tests/support/test_env.h"

namespace vz::test {

// The out-parameter slot of a Ref, typed for calls that take T**.
template <class T>
T** outPtr(com::Ref<T>& r) {
  return reinterpret_cast<T**>(r.put());
}

// A new control with one reference.
inline com::Ref<control::CZCtrl> newControl() { return com::Ref<control::CZCtrl>::adopt(control::CZCtrl::create()); }

struct CallResult {
  com::HRESULT hr = com::S_OK;
  com::Variant value;
  unsigned argError = ~0u;
};

// Calls a member of _DQX by name.
inline CallResult call(com::IDispatch* d, const std::string& name, std::vector<com::Variant> args = {},
                       com::InvokeKind kind = com::InvokeKind::Method) {
  CallResult r;
  std::vector<com::DispId> ids;
  r.hr = d->GetIDsOfNames({name}, ids);
  if (com::failed(r.hr)) return r;
  r.hr = d->Invoke(ids.at(0), kind, args, &r.value, &r.argError);
  return r;
}

inline com::Variant T(std::string s) { return com::Variant::fromText(std::move(s)); }
inline com::Variant B(bool b) { return com::Variant::fromBool(b); }
inline com::Variant S(int16_t v) { return com::Variant::fromShort(v); }
inline com::Variant L(int32_t v) { return com::Variant::fromLong(v); }

// An event sink that records every event; onEvent runs inside each one.
class RecordingSink final : public com::IDispatch {
 public:
  struct Event {
    com::DispId id;
    std::vector<com::Variant> args;
  };
  static com::Ref<RecordingSink> make() { return com::Ref<RecordingSink>::adopt(new RecordingSink); }

  com::HRESULT QueryInterface(const com::Guid& iid, void** out) override {
    *out = nullptr;
    if (iid != com::IID_IUnknown && iid != com::IID_IDispatch && iid != control::DIID_DQXEvents)
      return com::E_NOINTERFACE;
    *out = static_cast<com::IDispatch*>(this);
    AddRef();
    return com::S_OK;
  }
  uint32_t AddRef() override { return ++refs_; }
  uint32_t Release() override {
    const uint32_t left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  com::HRESULT GetTypeInfo(const com::InterfaceDesc** out) override {
    *out = &control::kDQXEvents;
    return com::S_OK;
  }
  com::HRESULT GetIDsOfNames(const std::vector<std::string>&, std::vector<com::DispId>&) override {
    return com::E_NOTIMPL;
  }
  com::HRESULT Invoke(com::DispId id, com::InvokeKind, const std::vector<com::Variant>& args, com::Variant*,
                      unsigned*) override {
    events.push_back({id, args});
    if (onEvent) onEvent(events.back());
    return com::S_OK;
  }

  std::vector<Event> events;
  std::function<void(const Event&)> onEvent;

 private:
  RecordingSink() = default;
  ~RecordingSink() = default;
  std::atomic<uint32_t> refs_{1};
};

// Advises sink on the control's connection point; returns the cookie.
inline uint32_t advise(com::IDispatch* control, com::IDispatch* sink) {
  com::Ref<com::IConnectionPointContainer> cpc;
  EXPECT_EQ(control->QueryInterface(com::IID_IConnectionPointContainer, cpc.put()), com::S_OK);
  com::Ref<com::IConnectionPoint> cp;
  EXPECT_EQ(cpc->FindConnectionPoint(control::DIID_DQXEvents, outPtr(cp)), com::S_OK);
  uint32_t cookie = 0;
  EXPECT_EQ(cp->Advise(sink, &cookie), com::S_OK);
  return cookie;
}

// Every test runs under its own root with a scripted user interface, the
// settings of a freshly loaded library, and no message pump.
class ControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    control::resetSettings();
    control::setConstructionFaultsForTesting({});
    ui_ = std::make_shared<ui::ScriptedBackend>();
    previousUi_ = ui::setBackend(ui_);
    setMessagePump({});
  }
  void TearDown() override {
    setMessagePump({});
    ui::setBackend(previousUi_);
    control::setConstructionFaultsForTesting({});
    control::resetSettings();
  }

  // A small archive made with zip: A.TXT (100 bytes, entry comment "first
  // file") and SUB/B.TXT (1,500 bytes), archive comment "hello archive".
  // Empty (and the test skipped by the caller) when zip is missing.
  std::string makeSmallZip() {
    if (!haveProgram("zip")) return {};
    writeFile(dir_.file("A.TXT"), std::string(100, 'a'));
    std::filesystem::create_directories(dir_.file("SUB"));
    writeFile(dir_.file("SUB/B.TXT"), std::string(1500, 'b'));
    const std::string zip = dir_.file("small.zip");
    if (run({"zip", "-q", "-X", zip, "A.TXT", "SUB/B.TXT"}, nullptr, nullptr, dir_.path()) != 0) return {};
    // zip reads the archive comment and each entry comment from its input.
    if (run({"sh", "-c", "printf 'hello archive\\n' | zip -q -z small.zip"}, nullptr, nullptr, dir_.path()) != 0)
      return {};
    if (run({"sh", "-c", "printf 'first file\\n' | zip -q -c small.zip A.TXT"}, nullptr, nullptr, dir_.path()) != 0)
      return {};
    return zip;
  }

  ScopedRoot root_;
  ScratchDir dir_{"vzctl"};
  std::shared_ptr<ui::ScriptedBackend> ui_;
  std::shared_ptr<ui::Backend> previousUi_;
};

// A control with a recording event sink attached, made afresh for every
// test of the method suites.
class ControlWithEvents : public ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    ctl = newControl();
    sink = RecordingSink::make();
    advise(ctl.get(), sink.get());
  }
  void TearDown() override {
    sink.reset();
    ctl.reset();
    ControlTest::TearDown();
  }

  com::Ref<control::CZCtrl> ctl;
  com::Ref<RecordingSink> sink;
};

}  // namespace vz::test
