// vz run as a child process against the scripted fake engine
// (tests/zipwrap/fake_engine, VZ_ENGINE_DIR): the exit status follows the
// severity of each result code with ReportResult's message on standard
// error, a missing engine gives 240 with the manager's contact sentence,
// the questions carry the main window's texts and their answers (from
// --answers, or the defaults without one) reach the engine's records, and
// the listing and comment come out on standard output.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/test_env.h"

namespace {

using vz::test::ScratchDir;

// Sets an environment variable for its lifetime.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

struct VzRun {
  int status = -1;
  std::string out, err, log;
};

class VzFakeEngine : public testing::Test {
 protected:
  // Runs vz with args; script is the fake engine's replay, answers the
  // --answers file's lines (none: no --answers).
  VzRun vz(std::vector<std::string> args, const std::string& script, const std::optional<std::string>& answers = {}) {
    vz::test::writeFile(dir_.file("script"), script);
    vz::test::writeFile(dir_.file("log"), std::string_view());
    ScopedEnv engine("VZ_ENGINE_DIR", engineDir_);
    ScopedEnv scriptEnv("VZ_FAKE_ENGINE_SCRIPT", dir_.file("script"));
    ScopedEnv logEnv("VZ_FAKE_ENGINE_LOG", dir_.file("log"));
    if (answers) {
      vz::test::writeFile(dir_.file("answers"), *answers);
      args.insert(args.begin() + 1, {"--answers", dir_.file("answers")});
    }
    args.insert(args.begin(), vz::test::binDir() + "/vz");
    VzRun r;
    r.status = vz::test::run(args, &r.out, &r.err, dir_.path());
    std::vector<uint8_t> log = vz::test::readFile(dir_.file("log"));
    r.log.assign(log.begin(), log.end());
    return r;
  }

  vz::test::ScopedRoot root_;
  ScratchDir dir_{"vzfake"};
  std::string engineDir_ = VZ_FAKE_ENGINE_DIR;
};

struct ResultRow {
  int code;
  int exitStatus;
  std::string message;  // on standard error ("" : none of ReportResult's)
};

class VzExitStatus : public VzFakeEngine, public testing::WithParamInterface<ResultRow> {};

TEST_P(VzExitStatus, FollowsTheSeverityWithTheMessage) {
  const ResultRow& row = GetParam();
  VzRun r = vz({"t", "z.zip"}, "result " + std::to_string(row.code) + "\n");
  EXPECT_EQ(r.status, row.exitStatus) << r.err;
  if (row.message.empty())
    EXPECT_EQ(r.err, "");
  else
    EXPECT_NE(r.err.find(row.message + "\n"), std::string::npos) << r.err;
  EXPECT_NE(r.log.find("call zwunzip 3 \\e -t z.zip\n"), std::string::npos) << r.log;
}

INSTANTIATE_TEST_SUITE_P(
    Table, VzExitStatus,
    testing::Values(ResultRow{0, 0, ""}, ResultRow{10, 1, "vz: no file or entry matched."},
                    ResultRow{140, 1, "vz: everything was already up to date."},
                    ResultRow{40, 1, "Warning: Some files were skipped while Testing Archive."},
                    ResultRow{50, 1, "Warning: The Zip file is empty."},
                    ResultRow{190, 1, "Warning: The Testing Archive operation was aborted."},
                    ResultRow{100, 2, "Error: Could not find the archive file."},
                    ResultRow{200, 2, "Error: The archive contains errors."},
                    // The secondary code in the high 16 bits is ignored.
                    ResultRow{(3 << 16) | 200, 2, "Error: The archive contains errors."},
                    ResultRow{500, 2, "Error: An error occured while Testing Archive the specified files."}));

TEST_F(VzFakeEngine, MissingEngineIsResult240WithTheManagersContact) {
  ScratchDir empty("vznoengine");
  engineDir_ = empty.path();
  VzRun r = vz({"l", "z.zip"}, "");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "Error: Vemora.Zip could not find the required DLL's. Please contact Dorvane.\n");
  EXPECT_EQ(r.out, "");
}

TEST_F(VzFakeEngine, UsageErrorsCallNothing) {
  VzRun r = vz({"a", "-d", "out", "z.zip", "f"}, "");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "vz: -d does not apply to 'vz a'\n");
  EXPECT_EQ(r.log, "");
  VzRun noAnswers = vz({"l", "--answers", dir_.file("none"), "z.zip"}, "");
  EXPECT_EQ(noAnswers.status, 2);
  EXPECT_NE(noAnswers.err.find("--answers"), std::string::npos);
}

TEST_F(VzFakeEngine, HelpAndVersionCallNothing) {
  VzRun help = vz({"--help"}, "");
  EXPECT_EQ(help.status, 0);
  for (const char* part : {"--comment-file FILE", "--since MMDDYY", "-0 .. -9", "Exit status", "VZ_ENGINE_DIR"})
    EXPECT_NE(help.out.find(part), std::string::npos) << part;
  VzRun version = vz({"--version"}, "");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("vz (Vemora.Zip) ", 0), 0u) << version.out;
  EXPECT_EQ(help.log + version.log, "");
}

TEST_F(VzFakeEngine, AnswersReachTheEngine) {
  std::string script = "cb 10 name=" + dir_.file("a.txt") +
                       "\n"
                       "cb 10 name=" +
                       dir_.file("sub/b.txt") +
                       "\n"
                       "cb 100 name=dir/e.bin\n"
                       "cb 100 name=f.bin\n"
                       "cb 1060 name=g.txt reason=6\n"
                       "cb 110 n=2\n"
                       "cb 110 n=0\n"
                       "cb 60 name=never.txt\n";
  VzRun r = vz({"x", "z.zip"}, script,
               "yes\n"
               "rename...\n"
               "cancel\n"  // the name is not given: the replace question again
               "rename...\n"
               "ok c.txt\n"
               "ok pass word\n"
               "always skip\n"
               "ok\n"
               "cancel\n");
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.log.find("reply 10 0 newname=\\e answer=1\n"), std::string::npos) << r.log;
  // A new name without a folder goes beside the existing file.
  EXPECT_NE(r.log.find("reply 10 0 newname=" + dir_.file("sub/c.txt") + " answer=1\n"), std::string::npos) << r.log;
  EXPECT_NE(r.log.find("reply 100 0 password=pass\\sword answer=2\n"), std::string::npos) << r.log;
  EXPECT_NE(r.log.find("reply 100 0 password=\\e answer=1\n"), std::string::npos) << r.log;
  EXPECT_NE(r.log.find("reply 110 0\nreply 110 1\n"), std::string::npos) << r.log;  // OK, then Cancel stops
  EXPECT_EQ(r.log.find("never.txt"), std::string::npos);
  // The questions and the warning, with the main window's texts.
  for (const std::string& line : {
           "Vemora.Zip\tThe file \"" + dir_.file("a.txt") +
               "\" already exists. Do you wish to replace this file?\t[Yes] [No]* [Rename...] [Cancel]\n",
           std::string("Rename b.txt...\tExtract the file under this name instead:\t[OK]* [Cancel]\n"),
           std::string("Password\te.bin\t[OK]- [Skip File]* [Always Skip]\n"),
           std::string("Skipping \"g.txt\", file's compressed data is corrupted.\n"),
           std::string("Vemora.Zip\tPlease insert disk 2 of the set.\t[OK]* [Cancel]\n"),
           std::string("Vemora.Zip\tPlease insert the LAST DISK of the set.\t[OK]* [Cancel]\n"),
           std::string("Warning: The Extracting files operation was aborted.\n"),
       })
    EXPECT_NE(r.err.find(line), std::string::npos) << line << "\n---\n" << r.err;
  EXPECT_EQ(r.err.find("vz: --answers"), std::string::npos) << r.err;
}

// Without a terminal and without --answers each question takes its default
// button: keep the file, skip the encrypted entry, the disk is in.
TEST_F(VzFakeEngine, DefaultAnswersChangeNothing) {
  VzRun r = vz({"x", "z.zip"}, "cb 10 name=a.txt\ncb 100 name=e.bin\ncb 110 n=1\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.log.find("reply 10 0 newname=\\e answer=0\nreply 100 0 password=\\e answer=0\nreply 110 0\n"),
            std::string::npos)
      << r.log;
}

TEST_F(VzFakeEngine, SkipReasonsWhileTesting) {
  const char* reasons[] = {"file not found.",
                           "unknown compression.",
                           "CRC check failure.",
                           "file is already up to date.",
                           "unable to open file.",
                           "invalid or no password to decrypt file.",
                           "file's compressed data is corrupted.",
                           "instructed not to overwrite."};
  std::string script;
  for (int i = 0; i < 8; ++i) script += "cb 1060 name=n" + std::to_string(i) + " reason=" + std::to_string(i) + "\n";
  script += "result 40\n";
  VzRun r = vz({"t", "z.zip"}, script);
  EXPECT_EQ(r.status, 1);
  for (int i = 0; i < 8; ++i) {
    std::string line = "File \"n" + std::to_string(i) + "\" failed test: " + reasons[i] + "\n";
    EXPECT_NE(r.err.find(line), std::string::npos) << line << r.err;
  }
  EXPECT_NE(r.out.find("All files tested in the archive are OK.\n(Some files were skipped)\n"), std::string::npos);
}

TEST_F(VzFakeEngine, ListingLinesAndTotals) {
  // 2024-03-05 13:45:10 as a DOS stamp: date (44 << 9 | 3 << 5 | 5), time (13 << 11 | 45 << 5 | 5).
  std::string script =
      "cb 80 name=docs/read\\sme.txt size=1000 a=250 date=22629 time=28069\n"
      "cb 80 name=secret.bin size=10 a=22 flag=1 date=0 time=0\n";
  VzRun r = vz({"l", "-x", "*.o", "z.zip"}, script);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "      Size     Packed Saved Date       Time  Name\n"
            "---------- ---------- ----- ---------- ----- ----\n"
            "      1000        250   75% 2024-03-05 13:45 docs/read me.txt\n"
            "        10         22    0% 1980-01-01 00:00 secret.bin *\n"
            "---------- ---------- -----                  ----\n"
            "      1010        272   73%                  2 files\n");
  EXPECT_NE(r.log.find("call zwunzip 6 \\e -v z.zip * -x *.o\n"), std::string::npos) << r.log;
}

TEST_F(VzFakeEngine, CommentReadAndWritten) {
  VzRun read = vz({"c", "z.zip"}, "cb 130 text=two\\swords,\\sno\\snewline len=21\n");
  EXPECT_EQ(read.status, 0) << read.err;
  EXPECT_EQ(read.out, "two words, no newline\n");
  EXPECT_NE(read.log.find("call zwunzip 3 \\e -z z.zip\n"), std::string::npos) << read.log;

  VzRun failed = vz({"c", "z.zip"}, "result 100\n");
  EXPECT_EQ(failed.status, 2);
  EXPECT_EQ(failed.out, "");
  EXPECT_NE(failed.err.find("Error: Could not find the archive file."), std::string::npos);

  vz::test::writeFile(dir_.file("comment.txt"), std::string(300, 'c'));
  VzRun written = vz({"c", "--comment-file", "comment.txt", "--in-place", "z.zip"}, "cb 140\n");
  EXPECT_EQ(written.status, 0) << written.err;
  EXPECT_NE(written.log.find("call zwzip 4 \\e -z -g z.zip\n"), std::string::npos) << written.log;
  EXPECT_NE(written.log.find("reply 140 0 length=255 status=1 comment=" + std::string(255, 'c')), std::string::npos);
  EXPECT_NE(written.err.find("cut to 255"), std::string::npos);
}

TEST_F(VzFakeEngine, AddCommandLineReachesTheWriter) {
  VzRun r = vz({"a", "-rj9", "-p", "pw", "--store", ".GZ", "--since", "010224", "z.zip", "src", "-x", "*.o"},
               "cb 1010 name=src/a.c pct=0\ncb 1010 name=src/a.c pct=100\ncb 1010 name=src/b.c pct=100\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.log.find("call zwzip 15 pw -e -9 -r -j -b \\e -n .GZ -t 010224 z.zip src -x *.o\n"), std::string::npos)
      << r.log;
  EXPECT_EQ(r.out, "  adding: src/a.c\n  adding: src/b.c\n");  // one line per file, no progress off a terminal
  EXPECT_EQ(r.err, "");
}

}  // namespace
