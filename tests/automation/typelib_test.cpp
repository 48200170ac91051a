// The type library tables: identities, the member counts of both
// interfaces, spot checks of DISPIDs and parameter types, and that every
// method of _DQX has a handler in the control.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "control/automation/methods.h"
#include "control/typelib/qx_typelib.h"

namespace vz::control {
namespace {

using com::VarType;

TEST(QxTypeLib, IdentitiesAndClasses) {
  EXPECT_EQ(com::toString(LIBID_QX30W32Lib), "{070BA6E0-BC0B-11CF-ABB4-444553540000}");
  EXPECT_EQ(com::toString(IID_DQX), "{070BA6E1-BC0B-11CF-ABB4-444553540000}");
  EXPECT_EQ(com::toString(DIID_DQXEvents), "{070BA6E2-BC0B-11CF-ABB4-444553540000}");
  EXPECT_EQ(com::toString(CLSID_QX), "{070BA6E3-BC0B-11CF-ABB4-444553540000}");
  EXPECT_EQ(com::toString(CLSID_QXPropPage), "{070BA6E4-BC0B-11CF-ABB4-444553540000}");

  EXPECT_STREQ(kQxTypeLib.name, "QX30W32Lib");
  EXPECT_EQ(kQxTypeLib.major, 3);
  EXPECT_EQ(kQxTypeLib.minor, 0);
  ASSERT_EQ(kQxTypeLib.interfaces.size(), 2u);
  ASSERT_EQ(kQxTypeLib.classes.size(), 2u);

  EXPECT_STREQ(kQxClass.progId, "Quorrin95.CompressCtrl.1");
  EXPECT_STREQ(kQxClass.typeName, "Quorrin95 Component");
  EXPECT_EQ(kQxClass.miscStatus, 0x20191u);
  EXPECT_TRUE(kQxClass.insertable);
  EXPECT_EQ(kQxClass.defaultInterface, &kDQX);
  EXPECT_EQ(kQxClass.eventInterface, &kDQXEvents);
  EXPECT_STREQ(kQxPropPageClass.progId, "Quorrin95.CompressPropPage.1");
  EXPECT_STREQ(kQxPropPageClass.typeName, "Quorrin Property Page");
  EXPECT_FALSE(kDQX.isEventSource);
  EXPECT_TRUE(kDQXEvents.isEventSource);
}

TEST(QxTypeLib, DispatchInterfaceHas71MethodsAboutBoxAndHWnd) {
  EXPECT_STREQ(kDQX.name, "_DQX");
  ASSERT_EQ(kDQX.members.size(), 73u);
  std::set<com::DispId> ids;
  std::set<std::string> names;
  for (const com::FuncDesc& f : kDQX.members) {
    ids.insert(f.dispid);
    names.insert(f.name);
  }
  EXPECT_EQ(ids.size(), 73u);
  EXPECT_EQ(names.size(), 73u);
  for (com::DispId id = 1; id <= 71; ++id) EXPECT_TRUE(ids.count(id)) << id;

  const com::FuncDesc* about = com::findMember(kDQX, kDispIdAboutBox);
  ASSERT_TRUE(about);
  EXPECT_STREQ(about->name, "AboutBox");
  EXPECT_EQ(about->result, VarType::Empty);
  EXPECT_EQ(about->kind, com::MemberKind::Method);
  const com::FuncDesc* hwnd = com::findMember(kDQX, kDispIdHWnd);
  ASSERT_TRUE(hwnd);
  EXPECT_STREQ(hwnd->name, "hWnd");
  EXPECT_EQ(hwnd->result, VarType::I4);
  EXPECT_EQ(hwnd->kind, com::MemberKind::PropertyReadOnly);
  EXPECT_TRUE(hwnd->params.empty());
}

TEST(QxTypeLib, SpotChecksOfMethods) {
  struct Expect {
    com::DispId id;
    const char* name;
    VarType result;
    size_t params;
  } table[] = {
      {1, "IsFileNameInFilter", VarType::Bool, 2},
      {2, "GetZipBufferSize", VarType::I2, 0},
      {10, "MakeEXEFile", VarType::I2, 9},
      {29, "GetZIPITEMCrc", VarType::R8, 3},
      {33, "DestroyZIPITEMLParam", VarType::Empty, 1},
      {36, "GetGlobalComment", VarType::BStr, 3},
      {40, "GetTotalSize", VarType::R8, 3},
      {49, "Backup", VarType::I2, 10},
      {62, "GetNewZIPName", VarType::BStr, 0},
      {64, "ZipFiles", VarType::I2, 10},
      {69, "GetZIPITEMHImageList", VarType::I4, 1},
      {71, "SetListViewImageList", VarType::Bool, 1},
  };
  for (const Expect& e : table) {
    const com::FuncDesc* f = com::findMember(kDQX, e.id);
    ASSERT_TRUE(f) << e.id;
    EXPECT_STREQ(f->name, e.name);
    EXPECT_EQ(f->result, e.result) << e.name;
    EXPECT_EQ(f->params.size(), e.params) << e.name;
  }
  // Parameter names and types, including the historic spelling of
  // UnzipToFile's last parameter.
  const com::FuncDesc* unzipToFile = com::findMember(kDQX, "UnzipToFile");
  ASSERT_TRUE(unzipToFile);
  EXPECT_STREQ(unzipToFile->params[6].name, "bAckGroundProcessing");
  EXPECT_EQ(unzipToFile->params[6].type, VarType::Bool);
  const com::FuncDesc* split = com::findMember(kDQX, 6);
  EXPECT_STREQ(split->params[2].name, "lFirstBlockSizeInBytes");
  EXPECT_EQ(split->params[2].type, VarType::I4);
  EXPECT_STREQ(split->params[4].name, "bBackGroundProcessing");
  const com::FuncDesc* unzip = com::findMember(kDQX, 63);
  EXPECT_STREQ(unzip->params[5].name, "iOverwriteMode");
  EXPECT_EQ(unzip->params[5].type, VarType::I2);
  EXPECT_EQ(com::findMember(kDQX, "getcount"), com::findMember(kDQX, 39));
}

TEST(QxTypeLib, EventInterfaceHas24Events) {
  EXPECT_STREQ(kDQXEvents.name, "_DQXEvents");
  ASSERT_EQ(kDQXEvents.members.size(), 24u);
  for (com::DispId id = 1; id <= 24; ++id) {
    const com::FuncDesc* f = com::findMember(kDQXEvents, id);
    ASSERT_TRUE(f) << id;
    EXPECT_EQ(f->result, VarType::Empty);
    EXPECT_EQ(std::string(f->name).rfind("ZN", 0), 0u) << f->name;
  }
  const com::FuncDesc* test = com::findMember(kDQXEvents, 4);
  EXPECT_STREQ(test->name, "ZNTest");
  ASSERT_EQ(test->params.size(), 2u);
  EXPECT_EQ(test->params[1].type, VarType::Bool);
  const com::FuncDesc* splitted = com::findMember(kDQXEvents, 23);
  EXPECT_STREQ(splitted->name, "ZNSplitted");
  EXPECT_EQ(splitted->params[0].type, VarType::I2);
  EXPECT_EQ(splitted->params[1].type, VarType::I4);
  EXPECT_TRUE(com::findMember(kDQXEvents, 13)->params.empty());  // ZNMakeEXEStep1
}

TEST(QxTypeLib, EveryMethodHasExactlyOneHandler) {
  std::multiset<com::DispId> handled;
  for (auto table : allMethodTables())
    for (const MethodEntry& e : table) handled.insert(e.id);
  for (const com::FuncDesc& f : kDQX.members) {
    if (f.dispid == kDispIdHWnd) {
      EXPECT_EQ(handled.count(f.dispid), 0u);  // answered by Invoke itself
    } else {
      EXPECT_EQ(handled.count(f.dispid), 1u) << f.name;
    }
  }
  EXPECT_EQ(handled.size(), 72u);
}

}  // namespace
}  // namespace vz::control
