// The shared checks of table-driven dispatch: argument count and
// coercion (with the index of the failing argument), name look-up, and
// which call kinds a member accepts.
#include "platform/com/dispatch.h"

#include <gtest/gtest.h>

using namespace vz::com;

namespace {

constexpr ParamDesc kSplitParams[] = {
    {"szZipName", VarType::BStr}, {"lSize", VarType::I4}, {"bFlag", VarType::Bool}, {"iMode", VarType::I2}};
constexpr FuncDesc kMembers[] = {
    {6, "Split", VarType::I2, kSplitParams},
    {2, "GetZipBufferSize", VarType::I2, {}},
    {-515, "hWnd", VarType::I4, {}, MemberKind::PropertyReadOnly},
    {7, "Level", VarType::I2, {}, MemberKind::PropertyReadWrite},
};
const InterfaceDesc kIface{"_DTest", GUID_NULL, false, kMembers};

}  // namespace

TEST(Dispatch, CoercesEveryArgumentToItsParameterType) {
  std::vector<Variant> out;
  unsigned argError = 99;
  std::vector<Variant> args{Variant::fromText("a.zip"), Variant::fromText("1000"), Variant::fromLong(1),
                            Variant::fromDouble(2.0)};
  ASSERT_EQ(coerceArguments(kMembers[0], args, &out, &argError), S_OK);
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(out[0], Variant::fromText("a.zip"));
  EXPECT_EQ(out[1], Variant::fromLong(1000));
  EXPECT_EQ(out[2], Variant::fromBool(true));
  EXPECT_EQ(out[3], Variant::fromShort(2));
  EXPECT_EQ(argError, 99u);  // untouched on success
}

TEST(Dispatch, ReportsCountAndTypeErrorsWithTheArgumentIndex) {
  std::vector<Variant> out{Variant::fromLong(5)};
  unsigned argError = 99;
  EXPECT_EQ(coerceArguments(kMembers[0], {Variant::fromText("a")}, &out, &argError), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(coerceArguments(kMembers[1], {Variant::fromText("a")}, &out, &argError), DISP_E_BADPARAMCOUNT);

  std::vector<Variant> args{Variant::fromText("a.zip"), Variant::fromText("many"), Variant::fromLong(1),
                            Variant::fromShort(1)};
  EXPECT_EQ(coerceArguments(kMembers[0], args, &out, &argError), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argError, 1u);
  args[1] = Variant::fromLong(1);
  args[3] = Variant::fromLong(70000);  // does not fit a short
  EXPECT_EQ(coerceArguments(kMembers[0], args, &out, &argError), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argError, 3u);
  EXPECT_EQ(out.size(), 1u) << "the output is left alone on failure";
  EXPECT_EQ(coerceArguments(kMembers[0], args, nullptr, nullptr), DISP_E_TYPEMISMATCH);
}

TEST(Dispatch, NamesAreFoundIgnoringCase) {
  std::vector<DispId> ids;
  EXPECT_EQ(getIDsOfNamesFromTable(kIface, {"split"}, ids), S_OK);
  EXPECT_EQ(ids, std::vector<DispId>{6});
  EXPECT_EQ(getIDsOfNamesFromTable(kIface, {"HWND"}, ids), S_OK);
  EXPECT_EQ(ids, std::vector<DispId>{-515});
  EXPECT_EQ(getIDsOfNamesFromTable(kIface, {"Splitt"}, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids, std::vector<DispId>{DISPID_UNKNOWN});
  // Parameter names are not in the tables.
  EXPECT_EQ(getIDsOfNamesFromTable(kIface, {"Split", "lSize"}, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids, (std::vector<DispId>{6, DISPID_UNKNOWN}));
  EXPECT_EQ(findMember(kIface, 2), &kMembers[1]);
  EXPECT_EQ(findMember(kIface, 3), nullptr);
}

TEST(Dispatch, PrepareInvokeChecksTheCallKind) {
  const FuncDesc* f = nullptr;
  std::vector<Variant> out;
  unsigned argError = 0;
  EXPECT_EQ(prepareInvoke(kIface, 99, InvokeKind::Method, {}, &f, &out, &argError), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(prepareInvoke(kIface, 2, InvokeKind::Method, {}, &f, &out, &argError), S_OK);
  EXPECT_EQ(f, &kMembers[1]);
  EXPECT_EQ(prepareInvoke(kIface, 2, InvokeKind::PropertyGet, {}, &f, &out, &argError), S_OK);
  EXPECT_EQ(prepareInvoke(kIface, 2, InvokeKind::PropertyPut, {Variant::fromShort(1)}, &f, &out, &argError),
            DISP_E_MEMBERNOTFOUND);
  // The read-only stock property refuses writes.
  EXPECT_EQ(prepareInvoke(kIface, -515, InvokeKind::PropertyGet, {}, &f, &out, &argError), S_OK);
  EXPECT_EQ(prepareInvoke(kIface, -515, InvokeKind::PropertyPut, {Variant::fromLong(1)}, &f, &out, &argError),
            DISP_E_MEMBERNOTFOUND);
  // A read-write property takes one value of its type.
  EXPECT_EQ(prepareInvoke(kIface, 7, InvokeKind::PropertyPut, {Variant::fromText("3")}, &f, &out, &argError), S_OK);
  EXPECT_EQ(out, std::vector<Variant>{Variant::fromShort(3)});
  EXPECT_EQ(prepareInvoke(kIface, 7, InvokeKind::PropertyPut, {}, &f, &out, &argError), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(prepareInvoke(kIface, 7, InvokeKind::PropertyPut, {Variant::fromText("x")}, &f, &out, &argError),
            DISP_E_TYPEMISMATCH);
}
