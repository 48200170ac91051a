// ZipFiles through the engine: the stored-or-deflated rules, names, stored
// paths, recursion, the overwrite modes and the replace question, the
// cancel request, the selection rules (links, special files, the archive
// itself, files too large for the format, equal names), the data
// descriptor of an entry whose header cannot be rewritten, and the
// archive-attribute options.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "control/engine/write/file_select.h"
#include "control/engine/write/zip_writer.h"
#include "control/engine/write/zip_writer_file.h"
#include "platform/attributes.h"
#include "tests/engine/write/writer_test_util.h"

namespace vz::test {
namespace {

using engine::ReplaceAnswer;

class ZipFilesTest : public WriterTest {};

TEST_F(ZipFilesTest, StoredOrDeflatedByTheRules) {
  put(dir_.file("src/T36.TXT"), std::string(36, 'a'));
  put(dir_.file("src/R37.BIN"), randomBytes(37, 7));  // deflated, found not smaller, stored
  put(dir_.file("src/T37.TXT"), std::string(37, 'a'));
  put(dir_.file("src/INNER.ZIP"), textBytes(5000));  // archives are stored as they are
  put(dir_.file("src/BIG.TXT"), textBytes(100000));
  put(dir_.file("src/EMPTY.TXT"), "");
  fs::create_directories(dir_.file("src/DIR"));
  const std::string a = dir_.file("a.zip");
  ASSERT_EQ(zip(a, dir_.file("src/*.*")), 0);

  const ArchiveView v = viewArchive(a);
  ASSERT_EQ(v.status, engine::CatalogueStatus::Ok);
  ASSERT_EQ(v.entries.size(), 7u);
  const std::map<std::string, uint16_t> methods = {{"T36.TXT", 0}, {"R37.BIN", 0},   {"T37.TXT", 8}, {"INNER.ZIP", 0},
                                                   {"BIG.TXT", 8}, {"EMPTY.TXT", 0}, {"DIR/", 0}};
  for (const EntryView& e : v.entries) {
    ASSERT_TRUE(methods.count(e.name)) << e.name;
    EXPECT_EQ(e.method, methods.at(e.name)) << e.name;
    EXPECT_EQ(e.versionNeeded, e.method == 8 ? 20 : 10) << e.name;
    EXPECT_EQ(e.versionMadeBy, 0x0B32);
    EXPECT_EQ(e.flags & 0x0008, 0) << e.name;  // header rewritten, no descriptor
    EXPECT_EQ(e.descriptorSize, 0u);
    if (e.name != "DIR/") {
      EXPECT_EQ(e.crc, referenceCrc32(fileText(dir_.file("src/" + e.name)))) << e.name;
      EXPECT_EQ(e.attributes & 0x10, 0u);
    }
  }
  EXPECT_EQ(v.find("R37.BIN")->compressedSize, 37u);
  EXPECT_LT(v.find("BIG.TXT")->compressedSize, 10000u);
  EXPECT_EQ(v.find("DIR/")->attributes & 0x10, 0x10u);
  EXPECT_EQ(v.find("DIR/")->size, 0u);
  EXPECT_EQ(peerComplaints(a), "");

  // Mode 3 stores everything; mode 7 counts as mode 0.
  const std::string stored = dir_.file("stored.zip");
  ASSERT_EQ(zip(stored, dir_.file("src/*.*"), 0, 1, true, 3), 0);
  for (const EntryView& e : viewArchive(stored).entries) EXPECT_EQ(e.method, 0) << e.name;
  const std::string seven = dir_.file("seven.zip");
  ASSERT_EQ(zip(seven, dir_.file("src/*.*"), 0, 1, true, 7), 0);
  EXPECT_EQ(viewArchive(seven).find("BIG.TXT")->method, 8);
  EXPECT_EQ(readFile(seven), readFile(a));  // same input, same mode: the same bytes
}

TEST_F(ZipFilesTest, NamesAreUpperCaseAndNonAsciiNamesCarryTheUtf8Flag) {
  put(dir_.file("src/report.txt"), "r");
  put(dir_.file("src/caf\xC3\xA9.txt"), "c");  // café.txt
  const std::string a = dir_.file("a.zip");
  ASSERT_EQ(zip(a, dir_.file("src/*.*")), 0);
  const ArchiveView v = viewArchive(a);
  ASSERT_NE(v.find("REPORT.TXT"), nullptr);
  EXPECT_EQ(v.find("REPORT.TXT")->flags & 0x0800, 0);
  const EntryView* cafe = v.find("CAF\xC3\x89.TXT");  // CAFÉ.TXT
  ASSERT_NE(cafe, nullptr);
  EXPECT_EQ(cafe->flags & 0x0800, 0x0800);
  EXPECT_EQ(cafe->localFlags & 0x0800, 0x0800);
  if (haveProgram("python3")) {
    std::string out;
    ASSERT_EQ(run({"python3", "-c",
                   "import sys,zipfile\nfor n in zipfile.ZipFile(sys.argv[1]).namelist(): print(n.encode().hex())", a},
                  &out),
              0);
    EXPECT_NE(out.find("434146c3892e545854"), std::string::npos) << out;  // "CAFÉ.TXT" in UTF-8
  }
  EXPECT_EQ(peerComplaints(a), "");
}

// A simulated drive D: whose root is a scratch folder.
void simulateDrive(const std::string& root, const std::string& iniPath, const std::string& extra = "") {
  writeFile(iniPath, "[D:]\nRoot=" + root + "\nType=fixed\n" + extra);
  setenv("VZ_DRIVES", iniPath.c_str(), 1);
}

TEST_F(ZipFilesTest, StoredPathMethodsAndRecursion) {
  const std::string drive = dir_.file("drive");
  put(drive + "/Data/Report.TXT", "report");
  put(drive + "/Data/sub/X.TXT", "x");
  put(drive + "/Data/sub/Y.DOC", "y");
  simulateDrive(drive, dir_.file("drives.ini"));

  const auto names = [&](int method, bool recurse) {
    const std::string a = dir_.file("m" + std::to_string(method) + (recurse ? "r" : "") + ".zip");
    EXPECT_EQ(zip(a, "D:\\Data\\*.TXT", 0, method, recurse), 0);
    return viewArchive(a).names();
  };
  // The file Report.TXT, added from D:\Data with relative paths, is REPORT.TXT.
  EXPECT_EQ(names(1, false), std::vector<std::string>{"REPORT.TXT"});
  EXPECT_EQ(names(0, true), (std::vector<std::string>{"REPORT.TXT", "X.TXT"}));
  EXPECT_EQ(names(1, true), (std::vector<std::string>{"REPORT.TXT", "SUB/X.TXT"}));
  EXPECT_EQ(names(2, true), (std::vector<std::string>{"DATA/REPORT.TXT", "DATA/SUB/X.TXT"}));

  // A native path keeps its folders without the leading "/"; "." and ".."
  // never reach a stored name.
  const std::string a = dir_.file("dots.zip");
  ASSERT_EQ(zip(a, drive + "/Data/sub/../sub/./*.DOC", 0, 2, false), 0);
  const std::vector<std::string> n = viewArchive(a).names();
  ASSERT_EQ(n.size(), 1u);
  EXPECT_EQ(n[0].find(".."), std::string::npos);
  EXPECT_NE(n[0][0], '/');
  EXPECT_TRUE(n[0].ends_with("/DRIVE/DATA/SUB/Y.DOC")) << n[0];  // ".." folded
  EXPECT_EQ(engine::storedPathOf("..\\..\\X\\.\\Y\\..\\Z.TXT"), "X/Z.TXT");
  EXPECT_EQ(engine::storedPathOf("C:\\DATA\\R.TXT"), "DATA/R.TXT");

  // "*.*" takes folders as directory entries, and recursion descends.
  const std::string all = dir_.file("all.zip");
  ASSERT_EQ(zip(all, "D:\\Data\\*.*", 0, 1, true), 0);
  const ArchiveView v = viewArchive(all);
  ASSERT_EQ(v.entries.size(), 4u);
  ASSERT_NE(v.find("SUB/"), nullptr);
  EXPECT_NE(v.find("SUB/X.TXT"), nullptr);
  EXPECT_NE(v.find("SUB/Y.DOC"), nullptr);
  EXPECT_EQ(peerComplaints(all), "");
}

TEST_F(ZipFilesTest, NothingToDoLeavesTheArchiveUntouched) {
  put(dir_.file("src/A.TXT"), textBytes(500));
  const std::string a = dir_.file("a.zip");
  EXPECT_EQ(zip(a, ""), 6);
  EXPECT_EQ(zip("", dir_.file("src/*.*")), 6);
  EXPECT_EQ(zip(a, dir_.file("src/*.NONE")), 6);
  EXPECT_FALSE(fileExists(a));  // nothing matched: no archive made

  ASSERT_EQ(zip(a, dir_.file("src/*.*")), 0);
  const std::vector<uint8_t> before = readFile(a);
  setMtime(a, 1000000000);
  // Only files that are already stored, mode 1: nothing to do.
  EXPECT_EQ(zip(a, dir_.file("src/*.*"), 1), 6);
  // Modes 3 and 4 with nothing newer: success, nothing written.
  setMtime(dir_.file("src/A.TXT"), 900000000);
  EXPECT_EQ(zip(a, dir_.file("src/*.*"), 3), 0);
  EXPECT_EQ(zip(a, dir_.file("src/*.*"), 4), 0);
  EXPECT_EQ(readFile(a), before);
  EXPECT_EQ(getFileTime(a), std::optional<std::time_t>(1000000000));
  // No temporary file is left behind.
  for (const auto& e : fs::directory_iterator(root_.path() + "/tmp"))
    EXPECT_FALSE(e.path().filename().string().starts_with("ZIP")) << e.path();
}

// An archive whose A.TXT entry is dated 2001 and B.TXT entry 2030, and disk
// files dated 2017: A newer than its entry, B older, C not in the archive.
class OverwriteModes : public ZipFilesTest {
 protected:
  void SetUp() override {
    ZipFilesTest::SetUp();
    put(dir_.file("old/A.TXT"), "old a");
    put(dir_.file("old/B.TXT"), "old b");
    setMtime(dir_.file("old/A.TXT"), 1000000000);  // 2001
    setMtime(dir_.file("old/B.TXT"), 1900000000);  // 2030
    ASSERT_EQ(zip(archive, dir_.file("old/*.*")), 0);
    put(dir_.file("new/A.TXT"), "new a");  // newer than its entry
    put(dir_.file("new/B.TXT"), "new b");  // older than its entry
    put(dir_.file("new/C.TXT"), "new c");  // not in the archive
    setMtime(dir_.file("new/A.TXT"), 1500000000);
    setMtime(dir_.file("new/B.TXT"), 1500000000);
  }
  std::string entryData(const std::string& name) {
    // Stored entries (shorter than 37 bytes): the data follows the header.
    const ArchiveView v = viewArchive(archive);
    const EntryView* e = v.find(name);
    if (!e) return "(none)";
    const std::string bytes = fileText(archive);
    return bytes.substr(e->offset + 30 + e->name.size(), e->compressedSize);
  }
  std::string archive = dir_.file("a.zip");
};

TEST_F(OverwriteModes, AlwaysNeverNewerFreshen) {
  const std::string before = fileText(archive);
  EXPECT_EQ(zip(archive, dir_.file("new/*.*"), 1), 0);  // C is new
  EXPECT_EQ(entryData("A.TXT"), "old a");
  EXPECT_EQ(entryData("C.TXT"), "new c");

  put(archive, before);
  EXPECT_EQ(zip(archive, dir_.file("new/*.*"), 3), 0);
  EXPECT_EQ(viewArchive(archive).names(), (std::vector<std::string>{"A.TXT", "B.TXT", "C.TXT"}));  // A in place
  EXPECT_EQ(entryData("A.TXT"), "new a");
  EXPECT_EQ(entryData("B.TXT"), "old b");

  put(archive, before);
  EXPECT_EQ(zip(archive, dir_.file("new/*.*"), 4), 0);
  EXPECT_EQ(viewArchive(archive).names(), (std::vector<std::string>{"A.TXT", "B.TXT"}));
  EXPECT_EQ(entryData("A.TXT"), "new a");
  EXPECT_EQ(entryData("B.TXT"), "old b");

  put(archive, before);
  EXPECT_EQ(zip(archive, dir_.file("new/*.*"), 0), 0);
  EXPECT_EQ(entryData("A.TXT"), "new a");
  EXPECT_EQ(entryData("B.TXT"), "new b");
  EXPECT_EQ(peerComplaints(archive), "");
}

TEST_F(OverwriteModes, ReplaceQuestionAnswersChangeTheModeInForce) {
  const std::string before = fileText(archive);
  ScriptedReplace prompts;
  engine_.prompts = &prompts;

  prompts.answers = {ReplaceAnswer::Yes, ReplaceAnswer::No};
  EXPECT_EQ(zip(archive, dir_.file("new/*.*"), 2), 0);
  ASSERT_EQ(prompts.asked.size(), 2u);
  EXPECT_EQ(prompts.asked[0].path, "A.TXT");
  EXPECT_FALSE(prompts.asked[0].archiveNewer);  // the disk file is newer
  EXPECT_TRUE(prompts.asked[1].archiveNewer);
  EXPECT_FALSE(prompts.asked[0].allowRename);  // no renaming when adding
  EXPECT_EQ(entryData("A.TXT"), "new a");
  EXPECT_EQ(entryData("B.TXT"), "old b");
  EXPECT_EQ(engine_.currentOverwriteMode, 2);

  put(archive, before);
  prompts.asked.clear();
  prompts.answers = {ReplaceAnswer::Always};
  EXPECT_EQ(zip(archive, dir_.file("new/*.*"), 2), 0);
  EXPECT_EQ(prompts.asked.size(), 1u);  // no more questions
  EXPECT_EQ(engine_.currentOverwriteMode, 0);
  EXPECT_EQ(entryData("B.TXT"), "new b");

  put(archive, before);
  prompts.asked.clear();
  prompts.answers = {ReplaceAnswer::Never};
  EXPECT_EQ(zip(archive, dir_.file("new/*.*"), 2), 0);  // C is still added
  EXPECT_EQ(prompts.asked.size(), 1u);
  EXPECT_EQ(engine_.currentOverwriteMode, 1);
  EXPECT_EQ(entryData("A.TXT"), "old a");
  EXPECT_EQ(entryData("C.TXT"), "new c");

  // Without prompts nothing is asked: "never".
  put(archive, before);
  engine_.prompts = nullptr;
  EXPECT_EQ(zip(archive, dir_.file("new/A.TXT"), 2), 6);
  EXPECT_EQ(fileText(archive), before);

  // A directory entry is replaced without a question.
  fs::create_directories(dir_.file("d/SUB"));
  const std::string withDir = dir_.file("dir.zip");
  ASSERT_EQ(zip(withDir, dir_.file("d/*.*")), 0);
  engine_.prompts = &prompts;
  prompts.asked.clear();
  EXPECT_EQ(zip(withDir, dir_.file("d/*.*"), 2), 0);
  EXPECT_TRUE(prompts.asked.empty());
}

TEST_F(ZipFilesTest, CancelDuringTheThirdOfFiveNewFiles) {
  put(dir_.file("old/OLD1.TXT"), "old one");
  put(dir_.file("old/OLD2.TXT"), "old two");
  const std::string a = dir_.file("a.zip");
  ASSERT_EQ(zip(a, dir_.file("old/*.*")), 0);
  const std::vector<std::string> oldNames = viewArchive(a).names();
  ASSERT_EQ(oldNames.size(), 2u);
  for (int i = 1; i <= 5; ++i) put(dir_.file("new/F" + std::to_string(i) + ".TXT"), textBytes(400000 + i));

  WriterEvents events;
  engine_.window = events.window();
  std::vector<std::string> zipped;
  events.onEvent = [&](const WriterEvent& e) {
    if (e.n == engine::kNotifyFileZipped) zipped.push_back(e.text);
    // A progress report of the third file: the host asks to cancel.
    if (e.n == 0x2E && zipped.size() == 2) engine_.cancel = true;
  };
  engine::ZipFilesRequest r;
  r.zipName = a;
  r.mask = dir_.file("new/*.*");
  r.storePathMethod = 0;
  EXPECT_EQ(engine::zipFiles(engine_, r), engine::WriteStatus::Cancelled);
  ASSERT_EQ(zipped.size(), 3u);
  std::vector<std::string> want = oldNames;
  for (const std::string& z : zipped) want.push_back(fs::path(z).filename().string());
  EXPECT_EQ(viewArchive(a).names(), want);
  EXPECT_EQ(events.of(engine::kNotifyWriting).size(), 1u);
  EXPECT_EQ(peerComplaints(a), "");
}

TEST_F(ZipFilesTest, ReportsOfEachFile) {
  put(dir_.file("src/T.TXT"), textBytes(50000));
  put(dir_.file("src/R.BIN"), randomBytes(30000));
  put(dir_.file("src/E.TXT"), "");
  WriterEvents events;
  engine_.window = events.window();
  const std::string a = dir_.file("a.zip");
  ASSERT_EQ(zip(a, dir_.file("src/*.*"), 0, 1, false), 0);
  std::map<std::string, WParam> rates;
  for (const WriterEvent& e : events.of(engine::kNotifyFileZipped)) rates[fs::path(e.text).filename()] = e.w;
  EXPECT_EQ(rates.size(), 3u);
  EXPECT_LT(rates["T.TXT"], 10u);
  EXPECT_EQ(rates["R.BIN"], 100u);
  EXPECT_EQ(rates["E.TXT"], 0u);
  ASSERT_EQ(events.of(engine::kNotifyWriting).size(), 1u);
  EXPECT_EQ(events.of(engine::kNotifyWriting)[0].text, a);
  // The stored copy reports its progress too, ending at 100.
  std::vector<WriterEvent> rate2;
  for (const WriterEvent& e : events.of(0x32))
    if (e.text.ends_with("R.BIN")) rate2.push_back(e);
  ASSERT_FALSE(rate2.empty());
  EXPECT_EQ(rate2.back().w, 100u);
}

TEST_F(ZipFilesTest, WhatTheSearchTakes) {
  put(dir_.file("src/A.TXT"), "a");
  put(dir_.file("src/a.txt"), "lower a");  // the same stored name: taken once
  put(dir_.file("elsewhere/LINKED.TXT"), "linked content");
  fs::create_symlink(dir_.file("elsewhere/LINKED.TXT"), dir_.file("src/LINK.TXT"));
  fs::create_symlink(dir_.file("src"), dir_.file("src/LOOP"));  // a link back up: not descended
  fs::create_symlink(dir_.file("nowhere"), dir_.file("src/BROKEN.TXT"));
  ASSERT_EQ(mkfifo(dir_.file("src/PIPE").c_str(), 0600), 0);  // reading it would block
  const std::string a = dir_.file("src/SELF.ZIP");            // the archive inside the searched folder
  put(dir_.file("src/SUB/B.TXT"), "b");
  ASSERT_EQ(zip(a, dir_.file("src/*.*"), 0, 1, true), 0);
  const ArchiveView v = viewArchive(a);
  std::vector<std::string> names = v.names();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"A.TXT", "LINK.TXT", "SUB/", "SUB/B.TXT"}));
  const EntryView* link = v.find("LINK.TXT");
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->size, 14u);  // the content, not the link
  // Adding again: the archive never takes itself in.
  ASSERT_EQ(zip(a, dir_.file("src/*.*"), 0, 1, true), 0);
  EXPECT_EQ(viewArchive(a).entries.size(), 4u);
}

TEST_F(ZipFilesTest, FileOf2GiBIsSkippedAsUnreadable) {
  put(dir_.file("src/SMALL.TXT"), "small");
  {
    File big;
    ASSERT_TRUE(big.open(dir_.file("src/HUGE.BIN"), File::Mode::Create));
    if (!big.truncate(int64_t{1} << 31)) GTEST_SKIP() << "no sparse file of 2 GiB here";
  }
  const std::string a = dir_.file("a.zip");
  EXPECT_EQ(zip(a, dir_.file("src/*.*")), 12);
  const ArchiveView v = viewArchive(a);
  EXPECT_EQ(v.names(), std::vector<std::string>{"SMALL.TXT"});
  EXPECT_EQ(peerComplaints(a), "");
}

TEST_F(ZipFilesTest, UnopenableFileKeepsItsOldEntryWithWarning2) {
  put(dir_.file("src/A.TXT"), "first");
  const std::string a = dir_.file("a.zip");
  ASSERT_EQ(zip(a, dir_.file("src/*.*")), 0);
  put(dir_.file("src/A.TXT"), "second");
  put(dir_.file("src/B.TXT"), "b");
  // A.TXT cannot be opened (injected: permissions would not stop root).
  engine::setSourceOpenFailureForTesting([](const std::string& path) { return fs::path(path).filename() == "A.TXT"; });
  const int16_t s = zip(a, dir_.file("src/*.*"));
  engine::setSourceOpenFailureForTesting(nullptr);
  EXPECT_EQ(s, 2);
  const ArchiveView v = viewArchive(a);
  EXPECT_EQ(v.names(), (std::vector<std::string>{"A.TXT", "B.TXT"}));
  EXPECT_EQ(v.find("A.TXT")->size, 5u);
}

TEST_F(ZipFilesTest, DataDescriptorWhenTheHeaderCannotBeRewritten) {
  put(dir_.file("src/T.TXT"), textBytes(20000));
  put(dir_.file("src/S.TXT"), "short");
  put(dir_.file("src/R.BIN"), randomBytes(5000));
  engine::setHeaderRewriteFailureForTesting(true);
  const std::string a = dir_.file("a.zip");
  const int16_t s = zip(a, dir_.file("src/*.*"));
  engine::setHeaderRewriteFailureForTesting(false);
  ASSERT_EQ(s, 0);
  const ArchiveView v = viewArchive(a);
  ASSERT_EQ(v.status, engine::CatalogueStatus::Ok);
  ASSERT_EQ(v.entries.size(), 3u);
  for (const EntryView& e : v.entries) {
    EXPECT_EQ(e.flags & 0x0008, 0x0008) << e.name;
    EXPECT_EQ(e.descriptorSize, 16u) << e.name;
    EXPECT_EQ(e.crc, referenceCrc32(fileText(dir_.file("src/" + e.name))));
  }
  EXPECT_EQ(v.find("R.BIN")->method, 0);  // rewritten stored all the same
  EXPECT_EQ(peerComplaints(a), "");
  // The archive can be updated again (the loader reads the descriptors).
  put(dir_.file("src/N.TXT"), "new");
  EXPECT_EQ(zip(a, dir_.file("src/N.TXT")), 0);
  EXPECT_EQ(viewArchive(a).entries.size(), 4u);
}

TEST_F(ZipFilesTest, ArchiveAttributeOptions) {
  put(dir_.file("src/MARKED.TXT"), "m");
  put(dir_.file("src/CLEAN.TXT"), "c");
  const auto archiveBit = [&](const std::string& name) {
    return (getFileAttributes(dir_.file("src/" + name)).value_or(0) & kAttrArchive) != 0;
  };
  ASSERT_TRUE(archiveBit("MARKED.TXT"));
  ASSERT_TRUE(setFileAttributes(dir_.file("src/CLEAN.TXT"), 0));
  if (archiveBit("CLEAN.TXT")) GTEST_SKIP() << "no extended attributes on this file system";

  engine::ZipFilesRequest r;
  r.zipName = dir_.file("a.zip");
  r.mask = dir_.file("src/*.*");
  r.useArchiveFlag = true;
  r.removeArchiveFlag = true;
  ASSERT_EQ(engine::zipFiles(engine_, r), engine::WriteStatus::Ok);
  EXPECT_EQ(viewArchive(r.zipName).names(), std::vector<std::string>{"MARKED.TXT"});
  EXPECT_FALSE(archiveBit("MARKED.TXT"));  // cleared once it is in the archive
  // Nothing marked any more: nothing to do.
  EXPECT_EQ(engine::zipFiles(engine_, r), engine::WriteStatus::NothingToDo);

  // A run that fails (the archive cannot be written) clears nothing.
  put(dir_.file("src/MARKED.TXT"), "changed");
  ASSERT_TRUE(archiveBit("MARKED.TXT"));
  r.zipName = dir_.file("src");  // a folder cannot become an archive
  EXPECT_EQ(engine::zipFiles(engine_, r), engine::WriteStatus::IoError);
  EXPECT_TRUE(archiveBit("MARKED.TXT"));
}

TEST_F(ZipFilesTest, DamagedArchiveIsRefusedUntouched) {
  put(dir_.file("src/A.TXT"), "a");
  const std::string a = dir_.file("a.zip");
  ASSERT_EQ(zip(a, dir_.file("src/*.*")), 0);
  std::string bytes = fileText(a);
  bytes[bytes.size() - 6] ^= 0x55;  // the end record's directory offset
  put(a, bytes);
  EXPECT_EQ(zip(a, dir_.file("src/*.*")), 4);
  EXPECT_EQ(fileText(a), bytes);
  put(dir_.file("text.zip"), "not an archive at all");
  EXPECT_EQ(zip(dir_.file("text.zip"), dir_.file("src/*.*")), 4);
  EXPECT_EQ(fileText(dir_.file("text.zip")), "not an archive at all");
}

TEST_F(ZipFilesTest, SecondOperationFromInsideTheMessagePumpIsRefused) {
  put(dir_.file("src/A.TXT"), textBytes(3000));
  WriterEvents events;
  engine_.window = events.window();
  int16_t inner = -1;
  events.onEvent = [&](const WriterEvent& e) {
    if (e.n == engine::kNotifyFileZipped && inner == -1) {
      engine::WriteEngine other;
      inner = engine::statusCode(engine::deleteWithMask(other, dir_.file("a.zip"), "*.*"));
    }
  };
  EXPECT_EQ(zip(dir_.file("a.zip"), dir_.file("src/*.*")), 0);
  EXPECT_EQ(inner, 2);
  EXPECT_FALSE(engine::writeOperationRunning());
}

}  // namespace
}  // namespace vz::test
