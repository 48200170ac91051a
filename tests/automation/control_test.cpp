// The control object through IDispatch: every method invoked with
// correctly typed arguments on a small archive made with zip, the
// archive-information methods' documented results, argument errors, the
// hWnd property, construction without an engine object, and the module
// counter.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>

#include "control/automation/module.h"
#include "platform/process.h"
#include "tests/automation/automation_test_util.h"

namespace vz::test {
namespace {

using com::Variant;
using com::VarType;

// Typed default arguments of a member: the archive for szZipName, empty
// text, FALSE and 0 otherwise (bBackGroundProcessing FALSE).
std::vector<Variant> defaultArgs(const com::FuncDesc& f, const std::string& zip) {
  std::vector<Variant> args;
  for (const com::ParamDesc& p : f.params) {
    switch (p.type) {
      case VarType::BStr:
        args.push_back(T(std::string(p.name) == "szZipName" ? zip : ""));
        break;
      case VarType::Bool:
        args.push_back(B(false));
        break;
      case VarType::I2:
        args.push_back(S(0));
        break;
      case VarType::I4:
        args.push_back(L(0));
        break;
      case VarType::R8:
        args.push_back(Variant::fromDouble(0));
        break;
      case VarType::Empty:
        args.emplace_back();
        break;
    }
  }
  return args;
}

TEST_F(ControlTest, EveryMethodAnswersWithItsResultType) {
  const std::string zip = makeSmallZip();
  if (zip.empty()) GTEST_SKIP() << "zip is not installed";
  auto ctl = newControl();
  ASSERT_TRUE(ctl);

  // Expected results of the call with default arguments for the methods
  // whose answer does not depend on the rest of the engine; every other
  // method is checked for its result type here and for its work in the
  // tests of its own area.
  const std::map<com::DispId, Variant> expected = {
      {2, S(32767)}, {3, S(24576)}, {34, S(3)}, {35, S(0)},  {36, T("")}, {37, S(13)}, {38, T("")}, {39, S(2)},
      {47, S(0)},    {59, S(3)},    {60, S(0)}, {61, S(-1)}, {62, T("")}, {67, T("")}, {68, T("")},
  };
  // Methods that would start programs or write next to the test are
  // called from a scratch folder with program starts recorded, not made.
  std::vector<std::string> started;
  Launcher previous = setLauncher([&](const LaunchRequest& r) {
    started.push_back(r.argv.empty() ? "" : r.argv[0]);
    return LaunchResult{true, 0};
  });
  ScratchDir work("vzctl");
  const std::string oldDir = std::filesystem::current_path().string();
  std::filesystem::current_path(work.path());
  // Each method gets its own copy of the archive: the write methods change
  // it (comments, blank archive) and must not change what the next sees.
  const std::string copy = work.file("each.zip");
  for (const com::FuncDesc& f : control::kDQX.members) {
    SCOPED_TRACE(f.name);
    std::filesystem::copy_file(zip, copy, std::filesystem::copy_options::overwrite_existing);
    Variant result = Variant::fromText("untouched");
    unsigned argError = 0;
    const com::InvokeKind kind =
        f.kind == com::MemberKind::Method ? com::InvokeKind::Method : com::InvokeKind::PropertyGet;
    ASSERT_EQ(ctl->Invoke(f.dispid, kind, defaultArgs(f, copy), &result, &argError), com::S_OK);
    EXPECT_EQ(result.type(), f.result);
    auto it = expected.find(f.dispid);
    if (it != expected.end()) {
      EXPECT_EQ(result, it->second) << com::formatForDisplay(result);
    }
  }
  std::filesystem::current_path(oldDir);
  setLauncher(previous);
  // The about box was asked once, through the scripted interface.
  EXPECT_EQ(ui_->asked().size(), 1u);
}

TEST_F(ControlTest, ArchiveInformationOfASmallArchive) {
  const std::string zip = makeSmallZip();
  if (zip.empty()) GTEST_SKIP() << "zip is not installed";
  auto ctl = newControl();
  com::IDispatch* d = ctl.get();
  EXPECT_EQ(call(d, "IsZIPFileQuick", {T(zip), B(false)}).value, S(0));
  EXPECT_EQ(call(d, "GetCount", {T(zip), B(true)}).value, S(2));
  EXPECT_EQ(call(d, "GetZIPINFOMadeUnder", {T(zip), B(false)}).value, S(3));  // made on Unix
  EXPECT_EQ(call(d, "GetZIPINFOVersionMajor", {T(zip), B(false)}).value, S(3));
  EXPECT_EQ(call(d, "GetZIPINFOVersionMinor", {T(zip), B(false)}).value, S(0));
  EXPECT_EQ(call(d, "GetZIPINFODiskID", {T(zip), B(false)}).value, S(0));
  // 100 + 1,500 bytes: floor(1600 / 1024 + 0.5) = 2.
  EXPECT_EQ(call(d, "GetTotalSize", {T(zip), B(true), B(false)}).value, Variant::fromDouble(2));
  EXPECT_EQ(call(d, "GetGlobalCommentSize", {T(zip), B(false)}).value, S(13));
  EXPECT_EQ(call(d, "GetGlobalComment", {T(zip), S(100), B(false)}).value, T("hello archive"));
  EXPECT_EQ(call(d, "GetGlobalComment", {T(zip), S(5), B(false)}).value, T("hello"));
  EXPECT_EQ(call(d, "GetGlobalComment", {T(zip), S(-1), B(false)}).value, T(""));
  EXPECT_EQ(call(d, "GetLocalCommentSize", {T(zip), T("A.TXT"), B(false)}).value, S(10));
  EXPECT_EQ(call(d, "GetLocalCommentSize", {T(zip), T("SUB\\B.TXT"), B(false)}).value, S(0));
  // Names are compared after "/" became "\".
  EXPECT_EQ(call(d, "GetLocalCommentSize", {T(zip), T("SUB/B.TXT"), B(false)}).value, S(-1));
  EXPECT_EQ(call(d, "GetLocalComment", {T(zip), T("a.txt"), S(100), B(false)}).value, T("first file"));
  EXPECT_EQ(call(d, "GetLocalComment", {T(zip), T("A.TXT"), S(5), B(false)}).value, T("first"));
  EXPECT_EQ(call(d, "IsFileInTheZIPFile", {T(zip), T("*.TXT"), B(false)}).value, B(true));
  EXPECT_EQ(call(d, "IsFileInTheZIPFile", {T(zip), T("SUB\\B.TXT"), B(false)}).value, B(true));
  EXPECT_EQ(call(d, "IsFileInTheZIPFile", {T(zip), T("*.DOC"), B(false)}).value, B(false));

  EXPECT_EQ(call(d, "IsFileNameInFilter", {T("DATA.TXT"), T("*.TXT")}).value, B(true));
  EXPECT_EQ(call(d, "IsFileNameInFilter", {T("DATA.TXT.BAK"), T("*.TXT")}).value, B(false));
  EXPECT_EQ(call(d, "IsFileNameInFilter", {T("SUB\\A.TXT"), T("OTHER\\*.TXT")}).value, B(false));
}

TEST_F(ControlTest, UnreadableArchiveGivesEachMethodsFailureValue) {
  auto ctl = newControl();
  com::IDispatch* d = ctl.get();
  const std::string missing = dir_.file("missing.zip");
  writeFile(dir_.file("junk.zip"), std::string(300, 'x'));
  EXPECT_EQ(call(d, "IsZIPFileQuick", {T(missing), B(false)}).value, S(2));
  EXPECT_EQ(call(d, "IsZIPFileQuick", {T(dir_.file("junk.zip")), B(false)}).value, S(3));
  EXPECT_EQ(call(d, "GetCount", {T(missing), B(false)}).value, S(-1));
  EXPECT_EQ(call(d, "GetZIPINFOMadeUnder", {T(missing), B(false)}).value, S(9));
  EXPECT_EQ(call(d, "GetZIPINFOVersionMajor", {T(missing), B(false)}).value, S(0));
  EXPECT_EQ(call(d, "GetZIPINFODiskID", {T(missing), B(false)}).value, S(0));
  EXPECT_EQ(call(d, "GetGlobalCommentSize", {T(missing), B(false)}).value, S(0));
  EXPECT_EQ(call(d, "GetGlobalComment", {T(missing), S(100), B(false)}).value, T(""));
  EXPECT_EQ(call(d, "GetTotalSize", {T(missing), B(true), B(false)}).value, Variant::fromDouble(0));
  EXPECT_EQ(call(d, "GetLocalCommentSize", {T(missing), T("A.TXT"), B(false)}).value, S(-1));
  EXPECT_EQ(call(d, "IsFileInTheZIPFile", {T(missing), T("*.*"), B(false)}).value, B(false));
}

TEST_F(ControlTest, ArgumentCountTypeAndMemberErrors) {
  auto ctl = newControl();
  com::IDispatch* d = ctl.get();
  EXPECT_EQ(call(d, "GetCount", {T("x.zip")}).hr, com::DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(call(d, "GetZipBufferSize", {S(1)}).hr, com::DISP_E_BADPARAMCOUNT);
  CallResult bad = call(d, "GetGlobalComment", {T("x.zip"), T("many"), B(false)});
  EXPECT_EQ(bad.hr, com::DISP_E_TYPEMISMATCH);
  EXPECT_EQ(bad.argError, 1u);
  // Arguments of convertible types are coerced.
  EXPECT_EQ(call(d, "GetGlobalCommentSize", {T(dir_.file("none.zip")), L(1)}).value, S(0));

  Variant result;
  EXPECT_EQ(d->Invoke(999, com::InvokeKind::Method, {}, &result, nullptr), com::DISP_E_MEMBERNOTFOUND);
  std::vector<com::DispId> ids;
  EXPECT_EQ(d->GetIDsOfNames({"getcount", "NoSuchMethod"}, ids), com::DISP_E_UNKNOWNNAME);
  ASSERT_EQ(ids.size(), 2u);
  EXPECT_EQ(ids[0], 39);
  EXPECT_EQ(ids[1], com::DISPID_UNKNOWN);
  // A method called without a result slot still runs.
  EXPECT_EQ(d->Invoke(2, com::InvokeKind::Method, {}, nullptr, nullptr), com::S_OK);
  const com::InterfaceDesc* info = nullptr;
  ASSERT_EQ(d->GetTypeInfo(&info), com::S_OK);
  EXPECT_EQ(info, &control::kDQX);
}

TEST_F(ControlTest, HWndIsReadOnly) {
  auto ctl = newControl();
  CallResult get = call(ctl.get(), "hWnd", {}, com::InvokeKind::PropertyGet);
  ASSERT_EQ(get.hr, com::S_OK);
  EXPECT_EQ(get.value.type(), VarType::I4);
  EXPECT_NE(get.value.longValue(), 0);
  EXPECT_EQ(get.value.longValue(), ctl->window());
  EXPECT_EQ(call(ctl.get(), "hWnd", {L(5)}, com::InvokeKind::PropertyPut).hr, com::DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(call(ctl.get(), "GetCount", {T("a"), B(false)}, com::InvokeKind::PropertyPut).hr,
            com::DISP_E_MEMBERNOTFOUND);
}

TEST_F(ControlTest, InterfacesAndModuleCounter) {
  const long before = control::moduleCounter().count();
  {
    auto ctl = newControl();
    EXPECT_EQ(control::moduleCounter().count(), before + 1);
    com::Ref<com::IDispatch> viaDqx;
    EXPECT_EQ(ctl->QueryInterface(control::IID_DQX, viaDqx.put()), com::S_OK);
    com::Ref<com::IUnknown> unk;
    EXPECT_EQ(ctl->QueryInterface(com::IID_IUnknown, unk.put()), com::S_OK);
    com::Ref<com::IUnknown> none;
    EXPECT_EQ(ctl->QueryInterface(com::IID_IClassFactory, none.put()), com::E_NOINTERFACE);
    com::Ref<com::IConnectionPointContainer> cpc;
    ASSERT_EQ(ctl->QueryInterface(com::IID_IConnectionPointContainer, cpc.put()), com::S_OK);
    com::Ref<com::IConnectionPoint> cp;
    EXPECT_EQ(cpc->FindConnectionPoint(control::IID_DQX, outPtr(cp)), com::CONNECT_E_NOCONNECTION);
    ASSERT_EQ(cpc->FindConnectionPoint(control::DIID_DQXEvents, outPtr(cp)), com::S_OK);
    com::Guid iid;
    EXPECT_EQ(cp->GetConnectionInterface(&iid), com::S_OK);
    EXPECT_EQ(iid, control::DIID_DQXEvents);
    EXPECT_EQ(cp->Unadvise(12345), com::CONNECT_E_NOCONNECTION);
  }
  EXPECT_EQ(control::moduleCounter().count(), before);
}

TEST_F(ControlTest, MissingEngineObjectsAreReportedAndMethodsFail) {
  const std::string zip = makeSmallZip();
  if (zip.empty()) GTEST_SKIP() << "zip is not installed";
  control::setConstructionFaultsForTesting({true, true});
  auto ctl = newControl();
  ASSERT_TRUE(ctl);
  EXPECT_EQ(ctl->zipEngine(), nullptr);
  EXPECT_EQ(ctl->readerState(), nullptr);
  ASSERT_EQ(ui_->asked().size(), 2u);
  EXPECT_EQ(ui_->asked()[0].text, "Internal error.\nNot enough memory for ZIP functions");
  EXPECT_EQ(ui_->asked()[1].text, "Internal error.\nNot enough memory for UNZIP functions");
  for (const ui::Question& q : ui_->asked()) EXPECT_EQ(q.icon, ui::Icon::Error);

  com::IDispatch* d = ctl.get();
  EXPECT_EQ(call(d, "GetCount", {T(zip), B(true)}).value, S(-1));
  EXPECT_EQ(call(d, "GetZIPINFOMadeUnder", {T(zip), B(true)}).value, S(9));
  EXPECT_EQ(call(d, "IsZIPFileQuick", {T(zip), B(true)}).value, S(2));
  EXPECT_EQ(call(d, "GetGlobalComment", {T(zip), S(100), B(true)}).value, T(""));
  EXPECT_EQ(call(d, "IsFileInTheZIPFile", {T(zip), T("*.*"), B(true)}).value, B(false));
  EXPECT_EQ(call(d, "ZipGetReplaceFlag").value, S(0));
  EXPECT_EQ(call(d, "ZipCancel", {B(true)}).hr, com::S_OK);
  EXPECT_EQ(call(d, "UnzipCancel", {B(true)}).hr, com::S_OK);
  EXPECT_EQ(call(d, "DestroyZIPITEMImageList").value, B(false));
  EXPECT_EQ(
      call(d, "ZipFiles", {T(zip), T("*.*"), B(false), S(0), S(0), S(0), B(false), B(false), T(""), B(false)}).value,
      S(2));
  // The engine-free methods still work.
  EXPECT_EQ(call(d, "GetZipBufferSize").value, S(32767));
  EXPECT_EQ(call(d, "GetUnzipBufferSize").value, S(24576));
  EXPECT_EQ(call(d, "IsFileNameInFilter", {T("A.TXT"), T("?.TXT")}).value, B(true));

  // Only the missing object is missing.
  control::setConstructionFaultsForTesting({false, true});
  auto second = newControl();
  EXPECT_NE(second->zipEngine(), nullptr);
  EXPECT_EQ(second->readerState(), nullptr);
  EXPECT_EQ(ui_->asked().size(), 3u);
}

TEST_F(ControlTest, CancelAndReplaceFlagsAndNewName) {
  auto ctl = newControl();
  com::IDispatch* d = ctl.get();
  call(d, "UnzipCancel", {B(true)});
  EXPECT_TRUE(ctl->readerState()->cancel);
  call(d, "ZipCancel", {B(true)});
  EXPECT_TRUE(ctl->zipEngine()->cancel);
  // A call clears the cancel flag of the side it uses.
  call(d, "GetCount", {T(dir_.file("none.zip")), B(false)});
  EXPECT_FALSE(ctl->readerState()->cancel);
  EXPECT_TRUE(ctl->zipEngine()->cancel);
  call(d, "DeleteWithMask", {T(dir_.file("none.zip")), T("*.*"), B(false)});
  EXPECT_FALSE(ctl->zipEngine()->cancel);
  // ... except MakeEXEFile, which keeps it.
  call(d, "ZipCancel", {B(true)});
  call(d, "MakeEXEFile", {T(""), T(""), T(""), T(""), T(""), S(0), B(false), B(true), B(false)});
  EXPECT_TRUE(ctl->zipEngine()->cancel);

  ctl->newZipName() = "/tmp/NEW.ZIP";
  EXPECT_EQ(call(d, "GetNewZIPName").value, T("/tmp/NEW.ZIP"));
  EXPECT_EQ(call(d, "GetNewZIPName").value, T(""));  // forgotten after it was handed out
}

TEST_F(ControlTest, PerCallOptionsReachTheEngineObjects) {
  auto ctl = newControl();
  com::IDispatch* d = ctl.get();
  const std::string longPassword(100, 'p');
  // Paths in the test's scratch folder: the calls must not touch the
  // folder the test runs in (the archive is missing, the mask matches
  // nothing; only the options handed to the engine matter here).
  const std::string zip = dir_.file("a.zip");
  call(d, "UnzipFiles",
       {T(zip), T("*.*"), T(dir_.file("out")), B(true), B(true), S(2), T(longPassword), B(false), B(false)});
  EXPECT_EQ(ctl->readerState()->password, std::string(79, 'p'));
  EXPECT_FALSE(ctl->readerState()->askPassword);
  EXPECT_TRUE(ctl->readerState()->eraseReadOnly);
  call(d, "ZipFiles",
       {T(zip), T(dir_.file("none*.xyz")), B(false), S(0), S(3), S(7), B(false), B(false), T(longPassword), B(false)});
  EXPECT_EQ(std::string(ctl->zipEngine()->password.data()), std::string(80, 'p'));
  EXPECT_EQ(ctl->zipEngine()->requestedOverwriteMode, 3);
  EXPECT_EQ(call(d, "ZipGetReplaceFlag").value, S(3));
  EXPECT_EQ(ctl->zipEngine()->compressionMode, 0);  // 7 is outside 0..3
  EXPECT_EQ(control::settings().currentControl, ctl.get());
  ctl.reset();
  EXPECT_EQ(control::settings().currentControl, nullptr);  // no dangling parent
}

}  // namespace
}  // namespace vz::test
