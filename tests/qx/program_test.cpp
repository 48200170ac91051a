// The built qx program, run as a user runs it: results of real archives,
// creation through the registry and without it, a control that cannot be
// created, dialogs answered from a file or with their close answer, and
// events printed while the call runs. Every run has its own VZ_ROOT (the
// child inherits the fixture's), so registrations never leak.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "tests/support/test_env.h"

namespace vz::test {
namespace {

namespace fs = std::filesystem;

struct QxRun {
  int status = -1;
  std::string out, err;
};

class QxProgram : public ::testing::Test {
 protected:
  QxRun qx(std::vector<std::string> words, const std::string& program = binDir() + "/qx") {
    words.insert(words.begin(), program);
    QxRun r;
    r.status = run(words, &r.out, &r.err);
    return r;
  }

  // Files of 100 and 1,500 bytes zipped with the comment "Made for qx".
  std::string makeArchive() {
    if (!haveProgram("zip")) return {};
    writeFile(work_.file("small.bin"), std::string(100, 's'));
    writeFile(work_.file("large.txt"), std::string(1500, 'x'));
    const std::string zip = work_.file("sample.zip");
    std::string script = "cd '" + work_.path() + "' && printf 'Made for qx' | zip -q -z sample.zip small.bin large.txt";
    if (run({"sh", "-c", script}) != 0) return {};
    return zip;
  }

  // A copy of qx in a folder of its own, without QX30W32.so beside it (the
  // platform library is copied along so that the program starts at all).
  std::string lonelyQx() {
    fs::copy_file(binDir() + "/qx", lonely_.file("qx"));
    fs::copy_file(binDir() + "/libvzplatform.so", lonely_.file("libvzplatform.so"));
    return lonely_.file("qx");
  }

  ScopedRoot root_;
  ScratchDir work_{"qxwork"};
  ScratchDir lonely_{"qxlonely"};
};

TEST_F(QxProgram, ResultsAreFormattedByType) {
  const std::string zip = makeArchive();
  if (zip.empty()) GTEST_SKIP() << "zip is not available";

  QxRun r = qx({"GetZipBufferSize"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "32767\n");

  r = qx({"GetTotalSize", zip, "true", "0"});  // double: (100 + 1500) / 1024 rounded
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "2\n");

  r = qx({"IsFileNameInFilter", "DATA.TXT", "*.TXT"});
  EXPECT_EQ(r.out, "1\n");
  r = qx({"IsFileNameInFilter", "DATA.TXT.BAK", "*.TXT"});
  EXPECT_EQ(r.out, "0\n");

  r = qx({"GetGlobalComment", zip, "100", "FALSE"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Made for qx\n");
  r = qx({"GetGlobalComment", zip, "4", "0"});  // cut to iMaxLength
  EXPECT_EQ(r.out, "Made\n");

  r = qx({"GetCount", zip, "0"});
  EXPECT_EQ(r.out, "2\n");
}

TEST_F(QxProgram, UsageErrorsExitWithTwo) {
  QxRun r = qx({"NoSuchMethod", "x"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("unknown method"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");

  r = qx({"GetCount", "a.zip"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("takes 2 arguments, 1 given"), std::string::npos) << r.err;

  r = qx({"GetGlobalComment", "a.zip", "32768", "0"});
  EXPECT_EQ(r.status, 2);
  r = qx({});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("usage:"), std::string::npos);

  // "--" lets an argument start with "-".
  r = qx({"--", "IsFileNameInFilter", "-a-", "-?-"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "1\n");
}

TEST_F(QxProgram, HelpAndList) {
  QxRun r = qx({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("usage: qx"), std::string::npos);
  r = qx({"--list"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("  63  short UnzipFiles("), std::string::npos);
  EXPECT_NE(r.out.find("-515  long hWnd"), std::string::npos);
}

TEST_F(QxProgram, CreatedThroughTheRegistryOrNotAtAll) {
  const std::string program = lonelyQx();

  // Not registered and no library beside it: exit 3 with a message.
  QxRun r = qx({"GetZipBufferSize"}, program);
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("cannot create the control"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");

  // Registered: the lonely copy finds the control through the registry.
  ASSERT_EQ(run({binDir() + "/regsvr32", "/s", binDir() + "/QX30W32.so"}), 0);
  r = qx({"GetZipBufferSize"}, program);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "32767\n");

  ASSERT_EQ(run({binDir() + "/regsvr32", "/u", "/s", binDir() + "/QX30W32.so"}), 0);
  EXPECT_EQ(qx({"GetZipBufferSize"}, program).status, 3);

  // The qx beside the library needs no registration.
  r = qx({"GetUnzipBufferSize"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "24576\n");
}

// A registration whose library was moved away must not stop the qx that
// carries the control beside it.
TEST_F(QxProgram, StaleRegistrationFallsBackToTheLibraryBesideQx) {
  const std::string moved = lonely_.file("QX30W32.so");
  fs::copy_file(binDir() + "/QX30W32.so", moved);
  ASSERT_EQ(run({binDir() + "/regsvr32", "/s", moved}), 0);
  fs::remove(moved);
  QxRun r = qx({"GetZipBufferSize"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "32767\n");
}

TEST_F(QxProgram, AboutBoxAnsweredFromAFile) {
  const std::string answers = work_.file("answers.txt");
  writeFile(answers, "ok\n");
  QxRun r = qx({"--answers", answers, "AboutBox"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");  // no result
  EXPECT_NE(r.err.find("About Quorrin '95 Compression OCX...\tQuorrin '95 Compression OCX\\n"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("[OK]"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("qx: answers:"), std::string::npos) << r.err;

  // An answer naming a button the dialog lacks is reported, and the dialog
  // gets its close answer.
  writeFile(answers, "retry\n");
  r = qx({"--answers", answers, "AboutBox"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("qx: answers:"), std::string::npos) << r.err;
}

TEST_F(QxProgram, QuestionsAreLoggedWithoutAnswers) {
  // Standard input is not a terminal in run(): the close answer is taken
  // and the question still appears on standard error, one line.
  QxRun r = qx({"AboutBox"});
  EXPECT_EQ(r.status, 0) << r.err;
  std::istringstream lines(r.err);
  std::string line;
  int questions = 0;
  while (std::getline(lines, line))
    if (line.starts_with("About Quorrin '95 Compression OCX...\t")) ++questions;
  EXPECT_EQ(questions, 1) << r.err;

  // More questions than answers: the rest get their close answers.
  const std::string answers = work_.file("empty.txt");
  writeFile(answers, "");
  r = qx({"--answers", answers, "AboutBox"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("About Quorrin '95 Compression OCX..."), std::string::npos) << r.err;
}

// Runs argv on a new pseudo-terminal (standard input, output and error),
// types `typed` and prints everything the terminal showed; exits with the
// program's status. The select timeout only guards against a hang.
constexpr const char* kPtyScript = R"(import os, pty, sys, select
pid, fd = pty.fork()
if pid == 0:
    os.execv(sys.argv[2], sys.argv[2:])
os.write(fd, sys.argv[1].encode())
out = b""
while True:
    r, _, _ = select.select([fd], [], [], 60)
    if not r:
        break
    try:
        d = os.read(fd, 4096)
    except OSError:
        break
    if not d:
        break
    out += d
_, st = os.waitpid(pid, 0)
sys.stdout.write(out.decode(errors="replace"))
sys.exit(os.waitstatus_to_exitcode(st))
)";

TEST_F(QxProgram, DialogsAreAskedOnATerminal) {
  if (!haveProgram("python3")) GTEST_SKIP() << "python3 is not available";
  const std::string script = work_.file("on_terminal.py");
  writeFile(script, kPtyScript);
  std::string shown, errors;
  EXPECT_EQ(run({"python3", script, "ok\n", binDir() + "/qx", "AboutBox"}, &shown, &errors), 0) << shown << errors;
  EXPECT_NE(shown.find("About Quorrin '95 Compression OCX..."), std::string::npos) << shown;
  EXPECT_NE(shown.find("OK"), std::string::npos) << shown;
}

// Splits qx's standard output into lines.
std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

// --events with an extraction: every line before the result is an event
// line (a known event name, then tab-separated arguments) and the result
// comes last. Without bBackGroundProcessing no events fire at all. The
// per-file events are checked when the extraction succeeds.
TEST_F(QxProgram, EventsArePrintedBeforeTheResult) {
  const std::string zip = makeArchive();
  if (zip.empty()) GTEST_SKIP() << "zip is not available";
  const std::string dest = work_.file("out");
  fs::create_directory(dest);

  QxRun quiet = qx({"--events", "UnzipFiles", zip, "*.*", dest, "1", "0", "1", "", "0", "0"});
  ASSERT_EQ(quiet.status, 0) << quiet.err;
  ASSERT_EQ(linesOf(quiet.out).size(), 1u) << quiet.out;  // only the result

  fs::remove_all(dest);
  fs::create_directory(dest);
  QxRun r = qx({"--events", "UnzipFiles", zip, "*.*", dest, "1", "0", "1", "", "0", "1"});
  ASSERT_EQ(r.status, 0) << r.err;
  auto lines = linesOf(r.out);
  ASSERT_FALSE(lines.empty());
  const std::string result = lines.back();
  lines.pop_back();
  EXPECT_NO_THROW(static_cast<void>(std::stoi(result))) << result;
  for (const auto& l : lines) EXPECT_TRUE(l.starts_with("ZN") && l.find('\t') != std::string::npos) << l;
  if (result == "0") {
    EXPECT_NE(std::find(lines.begin(), lines.end(), "ZNOpenFile\tSMALL.BIN"), lines.end()) << r.out;
    EXPECT_NE(std::find(lines.begin(), lines.end(), "ZNCloseFile\tLARGE.TXT\t1"), lines.end()) << r.out;
  }
}

}  // namespace
}  // namespace vz::test
