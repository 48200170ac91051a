// Registration in the registry, class factories, and the whole path of an
// in-process server: register, create by ProgID, call through IDispatch,
// receive an event, unregister, fail to create.
#include "platform/com/server.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <climits>
#include <functional>

#include "platform/com/connection.h"
#include "tests/com/registry_dump.h"
#include "tests/support/test_env.h"

using namespace vz::com;
using Lines = std::set<std::string>;

namespace {

const std::string kServer = VZ_TEST_SERVER;
const char* kLibText = "{5E1A0C10-7A2B-4C3D-9E4F-0A1B2C3D4E50}";
const char* kIidText = "{5E1A0C11-7A2B-4C3D-9E4F-0A1B2C3D4E50}";
const char* kEventText = "{5E1A0C12-7A2B-4C3D-9E4F-0A1B2C3D4E50}";
const char* kClsidText = "{5E1A0C13-7A2B-4C3D-9E4F-0A1B2C3D4E50}";
const char* kDispatchProxy = "{00020420-0000-0000-C000-000000000046}";

std::string realPath(const std::string& p) {
  char buf[PATH_MAX];
  return realpath(p.c_str(), buf) ? buf : p;
}

// Every line the test server's registration writes, for its library path.
Lines serverLines(const std::string& path) {
  const std::string c = std::string("CLSID\\") + kClsidText, t = std::string("TypeLib\\") + kLibText + "\\1.2";
  const std::string i = std::string("Interface\\") + kIidText, e = std::string("Interface\\") + kEventText;
  return {c + "|=VzTest Adder",
          c + "\\InprocServer32|=" + path,
          c + "\\InprocServer32|ThreadingModel=Apartment",
          c + "\\ProgID|=VzTest.Adder.1",
          c + "\\TypeLib|=" + kLibText,
          c + "\\Version|=1.2",
          c + "\\MiscStatus|=131473",
          c + "\\Insertable|",
          c + "\\Control|",
          "VzTest.Adder.1|=VzTest Adder",
          std::string("VzTest.Adder.1\\CLSID|=") + kClsidText,
          "VzTest.Adder.1\\Insertable|",
          t + "|=VzTestServerLib",
          t + "\\0\\linux|=" + path,
          t + "\\FLAGS|=2",
          i + "|=_DAdder",
          i + "\\ProxyStubClsid32|=" + kDispatchProxy,
          i + "\\TypeLib|=" + kLibText,
          e + "|=_DAdderEvents",
          e + "\\ProxyStubClsid32|=" + kDispatchProxy,
          e + "\\TypeLib|=" + kLibText};
}

// A class described in the test: no ProgID's extras, not insertable.
const Guid kPlainClsid = makeGuid(0x11111111, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10);
const Guid kOtherClsid = makeGuid(0x22222222, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10);
const InterfaceDesc kPlainIface{"_DPlain", makeGuid(0x33333333, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10), false, {}};
const CoClassDesc kPlain{"Plain", kPlainClsid, "Vz.Shared.1", "Plain class", &kPlainIface, nullptr, 0, false, nullptr};
const CoClassDesc kOther{"Other", kOtherClsid, "Vz.Shared.1", "Other class", &kPlainIface, nullptr, 0, false, nullptr};
const InterfaceDesc* const kPlainIfaces[] = {&kPlainIface};
const TypeLibDesc kPlainLib{"PlainLib", makeGuid(0x44444444, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10), 3, 0, kPlainIfaces, {}};

// Records events; lives on the stack.
class Sink final : public IDispatch {
 public:
  ~Sink() = default;
  HRESULT QueryInterface(const Guid& iid, void** out) override {
    if (iid != IID_IUnknown && iid != IID_IDispatch) return *out = nullptr, E_NOINTERFACE;
    *out = static_cast<IDispatch*>(this);
    return S_OK;
  }
  uint32_t AddRef() override { return 2; }
  uint32_t Release() override { return 1; }
  HRESULT GetTypeInfo(const InterfaceDesc**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(const std::vector<std::string>&, std::vector<DispId>&) override { return E_NOTIMPL; }
  HRESULT Invoke(DispId id, InvokeKind, const std::vector<Variant>& args, Variant*, unsigned*) override {
    events.push_back(std::to_string(id) + ":" + (args.empty() ? "" : formatForDisplay(args[0])));
    return S_OK;
  }
  std::vector<std::string> events;  // "dispid:first argument"
};

HRESULT canUnloadNow() {
  void* h = dlopen(kServer.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (!h) return E_UNEXPECTED;
  auto fn = reinterpret_cast<DllCanUnloadNowFn>(dlsym(h, "DllCanUnloadNow"));
  HRESULT r = fn ? fn() : E_UNEXPECTED;
  dlclose(h);
  return r;
}

class Server : public ::testing::Test {
 protected:
  vz::test::ScopedRoot root_;
};

}  // namespace

TEST_F(Server, RegistrationWritesOnlyTheWrittenDownEntries) {
  ASSERT_TRUE(registerTypeLib(kPlainLib, "/opt/x/plain.so"));
  ASSERT_TRUE(registerClass(kPlain, kPlainLib, "/opt/x/plain.so"));
  const std::string c = "CLSID\\" + toString(kPlainClsid), l = "TypeLib\\" + toString(kPlainLib.guid);
  const std::string i = "Interface\\" + toString(kPlainIface.iid);
  EXPECT_EQ(vz::test::dumpClassesRoot(),
            (Lines{c + "|=Plain class", c + "\\InprocServer32|=/opt/x/plain.so",
                   c + "\\InprocServer32|ThreadingModel=Apartment", c + "\\ProgID|=Vz.Shared.1",
                   c + "\\TypeLib|=" + toString(kPlainLib.guid), c + "\\Version|=3.0", "Vz.Shared.1|=Plain class",
                   "Vz.Shared.1\\CLSID|=" + toString(kPlainClsid), l + "\\3.0|=PlainLib",
                   l + "\\3.0\\0\\linux|=/opt/x/plain.so", l + "\\3.0\\FLAGS|=2", i + "|=_DPlain",
                   i + "\\ProxyStubClsid32|=" + kDispatchProxy, i + "\\TypeLib|=" + toString(kPlainLib.guid)}));
  Guid g;
  EXPECT_EQ(clsidFromProgId("vz.shared.1", &g), S_OK);
  EXPECT_EQ(g, kPlainClsid);
  EXPECT_EQ(serverPathOf(kPlainClsid), "/opt/x/plain.so");

  EXPECT_TRUE(unregisterClass(kPlain));
  EXPECT_TRUE(unregisterTypeLib(kPlainLib));
  EXPECT_EQ(vz::test::dumpClassesRoot(), Lines{});
}

TEST_F(Server, UnregistrationLeavesOthersEntriesAlone) {
  ASSERT_TRUE(registerClass(kPlain, kPlainLib, "/opt/x/plain.so"));
  const std::string c = "CLSID\\" + toString(kPlainClsid);
  ASSERT_TRUE(vz::reg::setString(vz::RegRoot::ClassesRoot, "Vz.Shared.1\\shell\\open", "", "viewer"));
  ASSERT_TRUE(vz::reg::setString(vz::RegRoot::ClassesRoot, c + "\\InprocServer32", "Extra", "kept"));
  EXPECT_TRUE(unregisterClass(kPlain));
  EXPECT_EQ(vz::test::dumpClassesRoot(),
            (Lines{"Vz.Shared.1\\shell\\open|=viewer", c + "\\InprocServer32|Extra=kept"}));
}

TEST_F(Server, ProgIdTakenOverByAnotherClassSurvivesUnregistration) {
  ASSERT_TRUE(registerClass(kPlain, kPlainLib, "/opt/x/plain.so"));
  ASSERT_TRUE(registerClass(kOther, kPlainLib, "/opt/x/other.so"));
  EXPECT_TRUE(unregisterClass(kPlain));
  Guid g;
  ASSERT_EQ(clsidFromProgId("Vz.Shared.1", &g), S_OK);
  EXPECT_EQ(g, kOtherClsid);
  EXPECT_EQ(serverPathOf(kPlainClsid), "");
  EXPECT_EQ(serverPathOf(kOtherClsid), "/opt/x/other.so");
}

TEST_F(Server, LookupFailuresHaveTheirCodes) {
  Guid g;
  EXPECT_EQ(clsidFromProgId("No.Such.1", &g), CO_E_CLASSSTRING);
  EXPECT_EQ(clsidFromProgId("", &g), CO_E_CLASSSTRING);
  ASSERT_TRUE(vz::reg::setString(vz::RegRoot::ClassesRoot, "Bad.1\\CLSID", "", "{not a guid}"));
  EXPECT_EQ(clsidFromProgId("Bad.1", &g), CO_E_CLASSSTRING);
  EXPECT_EQ(clsidFromProgId("Bad.1\\CLSID", &g), CO_E_CLASSSTRING);  // a path is not a ProgID

  void* out = &g;
  EXPECT_EQ(createInstance(kPlainClsid, IID_IUnknown, &out), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(out, nullptr);
  ASSERT_TRUE(registerClass(kPlain, kPlainLib, root_.path() + "/missing.so"));
  EXPECT_EQ(createInstanceByProgId("Vz.Shared.1", IID_IUnknown, &out), CO_E_DLLNOTFOUND);
  ASSERT_TRUE(registerClass(kPlain, kPlainLib, vz::test::binDir() + "/libvzplatform.so"));
  EXPECT_EQ(createInstance(kPlainClsid, IID_IUnknown, &out), CO_E_ERRORINDLL);
  EXPECT_EQ(createInstanceFromLibrary(kServer, kPlainClsid, IID_IUnknown, &out), CLASS_E_CLASSNOTAVAILABLE);

  std::string err;
  EXPECT_EQ(callRegistrationEntry(root_.path() + "/missing.so", false, &err), CO_E_DLLNOTFOUND);
  EXPECT_FALSE(err.empty());
  EXPECT_EQ(callRegistrationEntry(vz::test::binDir() + "/libvzplatform.so", true, &err), CO_E_ERRORINDLL);
  EXPECT_NE(err.find("DllUnregisterServer"), std::string::npos);

  EXPECT_EQ(libraryPathOf(nullptr), "");
  const std::string self = libraryPathOf(reinterpret_cast<const void*>(&parseGuid));
  EXPECT_EQ(self.substr(self.rfind('/') + 1), "libvzplatform.so");
}

TEST_F(Server, EndToEndThroughTheTestServer) {
  std::string err;
  ASSERT_EQ(callRegistrationEntry(kServer, false, &err), S_OK) << err;
  EXPECT_EQ(err, "");
  EXPECT_EQ(vz::test::dumpClassesRoot(), serverLines(realPath(kServer)));

  Ref<IDispatch> obj;
  ASSERT_EQ(createInstanceByProgId("VzTest.Adder.1", IID_IDispatch, obj.put()), S_OK);
  ASSERT_TRUE(obj);
  EXPECT_EQ(canUnloadNow(), S_FALSE);

  std::vector<DispId> ids;
  ASSERT_EQ(obj->GetIDsOfNames({"ADD"}, ids), S_OK);
  Variant result;
  unsigned argError = 0;
  ASSERT_EQ(
      obj->Invoke(ids[0], InvokeKind::Method, {Variant::fromLong(2), Variant::fromText("40")}, &result, &argError),
      S_OK);
  EXPECT_EQ(result, Variant::fromLong(42));
  EXPECT_EQ(obj->Invoke(ids[0], InvokeKind::Method, {Variant::fromLong(2), Variant::fromText("x")}, &result, &argError),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argError, 1u);
  ASSERT_EQ(obj->GetIDsOfNames({"greet"}, ids), S_OK);
  ASSERT_EQ(obj->Invoke(ids[0], InvokeKind::Method, {Variant::fromText("you")}, &result, nullptr), S_OK);
  EXPECT_EQ(result, Variant::fromText("Hello, you"));

  // Events reach an advised sink, and stop after Unadvise.
  Ref<IConnectionPointContainer> container;
  ASSERT_EQ(obj->QueryInterface(IID_IConnectionPointContainer, container.put()), S_OK);
  IConnectionPoint* raw = nullptr;
  EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, &raw), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(raw, nullptr);
  ASSERT_EQ(container->FindConnectionPoint(*parseGuid(kEventText), &raw), S_OK);
  auto cp = Ref<IConnectionPoint>::adopt(raw);
  Sink sink;
  uint32_t cookie = 0;
  ASSERT_EQ(cp->Advise(&sink, &cookie), S_OK);
  ASSERT_EQ(obj->GetIDsOfNames({"Ping"}, ids), S_OK);
  EXPECT_EQ(obj->Invoke(ids[0], InvokeKind::Method, {Variant::fromText("hi")}, nullptr, nullptr), S_OK);
  EXPECT_EQ(cp->Unadvise(cookie), S_OK);
  EXPECT_EQ(obj->Invoke(ids[0], InvokeKind::Method, {Variant::fromText("again")}, nullptr, nullptr), S_OK);
  EXPECT_EQ(sink.events, std::vector<std::string>{"1:hi"});
  ASSERT_EQ(obj->GetIDsOfNames({"Pings"}, ids), S_OK);
  EXPECT_EQ(obj->Invoke(ids[0], InvokeKind::PropertyGet, {}, &result, nullptr), S_OK);
  EXPECT_EQ(result, Variant::fromLong(2));
  EXPECT_EQ(obj->Invoke(ids[0], InvokeKind::PropertyPut, {Variant::fromLong(0)}, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);

  cp.reset();
  container.reset();
  obj.reset();
  EXPECT_EQ(canUnloadNow(), S_OK);

  ASSERT_EQ(callRegistrationEntry(kServer, true, &err), S_OK) << err;
  EXPECT_EQ(vz::test::dumpClassesRoot(), Lines{});
  EXPECT_EQ(createInstance(*parseGuid(kClsidText), IID_IDispatch, obj.put()), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(createInstanceByProgId("VzTest.Adder.1", IID_IDispatch, obj.put()), CO_E_CLASSSTRING);
  EXPECT_EQ(canUnloadNow(), S_OK);
}

TEST_F(Server, RegistrationFailuresReturnTheirCodes) {
  setenv("VZ_TEST_SERVER_FAIL", "typelib", 1);
  EXPECT_EQ(callRegistrationEntry(kServer, false, nullptr), SELFREG_E_TYPELIB);
  EXPECT_EQ(vz::test::dumpClassesRoot(), Lines{});
  setenv("VZ_TEST_SERVER_FAIL", "class", 1);
  EXPECT_EQ(callRegistrationEntry(kServer, false, nullptr), SELFREG_E_CLASS);
  unsetenv("VZ_TEST_SERVER_FAIL");
  EXPECT_FALSE(vz::reg::keyExists(vz::RegRoot::ClassesRoot, std::string("CLSID\\") + kClsidText));
  EXPECT_EQ(callRegistrationEntry(kServer, true, nullptr), S_OK);
  EXPECT_EQ(vz::test::dumpClassesRoot(), Lines{});
}

TEST(ClassFactory, CreatesObjectsAndCountsLocks) {
  struct Obj final : IUnknown {
    explicit Obj(int* alive) : alive_(alive) { ++*alive_; }
    HRESULT QueryInterface(const Guid& iid, void** out) override {
      if (iid != IID_IUnknown) return *out = nullptr, E_NOINTERFACE;
      *out = this;
      AddRef();
      return S_OK;
    }
    uint32_t AddRef() override { return ++refs; }
    uint32_t Release() override {
      uint32_t n = --refs;
      if (n == 0) delete this;
      return n;
    }
    ~Obj() { --*alive_; }
    uint32_t refs = 1;
    int* alive_;
  };
  int alive = 0;
  bool fail = false;
  ModuleCounter module;
  auto* f = new SimpleClassFactory([&]() -> IUnknown* { return fail ? nullptr : new Obj(&alive); }, &module);
  void* out = &alive;
  EXPECT_EQ(f->CreateInstance(static_cast<IUnknown*>(f), IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(f->CreateInstance(nullptr, IID_IDispatch, &out), E_NOINTERFACE);
  EXPECT_EQ(alive, 0) << "an object that does not answer the interface is destroyed";
  ASSERT_EQ(f->CreateInstance(nullptr, IID_IUnknown, &out), S_OK);
  EXPECT_EQ(alive, 1);
  static_cast<IUnknown*>(out)->Release();
  EXPECT_EQ(alive, 0);
  fail = true;
  EXPECT_EQ(f->CreateInstance(nullptr, IID_IUnknown, &out), E_OUTOFMEMORY);

  EXPECT_EQ(f->LockServer(false), E_UNEXPECTED);
  EXPECT_TRUE(module.idle());
  EXPECT_EQ(f->LockServer(true), S_OK);
  EXPECT_FALSE(module.idle());
  EXPECT_EQ(f->LockServer(false), S_OK);
  EXPECT_TRUE(module.idle());
  EXPECT_EQ(f->QueryInterface(IID_IDispatch, &out), E_NOINTERFACE);
  EXPECT_EQ(f->Release(), 0u);
}
