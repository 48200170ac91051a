// qx's core run in-process against the built control (QX30W32.so from the
// build's bin folder, loaded without registration): results, the exit
// statuses for command-line errors, and a control that cannot be created.
#include <gtest/gtest.h>

#include <sstream>

#include "control/automation/events.h"
#include "control/typelib/qx_typelib.h"
#include "platform/window.h"
#include "tests/support/test_env.h"
#include "tools/qx/control_factory.h"
#include "tools/qx/event_connection.h"
#include "tools/qx/event_sink.h"
#include "tools/qx/exit_status.h"
#include "tools/qx/host.h"
#include "tools/qx/invocation.h"

namespace vz::qx {
namespace {

// A control double that answers every name with DISPID 2 (described as
// GetZipBufferSize by the static type library, which qx falls back to as
// the double gives no type information) and fails Invoke with a
// chosen code, for the mapping of Invoke failures to exit statuses.
class RefusingControl final : public com::IDispatch {
 public:
  explicit RefusingControl(com::HRESULT code) : code_(code) {}
  com::HRESULT QueryInterface(const com::Guid&, void** out) override {
    *out = nullptr;
    return com::E_NOINTERFACE;
  }
  uint32_t AddRef() override { return 1; }  // lives on the test's stack
  uint32_t Release() override { return 1; }
  com::HRESULT GetTypeInfo(const com::InterfaceDesc**) override { return com::E_NOTIMPL; }
  com::HRESULT GetIDsOfNames(const std::vector<std::string>& names, std::vector<com::DispId>& ids) override {
    ids.assign(names.size(), 2);
    return com::S_OK;
  }
  com::HRESULT Invoke(com::DispId, com::InvokeKind, const std::vector<com::Variant>&, com::Variant*,
                      unsigned* argError) override {
    if (argError) *argError = 0;
    return code_;
  }

 private:
  com::HRESULT code_;  // what Invoke answers
};

TEST(QxInvocation, InvokeFailuresMapToExitStatuses) {
  RefusingControl failing(com::E_FAIL);
  CallOutcome o = callMethod(failing, "GetZipBufferSize", {});
  EXPECT_EQ(o.status, kExitCallFailed);
  EXPECT_NE(o.error.find("0x80004005"), std::string::npos) << o.error;
  EXPECT_FALSE(o.result.has_value());

  RefusingControl mismatch(com::DISP_E_TYPEMISMATCH);
  EXPECT_EQ(callMethod(mismatch, "GetZipBufferSize", {}).status, kExitUsage);
  RefusingControl count(com::DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(callMethod(count, "GetZipBufferSize", {}).status, kExitUsage);
}

class QxHost : public ::testing::Test {
 protected:
  // Runs qx with the given words; output and errors land in out_ and err_.
  int qx(const std::vector<std::string>& words, const std::string& libraryFolder = test::binDir()) {
    out_.str("");
    err_.str("");
    HostEnvironment env;
    env.libraryFolder = libraryFolder;
    env.stdinIsTerminal = false;
    return runQx(words, out_, err_, env);
  }

  test::ScopedRoot root_;
  std::ostringstream out_, err_;
};

TEST_F(QxHost, PrintsTheResultOfACall) {
  ASSERT_EQ(qx({"GetZipBufferSize"}), kExitOk) << err_.str();
  EXPECT_EQ(out_.str(), "32767\n");
  ASSERT_EQ(qx({"getunzipbuffersize"}), kExitOk) << err_.str();  // names ignore case
  EXPECT_EQ(out_.str(), "24576\n");
  ASSERT_EQ(qx({"IsFileNameInFilter", "readme.txt", "*.TXT"}), kExitOk) << err_.str();
  EXPECT_EQ(out_.str(), "1\n");
  ASSERT_EQ(qx({"IsFileNameInFilter", "readme.txt", "*.zip"}), kExitOk) << err_.str();
  EXPECT_EQ(out_.str(), "0\n");
}

TEST_F(QxHost, MethodWithoutResultPrintsNothing) {
  ASSERT_EQ(qx({"SetHelpFile", "/tmp/help.html"}), kExitOk) << err_.str();
  EXPECT_EQ(out_.str(), "");
  EXPECT_EQ(err_.str(), "");
}

TEST_F(QxHost, ReadsTheWindowHandleProperty) {
  ASSERT_EQ(qx({"hWnd"}), kExitOk) << err_.str();
  const std::string text = out_.str();
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\n');
  EXPECT_NO_THROW(static_cast<void>(std::stol(text)));
  EXPECT_EQ(qx({"hWnd", "5"}), kExitUsage);
  EXPECT_NE(err_.str().find("read-only"), std::string::npos) << err_.str();
}

TEST_F(QxHost, CommandLineErrorsExitWithTwo) {
  EXPECT_EQ(qx({"NoSuchMethod"}), kExitUsage);
  EXPECT_NE(err_.str().find("unknown method 'NoSuchMethod'"), std::string::npos) << err_.str();
  EXPECT_EQ(out_.str(), "");

  EXPECT_EQ(qx({"GetZipBufferSize", "1"}), kExitUsage);
  EXPECT_NE(err_.str().find("takes 0 arguments, 1 given"), std::string::npos) << err_.str();

  EXPECT_EQ(qx({"IsFileNameInFilter", "a"}), kExitUsage);
  EXPECT_EQ(qx({"GetGlobalComment", "a.zip", "70000", "0"}), kExitUsage);  // short out of range
  EXPECT_NE(err_.str().find("iMaxLength"), std::string::npos) << err_.str();
  EXPECT_EQ(qx({"GetTotalSize", "a.zip", "maybe", "0"}), kExitUsage);  // not a BOOL
  EXPECT_EQ(qx({"IsWriteable", "/tmp/x", "12ab"}), kExitUsage);        // not a long

  EXPECT_EQ(qx({}), kExitUsage);
  EXPECT_NE(err_.str().find("usage: qx"), std::string::npos);
  EXPECT_EQ(qx({"--frobnicate", "GetCount"}), kExitUsage);
  EXPECT_EQ(qx({"--answers", root_.path() + "/missing.txt", "AboutBox"}), kExitUsage);
  EXPECT_NE(err_.str().find("missing.txt"), std::string::npos) << err_.str();
}

TEST_F(QxHost, ControlThatCannotBeCreatedExitsWithThree) {
  test::ScratchDir empty("qxnolib");
  EXPECT_EQ(qx({"GetZipBufferSize"}, empty.path()), kExitNoControl);
  EXPECT_NE(err_.str().find("cannot create the control Quorrin95.CompressCtrl.1"), std::string::npos) << err_.str();
  EXPECT_NE(err_.str().find(empty.path() + "/QX30W32.so"), std::string::npos) << err_.str();
  EXPECT_EQ(out_.str(), "");
}

TEST_F(QxHost, HelpNamesEveryOptionAndExitStatus) {
  ASSERT_EQ(qx({"--help"}), kExitOk);
  for (const char* word : {"--events", "--answers FILE", "--list", "--help", "Exit status", "  2  ", "  3  ",
                           "Examples", "hWnd", "\"--\""}) {
    EXPECT_NE(out_.str().find(word), std::string::npos) << word;
  }
}

TEST_F(QxHost, EventsOptionAdvisesASink) {
  ASSERT_EQ(qx({"--events", "GetZipBufferSize"}), kExitOk) << err_.str();
  EXPECT_EQ(out_.str(), "32767\n");  // no events: only the result
}

TEST_F(QxHost, UnwritableOutputIsNotSuccess) {
  std::ostringstream broken, err;
  broken.setstate(std::ios::badbit);
  HostEnvironment env;
  env.libraryFolder = test::binDir();
  EXPECT_EQ(runQx({"GetZipBufferSize"}, broken, err, env), kExitCallFailed);
  EXPECT_NE(err.str().find("cannot write"), std::string::npos);
  if (test::haveProgram("sh")) {
    EXPECT_EQ(test::run({"sh", "-c", "exec \"$0\" --list > /dev/full", test::binDir() + "/qx"}), kExitCallFailed);
  }
}

// The whole event path without an engine operation: the control's window
// receives the engine's notification messages and fires events to the
// printer advised on its connection point, as during a call with
// bBackGroundProcessing true.
TEST_F(QxHost, NotificationsBecomeEventLines) {
  CreatedControl created = createControl(test::binDir());
  ASSERT_TRUE(created.control) << created.error;
  std::ostringstream events;
  auto printer = EventPrinter::create(events, control::kDQXEvents);
  EventConnection connection;
  std::string error;
  ASSERT_EQ(connection.connect(*created.control.get(), control::DIID_DQXEvents, printer.get(), &error), com::S_OK)
      << error;
  // The sink is referenced by the connection point while advised.
  EXPECT_EQ(printer->AddRef(), 3u);
  printer->Release();

  com::Variant hwnd;
  ASSERT_EQ(created.control->Invoke(control::kDispIdHWnd, com::InvokeKind::PropertyGet, {}, &hwnd, nullptr), com::S_OK);
  const Handle window = hwnd.longValue();
  const char* name = "dir/a.txt";
  sendMessage(window, control::kMsgOpenFile, 0, reinterpret_cast<LParam>(name));
  sendMessage(window, control::kMsgExpanding, 50, reinterpret_cast<LParam>(name));
  sendMessage(window, control::kMsgCloseFile, 1, reinterpret_cast<LParam>(name));
  sendMessage(window, control::kMsgOpenFile, 0, 0);  // null text: empty string
  sendMessage(window, control::kMsgSplitted, 2, 1457664);
  EXPECT_EQ(events.str(),
            "ZNOpenFile\tdir/a.txt\n"
            "ZNExpanding\tdir/a.txt\t50\n"
            "ZNCloseFile\tdir/a.txt\t1\n"
            "ZNOpenFile\t\n"
            "ZNSplitted\t2\t1457664\n");

  // After Unadvise the control lets go of the sink and fires to nobody.
  EXPECT_EQ(connection.disconnect(), com::S_OK);
  EXPECT_EQ(printer->AddRef(), 2u);
  printer->Release();
  sendMessage(window, control::kMsgOpenFile, 0, reinterpret_cast<LParam>(name));
  EXPECT_EQ(printer->eventCount(), 5u);
}

}  // namespace
}  // namespace vz::qx
