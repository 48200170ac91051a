// Nothing an archive says can make the driver write outside its
// destination: names with "..", leading separators and drive prefixes
// (from python3's zipfile, which stores them as given, and from the
// builder), names left empty, links on disk that lead out, the archive
// itself as an output file, and streams that run past their declared size.
#include <gtest/gtest.h>
#include <unistd.h>

#include "control/engine/extract/extract_paths.h"
#include "tests/engine/extract/extract_test_util.h"

namespace vz::test {
namespace {

using engine::mapEntryPath;

TEST(ExtractPaths, NamesAreMappedIntoTheDestination) {
  struct Case {
    const char* name;
    std::vector<std::string> folders;
    const char* file;
    bool dir;
  };
  const Case cases[] = {
      {"A.TXT", {}, "A.TXT", false},
      {"SUB\\A.TXT", {"SUB"}, "A.TXT", false},
      {"..\\EVIL", {}, "EVIL", false},
      {"\\ABS\\X", {"ABS"}, "X", false},
      {"/ABS", {}, "ABS", false},
      {"C:\\X", {}, "X", false},
      {"C:X", {}, "X", false},
      {"A\\..\\..\\B", {"A"}, "B", false},
      {"A\\.\\B:C", {"A"}, "B_C", false},
      {"D:E\\F:G\\H", {"E", "F_G"}, "H", false},
      {"DOCS\\", {"DOCS"}, "", true},
      {"..", {}, "", false},
      {"..\\", {}, "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const engine::EntryPath p = mapEntryPath(c.name);
    EXPECT_EQ(p.folders, c.folders);
    EXPECT_EQ(p.file, c.file);
    EXPECT_EQ(p.directoryEntry, c.dir);
  }
  // A NUL inside the stored name ends it.
  const engine::EntryPath p = mapEntryPath(std::string("OK\0\\..\\X", 8));
  EXPECT_EQ(p.file, "OK");
  EXPECT_TRUE(p.folders.empty());
}

class ExtractSafety : public ExtractTest {};

TEST_F(ExtractSafety, HostileNamesStayInsideTheDestination) {
  if (!haveProgram("python3")) GTEST_SKIP() << "python3 is not available";
  fs::create_directories(file("deep/dest"));
  ASSERT_TRUE(
      runPython("import zipfile\n"
                "z = zipfile.ZipFile('evil.zip', 'w')\n"
                "for n in ['../evil', '/abs', 'C:\\\\x', 'a/../../b', '../', 'ok.txt']:\n"
                "    i = zipfile.ZipInfo('x'); i.filename = n; z.writestr(i, 'data of ' + n)\n"
                "z.close()\n",
                dir.path()));
  for (bool rebuild : {true, false}) {
    SCOPED_TRACE(rebuild);
    fs::remove_all(file("deep/dest"));
    // "../" names nothing once its ".." is dropped: skipped, so 10.
    EXPECT_EQ(unzip(file("evil.zip"), file("deep/dest"), "", rebuild), ReadStatus::Skipped);
    const auto tree = treeOf(file("deep"));
    std::map<std::string, std::string> want = {{"dest/EVIL", "data of ../evil"},
                                               {"dest/ABS", "data of /abs"},
                                               {"dest/X", "data of C:\\x"},
                                               {"dest/OK.TXT", "data of ok.txt"}};
    want[rebuild ? "dest/A/B" : "dest/B"] = "data of a/../../b";
    EXPECT_EQ(tree, want);
  }
  EXPECT_FALSE(fs::exists(file("evil")));
  EXPECT_FALSE(fs::exists("/ABS"));
}

TEST_F(ExtractSafety, LinksOnDiskDoNotLeadOut) {
  fs::create_directories(file("dest"));
  fs::create_directories(file("outside"));
  fs::create_directories(file("dest/inner"));
  fs::create_directory_symlink(file("outside"), file("dest/LINK"));
  fs::create_directory_symlink(file("dest/inner"), file("dest/OKLINK"));
  fs::create_symlink(file("outside/target"), file("dest/F.TXT"));  // dangling: writing would create it
  fs::create_symlink(file("outside/target2"), file("dest/G.TXT"));
  writeFile(file("outside/target2"), "keep");

  ZipBuilder b;
  b.entries.push_back(entry("LINK/NEW/A.TXT", "a"));
  b.entries.push_back(entry("LINK/B.TXT", "b"));
  b.entries.push_back(entry("F.TXT", "f"));
  b.entries.push_back(entry("G.TXT", "g"));
  b.entries.push_back(entry("OKLINK/C.TXT", "c"));
  // The folder refused: 5 for the first two; the file links: 11.
  EXPECT_EQ(unzip(archive(b), file("dest")), ReadStatus::ExistingNotReplaced);
  EXPECT_EQ(treeOf(file("outside")), (std::map<std::string, std::string>{{"target2", "keep"}}));
  EXPECT_EQ(readText(file("dest/inner/C.TXT")), "c");  // a link that stays inside is used

  b.entries.resize(2);
  EXPECT_EQ(unzip(archive(b), file("dest")), ReadStatus::CrcError);
  EXPECT_FALSE(fs::exists(file("outside/NEW")));
}

TEST_F(ExtractSafety, TheArchiveIsNeverWrittenOver) {
  ZipBuilder b;
  b.entries.push_back(entry("T.ZIP", "not an archive"));
  b.entries.push_back(entry("B.TXT", "b"));
  const std::string zip = archive(b, "T.ZIP");
  const std::string before = readText(zip);
  EXPECT_EQ(unzip(zip, dir.path()), ReadStatus::ExistingNotReplaced);
  EXPECT_EQ(readText(zip), before);
  EXPECT_EQ(readText(file("B.TXT")), "b");
  EXPECT_EQ(engine::unzipToFile(st, zip, "B.TXT", zip), ReadStatus::ExistingNotReplaced);
  EXPECT_EQ(readText(zip), before);
}

TEST_F(ExtractSafety, DataPastTheDeclaredSizeFailsTheEntry) {
  ZipBuilder b;
  // Stored: 10 bytes of data for a declared size of 4.
  b.entries.push_back(entry("STORED.TXT", "0123456789"));
  b.entries.back().uncompressedSize = 4;
  // Declared empty but holding data: cut at 0 bytes, and failed too.
  b.entries.push_back(entry("EMPTY.TXT", "xyz"));
  b.entries.back().crc = 0;
  b.entries.back().uncompressedSize = 0;
  b.entries.push_back(entry("GOOD.TXT", "good"));
  EXPECT_EQ(unzip(archive(b), file("out")), ReadStatus::CrcError);
  EXPECT_EQ(readText(file("out/STORED.TXT")), "0123");
  EXPECT_EQ(readText(file("out/EMPTY.TXT")), "");
  EXPECT_EQ(readText(file("out/GOOD.TXT")), "good");
  const auto closes = recorder.of(engine::kNotifyCloseFile);
  ASSERT_EQ(closes.size(), 3u);
  EXPECT_EQ(closes[0].w, 0u);
  EXPECT_EQ(closes[1].w, 0u);
  EXPECT_EQ(closes[2].w, 1u);
  EXPECT_EQ(engine::testArchive(st, file("t.zip")), ReadStatus::CrcError);

  // A deflate stream that inflates past its declared size.
  if (!haveProgram("python3")) return;
  ASSERT_TRUE(
      runPython("import zipfile, struct\n"
                "z = zipfile.ZipFile('big.zip', 'w', zipfile.ZIP_DEFLATED)\n"
                "z.writestr('BIG.TXT', 'x' * 100000)\n"
                "z.close()\n"
                "d = bytearray(open('big.zip', 'rb').read())\n"
                "for sig, off in ((b'PK\\x03\\x04', 22), (b'PK\\x01\\x02', 24)):\n"
                "    p = d.find(sig); d[p + off:p + off + 4] = struct.pack('<I', 1000)\n"
                "open('big.zip', 'wb').write(d)\n",
                dir.path()));
  EXPECT_EQ(unzip(file("big.zip"), file("big")), ReadStatus::CrcError);
  EXPECT_EQ(fs::file_size(file("big/BIG.TXT")), 1000u);
}

}  // namespace
}  // namespace vz::test
