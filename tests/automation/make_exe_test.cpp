// MakeEXEFile through the control: its arguments reach the assembly, its
// result comes back, the start report becomes ZNMakeEXEStep1 in the
// background, and the cancel flag is left as it is.
#include "tests/automation/automation_test_util.h"

namespace vz::test {
namespace {

using com::Variant;

class MakeExe : public ControlWithEvents {
 protected:
  Variant makeExe(const std::string& zip, const std::string& elf, bool win32, bool background) {
    const CallResult r = call(ctl.get(), "MakeEXEFile",
                              {T(zip), T(""), T(""), T("Caption"), T(elf), S(2), B(true), B(win32), B(background)});
    EXPECT_EQ(r.hr, com::S_OK);
    return r.value;
  }
};

TEST_F(MakeExe, ResultCodesAndStartEvent) {
  const std::string zip = makeSmallZip();
  if (zip.empty()) GTEST_SKIP() << "zip is not available";
  EXPECT_EQ(makeExe(dir_.file("missing.zip"), "", true, true), S(4));
  ASSERT_FALSE(sink->events.empty());
  EXPECT_EQ(sink->events.front().id, 13);  // ZNMakeEXEStep1
  sink->events.clear();
  // Not in the background: no events.
  EXPECT_EQ(makeExe(dir_.file("missing.zip"), "", true, false), S(4));
  EXPECT_TRUE(sink->events.empty());
  // A language file named without a folder is looked for beside the
  // control, where this one is not.
  EXPECT_EQ(makeExe(zip, "NO-SUCH.ELF", true, false), S(1));
  // A full path is used as it is; the 16-bit stub is never installed.
  writeFile(dir_.file("L.ELF"), std::string_view("[Main]\n"));
  EXPECT_EQ(makeExe(zip, dir_.file("L.ELF"), false, false), S(2));
  EXPECT_FALSE(std::filesystem::exists(dir_.file("small.EXE")));
  // The cancel flag of ZipCancel stays set.
  call(ctl.get(), "ZipCancel", {B(true)});
  makeExe(zip, dir_.file("L.ELF"), false, false);
  EXPECT_TRUE(ctl->zipEngine()->cancel);
}

}  // namespace
}  // namespace vz::test
