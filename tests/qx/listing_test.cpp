// qx --list and the argument conversion against the control's type library
// (no control object needed): every member appears with its DISPID, and
// command-line words are converted by the parameter types with messages
// that name the argument.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "control/typelib/qx_typelib.h"
#include "tools/qx/host.h"
#include "tools/qx/invocation.h"
#include "tools/qx/listing.h"

namespace vz::qx {
namespace {

// The lines of one section of the listing (between its heading and the next).
std::vector<std::string> section(const std::string& listing, const std::string& heading) {
  std::istringstream in(listing);
  std::vector<std::string> lines;
  std::string line;
  bool inside = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] != ' ' && line[0] != '-') {
      inside = line.starts_with(heading);
      continue;
    }
    if (inside) lines.push_back(line);
  }
  return lines;
}

TEST(QxListing, ListsEveryMemberWithItsDispid) {
  std::ostringstream out, err;
  ASSERT_EQ(runQx({"--list"}, out, err, {}), 0);
  const std::string text = out.str();

  auto methods = section(text, "Methods of _DQX");
  auto properties = section(text, "Properties of _DQX");
  auto events = section(text, "Events of _DQXEvents");
  EXPECT_EQ(methods.size(), 72u);  // 71 methods and AboutBox
  EXPECT_EQ(properties.size(), 1u);
  EXPECT_EQ(events.size(), 24u);

  // DISPIDs 1..71 each once, then AboutBox.
  const std::regex memberLine(R"(^ *(-?\d+)  (\w+) (\w+)\((.*)\)$)");
  std::vector<int> ids;
  for (const auto& l : methods) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(l, m, memberLine)) << l;
    ids.push_back(std::stoi(m[1]));
  }
  for (int i = 1; i <= 71; ++i) EXPECT_EQ(std::count(ids.begin(), ids.end(), i), 1) << "DISPID " << i;
  EXPECT_NE(text.find("-552  void AboutBox()\n"), std::string::npos);
  EXPECT_NE(text.find("-515  long hWnd (read-only)\n"), std::string::npos);
  EXPECT_NE(text.find("  63  short UnzipFiles(BSTR szZipName, BSTR szMask, BSTR szDestDirectory, BOOL bRebuildDir, "
                      "BOOL bEraseReadOnlyFiles, short iOverwriteMode, BSTR szPassword, BOOL bAskPassword, "
                      "BOOL bBackGroundProcessing)\n"),
            std::string::npos);
  EXPECT_NE(text.find("  40  double GetTotalSize(BSTR szZipName, BOOL bOriginalSize, BOOL bBackGroundProcessing)\n"),
            std::string::npos);
  EXPECT_NE(text.find("   1  void ZNOpenFile(BSTR szName)\n"), std::string::npos);
  EXPECT_NE(text.find("  23  void ZNSplitted(short iPartNumber, long lSizeInBytes)\n"), std::string::npos);
  EXPECT_TRUE(err.str().empty());
}

TEST(QxConversion, WordsBecomeParameterTypes) {
  const com::FuncDesc* split = com::findMember(control::kDQX, "split");  // any case
  ASSERT_NE(split, nullptr);
  std::vector<com::Variant> args;
  std::string error;
  ASSERT_TRUE(convertArguments(*split, com::InvokeKind::Method,
                               {"a.zip", "/tmp", "1457664", "-5", "TRUE", "title", "-msg"}, &args, &error))
      << error;
  ASSERT_EQ(args.size(), 7u);
  EXPECT_EQ(args[0], com::Variant::fromText("a.zip"));
  EXPECT_EQ(args[2], com::Variant::fromLong(1457664));
  EXPECT_EQ(args[3], com::Variant::fromLong(-5));
  EXPECT_EQ(args[4], com::Variant::fromBool(true));
  EXPECT_EQ(args[6], com::Variant::fromText("-msg"));
}

TEST(QxConversion, BadWordsAreNamedInTheMessage) {
  const com::FuncDesc* unzip = com::findMember(control::kDQX, "UnzipFiles");
  ASSERT_NE(unzip, nullptr);
  std::vector<com::Variant> args;
  std::string error;

  // Wrong count: the message shows the signature.
  EXPECT_FALSE(convertArguments(*unzip, com::InvokeKind::Method, {"a.zip"}, &args, &error));
  EXPECT_NE(error.find("takes 9 arguments, 1 given"), std::string::npos) << error;
  EXPECT_NE(error.find("short UnzipFiles(BSTR szZipName"), std::string::npos) << error;

  const std::vector<std::string> good = {"a.zip", "*.*", "/tmp", "1", "0", "1", "", "0", "1"};
  struct Case {
    size_t index;
    std::string word;
    std::string expect;
  };
  for (const Case& c : std::vector<Case>{{5, "40000", "argument 6 of UnzipFiles (short iOverwriteMode): '40000'"},
                                         {5, "1x", "'1x' is not a whole decimal number"},
                                         {3, "yes", "argument 4 of UnzipFiles (BOOL bRebuildDir): 'yes'"},
                                         {3, "2", "1, 0, true or false"}}) {
    auto words = good;
    words[c.index] = c.word;
    error.clear();
    EXPECT_FALSE(convertArguments(*unzip, com::InvokeKind::Method, words, &args, &error)) << c.word;
    EXPECT_NE(error.find(c.expect), std::string::npos) << error;
  }
  EXPECT_TRUE(convertArguments(*unzip, com::InvokeKind::Method, good, &args, &error)) << error;

  const com::FuncDesc* isWriteable = com::findMember(control::kDQX, "IsWriteable");
  ASSERT_NE(isWriteable, nullptr);
  EXPECT_FALSE(convertArguments(*isWriteable, com::InvokeKind::Method, {"/x", "2147483648"}, &args, &error));
  EXPECT_TRUE(convertArguments(*isWriteable, com::InvokeKind::Method, {"/x", "-2147483648"}, &args, &error));
}

TEST(QxConversion, PropertiesAreReadWithoutArguments) {
  const com::FuncDesc* hwnd = com::findMember(control::kDQX, "HWND");
  ASSERT_NE(hwnd, nullptr);
  std::string error;
  EXPECT_EQ(invokeKindFor(*hwnd, 0, &error), com::InvokeKind::PropertyGet);
  EXPECT_FALSE(invokeKindFor(*hwnd, 1, &error).has_value());
  EXPECT_NE(error.find("read-only"), std::string::npos);
}

}  // namespace
}  // namespace vz::qx
