// The regsvr32 tool, run as a program: exit statuses, the messages it
// reports on standard error (the default user-interface back end when
// standard input is not a terminal), silence with /s, and what ends up in
// the registry.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <climits>

#include "platform/com/server.h"
#include "tests/com/registry_dump.h"
#include "tests/support/test_env.h"

using namespace vz::com;

namespace {

const std::string kServer = VZ_TEST_SERVER;
const Guid kClsid = *parseGuid("{5E1A0C13-7A2B-4C3D-9E4F-0A1B2C3D4E50}");

std::string realPath(const std::string& p) {
  char buf[PATH_MAX];
  return realpath(p.c_str(), buf) ? buf : p;
}

bool contains(const std::string& haystack, const std::string& needle) {
  return haystack.find(needle) != std::string::npos;
}

class Regsvr32 : public ::testing::Test {
 protected:
  // Runs the tool with args; its standard error goes to err_.
  int tool(std::vector<std::string> args, const std::string& cwd = "") {
    args.insert(args.begin(), vz::test::binDir() + "/regsvr32");
    err_.clear();
    return vz::test::run(args, nullptr, &err_, cwd);
  }
  vz::test::ScopedRoot root_;
  std::string err_;  // standard error of the last run
};

}  // namespace

TEST_F(Regsvr32, SilentRegistrationAndUnregistration) {
  EXPECT_EQ(tool({"/s", kServer}), 0);
  EXPECT_EQ(err_, "");
  EXPECT_EQ(serverPathOf(kClsid), realPath(kServer));
  EXPECT_EQ(tool({"-U", "/S", kServer}), 0);
  EXPECT_EQ(err_, "");
  EXPECT_EQ(vz::test::dumpClassesRoot(), std::set<std::string>{});
}

TEST_F(Regsvr32, ReportsSuccessInAMessage) {
  EXPECT_EQ(tool({kServer}), 0);
  EXPECT_TRUE(contains(err_, "RegSvr32")) << err_;
  EXPECT_TRUE(contains(err_, "DllRegisterServer in " + kServer + " succeeded.")) << err_;
  EXPECT_EQ(tool({"/u", kServer}), 0);
  EXPECT_TRUE(contains(err_, "DllUnregisterServer in " + kServer + " succeeded.")) << err_;
}

TEST_F(Regsvr32, LibraryInTheCurrentFolderIsRegisteredByItsFullPath) {
  const std::string dir = kServer.substr(0, kServer.rfind('/'));
  const std::string name = kServer.substr(kServer.rfind('/') + 1);
  EXPECT_EQ(tool({"/s", name}, dir), 0) << err_;
  EXPECT_EQ(serverPathOf(kClsid), realPath(kServer));
}

TEST_F(Regsvr32, FailuresHaveTheirStatusAndMessage) {
  const std::string missing = root_.path() + "/missing.so";
  EXPECT_EQ(tool({missing}), 3);
  EXPECT_TRUE(contains(err_, "LoadLibrary(\"" + missing + "\") failed.")) << err_;

  const std::string noEntry = vz::test::binDir() + "/libvzplatform.so";
  EXPECT_EQ(tool({noEntry}), 4);
  EXPECT_TRUE(contains(err_, noEntry + " was loaded, but the DllRegisterServer entry point was not found.")) << err_;
  EXPECT_EQ(tool({"/u", noEntry}), 4);
  EXPECT_TRUE(contains(err_, "the DllUnregisterServer entry point was not found.")) << err_;

  setenv("VZ_TEST_SERVER_FAIL", "typelib", 1);
  EXPECT_EQ(tool({kServer}), 5);
  EXPECT_TRUE(contains(err_, "DllRegisterServer in " + kServer + " failed.")) << err_;
  EXPECT_TRUE(contains(err_, "Return code was: 0x80040200")) << err_;
  EXPECT_EQ(tool({"/s", kServer}), 5);
  unsetenv("VZ_TEST_SERVER_FAIL");
  EXPECT_EQ(err_, "");
  EXPECT_EQ(tool({"/s", missing}), 3);
  EXPECT_EQ(tool({"/s", noEntry}), 4);
  EXPECT_EQ(err_, "");
  EXPECT_EQ(vz::test::dumpClassesRoot(), std::set<std::string>{});
}

TEST_F(Regsvr32, BadUsagePrintsTheUsage) {
  for (const auto& args :
       std::vector<std::vector<std::string>>{{}, {"/s"}, {"/x", kServer}, {kServer, kServer}, {"--u", kServer}}) {
    EXPECT_EQ(tool(args), 1);
    EXPECT_TRUE(contains(err_, "Usage: regsvr32")) << err_;
  }
  EXPECT_EQ(vz::test::dumpClassesRoot(), std::set<std::string>{});
}
