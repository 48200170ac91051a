// The desktop actions through a replaced launcher: the argument vectors of
// Send To (desktop files with every kind of field code and quoting), mail,
// the file manager and the virus scanner, and the mail error texts.
#include "manager/app/desktop_actions.h"

#include <gtest/gtest.h>

#include "platform/folders.h"
#include "platform/process.h"
#include "tests/support/test_env.h"

namespace vz::manager {
namespace {

using Argv = std::vector<std::string>;

// Records every launch and answers with a chosen result.
class LauncherRecorder {
 public:
  explicit LauncherRecorder(LaunchResult answer = {true, 0}) {
    previous_ = setLauncher([this, answer](const LaunchRequest& r) {
      requests.push_back(r);
      return answer;
    });
  }
  ~LauncherRecorder() { setLauncher(previous_); }
  std::vector<LaunchRequest> requests;

 private:
  Launcher previous_;
};

class DesktopActionsTest : public ::testing::Test {
 protected:
  void writeDesktop(const std::string& file, const std::string& text) {
    test::writeFile(sendToFolder() + "/" + file, text);
  }
  test::ScopedRoot root_;
};

TEST_F(DesktopActionsTest, EmptySendToFolderHasNoEntries) {
  EXPECT_TRUE(sendToEntries().empty());
  test::writeFile(sendToFolder() + "/notes.txt", "Exec=cat\n");  // not a desktop file
  EXPECT_TRUE(sendToEntries().empty());
}

TEST_F(DesktopActionsTest, SendToEntriesAreNamedSortedAndFiltered) {
  writeDesktop("zeta.desktop", "[Desktop Entry]\nName=Burner\nName[de]=Brenner\nExec=burn %f\n");
  writeDesktop("alpha.desktop", "# comment\n[Desktop Entry]\nExec=mailer %U\n");
  writeDesktop("hidden.desktop", "[Desktop Entry]\nName=Gone\nExec=x\nHidden=true\n");
  writeDesktop("noexec.desktop", "[Desktop Entry]\nName=Nothing\n");
  writeDesktop("other.desktop",
               "[Desktop Action A]\nName=Wrong\nExec=wrong\n[Desktop Entry]\nName=Archiver\nExec=arch\n");
  std::vector<SendToEntry> e = sendToEntries();
  ASSERT_EQ(e.size(), 3u);
  EXPECT_EQ(e[0].caption, "Archiver");
  EXPECT_EQ(e[1].caption, "Burner");
  EXPECT_EQ(e[2].caption, "alpha");  // no Name: the file name
  EXPECT_EQ(e[2].desktopFile, sendToFolder() + "/alpha.desktop");
}

TEST_F(DesktopActionsTest, SendToExpandsFieldCodesWithoutAShell) {
  const std::string path = "/tmp/my archive's $HOME.zip";
  struct Row {
    std::string exec;
    Argv argv;
  } rows[] = {
      {"burn %f", {"burn", path}},
      {"burn --files=%F -v", {"burn", "--files=" + path, "-v"}},
      {"mailer %u %i %c --name %k", {"mailer", path, "--name"}},
      {"viewer", {"viewer", path}},  // no code: the path last
      {"\"/opt/my tool/run\" \"a \\\"q\\\" \\$x\" %U", {"/opt/my tool/run", "a \"q\" $x", path}},
      {"run 100%% %%f", {"run", "100%", "%f", path}},                        // escaped percents are no codes
      {"run\\sspaced %f", {"run", "spaced", path}},                          // \s is a blank, which separates
      {"sh -c \"echo %f; rm x\"", {"sh", "-c", "echo " + path + "; rm x"}},  // one argument, never a shell line
  };
  for (const Row& row : rows) {
    writeDesktop("t.desktop", "[Desktop Entry]\nName=T\nExec=" + row.exec + "\nPath=/work\n");
    LauncherRecorder rec;
    ASSERT_TRUE(sendTo({"T", sendToFolder() + "/t.desktop"}, path)) << row.exec;
    ASSERT_EQ(rec.requests.size(), 1u);
    EXPECT_EQ(rec.requests[0].argv, row.argv) << row.exec;
    EXPECT_EQ(rec.requests[0].workingDirectory, "/work");
    EXPECT_FALSE(rec.requests[0].wait);
  }
  // An unterminated quote or a missing file starts nothing.
  writeDesktop("bad.desktop", "[Desktop Entry]\nExec=\"run %f\n");
  LauncherRecorder rec;
  EXPECT_FALSE(sendTo({"B", sendToFolder() + "/bad.desktop"}, path));
  EXPECT_FALSE(sendTo({"M", sendToFolder() + "/missing.desktop"}, path));
  EXPECT_TRUE(rec.requests.empty());
}

TEST_F(DesktopActionsTest, SendToReportsALauncherFailure) {
  writeDesktop("t.desktop", "[Desktop Entry]\nExec=burn %f\n");
  LauncherRecorder rec({false, -1});
  EXPECT_FALSE(sendTo({"t", sendToFolder() + "/t.desktop"}, "/a.zip"));
}

TEST_F(DesktopActionsTest, MailMapsTheMailProgramsExitStatus) {
  struct Row {
    LaunchResult answer;
    int code;
  } rows[] = {{{true, 0}, 0}, {{true, 1}, 2},  {{true, 2}, 11},  {{true, 3}, 3},
              {{true, 4}, 2}, {{true, 5}, 12}, {{true, 143}, 2}, {{false, -1}, 3}};
  for (const Row& row : rows) {
    LauncherRecorder rec(row.answer);
    EXPECT_EQ(mailArchive("/data/set one.zip"), row.code) << row.answer.exitCode;
    ASSERT_EQ(rec.requests.size(), 1u);
    EXPECT_EQ(rec.requests[0].argv, (Argv{"xdg-email", "--subject", "set one.zip", "--attach", "/data/set one.zip"}));
    EXPECT_TRUE(rec.requests[0].wait);
  }
  EXPECT_EQ(mailErrorText(1), "The user canceled the logon dialog box.");
  EXPECT_EQ(mailErrorText(5), "There was insufficient memory to proceed.");
  EXPECT_EQ(mailErrorText(11), "The specified attachment was not found.");
  for (int code = 0; code <= 26; ++code) EXPECT_FALSE(mailErrorText(code).empty());
  EXPECT_NE(mailErrorText(99).find("99"), std::string::npos);
}

TEST_F(DesktopActionsTest, FileManagerAndVirusScanArguments) {
  LauncherRecorder rec;
  EXPECT_TRUE(openFileManager("/home/u/My Files"));
  EXPECT_FALSE(openFileManager(""));
  EXPECT_TRUE(startVirusScan("/usr/bin/scan", "-r \"--log=/tmp/a b.log\" --quiet", "/x/y z.zip"));
  EXPECT_TRUE(startVirusScan("scan", "", "/x.zip"));
  EXPECT_FALSE(startVirusScan("", "-r", "/x.zip"));
  ASSERT_EQ(rec.requests.size(), 3u);
  EXPECT_EQ(rec.requests[0].argv, (Argv{"xdg-open", "/home/u/My Files"}));
  EXPECT_EQ(rec.requests[1].argv, (Argv{"/usr/bin/scan", "-r", "--log=/tmp/a b.log", "--quiet", "/x/y z.zip"}));
  EXPECT_EQ(rec.requests[2].argv, (Argv{"scan", "/x.zip"}));
}

}  // namespace
}  // namespace vz::manager
