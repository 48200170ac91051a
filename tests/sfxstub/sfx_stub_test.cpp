// The self-extractor stub, run as a program: self-extractors made with the
// assembly from archives of peer tools and from hand-built archives, run
// without a terminal (standard input from /dev/null), with scripted answers
// (VZ_SFX_ANSWERS), and on a pseudo-terminal. The scripted runs use the
// stub's test build (bin/sfxtest/SFXSTUB.32, the only one with the hooks);
// the shipped stub is checked for what it links and that it runs.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <utime.h>

#include <filesystem>

#include "control/engine/format/crc32.h"
#include "control/engine/format/zip_crypto.h"
#include "control/engine/sfx/sfx_assembly.h"
#include "control/engine/sfx/sfx_config.h"
#include "control/engine/write/archive_update.h"
#include "platform/file.h"
#include "tests/engine/zip_builder.h"
#include "tests/support/test_env.h"

namespace vz {
namespace {

namespace fs = std::filesystem;

class SfxStub : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fileExists(test::binDir() + "/SFXSTUB.32") || !fileExists(testStubFolder() + "/SFXSTUB.32"))
      GTEST_SKIP() << "stub not built";
    ::unsetenv("VZ_SFX_ANSWERS");
    ::unsetenv("VZ_SFX_OPEN");
    ::unsetenv("VZ_SFX_CANCEL_AFTER");
  }
  void TearDown() override {
    ::unsetenv("VZ_SFX_ANSWERS");
    ::unsetenv("VZ_SFX_OPEN");
    ::unsetenv("VZ_SFX_CANCEL_AFTER");
  }

  // Where the stub's test build lies (the assembly looks for SFXSTUB.32 there).
  static std::string testStubFolder() { return test::binDir() + "/sfxtest"; }

  // A language file whose DefaultFolder is dest (empty: none).
  std::string languageFile(const std::string& dest) {
    const std::string p = dir_.file("T.ELF");
    test::writeFile(p, "[Main]\nIOErrorMsg=IOERR\nCantCreateDirMsg=NODIR\nDefaultFolder=" + dest + "\n");
    return p;
  }
  // Makes dir_/x.exe from zip with the assembly.
  std::string makeSfx(const std::string& zip, const std::string& dest, int mode = 2, bool ask = true,
                      const std::string& run = "") {
    engine::MakeExeRequest r;
    r.zipName = zip;
    r.exeName = dir_.file("x.exe");
    r.languageFile = languageFile(dest);
    r.overwriteMode = mode;
    r.askDirectory = ask;
    r.caption = "Test";
    r.programToLaunch = run;
    engine::MakeExeContext ctx;
    ctx.controlFolder = testStubFolder();
    EXPECT_EQ(engine::makeExeFile(r, ctx), engine::kMakeExeOk);
    ::chmod(r.exeName.c_str(), 0755);
    return r.exeName;
  }
  // Runs exe with standard input from /dev/null; returns the exit status.
  int runQuiet(const std::string& exe, std::string* err = nullptr) {
    std::string out, e;
    const int rc = test::run({"sh", "-c", "exec \"$0\" </dev/null", exe}, &out, &e);
    if (err) *err = e;
    return rc;
  }
  void answers(const std::string& lines) {
    const std::string p = dir_.file("answers.txt");
    test::writeFile(p, lines);
    ::setenv("VZ_SFX_ANSWERS", p.c_str(), 1);
  }
  std::string sample() {
    const std::string src = dir_.file("src");
    makeDirectories(src + "/sub/deeper");
    test::writeFile(src + "/a.txt", std::string_view("alpha\n"));
    std::string big;
    for (int i = 0; i < 200000; ++i) big += static_cast<char>((i * 7919) >> 3);
    test::writeFile(src + "/sub/big.bin", big);
    test::writeFile(src + "/sub/deeper/c.txt", std::string(50000, 'c'));
    return src;
  }
  static bool sameTree(const std::string& a, const std::string& b) { return test::run({"diff", "-r", a, b}) == 0; }

  // One private root for the suite: the temporary base folder is computed
  // once per process.
  static void SetUpTestSuite() { root_ = new test::ScopedRoot; }
  static void TearDownTestSuite() {
    delete root_;
    root_ = nullptr;
  }
  static inline test::ScopedRoot* root_ = nullptr;
  test::ScratchDir dir_;
};

TEST_F(SfxStub, ArchivesOfPeerToolsExtractByteForByteWithoutATerminal) {
  const std::string src = sample();
  int tried = 0;
  if (test::haveProgram("zip")) {
    ASSERT_EQ(test::run({"zip", "-qr", dir_.file("z.zip"), "."}, nullptr, nullptr, src), 0);
    const std::string exe = makeSfx(dir_.file("z.zip"), dir_.file("out1"));
    EXPECT_EQ(runQuiet(exe), 0);
    EXPECT_TRUE(sameTree(src, dir_.file("out1")));
    if (test::haveProgram("unzip")) {
      EXPECT_EQ(test::run({"unzip", "-tq", exe}), 0);
    }
    if (test::haveProgram("7zz")) {
      EXPECT_EQ(test::run({"7zz", "t", exe}), 0);
    }
    ++tried;
  }
  if (test::haveProgram("7zz")) {
    ASSERT_EQ(test::run({"7zz", "a", "-tzip", dir_.file("s.zip"), "."}, nullptr, nullptr, src), 0);
    const std::string exe = makeSfx(dir_.file("s.zip"), dir_.file("out2"));
    EXPECT_EQ(runQuiet(exe), 0);
    EXPECT_TRUE(sameTree(src, dir_.file("out2")));
    EXPECT_EQ(test::run({"7zz", "t", exe}), 0);
    if (test::haveProgram("unzip")) {
      EXPECT_EQ(test::run({"unzip", "-tq", exe}), 0);
    }
    ++tried;
  }
  if (!tried) GTEST_SKIP() << "no zip or 7zz";
}

// An archive written by our own writer (names in upper case, as it stores
// them) becomes a self-extractor that extracts byte for byte and that the
// peers accept.
TEST_F(SfxStub, ArchiveOfTheControlsWriterExtractsByteForByte) {
  const std::string src = dir_.file("SRC");
  makeDirectories(src + "/SUB");
  test::writeFile(src + "/A.TXT", std::string_view("alpha alpha alpha alpha alpha alpha\n"));
  std::string big;
  for (int i = 0; i < 150000; ++i) big += static_cast<char>((i * 131) >> 4);
  test::writeFile(src + "/SUB/BIG.BIN", big);
  engine::WriteEngine writer;
  engine::ZipFilesRequest req;
  req.zipName = dir_.file("own.zip");
  req.mask = src + "/*.*";
  req.recurse = true;
  req.storePathMethod = 1;
  ASSERT_EQ(engine::zipFiles(writer, req), engine::WriteStatus::Ok);
  const std::string exe = makeSfx(req.zipName, dir_.file("out3"));
  EXPECT_EQ(runQuiet(exe), 0);
  EXPECT_TRUE(sameTree(src, dir_.file("out3")));
  if (test::haveProgram("unzip")) {
    EXPECT_EQ(test::run({"unzip", "-tq", exe}), 0);
  }
  if (test::haveProgram("7zz")) {
    EXPECT_EQ(test::run({"7zz", "t", exe}), 0);
  }
}

TEST_F(SfxStub, StubNeedsNoSharedLibrary) {
  if (!test::haveProgram("file")) GTEST_SKIP() << "file missing";
  std::string out;
  test::run({"file", "-L", test::binDir() + "/SFXSTUB.32"}, &out);
  EXPECT_NE(out.find("statically linked"), std::string::npos) << out;
}

// The shipped stub travels inside every self-extracting archive: it stays
// under 1 MB.
TEST_F(SfxStub, StubStaysUnderOneMegabyte) {
  struct stat st {};
  ASSERT_EQ(::stat((test::binDir() + "/SFXSTUB.32").c_str(), &st), 0);
  EXPECT_LT(st.st_size, 1024 * 1024) << "SFXSTUB.32 is " << st.st_size << " bytes";
}

TEST_F(SfxStub, ArchiveAppendedWithoutShiftedOffsets) {
  test::ZipBuilder z;
  z.entries.push_back({});
  z.entries[0].name = "DIR/FILE.TXT";
  z.entries[0].data = "unshifted";
  const std::string zip = z.build();
  // Stub, then a block from the assembly's writer, then the archive as it is.
  const std::string lang = languageFile(dir_.file("out"));
  auto block = engine::encodeSfxConfig(engine::sfxConfigFromLanguageFile(lang, std::nullopt, std::nullopt, 2, true));
  auto stub = test::readFile(test::binDir() + "/SFXSTUB.32");
  stub.insert(stub.end(), block.begin(), block.end());
  stub.insert(stub.end(), zip.begin(), zip.end());
  test::writeFile(dir_.file("raw.exe"), stub);
  ::chmod(dir_.file("raw.exe").c_str(), 0755);
  EXPECT_EQ(runQuiet(dir_.file("raw.exe")), 0);
  EXPECT_EQ(readWholeFile(dir_.file("out/DIR/FILE.TXT")).value_or(""), "unshifted");
}

TEST_F(SfxStub, HostileNamesStayInsideTheDestination) {
  test::ZipBuilder z;
  for (const char* n : {"../evil1.txt", "/abs/evil2.txt", "C:\\evil3.txt", "a/../../evil4.txt", "d/x:y.txt"}) {
    test::TestEntry e;
    e.name = n;
    e.data = n;
    z.entries.push_back(e);
  }
  test::writeFile(dir_.file("h.zip"), z.build());
  const std::string out = dir_.file("box/out");
  makeDirectories(out);
  EXPECT_EQ(runQuiet(makeSfx(dir_.file("h.zip"), out)), 0);
  EXPECT_FALSE(fileExists(dir_.file("box/evil1.txt")));
  EXPECT_FALSE(fileExists("/abs/evil2.txt"));
  EXPECT_TRUE(fileExists(out + "/evil1.txt"));
  EXPECT_TRUE(fileExists(out + "/abs/evil2.txt"));
  EXPECT_TRUE(fileExists(out + "/evil3.txt"));
  EXPECT_TRUE(fileExists(out + "/a/evil4.txt"));
  EXPECT_TRUE(fileExists(out + "/d/x_y.txt"));  // ":" becomes "_"
}

TEST_F(SfxStub, FailuresOfTheTable) {
  // Zero entries: the I/O error text, nothing extracted.
  test::ZipBuilder empty;
  test::writeFile(dir_.file("e.zip"), empty.build());
  std::string err;
  EXPECT_EQ(runQuiet(makeSfx(dir_.file("e.zip"), dir_.file("o0")), &err), 2);
  EXPECT_NE(err.find("IOERR"), std::string::npos) << err;

  // A central name of 260 bytes ends the walk there: the entry before it is
  // extracted, the one after it is not, and the run reports the error.
  test::ZipBuilder z;
  z.entries.push_back({});
  z.entries[0].name = "FIRST.TXT";
  z.entries.push_back({});
  z.entries[1].name = std::string(260, 'n');
  z.entries.push_back({});
  z.entries[2].name = "LAST.TXT";
  test::writeFile(dir_.file("n.zip"), z.build());
  EXPECT_EQ(runQuiet(makeSfx(dir_.file("n.zip"), dir_.file("o1")), &err), 2);
  EXPECT_TRUE(fileExists(dir_.file("o1/FIRST.TXT")));
  EXPECT_FALSE(fileExists(dir_.file("o1/LAST.TXT")));
  EXPECT_NE(err.find("IOERR"), std::string::npos);

  // Methods 1 to 6: the internal-error text, the other entries still come.
  test::ZipBuilder m;
  m.entries.push_back({});
  m.entries[0].name = "SHRUNK.TXT";
  m.entries[0].method = 1;
  m.entries.push_back({});
  m.entries[1].name = "PLAIN.TXT";
  test::writeFile(dir_.file("m.zip"), m.build());
  EXPECT_EQ(runQuiet(makeSfx(dir_.file("m.zip"), dir_.file("o2")), &err), 2);
  EXPECT_NE(err.find("support DEFLATE and STORE method."), std::string::npos) << err;
  EXPECT_TRUE(fileExists(dir_.file("o2/PLAIN.TXT")));

  // A destination that cannot be created (its parent is missing).
  EXPECT_EQ(runQuiet(makeSfx(dir_.file("n.zip"), dir_.file("no/such/o3")), &err), 2);
  EXPECT_NE(err.find("NODIR"), std::string::npos);
}

TEST_F(SfxStub, OverwriteModesAndReplaceAnswers) {
  test::ZipBuilder z;
  for (const char* n : {"OLD.TXT", "NEW.TXT", "OTHER.TXT"}) {
    test::TestEntry e;
    e.name = n;
    e.data = std::string("archived ") + n;
    z.entries.push_back(e);  // dated 2020-01-01 12:00
  }
  test::writeFile(dir_.file("o.zip"), z.build());
  const std::string out = dir_.file("out");
  auto prepare = [&] {
    makeDirectories(out);
    for (const char* n : {"OLD.TXT", "NEW.TXT", "OTHER.TXT"}) test::writeFile(out + "/" + n, std::string_view("disk"));
    struct utimbuf old {};
    old.actime = old.modtime = 946684800;  // 2000-01-01: older than the entries
    ::utime((out + "/OLD.TXT").c_str(), &old);
    ::utime((out + "/OTHER.TXT").c_str(), &old);
  };
  auto content = [&](const char* n) { return readWholeFile(out + "/" + n).value_or(""); };

  prepare();  // "3": the older files replaced, the newer kept, no question
  EXPECT_EQ(runQuiet(makeSfx(dir_.file("o.zip"), out, 3)), 0);
  EXPECT_EQ(content("OLD.TXT"), "archived OLD.TXT");
  EXPECT_EQ(content("NEW.TXT"), "disk");
  prepare();  // "1": everything replaced
  EXPECT_EQ(runQuiet(makeSfx(dir_.file("o.zip"), out, 1)), 0);
  EXPECT_EQ(content("NEW.TXT"), "archived NEW.TXT");
  prepare();  // "0": nothing replaced
  EXPECT_EQ(runQuiet(makeSfx(dir_.file("o.zip"), out, 0)), 0);
  EXPECT_EQ(content("OLD.TXT"), "disk");
  EXPECT_EQ(content("NEW.TXT"), "disk");
  prepare();  // ask: yes, then never keeps the rest
  answers("ok\nyes\nnever\n");
  EXPECT_EQ(runQuiet(makeSfx(dir_.file("o.zip"), out, 2)), 0);
  EXPECT_EQ(content("OLD.TXT"), "archived OLD.TXT");
  EXPECT_EQ(content("NEW.TXT"), "disk");
  EXPECT_EQ(content("OTHER.TXT"), "disk");
  prepare();  // ask: no, then always replaces the rest
  answers("ok\nno\nalways\n");
  EXPECT_EQ(runQuiet(makeSfx(dir_.file("o.zip"), out, 2)), 0);
  EXPECT_EQ(content("OLD.TXT"), "disk");
  EXPECT_EQ(content("NEW.TXT"), "archived NEW.TXT");
  EXPECT_EQ(content("OTHER.TXT"), "archived OTHER.TXT");
  prepare();  // ask without a terminal: the default answers (yes for older, no for newer)
  ::unsetenv("VZ_SFX_ANSWERS");
  EXPECT_EQ(runQuiet(makeSfx(dir_.file("o.zip"), out, 2)), 0);
  EXPECT_EQ(content("OLD.TXT"), "archived OLD.TXT");
  EXPECT_EQ(content("NEW.TXT"), "disk");
}

TEST_F(SfxStub, PasswordAnswers) {
  if (!test::haveProgram("zip")) GTEST_SKIP() << "zip missing";
  const std::string src = dir_.file("p");
  makeDirectories(src);
  test::writeFile(src + "/1.txt", std::string_view("one"));
  test::writeFile(src + "/2.txt", std::string_view("two"));
  ASSERT_EQ(test::run({"zip", "-q", "-P", "secret", dir_.file("p.zip"), "1.txt", "2.txt"}, nullptr, nullptr, src), 0);
  const std::string exe = makeSfx(dir_.file("p.zip"), dir_.file("o1"));
  answers("ok\nretry wrong\nretry secret\n");  // the second password opens both
  EXPECT_EQ(runQuiet(exe), 0);
  EXPECT_EQ(readWholeFile(dir_.file("o1/2.txt")).value_or(""), "two");
  const std::string exe2 = makeSfx(dir_.file("p.zip"), dir_.file("o2"));
  answers("ok\nbypass\nretry secret\n");
  EXPECT_EQ(runQuiet(exe2), 0);
  EXPECT_FALSE(fileExists(dir_.file("o2/1.txt")));
  EXPECT_TRUE(fileExists(dir_.file("o2/2.txt")));
  const std::string exe3 = makeSfx(dir_.file("p.zip"), dir_.file("o3"));
  answers("ok\nnever\n");  // never: no later question, nothing extracted
  std::string err;
  EXPECT_EQ(runQuiet(exe3, &err), 0);
  EXPECT_FALSE(fileExists(dir_.file("o3/1.txt")));
  EXPECT_FALSE(fileExists(dir_.file("o3/2.txt")));
  // Without a terminal the password question's default cannot loop.
  ::unsetenv("VZ_SFX_ANSWERS");
  EXPECT_EQ(runQuiet(makeSfx(dir_.file("p.zip"), dir_.file("o4"))), 0);
  EXPECT_FALSE(fileExists(dir_.file("o4/1.txt")));
}

// A wrong password that happens to pass the one-byte header check, so the
// entry's data fails its CRC: it counts as wrong for the entry. The question
// comes again, and the file is written again from its start with the right
// password; bypassing instead leaves no damaged file behind.
TEST_F(SfxStub, PasswordPassingTheHeaderCheckButNotTheDataIsAskedAgain) {
  const std::string plain = "only the right password opens this entry";
  const uint32_t crc = engine::crc32Update(0, reinterpret_cast<const uint8_t*>(plain.data()), plain.size());
  test::TestEntry e;
  e.name = "LOCKED.TXT";
  e.flags = 1;  // encrypted
  e.crc = crc;
  e.uncompressedSize = static_cast<uint32_t>(plain.size());
  // Encryption headers made with "right", tried in a fixed order until one
  // also passes the check with "wrong".
  for (uint32_t seed = 0;; ++seed) {
    ASSERT_LT(seed, 100000u);
    uint8_t header[engine::kEncryptionHeaderSize];
    for (size_t i = 0; i + 1 < sizeof header; ++i) header[i] = static_cast<uint8_t>((seed >> (i % 4 * 8)) + i * 37);
    header[sizeof header - 1] = static_cast<uint8_t>(crc >> 24);
    engine::ZipKeys keys = engine::initKeys("right");
    engine::encryptBuffer(keys, header, sizeof header);
    engine::ZipKeys probe{};
    if (!engine::tryPassword("wrong", header, crc, e.time, &probe)) continue;
    std::string data(reinterpret_cast<const char*>(header), sizeof header);
    std::string body = plain;
    engine::encryptBuffer(keys, reinterpret_cast<uint8_t*>(body.data()), body.size());
    e.data = data + body;
    break;
  }
  test::ZipBuilder z;
  z.entries.push_back(e);
  test::writeFile(dir_.file("w.zip"), z.build());

  answers("ok\nretry wrong\nretry right\n");
  EXPECT_EQ(runQuiet(makeSfx(dir_.file("w.zip"), dir_.file("o1"))), 0);
  EXPECT_EQ(readWholeFile(dir_.file("o1/LOCKED.TXT")).value_or(""), plain);
  answers("ok\nretry wrong\nbypass\n");
  EXPECT_EQ(runQuiet(makeSfx(dir_.file("w.zip"), dir_.file("o2"))), 0);
  EXPECT_FALSE(fileExists(dir_.file("o2/LOCKED.TXT")));
}

TEST_F(SfxStub, CancelStopsTheRunAndSkipsTheRunCommand) {
  test::ZipBuilder z;
  for (int i = 0; i < 5; ++i) {
    test::TestEntry e;
    e.name = "F" + std::to_string(i);
    e.data = "x";
    z.entries.push_back(e);
  }
  test::writeFile(dir_.file("c.zip"), z.build());
  const std::string marker = dir_.file("opened");
  const std::string opener = dir_.file("opener.sh");
  test::writeFile(opener, "#!/bin/sh\necho \"$1\" > " + marker + "\n");
  ::chmod(opener.c_str(), 0755);
  ::setenv("VZ_SFX_OPEN", opener.c_str(), 1);
  ::setenv("VZ_SFX_CANCEL_AFTER", "2", 1);
  answers("ok\nyes\n");
  EXPECT_EQ(runQuiet(makeSfx(dir_.file("c.zip"), dir_.file("out"), 2, true, "F0")), 1);
  EXPECT_TRUE(fileExists(dir_.file("out/F1")));
  EXPECT_FALSE(fileExists(dir_.file("out/F3")));
  EXPECT_FALSE(fileExists(marker));
  // Answering no goes on to the end and starts the command.
  answers("ok\nno\n");
  EXPECT_EQ(runQuiet(makeSfx(dir_.file("c.zip"), dir_.file("out2"), 2, true, "F0")), 0);
  EXPECT_TRUE(fileExists(dir_.file("out2/F4")));
  EXPECT_EQ(readWholeFile(marker).value_or(""), dir_.file("out2/F0") + "\n");
}

TEST_F(SfxStub, CleanUpRemovesOnlyWhatTheRunCreated) {
  test::ZipBuilder z;
  z.entries.push_back({});
  z.entries[0].name = "SUB/RUN.SH";
  z.entries.push_back({});
  z.entries[1].name = "KEEP.TXT";
  test::writeFile(dir_.file("r.zip"), z.build());
  const std::string marker = dir_.file("opened");
  const std::string opener = dir_.file("opener.sh");
  test::writeFile(opener, "#!/bin/sh\ncat \"$1\" > /dev/null && echo \"$1\" > " + marker + "\n");
  ::chmod(opener.c_str(), 0755);
  ::setenv("VZ_SFX_OPEN", opener.c_str(), 1);

  // Fixed destination, no default folder: a fresh "TMP" folder, removed.
  const std::string tmp = std::getenv("TMPDIR");
  EXPECT_EQ(runQuiet(makeSfx(dir_.file("r.zip"), "", 2, false, "SUB/RUN.SH")), 0);
  const std::string opened = readWholeFile(marker).value_or("");
  ASSERT_FALSE(opened.empty());
  EXPECT_EQ(opened.rfind(tmp, 0), 0u) << opened;
  EXPECT_FALSE(fileExists(opened.substr(0, opened.size() - 1)));
  EXPECT_FALSE(fileExists(fs::path(opened).parent_path().parent_path().string()));

  // Fixed destination that exists with files of its own: those stay.
  const std::string dest = dir_.file("dest");
  makeDirectories(dest);
  test::writeFile(dest + "/MINE.TXT", std::string_view("mine"));
  test::writeFile(dest + "/KEEP.TXT", std::string_view("before"));
  EXPECT_EQ(runQuiet(makeSfx(dir_.file("r.zip"), dest, 1, false, "SUB/RUN.SH")), 0);
  EXPECT_TRUE(fileExists(dest + "/MINE.TXT"));
  EXPECT_TRUE(fileExists(dest + "/KEEP.TXT"));  // replaced, but it was there before
  EXPECT_FALSE(fileExists(dest + "/SUB"));
  // A run command that does not exist: the clean-up still runs.
  ::unsetenv("VZ_SFX_OPEN");
  EXPECT_EQ(runQuiet(makeSfx(dir_.file("r.zip"), dest, 0, false, "NOPE")), 0);
  EXPECT_FALSE(fileExists(dest + "/SUB"));
  EXPECT_TRUE(fileExists(dest + "/MINE.TXT"));
}

TEST_F(SfxStub, RunsOnAPseudoTerminal) {
  if (!test::haveProgram("python3")) GTEST_SKIP() << "python3 missing";
  const std::string src = sample();
  test::ZipBuilder z;
  z.entries.push_back({});
  z.entries[0].name = "T/A.TXT";
  z.entries[0].data = "through a terminal";
  test::writeFile(dir_.file("t.zip"), z.build());
  const std::string exe = makeSfx(dir_.file("t.zip"), dir_.file("outp"));
  const std::string script = dir_.file("drive.py");
  test::writeFile(script, std::string_view(R"PY(
import os, pty, sys, select
pid, fd = pty.fork()
if pid == 0:
    os.execv(sys.argv[1], [sys.argv[1]])
seen = b""
def wait_for(token):
    global seen
    while token not in seen:
        r, _, _ = select.select([fd], [], [], 30)
        if not r:
            sys.exit(3)
        try:
            data = os.read(fd, 4096)
        except OSError:
            sys.exit(4)
        if not data:
            sys.exit(5)
        seen += data
wait_for(b"Text [")
os.write(fd, b"\n")
wait_for(b"Choice")
os.write(fd, b"\n")
try:
    while True:
        data = os.read(fd, 4096)
        if not data:
            break
        seen += data
except OSError:
    pass
_, status = os.waitpid(pid, 0)
sys.stdout.write(seen.decode("utf-8", "replace"))
sys.exit(os.WEXITSTATUS(status))
)PY"));
  std::string out;
  EXPECT_EQ(test::run({"python3", script, exe}, &out), 0) << out;
  EXPECT_NE(out.find("== Test =="), std::string::npos) << out;
  EXPECT_NE(out.find("100%"), std::string::npos) << out;
  EXPECT_NE(out.find("A.TXT [100 %]"), std::string::npos) << out;
  EXPECT_EQ(readWholeFile(dir_.file("outp/T/A.TXT")).value_or(""), "through a terminal");
}

}  // namespace
}  // namespace vz
