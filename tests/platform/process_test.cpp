// Starting programs: the replaceable launcher, real starts with and without
// waiting, the command-line splitting rules, and the MIME-default query.
#include "platform/process.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>

#include "platform/file.h"
#include "tests/support/test_env.h"

namespace {

using Args = std::vector<std::string>;

TEST(Process, LauncherReplacementSeesEveryRequest) {
  vz::test::ScopedRoot root;
  std::vector<vz::LaunchRequest> seen;
  vz::Launcher previous = vz::setLauncher([&](const vz::LaunchRequest& r) {
    seen.push_back(r);
    return vz::LaunchResult{true, 0};
  });
  EXPECT_TRUE(vz::openDocument("/home/u/My Files/a b.zip"));
  EXPECT_TRUE(vz::openInTextEditor("/tmp/readme.txt"));
  EXPECT_TRUE(vz::runExecutable("/opt/vz/setup", {"/s", "a b"}));
  EXPECT_FALSE(vz::openDocument(""));
  vz::Launcher mine = vz::setLauncher(previous);
  EXPECT_TRUE(static_cast<bool>(mine));
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].argv, (Args{"xdg-open", "/home/u/My Files/a b.zip"}));
  EXPECT_FALSE(seen[0].wait);
  EXPECT_EQ(seen[1].argv, (Args{"xdg-open", "/tmp/readme.txt"}));
  EXPECT_EQ(seen[2].argv, (Args{"/opt/vz/setup", "/s", "a b"}));
}

TEST(Process, RealProgramsStartAndReportTheirExit) {
  vz::test::ScopedRoot root;
  vz::setLauncher(nullptr);
  vz::LaunchResult r = vz::startProgram({{"/bin/true"}, "", true});
  EXPECT_TRUE(r.started);
  EXPECT_EQ(r.exitCode, 0);
  r = vz::startProgram({{"false"}, "", true});  // found on PATH
  EXPECT_TRUE(r.started);
  EXPECT_EQ(r.exitCode, 1);
  // Arguments reach the program unchanged, in the working directory given.
  r = vz::startProgram({{"touch", "a b; $HOME"}, root.path(), true});
  EXPECT_TRUE(r.started);
  EXPECT_TRUE(vz::fileExists(root.path() + "/a b; $HOME"));

  errno = 0;
  r = vz::startProgram({{"/nonexistent/program"}, "", true});
  EXPECT_FALSE(r.started);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_FALSE(vz::startProgram({{"/bin/true"}, root.path() + "/no such dir", true}).started);
  EXPECT_FALSE(vz::startProgram({{}, "", true}).started);
  EXPECT_FALSE(vz::runExecutable("/nonexistent/setup"));
}

TEST(Process, ProgramNotWaitedForLeavesNoChildBehind) {
  vz::test::ScopedRoot root;
  vz::setLauncher(nullptr);
  vz::LaunchResult r = vz::startProgram({{"/bin/true"}, "", false});
  EXPECT_TRUE(r.started);
  EXPECT_FALSE(vz::startProgram({{"/nonexistent/program"}, "", false}).started);
  // The program was handed to init: nothing of ours remains to be reaped.
  int status;
  EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST(SplitCommandLine, FollowsTheQuotingRules) {
  EXPECT_EQ(vz::splitCommandLine("a b\t c"), (Args{"a", "b", "c"}));
  EXPECT_EQ(vz::splitCommandLine("   "), Args{});
  EXPECT_EQ(vz::splitCommandLine("/scan \"C:\\My Files\\a.zip\" /quiet"),
            (Args{"/scan", "C:\\My Files\\a.zip", "/quiet"}));
  EXPECT_EQ(vz::splitCommandLine("a\"b c\"d"), (Args{"ab cd"}));
  EXPECT_EQ(vz::splitCommandLine("\"\" x"), (Args{"", "x"}));
  EXPECT_EQ(vz::splitCommandLine("C:\\dir\\ x"), (Args{"C:\\dir\\", "x"}));  // backslashes alone are literal
  EXPECT_EQ(vz::splitCommandLine("a\\\"b"), (Args{"a\"b"}));                 // \" is a quote
  EXPECT_EQ(vz::splitCommandLine("a\\\\\"b c\""), (Args{"a\\b c"}));         // \\" is \ and a quote mark
  EXPECT_EQ(vz::splitCommandLine("a\\\\\\\"b"), (Args{"a\\\"b"}));           // \\\" is \ and "
  EXPECT_EQ(vz::splitCommandLine("\"a\"\"b\" c"), (Args{"a\"b", "c"}));      // "" inside quotes
  EXPECT_EQ(vz::splitCommandLine("\"open ended"), (Args{"open ended"}));
}

TEST(HasDefaultApplication, AsksTheMimeDatabaseThroughXdgMime) {
  vz::test::ScopedRoot root;
  std::string bin = root.path() + "/bin";
  ASSERT_TRUE(vz::makeDirectories(bin));
  std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  // Without xdg-mime on PATH there is no answer.
  setenv("PATH", bin.c_str(), 1);
  EXPECT_FALSE(vz::hasDefaultApplication("/tmp/a.zip"));
  // A stand-in that knows one type with one default application.
  std::string script = bin + "/xdg-mime";
  vz::test::writeFile(script, std::string_view("#!/bin/sh\n"
                                               "case \"$2 $3\" in\n"
                                               "  'filetype '*.zip) echo application/zip ;;\n"
                                               "  'filetype '*) echo text/x-unknown ;;\n"
                                               "  'default application/zip') echo org.example.Archiver.desktop ;;\n"
                                               "esac\n"));
  ASSERT_EQ(::chmod(script.c_str(), 0755), 0);
  EXPECT_TRUE(vz::hasDefaultApplication("/tmp/a b.zip"));
  EXPECT_FALSE(vz::hasDefaultApplication("/tmp/a.xyz"));
  EXPECT_FALSE(vz::hasDefaultApplication(""));
  setenv("PATH", oldPath.c_str(), 1);
}

}  // namespace
