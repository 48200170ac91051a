// Self-registration: the keys written for the type library and both
// classes, the two failure codes, unregistration, the class objects, and
// the built QX30W32.so registered and created through the registry.
#include <gtest/gtest.h>

#include <filesystem>

#include "control/automation/module.h"
#include "control/automation/registration.h"
#include "platform/com/server.h"
#include "platform/folders.h"
#include "platform/registry.h"
#include "tests/automation/automation_test_util.h"

namespace vz::test {
namespace {

using control::CLSID_QX;
using control::CLSID_QXPropPage;

std::optional<std::string> hkcr(const std::string& key, const std::string& name = "") {
  return reg::getString(RegRoot::ClassesRoot, key, name);
}

const std::string kQxKey = "CLSID\\" + com::toString(CLSID_QX);
const std::string kPageKey = "CLSID\\" + com::toString(CLSID_QXPropPage);
const std::string kLibKey = "TypeLib\\" + com::toString(control::LIBID_QX30W32Lib) + "\\3.0";

class RegistrationTest : public ControlTest {
 protected:
  void TearDown() override {
    control::setRegistrarForTesting(nullptr);
    ControlTest::TearDown();
  }
};

TEST_F(RegistrationTest, RegistersTypeLibraryAndBothClasses) {
  const std::string lib = "/opt/vz/QX30W32.so";
  ASSERT_EQ(control::registerServer(lib), com::S_OK);
  EXPECT_EQ(hkcr(kLibKey), "QX30W32Lib");
  EXPECT_EQ(hkcr(kLibKey + "\\0\\linux"), lib);
  EXPECT_EQ(hkcr("Interface\\" + com::toString(control::IID_DQX)), "_DQX");
  EXPECT_EQ(hkcr("Interface\\" + com::toString(control::DIID_DQXEvents)), "_DQXEvents");

  EXPECT_EQ(hkcr(kQxKey), "Quorrin95 Component");
  EXPECT_EQ(hkcr(kQxKey + "\\InprocServer32"), lib);
  EXPECT_EQ(hkcr(kQxKey + "\\ProgID"), "Quorrin95.CompressCtrl.1");
  EXPECT_EQ(hkcr(kQxKey + "\\MiscStatus"), std::to_string(0x20191));
  EXPECT_TRUE(reg::keyExists(RegRoot::ClassesRoot, kQxKey + "\\Insertable"));
  EXPECT_EQ(hkcr("Quorrin95.CompressCtrl.1\\CLSID"), com::toString(CLSID_QX));

  EXPECT_EQ(hkcr(kPageKey), "Quorrin Property Page");
  EXPECT_EQ(hkcr(kPageKey + "\\InprocServer32"), lib);
  EXPECT_EQ(hkcr("Quorrin95.CompressPropPage.1\\CLSID"), com::toString(CLSID_QXPropPage));

  ASSERT_EQ(control::unregisterServer(), com::S_OK);
  EXPECT_FALSE(reg::keyExists(RegRoot::ClassesRoot, kQxKey));
  EXPECT_FALSE(reg::keyExists(RegRoot::ClassesRoot, kPageKey));
  EXPECT_FALSE(reg::keyExists(RegRoot::ClassesRoot, kLibKey));
  EXPECT_FALSE(reg::keyExists(RegRoot::ClassesRoot, "Quorrin95.CompressCtrl.1"));
  // Unregistering what is not registered is no error.
  EXPECT_EQ(control::unregisterServer(), com::S_OK);
}

TEST_F(RegistrationTest, FailureCodesOfEachStep) {
  static bool failLib, failClass;
  const control::Registrar platform = control::platformRegistrar();
  static control::Registrar real;
  real = platform;
  control::Registrar faulty{
      [](const com::TypeLibDesc& l, const std::string& p) { return !failLib && real.registerTypeLib(l, p); },
      [](const com::TypeLibDesc& l) { return !failLib && real.unregisterTypeLib(l); },
      [](const com::CoClassDesc& c, const com::TypeLibDesc& l, const std::string& p) {
        return !failClass && real.registerClass(c, l, p);
      },
      [](const com::CoClassDesc& c) { return !failClass && real.unregisterClass(c); },
  };
  control::setRegistrarForTesting(&faulty);

  failLib = true, failClass = false;
  EXPECT_EQ(control::registerServer("/x/QX30W32.so"), com::hr(0x80040200));
  EXPECT_FALSE(reg::keyExists(RegRoot::ClassesRoot, kQxKey));  // classes not attempted
  EXPECT_EQ(control::unregisterServer(), com::hr(0x80040200));
  failLib = false, failClass = true;
  EXPECT_EQ(control::registerServer("/x/QX30W32.so"), com::hr(0x80040201));
  EXPECT_EQ(control::unregisterServer(), com::hr(0x80040201));
  failLib = false, failClass = false;
  EXPECT_EQ(control::registerServer("/x/QX30W32.so"), com::S_OK);
  EXPECT_EQ(control::unregisterServer(), com::S_OK);
  // A library that cannot name itself registers nothing.
  EXPECT_EQ(control::registerServer(""), com::hr(0x80040200));
}

TEST_F(RegistrationTest, UnwritableRegistryFailsWithTheTypeLibraryCode) {
  // The registry's folder is taken by a plain file, so no root file can be
  // written (this holds for every user, root included).
  const std::string folder = windowsFolder() + "/registry";
  std::filesystem::remove_all(folder);
  writeFile(folder, "not a folder");
  EXPECT_EQ(control::registerServer("/x/QX30W32.so"), com::hr(0x80040200));
}

TEST_F(RegistrationTest, ClassObjectsAndUnloading) {
  com::Ref<com::IClassFactory> factory;
  ASSERT_EQ(control::getClassObject(&CLSID_QX, &com::IID_IClassFactory, reinterpret_cast<void**>(factory.put())),
            com::S_OK);
  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(control::getClassObject(&CLSID_QXPropPage, &com::IID_IClassFactory, &none), com::CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(control::getClassObject(&CLSID_QX, &com::IID_IDispatch, &none), com::E_NOINTERFACE);

  const bool idleBefore = control::moduleCounter().idle();
  com::Ref<com::IDispatch> obj;
  ASSERT_EQ(factory->CreateInstance(nullptr, com::IID_IDispatch, reinterpret_cast<void**>(obj.put())), com::S_OK);
  EXPECT_EQ(call(obj.get(), "GetUnzipBufferSize").value, S(24576));
  EXPECT_EQ(control::canUnloadNow(), com::S_FALSE);
  obj.reset();
  factory.reset();
  if (idleBefore) {
    EXPECT_EQ(control::canUnloadNow(), com::S_OK);
  }
}

TEST_F(RegistrationTest, BuiltLibraryRegistersAndCreatesTheControl) {
  const std::string lib = binDir() + "/QX30W32.so";
  if (!std::filesystem::exists(lib)) GTEST_SKIP() << "QX30W32.so is not built";
  std::string error;
  ASSERT_EQ(com::callRegistrationEntry(lib, false, &error), com::S_OK) << error;
  const std::string registered = com::serverPathOf(CLSID_QX);
  EXPECT_EQ(std::filesystem::canonical(registered), std::filesystem::canonical(lib));

  com::Ref<com::IDispatch> ctl;
  ASSERT_EQ(
      com::createInstanceByProgId("Quorrin95.CompressCtrl.1", com::IID_IDispatch, reinterpret_cast<void**>(ctl.put())),
      com::S_OK);
  EXPECT_EQ(call(ctl.get(), "GetZipBufferSize").value, S(32767));
  const com::InterfaceDesc* info = nullptr;
  ASSERT_EQ(ctl->GetTypeInfo(&info), com::S_OK);
  EXPECT_STREQ(info->name, "_DQX");
  EXPECT_EQ(info->members.size(), 73u);
  // Events reach a sink advised on the library's control.
  auto sink = RecordingSink::make();
  advise(ctl.get(), sink.get());
  const CallResult hwnd = call(ctl.get(), "hWnd", {}, com::InvokeKind::PropertyGet);
  sendMessage(hwnd.value.longValue(), WM_USER + 0x26, 0, reinterpret_cast<LParam>("A.TXT"));
  ASSERT_EQ(sink->events.size(), 1u);
  EXPECT_EQ(sink->events[0].args[0], T("A.TXT"));
  ctl.reset();

  ASSERT_EQ(com::callRegistrationEntry(lib, true, &error), com::S_OK) << error;
  EXPECT_EQ(com::serverPathOf(CLSID_QX), "");
  com::Ref<com::IDispatch> gone;
  EXPECT_TRUE(com::failed(com::createInstanceByProgId("Quorrin95.CompressCtrl.1", com::IID_IDispatch,
                                                      reinterpret_cast<void**>(gone.put()))));
}

}  // namespace
}  // namespace vz::test
