// A small in-process server for the object-model tests: one class "Adder"
// (ProgID "VzTest.Adder.1") with a dispatch interface and one event.
//
//   Add(long a, long b) -> long        DISPID 1
//   Greet(BSTR name) -> BSTR           DISPID 2, "Hello, <name>"
//   Ping(BSTR text)                    DISPID 3, fires Pinged(text) to every sink
//   Pings -> long (read-only property) DISPID 4, how often Ping ran
//   event Pinged(BSTR text)            DISPID 1 of the event interface
//
// The environment variable VZ_TEST_SERVER_FAIL makes DllRegisterServer fail
// on purpose: "typelib" before anything is written, "class" after the type
// library was registered (so the tests see both failure codes).
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "platform/com/classfactory.h"
#include "platform/com/connection.h"
#include "platform/com/server.h"

using namespace vz::com;

namespace {

ModuleCounter g_module;  // live Adder objects and server locks

constexpr Guid kLibId = makeGuid(0x5E1A0C10, 0x7A2B, 0x4C3D, 0x9E, 0x4F, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x50);
constexpr Guid kIid = makeGuid(0x5E1A0C11, 0x7A2B, 0x4C3D, 0x9E, 0x4F, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x50);
constexpr Guid kEventIid = makeGuid(0x5E1A0C12, 0x7A2B, 0x4C3D, 0x9E, 0x4F, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x50);
constexpr Guid kClsid = makeGuid(0x5E1A0C13, 0x7A2B, 0x4C3D, 0x9E, 0x4F, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x50);

constexpr DispId kAdd = 1, kGreet = 2, kPing = 3, kPings = 4, kPinged = 1;

constexpr ParamDesc kAddParams[] = {{"a", VarType::I4}, {"b", VarType::I4}};
constexpr ParamDesc kGreetParams[] = {{"name", VarType::BStr}};
constexpr ParamDesc kPingParams[] = {{"text", VarType::BStr}};
constexpr FuncDesc kMembers[] = {
    {kAdd, "Add", VarType::I4, kAddParams},
    {kGreet, "Greet", VarType::BStr, kGreetParams},
    {kPing, "Ping", VarType::Empty, kPingParams},
    {kPings, "Pings", VarType::I4, {}, MemberKind::PropertyReadOnly},
};
constexpr FuncDesc kEvents[] = {{kPinged, "Pinged", VarType::Empty, kPingParams}};

const InterfaceDesc kInterface{"_DAdder", kIid, false, kMembers};
const InterfaceDesc kEventInterface{"_DAdderEvents", kEventIid, true, kEvents};
const CoClassDesc kClass{"Adder", kClsid, "VzTest.Adder.1", "VzTest Adder", &kInterface, &kEventInterface,
                         0x20191, true,   nullptr};
const InterfaceDesc* const kInterfaces[] = {&kInterface, &kEventInterface};
const CoClassDesc* const kClasses[] = {&kClass};
const TypeLibDesc kLib{"VzTestServerLib", kLibId, 1, 2, kInterfaces, kClasses};

class Adder final : public IDispatch, public IConnectionPointContainer {
 public:
  Adder() { g_module.lock(); }

  HRESULT QueryInterface(const Guid& iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kIid)
      *out = static_cast<IDispatch*>(this);
    else if (iid == IID_IConnectionPointContainer)
      *out = static_cast<IConnectionPointContainer*>(this);
    else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  uint32_t AddRef() override { return ++refs_; }
  uint32_t Release() override {
    uint32_t n = --refs_;
    if (n == 0) delete this;
    return n;
  }

  HRESULT GetTypeInfo(const InterfaceDesc** out) override {
    if (!out) return E_POINTER;
    *out = &kInterface;
    return S_OK;
  }
  HRESULT GetIDsOfNames(const std::vector<std::string>& names, std::vector<DispId>& ids) override {
    return getIDsOfNamesFromTable(kInterface, names, ids);
  }
  HRESULT Invoke(DispId id, InvokeKind kind, const std::vector<Variant>& args, Variant* result,
                 unsigned* argError) override {
    std::vector<Variant> a;
    HRESULT h = prepareInvoke(kInterface, id, kind, args, nullptr, &a, argError);
    if (failed(h)) return h;
    Variant r;
    switch (id) {
      case kAdd:
        r = Variant::fromLong(static_cast<int32_t>(static_cast<int64_t>(a[0].longValue()) + a[1].longValue()));
        break;
      case kGreet:
        r = Variant::fromText("Hello, " + a[0].text());
        break;
      case kPing: {
        ++pings_;
        Ref<IDispatch> self(this);  // a sink may release the last reference
        sinks_.fire(kPinged, {a[0]});
        break;
      }
      case kPings:
        r = Variant::fromLong(pings_);
        break;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
    if (result) *result = r;
    return S_OK;
  }

  HRESULT FindConnectionPoint(const Guid& iid, IConnectionPoint** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != kEventIid) return CONNECT_E_NOCONNECTION;
    *out = new (std::nothrow) ConnectionPoint(static_cast<IDispatch*>(this), kEventIid, &sinks_);
    return *out ? S_OK : E_OUTOFMEMORY;
  }

 private:
  ~Adder() {
    sinks_.clear();
    g_module.unlock();
  }
  std::atomic<uint32_t> refs_{1};  // references to this object
  int32_t pings_ = 0;              // calls of Ping so far
  EventSinks sinks_;               // advised event sinks
};

const void* selfAddress();

}  // namespace

#define VZ_EXPORT extern "C" __attribute__((visibility("default")))

VZ_EXPORT HRESULT DllGetClassObject(const Guid* clsid, const Guid* iid, void** out) {
  if (!clsid || !iid || !out) return E_POINTER;
  *out = nullptr;
  if (*clsid != kClsid) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new (std::nothrow)
      SimpleClassFactory([]() -> IUnknown* { return static_cast<IDispatch*>(new (std::nothrow) Adder); }, &g_module);
  if (!factory) return E_OUTOFMEMORY;
  HRESULT h = factory->QueryInterface(*iid, out);
  factory->Release();
  return h;
}

VZ_EXPORT HRESULT DllCanUnloadNow() { return g_module.idle() ? S_OK : S_FALSE; }

VZ_EXPORT HRESULT DllRegisterServer() {
  const char* fail = std::getenv("VZ_TEST_SERVER_FAIL");
  std::string path = libraryPathOf(selfAddress());
  if ((fail && std::strcmp(fail, "typelib") == 0) || !registerTypeLib(kLib, path)) return SELFREG_E_TYPELIB;
  if ((fail && std::strcmp(fail, "class") == 0) || !registerClass(kClass, kLib, path)) return SELFREG_E_CLASS;
  return S_OK;
}

VZ_EXPORT HRESULT DllUnregisterServer() {
  if (!unregisterTypeLib(kLib)) return SELFREG_E_TYPELIB;
  if (!unregisterClass(kClass)) return SELFREG_E_CLASS;
  return S_OK;
}

namespace {
const void* selfAddress() { return reinterpret_cast<const void*>(&DllRegisterServer); }
}  // namespace
