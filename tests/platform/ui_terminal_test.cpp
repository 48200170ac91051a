// The terminal back end: answers by number, access key and name through a
// pipe pair; masked input through a pseudo-terminal, where the terminal's
// own echo would show a typed password.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "platform/ui.h"
#include "tests/support/test_env.h"

namespace {

using namespace vz::ui;

// Runs fn with a terminal back end reading `input` from a pipe and writing
// to another pipe; returns what it wrote.
template <class Fn>
std::string withPipes(const std::string& input, Fn fn) {
  int in[2], out[2];
  EXPECT_EQ(::pipe(in), 0);
  EXPECT_EQ(::pipe(out), 0);
  EXPECT_EQ(::write(in[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
  ::close(in[1]);  // the end of the answers
  fn(*makeTerminalBackend(in[0], out[1]));
  ::close(out[1]);
  std::string written;
  char buf[4096];
  ssize_t r;
  while ((r = ::read(out[0], buf, sizeof buf)) > 0) written.append(buf, static_cast<size_t>(r));
  ::close(in[0]);
  ::close(out[0]);
  return written;
}

Question replaceQuestion() {
  Question q;
  q.caption = "Replace...";
  q.text = "The file a.txt already exists.";
  q.buttons = {{9, "&Yes", true, false, false},
               {10, "&No", false, false, false},
               {11, "&Always", false, false, false},
               {12, "Ne&ver", false, false, false},
               {13, "&Rename...", false, true, false}};
  q.closeId = 10;
  return q;
}

TEST(TerminalBackend, AcceptsNumberAccessKeyNameAndDefault) {
  std::vector<int> got;
  std::string shown = withPipes("2\nv\n  Always \nrename\nrename...\nx\n9\n\n", [&](Backend& b) {
    Question q = replaceQuestion();
    got.push_back(b.ask(q).buttonId);  // "2"
    got.push_back(b.ask(q).buttonId);  // "v": Ne&ver
    got.push_back(b.ask(q).buttonId);  // a name, blanks around it
    got.push_back(b.ask(q).buttonId);  // "rename" is disabled, so is "rename...", "x" and "9" are
                                       // nothing; the empty line takes the default
    got.push_back(b.ask(q).buttonId);  // end of input: the close answer
  });
  EXPECT_EQ(got, (std::vector<int>{10, 12, 11, 9, 10}));
  EXPECT_NE(shown.find("== Replace... =="), std::string::npos) << shown;
  EXPECT_NE(shown.find("The file a.txt already exists.\n"), std::string::npos);
  EXPECT_NE(shown.find("  1) Yes  (default)\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("  5) Rename...  (not available)\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("Rename... is not available."), std::string::npos);
  EXPECT_NE(shown.find("Please answer with a number from 1 to 5"), std::string::npos);
}

TEST(TerminalBackend, EditFieldIsReadFirstAndEnablesItsButton) {
  Question q;
  q.caption = "Rename a.txt...";
  q.buttons = {{1, "Ok", true, false, true}, {2, "Cancel", false, false, false}};
  q.closeId = 2;
  q.edit = EditField{"New name:", "", 8, false};
  Answer first, second;
  std::string shown = withPipes("\nok\n2\nb-long-name.txt\n\n", [&](Backend& b) {
    first = b.ask(q);   // empty name: Ok is not available, Cancel chosen
    second = b.ask(q);  // a name (cut to 8), Enter takes Ok
  });
  EXPECT_EQ(first.buttonId, 2);
  EXPECT_EQ(second.buttonId, 1);
  EXPECT_EQ(second.editText, "b-long-n");
  EXPECT_NE(shown.find("New name: "), std::string::npos) << shown;
  EXPECT_NE(shown.find("Ok is not available."), std::string::npos) << shown;
}

TEST(TerminalBackend, ChoosersReadPaths) {
  vz::test::ScopedRoot root;
  std::string folder = root.path();
  vz::test::writeFile(folder + "/set1.zip", std::string_view("x"));
  FileChooser open;
  open.caption = "Please choose backup set...";
  open.filter = "ZIP files|*.ZIP|All|*.*||";
  open.initialFolder = folder;
  open.mustExist = true;
  FileChooser save;
  save.save = true;
  save.initialFolder = folder;
  save.initialName = "new.zip";
  std::vector<std::vector<std::string>> files;
  std::vector<std::optional<std::string>> folders;
  std::string input =
      "missing.zip\nset1.zip\n"  // relative to the folder; a missing file is refused
      "\n"                       // save: Enter accepts the offered name
      "-\n"                      // save: cancelled
      "set1.zip\n"               // folder chooser: not a folder
      "tmp\n"
      "\n";  // no offered folder: cancel
  std::string shown = withPipes(input, [&](Backend& b) {
    files.push_back(b.chooseFiles(open));
    files.push_back(b.chooseFiles(save));
    files.push_back(b.chooseFiles(save));
    folders.push_back(b.chooseFolder({"Choose", folder}));
    folders.push_back(b.chooseFolder({"Choose", ""}));
  });
  EXPECT_EQ(files[0], (std::vector<std::string>{folder + "/set1.zip"}));
  EXPECT_EQ(files[1], (std::vector<std::string>{folder + "/new.zip"}));
  EXPECT_TRUE(files[2].empty());
  EXPECT_EQ(folders[0].value_or(""), folder + "/tmp");
  EXPECT_FALSE(folders[1].has_value());
  EXPECT_NE(shown.find("Types: ZIP files (*.ZIP), All (*.*)"), std::string::npos) << shown;
  EXPECT_NE(shown.find("missing.zip does not exist."), std::string::npos) << shown;
  EXPECT_NE(shown.find("set1.zip is not a folder."), std::string::npos) << shown;
}

// A pseudo-terminal: the back end gets the terminal side, the test plays
// the user on the controlling side.
class Pty {
 public:
  Pty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    const char* name = ::ptsname(master_);
    if (name) slave_ = ::open(name, O_RDWR | O_NOCTTY);
  }
  ~Pty() {
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
  }
  bool ok() const { return master_ >= 0 && slave_ >= 0; }
  int slave() const { return slave_; }

  // Reads what the terminal shows until `marker` has appeared; all of it.
  // Gives up after a generous wait so a broken back end cannot hang the test.
  std::string readUntil(const std::string& marker) {
    std::string seen;
    while (seen.find(marker) == std::string::npos) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 20000) <= 0) break;
      char buf[512];
      ssize_t r = ::read(master_, buf, sizeof buf);
      if (r <= 0) break;
      seen.append(buf, static_cast<size_t>(r));
    }
    return seen;
  }
  void type(const std::string& keys) { ASSERT_EQ(::write(master_, keys.data(), keys.size()), (ssize_t)keys.size()); }

 private:
  int master_ = -1;  // the user's side
  int slave_ = -1;   // the terminal the back end uses
};

TEST(TerminalBackend, MaskedInputIsNotEchoedAndEchoIsRestored) {
  Pty pty;
  if (!pty.ok()) GTEST_SKIP() << "no pseudo-terminals here";
  Question q;
  q.caption = "Password...";
  q.text = "a.zip is an encrypted file.";
  q.buttons = {{16, "&Retry", true, false, false}, {17, "&Bypass", false, false, false}};
  q.closeId = 17;
  q.edit = EditField{"Password:", "", 0, true};
  Answer answer;
  auto backend = makeTerminalBackend(pty.slave(), pty.slave());
  std::thread user([&] { answer = backend->ask(q); });
  std::string before = pty.readUntil("Password: ");
  pty.type("s3cr3t pw\n");
  std::string after = pty.readUntil("Choice");
  pty.type("r\n");
  user.join();
  EXPECT_NE(before.find("== Password... =="), std::string::npos) << before;
  EXPECT_EQ(after.find("s3cr3t"), std::string::npos) << "the password was echoed: " << after;
  EXPECT_NE(after.find("1) Retry  (default)"), std::string::npos) << after;
  EXPECT_EQ(answer.buttonId, 16);
  EXPECT_EQ(answer.editText, "s3cr3t pw");
  termios t{};
  ASSERT_EQ(::tcgetattr(pty.slave(), &t), 0);
  EXPECT_NE(t.c_lflag & ECHO, 0u);  // echo is back on
  // An unmasked field is echoed by the terminal as usual.
  q.edit->masked = false;
  std::thread again([&] { answer = backend->ask(q); });
  pty.readUntil("Password: ");
  pty.type("visible\n");
  std::string shown = pty.readUntil("Choice");
  pty.type("b\n");
  again.join();
  EXPECT_NE(shown.find("visible"), std::string::npos);
  EXPECT_EQ(answer.buttonId, 17);
}

}  // namespace
