// The self-extractor assembly: argument rules, file lookup, the layout of
// the written file, the shifted archive and the result codes.
#include "control/engine/sfx/sfx_assembly.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "control/engine/sfx/sfx_config.h"
#include "platform/file.h"
#include "tests/engine/zip_builder.h"
#include "tests/support/test_env.h"

namespace vz::engine {
namespace {

const std::string kStubBytes = "#!fake stub\n" + std::string(500, 's');

class SfxAssembly : public ::testing::Test {
 protected:
  void SetUp() override {
    test::writeFile(ctlDir_.file("sfxstub.32"), kStubBytes);  // found ignoring case
    test::writeFile(ctlDir_.file("ENGLISH.ELF"), std::string_view("[Main]\nOKButton=Yes!\n"));
    ctx_.controlFolder = ctlDir_.path();
    test::ZipBuilder z;
    z.entries.push_back({});
    z.entries.push_back({});
    z.entries[1].name = "B/C.TXT";
    z.entries[1].data = "some text";
    z.comment = "archive comment";
    test::writeFile(dir_.file("a.zip"), z.build());
  }
  MakeExeRequest request() {
    MakeExeRequest r;
    r.zipName = dir_.file("a.zip");
    return r;
  }
  // One private root for the suite: the temporary base folder is computed
  // once per process.
  static void SetUpTestSuite() { root_ = new test::ScopedRoot; }
  static void TearDownTestSuite() {
    delete root_;
    root_ = nullptr;
  }
  static inline test::ScopedRoot* root_ = nullptr;
  test::ScratchDir dir_, ctlDir_;
  MakeExeContext ctx_;
};

TEST_F(SfxAssembly, WritesStubBlockAndShiftedArchive) {
  MakeExeRequest r = request();
  r.caption = "Title";
  r.programToLaunch = "run.sh";
  r.overwriteMode = 3;
  r.askDirectory = false;
  ASSERT_EQ(makeExeFile(r, ctx_), kMakeExeOk);
  const std::string exe = dir_.file("a.EXE");  // the archive's name, extension "EXE"
  const auto bytes = test::readFile(exe);
  ASSERT_GT(bytes.size(), kStubBytes.size() + kSfxConfigSize);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + static_cast<long>(kStubBytes.size())), kStubBytes);
  const SfxConfig c = decodeSfxConfig(bytes.data() + kStubBytes.size());
  EXPECT_EQ(c.caption, "Title");
  EXPECT_EQ(c.runCommand, "run.sh");
  EXPECT_EQ(c.okButton, "Yes!");
  EXPECT_EQ(c.cancelButton, "Cancel");
  EXPECT_EQ(c.overwriteMode, '3');
  EXPECT_EQ(c.askDirectory, '0');
  // Offsets count from the start of the new file: no extra bytes.
  ArchiveInput f;
  ASSERT_TRUE(f.open(exe));
  SfxPayload p;
  ASSERT_EQ(locateSfxArchive(f, p), kSfxLocateOk);
  EXPECT_EQ(p.extraBytes, 0);
  EXPECT_EQ(p.totalEntries, 2);
  ASSERT_TRUE(locateSfxPayload(f, p));
  EXPECT_EQ(p.configOffset, static_cast<int64_t>(kStubBytes.size()));
  if (test::haveProgram("unzip")) {
    std::string out;
    EXPECT_EQ(test::run({"unzip", "-t", exe}, &out), 0) << out;
  }
  // No temporary copy is left behind.
  std::string listing;
  test::run({"find", root_->path(), "-name", "ZIP*"}, &listing);
  EXPECT_EQ(listing, "");
}

TEST_F(SfxAssembly, NamesAndLookups) {
  MakeExeRequest r = request();
  r.exeName = "named.bin";  // no separator: the archive's folder
  EXPECT_EQ(makeExeOutputName(r), dir_.file("named.bin"));
  r.exeName = dir_.file("sub.exe");
  EXPECT_EQ(makeExeOutputName(r), dir_.file("sub.exe"));

  r = request();
  r.zipName = "";
  EXPECT_EQ(makeExeFile(r, ctx_), kMakeExeBadArchive);
  r.zipName = dir_.file("missing.zip");
  EXPECT_EQ(makeExeFile(r, ctx_), kMakeExeBadArchive);
  r = request();
  r.win32Target = false;  // "SFXSTUB.16" is not installed
  EXPECT_EQ(makeExeFile(r, ctx_), kMakeExeNoStub);
  r = request();
  r.languageFile = "OTHER.ELF";  // looked for beside the control
  EXPECT_EQ(makeExeFile(r, ctx_), kMakeExeNoLanguageFile);
  test::writeFile(ctlDir_.file("OTHER.ELF"), std::string_view("[Main]\n"));
  EXPECT_EQ(makeExeFile(r, ctx_), kMakeExeOk);
  r.languageFile = dir_.file("none.elf");  // a full path, used unchanged
  EXPECT_EQ(makeExeFile(r, ctx_), kMakeExeNoLanguageFile);
  EXPECT_FALSE(fileExists(dir_.file("a.EXE.tmp")));
}

TEST_F(SfxAssembly, UnpreparableArchiveRemovesTheOutput) {
  test::writeFile(dir_.file("bad.zip"), std::string_view("not an archive at all"));
  MakeExeRequest r = request();
  r.zipName = dir_.file("bad.zip");
  EXPECT_EQ(makeExeFile(r, ctx_), kMakeExeBadArchive);
  EXPECT_FALSE(fileExists(dir_.file("bad.EXE")));
}

TEST_F(SfxAssembly, ZeroEntriesAndLongComment) {
  test::ZipBuilder z;
  z.comment = std::string(65535, 'c');
  test::writeFile(dir_.file("e.zip"), z.build());
  MakeExeRequest r = request();
  r.zipName = dir_.file("e.zip");
  ASSERT_EQ(makeExeFile(r, ctx_), kMakeExeOk);
  ArchiveInput f;
  ASSERT_TRUE(f.open(dir_.file("e.EXE")));
  SfxPayload p;
  ASSERT_EQ(locateSfxArchive(f, p), kSfxLocateOk);
  EXPECT_EQ(p.totalEntries, 0);
  EXPECT_EQ(p.centralOffset, static_cast<int64_t>(kStubBytes.size() + kSfxConfigSize));
  EXPECT_EQ(f.size(), static_cast<int64_t>(kStubBytes.size() + kSfxConfigSize + 22 + 65535));
}

TEST_F(SfxAssembly, DriveChecks) {
  const std::string ini = dir_.file("drives.ini");
  const std::string media = dir_.file("media");
  makeDirectories(media);
  ::setenv("VZ_DRIVES", ini.c_str(), 1);
  MakeExeRequest r = request();
  r.exeName = "A:\\OUT.EXE";
  test::writeFile(ini, "[A:]\nRoot=" + media + "\nFreeUnknown=1\n");
  EXPECT_EQ(makeExeFile(r, ctx_), kMakeExeNoFreeSpace);
  test::writeFile(ini, "[A:]\nRoot=" + media + "\nType=cdrom\n");
  EXPECT_EQ(makeExeFile(r, ctx_), kMakeExeReadOnlyDrive);
  test::writeFile(ini, "[A:]\nRoot=" + media + "\nType=removable\nReadOnly=1\n");
  EXPECT_EQ(makeExeFile(r, ctx_), kMakeExeReadOnlyDrive);
  test::writeFile(ini, "[A:]\nRoot=" + media + "\nType=removable\nFree=50100\n");
  EXPECT_EQ(makeExeFile(r, ctx_), kMakeExeDiskFull);
  // A writable removable disk with room.
  test::writeFile(ini, "[A:]\nRoot=" + media + "\nType=removable\nFree=600000\nCapacity=600000\n");
  EXPECT_EQ(makeExeFile(r, ctx_), kMakeExeOk);
  EXPECT_TRUE(fileExists(media + "/OUT.EXE"));
}

}  // namespace
}  // namespace vz::engine
