// The driver's rules on archives built byte by byte: selection by mask,
// the overwrite modes and their time rule, the replace and password
// questions (scripted), directory entries, skipped and damaged entries,
// read-only files, UnzipToFile, the events of a run, cancelling from an
// event, the drive checks (simulated drives), and the results of the
// operations before any entry.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "control/engine/format/dos_time.h"
#include "control/engine/common/status.h"
#include "control/engine/format/zip_crypto.h"
#include "platform/attributes.h"
#include "tests/engine/extract/extract_test_util.h"

namespace vz::test {
namespace {

using engine::PasswordAnswer;
using engine::ReplaceAnswer;

// DOS stamps of 2020-01-01 12:00:00 (the builder's default) and the moment
// they name.
constexpr uint16_t kTime = 0x6000, kDate = 0x5021;
std::time_t entryTime() { return *engine::timeOfDosDateTime(engine::combineDosDateTime(kTime, kDate)); }

// An entry encrypted with password (stored method; the check bytes from
// the CRC, as the engine writes them).
TestEntry encrypted(std::string name, const std::string& data, const std::string& password) {
  TestEntry e = entry(std::move(name), data);
  const uint32_t crc = referenceCrc32(data);
  engine::ZipKeys keys = engine::initKeys(password);
  uint8_t header[12];
  const uint8_t random[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  engine::buildEncryptionHeader(keys, crc, random, header);
  std::string body = data;
  engine::encryptBuffer(keys, reinterpret_cast<uint8_t*>(body.data()), body.size());
  e.data = std::string(reinterpret_cast<char*>(header), 12) + body;
  e.crc = crc;
  e.uncompressedSize = static_cast<uint32_t>(data.size());
  e.flags = 1;
  return e;
}

class ExtractRules : public ExtractTest {
 protected:
  std::string threeFiles() {
    ZipBuilder b;
    b.entries = {entry("README.TXT", "root readme"), entry("SUB/README.TXT", "sub readme"),
                 entry("SUB/DATA.BIN", "bin"), entry("notes.txt", "notes")};
    return archive(b);
  }
};

TEST_F(ExtractRules, MasksSelectEntries) {
  const std::string zip = threeFiles();
  EXPECT_EQ(unzip(zip, file("all")), ReadStatus::Ok);
  EXPECT_EQ(treeOf(file("all")).size(), 4u);
  EXPECT_EQ(unzip(zip, file("exact"), "readme.txt"), ReadStatus::Ok);
  EXPECT_EQ(treeOf(file("exact")), (std::map<std::string, std::string>{{"README.TXT", "root readme"}}));
  EXPECT_EQ(unzip(zip, file("wild"), "*.TXT"), ReadStatus::Ok);
  EXPECT_EQ(treeOf(file("wild")).size(), 3u);
  EXPECT_EQ(unzip(zip, file("sub"), "SUB\\*.*"), ReadStatus::Ok);
  EXPECT_EQ(treeOf(file("sub")).size(), 2u);
  EXPECT_EQ(unzip(zip, file("none"), "NOTHERE.TXT"), ReadStatus::Ok);
  EXPECT_FALSE(fs::exists(file("none/README.TXT")));
  // Drop paths: every file into the destination itself, ":" as "_".
  ZipBuilder b;
  b.entries = {entry("A/B/C:D.TXT", "cd")};
  EXPECT_EQ(unzip(archive(b, "c.zip"), file("flat"), "", false), ReadStatus::Ok);
  EXPECT_EQ(treeOf(file("flat")), (std::map<std::string, std::string>{{"C_D.TXT", "cd"}}));
  EXPECT_EQ(engine::unzipFiles(st, zip, std::string(1024, '*'), file("long"), true, 1), ReadStatus::MaskTooLong);
  EXPECT_EQ(engine::unzipFiles(st, zip, std::string(1023, '*'), file("long"), true, 1), ReadStatus::Ok);
}

TEST_F(ExtractRules, OverwriteModesAndTheTimeRule) {
  const std::string zip = threeFiles();
  const std::string out = file("out");
  auto prepare = [&](std::time_t diskTime) {
    fs::remove_all(out);
    fs::create_directories(out);
    writeFile(out + "/README.TXT", "old");
    setTime(out + "/README.TXT", diskTime);
  };
  struct Case {
    int mode;
    std::time_t disk;
    const char* want;
    ReadStatus status;
  };
  const std::time_t t = entryTime();
  const Case cases[] = {
      {0, t - 100, "old", ReadStatus::Skipped},
      {1, t + 100, "root readme", ReadStatus::Ok},
      {3, t - 100, "root readme", ReadStatus::Ok},
      {3, t + 100, "old", ReadStatus::Skipped},
      {3, t, "old", ReadStatus::Skipped},      // equal times: the disk copy counts as newer
      {3, t - 1, "old", ReadStatus::Skipped},  // an odd disk second rounds up to the entry's
      {3, t - 2, "root readme", ReadStatus::Ok},
      {7, t - 100, "old", ReadStatus::Skipped},  // an unknown mode never overwrites
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.mode << " " << c.disk - t);
    prepare(c.disk);
    EXPECT_EQ(unzip(zip, out, "README.TXT", true, c.mode), c.status);
    EXPECT_EQ(readText(out + "/README.TXT"), c.want);
  }
  EXPECT_TRUE(prompts.replaceAsked.empty());
}

TEST_F(ExtractRules, ReplaceQuestionAnswers) {
  const std::string zip = threeFiles();
  const std::string out = file("out");
  auto prepare = [&] {
    fs::remove_all(out);
    EXPECT_EQ(unzip(zip, out), ReadStatus::Ok);
    for (const auto& [name, data] : treeOf(out)) {
      writeFile(out + "/" + name, "old");
      setTime(out + "/" + name, entryTime() + 100);
    }
    prompts.replaceAsked.clear();
  };
  // Always in the first question answers every later one.
  prepare();
  prompts.replace = {ReplaceAnswer::Always};
  EXPECT_EQ(unzip(zip, out, "", true, 2), ReadStatus::Ok);
  EXPECT_EQ(prompts.replaceAsked.size(), 1u);
  EXPECT_EQ(prompts.replaceAsked[0].path, out + "/README.TXT");
  EXPECT_FALSE(prompts.replaceAsked[0].archiveNewer);
  EXPECT_EQ(readText(out + "/NOTES.TXT"), "notes");
  EXPECT_EQ(engine::unzipGetReplaceFlag(st), 1);
  // Never: nothing replaced, one question.
  prepare();
  prompts.replace = {ReplaceAnswer::Never};
  EXPECT_EQ(unzip(zip, out, "", true, 2), ReadStatus::Skipped);
  EXPECT_EQ(prompts.replaceAsked.size(), 1u);
  EXPECT_EQ(engine::unzipGetReplaceFlag(st), 0);
  EXPECT_EQ(readText(out + "/NOTES.TXT"), "old");
  // Yes, No, then Rename cancelled (asked again: Yes) and Rename to a new name.
  prepare();
  prompts.replace = {ReplaceAnswer::Yes, ReplaceAnswer::No, ReplaceAnswer::Rename, ReplaceAnswer::Yes,
                     ReplaceAnswer::Rename};
  prompts.rename = {std::nullopt, std::string("renamed.txt")};
  EXPECT_EQ(unzip(zip, out, "", true, 2), ReadStatus::Skipped);
  EXPECT_EQ(prompts.replaceAsked.size(), 5u);
  EXPECT_EQ(prompts.renameAsked, (std::vector<std::string>{"DATA.BIN", "NOTES.TXT"}));
  EXPECT_EQ(engine::unzipGetReplaceFlag(st), 2);
  EXPECT_EQ(readText(out + "/README.TXT"), "root readme");
  EXPECT_EQ(readText(out + "/SUB/README.TXT"), "old");
  EXPECT_EQ(readText(out + "/SUB/DATA.BIN"), "bin");
  EXPECT_EQ(readText(out + "/NOTES.TXT"), "old");
  EXPECT_EQ(readText(out + "/renamed.txt"), "notes");
  // Without prompts the question is answered Never.
  prepare();
  st.prompts = nullptr;
  EXPECT_EQ(unzip(zip, out, "", true, 2), ReadStatus::Skipped);
  EXPECT_EQ(engine::unzipGetReplaceFlag(st), 0);
}

TEST_F(ExtractRules, PasswordQuestionAnswers) {
  ZipBuilder b;
  b.entries = {encrypted("A.TXT", "alpha", "right"), encrypted("B.TXT", "beta", "right"), entry("C.TXT", "plain")};
  const std::string zip = archive(b);
  // Asking off and no password: skipped without a question.
  EXPECT_EQ(unzip(zip, file("o1")), ReadStatus::Skipped);
  EXPECT_EQ(treeOf(file("o1")).size(), 1u);
  EXPECT_TRUE(prompts.passwordAsked.empty());
  // The right password given: no question.
  st.password = "right";
  EXPECT_EQ(unzip(zip, file("o2")), ReadStatus::Ok);
  EXPECT_EQ(readText(file("o2/A.TXT")), "alpha");
  EXPECT_EQ(engine::testArchive(st, zip), ReadStatus::Ok);
  // Asked: a wrong try, then the right one, which serves the next entry too.
  st.password.clear();
  st.askPassword = true;
  prompts.password = {{PasswordAnswer::Retry, "wrong"}, {PasswordAnswer::Retry, "right"}};
  EXPECT_EQ(unzip(zip, file("o3")), ReadStatus::Ok);
  ASSERT_EQ(prompts.passwordAsked.size(), 2u);
  EXPECT_EQ(prompts.passwordAsked[0].entryName, "A.TXT");
  EXPECT_TRUE(prompts.passwordAsked[0].firstAttempt);
  EXPECT_FALSE(prompts.passwordAsked[1].firstAttempt);
  EXPECT_EQ(prompts.passwordAsked[1].lastPassword, "wrong");
  EXPECT_EQ(st.password, "right");
  EXPECT_EQ(treeOf(file("o3")).size(), 3u);
  // Bypass skips one entry; Never (and closing) skips every later one unasked.
  st.password = "bad";
  st.passwordAnswer = 0;
  prompts.passwordAsked.clear();
  prompts.password = {{PasswordAnswer::Bypass, ""}, {PasswordAnswer::Never, ""}};
  EXPECT_EQ(unzip(zip, file("o4")), ReadStatus::Skipped);
  EXPECT_EQ(prompts.passwordAsked.size(), 2u);
  EXPECT_FALSE(prompts.passwordAsked[0].firstAttempt);           // "bad" was rejected
  EXPECT_EQ(engine::testArchive(st, zip), ReadStatus::Skipped);  // the skip-all answer lasts
  EXPECT_EQ(prompts.passwordAsked.size(), 2u);
}

TEST_F(ExtractRules, DirectoryEntriesSkippedAndDamagedEntries) {
  ZipBuilder b;
  b.entries = {entry("DOCS/", ""),  entry("DOCS/A.TXT", "a"), entry("B.TXT", "b"),
               entry("C.TXT", "c"), entry("D.TXT", "d"),      entry("E.TXT", "e")};
  b.entries[2].method = 7;            // tokenized: skipped
  b.entries[3].versionNeeded = 0x15;  // needs 2.1
  b.entries[4].crc = 0x12345678;      // damaged
  b.entries[5].versionNeeded = 0x0214;
  EXPECT_EQ(unzip(archive(b), file("out")), ReadStatus::CrcError);
  EXPECT_EQ(treeOf(file("out")), (std::map<std::string, std::string>{{"DOCS/A.TXT", "a"}, {"D.TXT", "d"}}));
  const auto closes = recorder.of(engine::kNotifyCloseFile);
  ASSERT_EQ(closes.size(), 2u);
  EXPECT_EQ(closes[1], (DriverEvent{engine::kNotifyCloseFile, 0, "D.TXT"}));
  // Without the damaged entry: only skips, so 10; the directory entry alone is 0.
  b.entries.erase(b.entries.begin() + 4);
  EXPECT_EQ(unzip(archive(b), file("out2")), ReadStatus::Skipped);
  b.entries.resize(1);
  EXPECT_EQ(unzip(archive(b), file("out3")), ReadStatus::Ok);
  EXPECT_TRUE(fs::is_directory(file("out3/DOCS")));
  // A directory entry carrying data is a folder all the same (not skipped).
  b.entries[0].data = "x";
  EXPECT_EQ(unzip(archive(b), file("out4")), ReadStatus::Ok);
  EXPECT_TRUE(fs::is_directory(file("out4/DOCS")));
  // A bad local header: 3 for that entry, the others go on.
  ZipBuilder c;
  c.entries = {entry("A.TXT", "a"), entry("B.TXT", "b")};
  c.entries[0].localOffset = 5;
  EXPECT_EQ(unzip(archive(c), file("out5")), ReadStatus::NotZip);
  EXPECT_EQ(readText(file("out5/B.TXT")), "b");
}

TEST_F(ExtractRules, ReadOnlyFilesAndUnzipToFile) {
  ZipBuilder b;
  b.entries = {entry("A.TXT", "new a"), entry("SUB/B.TXT", "new b")};
  b.entries[0].externalAttributes = 0x21;  // read-only, archive
  const std::string zip = archive(b);
  EXPECT_EQ(unzip(zip, file("out")), ReadStatus::Ok);
  EXPECT_EQ(*getFileAttributes(file("out/A.TXT")) & kAttrReadOnly, kAttrReadOnly);
  EXPECT_EQ(mtimeOf(file("out/A.TXT")), entryTime());
  writeFile(file("out/SUB/B.TXT"), "old");
  // A read-only file is replaced only with erase-read-only.
  st.eraseReadOnly = false;
  EXPECT_EQ(unzip(zip, file("out")), ReadStatus::Skipped);
  st.eraseReadOnly = true;
  b.entries[0].externalAttributes = 0x20;
  EXPECT_EQ(unzip(archive(b), file("out")), ReadStatus::Ok);
  EXPECT_EQ(*getFileAttributes(file("out/A.TXT")) & kAttrReadOnly, 0u);

  // UnzipToFile: every selected entry into one file, its name upper-cased.
  EXPECT_EQ(engine::unzipToFile(st, zip, "SUB\\B.TXT", file("one.txt")), ReadStatus::Ok);
  EXPECT_EQ(readText(file("ONE.TXT")), "new b");
  EXPECT_EQ(engine::unzipToFile(st, zip, "*.*", file("one.txt")), ReadStatus::Ok);
  EXPECT_EQ(readText(file("ONE.TXT")), "new b");  // the last entry wins
  EXPECT_EQ(engine::unzipToFile(st, zip, "A.TXT", file("missing/one.txt")), ReadStatus::NotCreated);
}

TEST_F(ExtractRules, EventsOfARun) {
  const std::string big(60000, 'z');
  ZipBuilder b;
  b.entries = {entry("BIG.TXT", big), entry("SMALL.TXT", "s")};
  const std::string zip = archive(b);
  EXPECT_EQ(unzip(zip, file("out")), ReadStatus::Ok);
  const std::vector<DriverEvent> want = {
      {engine::kNotifyOpenFile, 0, "BIG.TXT"},      {engine::kNotifyExpanding, 0, "BIG.TXT"},
      {engine::kNotifyExpanding, 40, "BIG.TXT"},    {engine::kNotifyExpanding, 100, "BIG.TXT"},
      {engine::kNotifyCloseFile, 1, "BIG.TXT"},     {engine::kNotifyOpenFile, 0, "SMALL.TXT"},
      {engine::kNotifyExpanding, 100, "SMALL.TXT"}, {engine::kNotifyCloseFile, 1, "SMALL.TXT"},
  };
  EXPECT_EQ(recorder.events, want);
  // The test run: no ZNExpanding, a ZNTest per entry.
  recorder.events.clear();
  EXPECT_EQ(engine::testArchive(st, zip), ReadStatus::Ok);
  EXPECT_EQ(recorder.events.size(), 6u);
  EXPECT_TRUE(recorder.of(engine::kNotifyExpanding).empty());
  EXPECT_EQ(recorder.of(engine::kNotifyTest).size(), 2u);
  for (const auto& e : fs::directory_iterator(root.path() + "/tmp"))  // the temporary files are gone
    EXPECT_NE(e.path().extension(), ".TMP") << e.path();
  // No notification window: no events.
  recorder.events.clear();
  st.notifyWindow = 0;
  EXPECT_EQ(unzip(zip, file("out2")), ReadStatus::Ok);
  EXPECT_TRUE(recorder.events.empty());
}

TEST_F(ExtractRules, CancelFromAnEvent) {
  ZipBuilder b;
  for (int i = 0; i < 150; ++i) b.entries.push_back(entry("F" + std::to_string(i) + ".TXT", "x"));
  const std::string zip = archive(b);
  recorder.onEvent = [&](const DriverEvent& e) {
    if (e.n == engine::kNotifyCloseFile && e.text == "F70.TXT") st.cancel = true;
  };
  EXPECT_EQ(unzip(zip, file("out")), ReadStatus::Skipped);  // entries were left out
  EXPECT_EQ(treeOf(file("out")).size(), 71u);
  st.cancel = false;
  recorder.onEvent = [&](const DriverEvent& e) {
    if (e.n == engine::kNotifyCloseFile && e.text == "F149.TXT") st.cancel = true;
  };
  EXPECT_EQ(unzip(zip, file("out2")), ReadStatus::Ok);  // cancelled after the last entry: all done
}

TEST_F(ExtractRules, ResultsBeforeAnyEntry) {
  const std::string zip = threeFiles();
  EXPECT_EQ(unzip(file("missing.zip"), file("out")), ReadStatus::TestOpenFailed);
  EXPECT_EQ(engine::testArchive(st, file("missing.zip")), ReadStatus::TestOpenFailed);
  ASSERT_EQ(::mkfifo(file("fifo.zip").c_str(), 0600), 0);
  EXPECT_EQ(unzip(file("fifo.zip"), file("out")), ReadStatus::CannotOpen);
  EXPECT_EQ(engine::testArchive(st, file("fifo.zip")), ReadStatus::CannotOpen);
  writeFile(file("junk.zip"), "not an archive at all, nothing to find here");
  EXPECT_EQ(unzip(file("junk.zip"), file("out")), ReadStatus::CrcError);
  EXPECT_EQ(engine::testArchive(st, file("junk.zip")), ReadStatus::CrcError);
  EXPECT_EQ(engine::unzipToFile(st, file("junk.zip"), "", file("x")), ReadStatus::CrcError);
  // A destination that cannot be a folder.
  writeFile(file("plain"), "x");
  EXPECT_EQ(unzip(zip, file("plain/out")), ReadStatus::CrcError);
  // A folder named like the archive without ".ZIP" opens the archive.
  fs::create_directories(file("T"));
  fs::copy_file(zip, file("T.ZIP"));
  EXPECT_EQ(unzip(file("T"), file("viaFolder")), ReadStatus::Ok);
  // A name cut to 1023 bytes is skipped.
  ZipBuilder b;
  b.entries = {entry(std::string(1500, 'N'), "n"), entry("OK.TXT", "ok")};
  EXPECT_EQ(unzip(archive(b, "long.zip"), file("cut")), ReadStatus::Skipped);
  EXPECT_EQ(treeOf(file("cut")).size(), 1u);
}

TEST_F(ExtractRules, DriveChecks) {
  const std::string zip = threeFiles();
  for (const char* m : {"cd", "rem", "full", "small", "fixed"}) fs::create_directories(file(m));
  writeFile(file("drives.ini"),
            "[E:]\nRoot=" + file("cd") + "\nType=cdrom\n" +                          //
                "[F:]\nRoot=" + file("rem") + "\nType=removable\nReadOnly=1\n" +     //
                "[G:]\nRoot=" + file("full") + "\nType=fixed\nFree=0\n" +            //
                "[H:]\nRoot=" + file("small") + "\nType=removable\nCapacity=12\n" +  //
                "[I:]\nRoot=" + file("fixed") + "\nType=fixed\n");
  ::setenv("VZ_DRIVES", file("drives.ini").c_str(), 1);  // ScopedRoot restores it
  EXPECT_EQ(unzip(zip, "E:\\OUT"), ReadStatus::CdRomDrive);
  EXPECT_EQ(unzip(zip, "F:\\OUT"), ReadStatus::DriveNotWritable);
  EXPECT_EQ(unzip(zip, "G:\\OUT"), ReadStatus::NoFreeSpace);
  EXPECT_FALSE(fs::exists(file("cd/OUT")));
  // Room for the first entry only: the run ends with 8 at the second.
  EXPECT_EQ(unzip(zip, "H:\\OUT"), ReadStatus::WriteFailed);
  EXPECT_EQ(treeOf(file("small")), (std::map<std::string, std::string>{{"OUT/README.TXT", "root readme"}}));
  EXPECT_EQ(unzip(zip, "I:\\OUT"), ReadStatus::Ok);
  EXPECT_EQ(treeOf(file("fixed")).size(), 4u);
  // The test run's temporary files on a CD-ROM drive.
  ::setenv("TMPDIR", file("cd").c_str(), 1);
  EXPECT_EQ(engine::testArchive(st, zip), ReadStatus::CdRomDrive);
}

}  // namespace
}  // namespace vz::test
