// UnzipFiles, UnzipToFile, View, IsZIPFileSlow, UnzipCancel and
// UnzipGetReplaceFlag through the control's Invoke: results, events with
// bBackGroundProcessing true and false, a cancel request from an event
// handler, and the control's own dialogs answered by the scripted user
// interface.
#include <gtest/gtest.h>

#include "platform/process.h"
#include "tests/automation/automation_test_util.h"

namespace vz::test {
namespace {

using com::Variant;

class ExtractMethods : public ControlWithEvents {
 protected:
  Variant unzipFiles(const std::string& zip, const std::string& dest, int16_t mode, bool background,
                     const std::string& password = "", bool ask = false) {
    const CallResult r = call(ctl.get(), "UnzipFiles",
                              {T(zip), T(""), T(dest), B(true), B(false), S(mode), T(password), B(ask), B(background)});
    EXPECT_EQ(r.hr, com::S_OK);
    return r.value;
  }
  // The events received, as (DISPID, first argument) pairs.
  std::vector<std::pair<com::DispId, std::string>> events() const {
    std::vector<std::pair<com::DispId, std::string>> out;
    for (const auto& e : sink->events) out.emplace_back(e.id, e.args.at(0).text());
    return out;
  }
};

TEST_F(ExtractMethods, ResultsAndEvents) {
  const std::string zip = makeSmallZip();
  if (zip.empty()) GTEST_SKIP() << "zip is not available";
  int pumped = 0;
  setMessagePump([&] { ++pumped; });
  EXPECT_EQ(unzipFiles(zip, dir_.file("quiet"), 1, false), S(0));
  EXPECT_TRUE(sink->events.empty());
  EXPECT_EQ(pumped, 0);
  EXPECT_EQ(readFile(dir_.file("quiet/SUB/B.TXT")).size(), 1500u);

  EXPECT_EQ(unzipFiles(zip, dir_.file("loud"), 1, true), S(0));
  EXPECT_GT(pumped, 0);
  const std::vector<std::pair<com::DispId, std::string>> want = {
      {1, "A.TXT"}, {2, "A.TXT"}, {3, "A.TXT"}, {1, "SUB\\B.TXT"}, {2, "SUB\\B.TXT"}, {3, "SUB\\B.TXT"}};
  EXPECT_EQ(events(), want);
  EXPECT_EQ(sink->events[1].args[1], S(100));
  EXPECT_EQ(sink->events[2].args[1], B(true));

  sink->events.clear();
  EXPECT_EQ(call(ctl.get(), "IsZIPFileSlow", {T(zip), T(""), B(false), B(true)}).value, S(0));
  ASSERT_EQ(sink->events.size(), 6u);
  EXPECT_EQ(sink->events[2].id, 4);  // ZNTest
  EXPECT_EQ(sink->events[2].args[1], B(true));
  sink->events.clear();
  EXPECT_EQ(call(ctl.get(), "IsZIPFileSlow", {T(zip), T(""), B(false), B(false)}).value, S(0));
  EXPECT_TRUE(sink->events.empty());
  EXPECT_EQ(call(ctl.get(), "IsZIPFileSlow", {T(dir_.file("none.zip")), T(""), B(false), B(false)}).value, S(6));

  EXPECT_EQ(call(ctl.get(), "UnzipToFile",
                 {T(zip), T("SUB\\B.TXT"), T(dir_.file("one.txt")), B(false), T(""), B(false), B(false)})
                .value,
            S(0));
  EXPECT_EQ(readFile(dir_.file("ONE.TXT")).size(), 1500u);
}

TEST_F(ExtractMethods, ReplaceDialogAndItsFlag) {
  const std::string zip = makeSmallZip();
  if (zip.empty()) GTEST_SKIP() << "zip is not available";
  const std::string out = dir_.file("out");
  EXPECT_EQ(unzipFiles(zip, out, 1, false), S(0));
  EXPECT_EQ(call(ctl.get(), "UnzipGetReplaceFlag").value, S(2));
  ui_->pushButton("always");
  EXPECT_EQ(unzipFiles(zip, out, 2, false), S(0));
  EXPECT_EQ(ui_->asked().size(), 1u);
  EXPECT_EQ(call(ctl.get(), "UnzipGetReplaceFlag").value, S(1));
  ui_->pushButton("never");
  EXPECT_EQ(unzipFiles(zip, out, 2, false), S(10));
  EXPECT_EQ(ui_->asked().size(), 2u);
  EXPECT_EQ(call(ctl.get(), "UnzipGetReplaceFlag").value, S(0));
  EXPECT_TRUE(ui_->errors().empty());
}

TEST_F(ExtractMethods, CancelFromAnEventHandler) {
  const std::string zip = makeSmallZip();
  if (zip.empty()) GTEST_SKIP() << "zip is not available";
  sink->onEvent = [&](const RecordingSink::Event& e) {
    if (e.id == 3) call(ctl.get(), "UnzipCancel", {B(true)});
  };
  EXPECT_EQ(unzipFiles(zip, dir_.file("out"), 1, true), S(10));
  EXPECT_TRUE(std::filesystem::exists(dir_.file("out/A.TXT")));
  EXPECT_FALSE(std::filesystem::exists(dir_.file("out/SUB/B.TXT")));
  // The next call clears the request.
  sink->onEvent = nullptr;
  EXPECT_EQ(unzipFiles(zip, dir_.file("out2"), 1, true), S(0));
}

TEST_F(ExtractMethods, PasswordPromptAndView) {
  if (!haveProgram("zip")) GTEST_SKIP() << "zip is not available";
  writeFile(dir_.file("secret.txt"), "hidden text");
  ASSERT_EQ(run({"zip", "-q", "-e", "-P", "pw", "enc.zip", "secret.txt"}, nullptr, nullptr, dir_.path()), 0);
  const std::string zip = dir_.file("enc.zip");
  // Asked: Bypass skips the entry; a typed password opens it.
  ui_->pushButton("bypass");
  EXPECT_EQ(call(ctl.get(), "IsZIPFileSlow", {T(zip), T(""), B(true), B(false)}).value, S(10));
  ui_->pushButton("retry", "pw");
  EXPECT_EQ(call(ctl.get(), "IsZIPFileSlow", {T(zip), T(""), B(true), B(false)}).value, S(0));
  EXPECT_EQ(ui_->asked().size(), 2u);
  EXPECT_TRUE(ui_->errors().empty());

  std::vector<std::vector<std::string>> launched;
  Launcher previous = setLauncher([&](const LaunchRequest& r) {
    launched.push_back(r.argv);
    return LaunchResult{true, -1};
  });
  const std::string view = dir_.file("view");
  EXPECT_EQ(call(ctl.get(), "View", {T(zip), T("*.*"), B(true), B(false), T(view), T("pw"), B(false), B(false)}).value,
            B(true));
  setLauncher(previous);
  EXPECT_EQ(launched, (std::vector<std::vector<std::string>>{{"xdg-open", view + "/SECRET.TXT"}}));
  EXPECT_EQ(readFile(view + "/SECRET.TXT").size(), 11u);
}

}  // namespace
}  // namespace vz::test
