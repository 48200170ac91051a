// The archive-information operations on archives made by the peer tools
// (zip, 7zz, python3's zipfile) and on hand-built shapes.
#include "control/engine/read/read_methods.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "control/engine/read/directory_reader.h"
#include "control/engine/common/temp_base.h"
#include "control/engine/format/zip_item.h"
#include "tests/engine/zip_builder.h"
#include "tests/support/test_env.h"

namespace vz::engine {
namespace {

namespace fs = std::filesystem;

class ReadMethodsTest : public ::testing::Test {
 protected:
  // A folder of files to pack: docs/readme.txt (100 bytes), big.bin (1,500
  // bytes) and an empty folder.
  std::string makeTree() {
    const std::string src = dir_.file("src");
    fs::create_directories(src + "/docs");
    fs::create_directories(src + "/empty");
    test::writeFile(src + "/docs/readme.txt", std::string(100, 'r'));
    std::string big(1500, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 31 % 256);
    test::writeFile(src + "/big.bin", big);
    return src;
  }
  // Runs python3 with a script; argv[1] is the archive path.
  void python(const std::string& script, const std::string& zipPath) {
    ASSERT_EQ(test::run({"python3", "-c", script, zipPath}), 0) << script;
  }
  std::string write(const std::string& bytes, const std::string& name = "built.zip") {
    test::writeFile(dir_.file(name), bytes);
    return dir_.file(name);
  }
  // Every entry's processed name, through the reader the methods use.
  std::vector<std::string> listing(const std::string& zip, ReadStatus* status = nullptr) {
    DirectoryReader r(st_);
    std::vector<std::string> out;
    if (!r.open(zip) || !isReadable(r.locateEndRecord())) return out;
    const ReadStatus s = r.walk({}, [&](const CentralEntry& e) {
      out.push_back(e.name);
      return true;
    });
    if (status) *status = s;
    return out;
  }

  test::ScopedRoot root_;
  test::ScratchDir dir_{"engine-read"};
  UnzipState st_;
};

#define NEED(tool) \
  if (!test::haveProgram(tool)) GTEST_SKIP() << tool << " not installed"

TEST_F(ReadMethodsTest, InfoZipStoredAndDeflatedWithFolders) {
  NEED("zip");
  const std::string src = makeTree();
  for (const char* level : {"-0", "-9"}) {
    const std::string zip = dir_.file(std::string("tree") + level + ".zip");
    ASSERT_EQ(test::run({"zip", "-q", "-r", level, zip, "docs", "empty", "big.bin"}, nullptr, nullptr, src), 0);
    EXPECT_EQ(isZipFileQuick(st_, zip), ReadStatus::Ok);
    EXPECT_EQ(getCount(st_, zip), 4);  // docs/, docs/readme.txt, empty/, big.bin
    EXPECT_EQ(getMadeUnder(st_, zip), 3);
    EXPECT_EQ(getVersionMajor(st_, zip), 3);
    EXPECT_EQ(getVersionMinor(st_, zip), 0);
    EXPECT_EQ(getDiskId(st_, zip), 0);
    EXPECT_EQ(getTotalSize(st_, zip, true), 2.0);  // 1,600 / 1024 + 0.5 = 2.06
    EXPECT_EQ(getGlobalCommentSize(st_, zip), 0);
    EXPECT_EQ(getGlobalComment(st_, zip, 100), "");
    EXPECT_TRUE(isFileInZip(st_, zip, "docs\\readme.txt"));
    EXPECT_TRUE(isFileInZip(st_, zip, "*.TXT"));
    EXPECT_TRUE(isFileInZip(st_, zip, "DOCS\\*.*"));
    EXPECT_FALSE(isFileInZip(st_, zip, "*.DOC"));
    EXPECT_FALSE(isFileInZip(st_, zip, "OTHER\\*.TXT"));
    EXPECT_EQ(listing(zip), (std::vector<std::string>{"DOCS\\", "DOCS\\README.TXT", "EMPTY\\", "BIG.BIN"}));
  }
  // Deflated: the compressed total is smaller than the original one.
  EXPECT_LT(getTotalSize(st_, dir_.file("tree-9.zip"), false), 2.0);
}

TEST_F(ReadMethodsTest, ArchiveCommentsFromZipAndPython) {
  NEED("zip");
  NEED("python3");
  const std::string src = makeTree();
  const std::string zip = dir_.file("commented.zip");
  test::writeFile(dir_.file("comment.txt"), "first line\nsecond line\n");
  ASSERT_EQ(test::run({"zip", "-q", zip, "big.bin"}, nullptr, nullptr, src), 0);
  ASSERT_EQ(test::run({"sh", "-c", "zip -q -z \"$1\" < \"$2\"", "sh", zip, dir_.file("comment.txt")}), 0);
  // What zip stored (it may turn line ends into CR LF), as python reads it.
  std::string expected;
  ASSERT_EQ(test::run({"python3", "-c",
                       "import sys, zipfile; sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).comment)", zip},
                      &expected),
            0);
  ASSERT_EQ(expected.substr(0, 10), "first line");
  EXPECT_EQ(getGlobalCommentSize(st_, zip), static_cast<int16_t>(expected.size()));
  EXPECT_EQ(getGlobalComment(st_, zip, 1000), expected);
  EXPECT_EQ(getGlobalComment(st_, zip, 5), "first");
  EXPECT_EQ(getGlobalComment(st_, zip, 13).size(), 13u);
  EXPECT_EQ(getGlobalComment(st_, zip, 0), "");

  // The longest comment: 65,535 bytes; the method reads at most 24,576.
  const std::string longZip = dir_.file("long-comment.zip");
  python(
      "import sys, zipfile\n"
      "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
      "    z.writestr('a.txt', 'x' * 10)\n"
      "    z.comment = b'C' * 65535\n",
      longZip);
  EXPECT_EQ(isZipFileQuick(st_, longZip), ReadStatus::Ok);
  EXPECT_EQ(getGlobalCommentSize(st_, longZip), static_cast<int16_t>(65535));  // a short reports it as -1
  EXPECT_EQ(getGlobalComment(st_, longZip, 100000), std::string(24576, 'C'));
  EXPECT_TRUE(isFileInZip(st_, longZip, "A.TXT"));
}

TEST_F(ReadMethodsTest, FileCommentsAreFoundByExactProcessedName) {
  NEED("python3");
  const std::string zip = dir_.file("local.zip");
  python(
      "import sys, zipfile\n"
      "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
      "    i = zipfile.ZipInfo('docs/readme.txt'); i.comment = b'about the readme'; z.writestr(i, 'r')\n"
      "    z.writestr('plain.txt', 'p')\n"
      "    i = zipfile.ZipInfo('oem.txt'); i.comment = b'caf\\x82'; z.writestr(i, 'o')\n",
      zip);
  EXPECT_EQ(getLocalCommentSize(st_, zip, "DOCS\\README.TXT"), 16);
  EXPECT_EQ(getLocalCommentSize(st_, zip, "docs\\readme.txt"), 16);
  EXPECT_EQ(getLocalComment(st_, zip, "docs\\readme.txt", 100), "about the readme");
  EXPECT_EQ(getLocalComment(st_, zip, "docs\\readme.txt", 5), "about");
  // Names are compared after "/" became "\"; no wildcards.
  EXPECT_EQ(getLocalCommentSize(st_, zip, "docs/readme.txt"), -1);
  EXPECT_EQ(getLocalCommentSize(st_, zip, "*.TXT"), -1);
  EXPECT_EQ(getLocalCommentSize(st_, zip, "PLAIN.TXT"), 0);
  EXPECT_EQ(getLocalComment(st_, zip, "PLAIN.TXT", 100), "");
  // An OEM (CP437) comment reaches the host as UTF-8 text.
  EXPECT_EQ(getLocalComment(st_, zip, "OEM.TXT", 100), "caf\xC3\xA9");
}

TEST_F(ReadMethodsTest, HostSystemsAndVersionsFromPython) {
  NEED("python3");
  const struct {
    int host;
    int version;
    int16_t madeUnder;
  } cases[] = {{10, 20, 9}, {11, 50, 11}, {14, 63, 9}, {0, 20, 0}, {8, 45, 8}, {9, 20, 9}, {12, 20, 9}};
  for (const auto& c : cases) {
    const std::string zip = dir_.file("host" + std::to_string(c.host) + ".zip");
    python(
        "import sys, zipfile\n"
        "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
        "    i = zipfile.ZipInfo('f.txt')\n"
        "    i.create_system = " +
            std::to_string(c.host) +
            "\n"
            "    i.create_version = " +
            std::to_string(c.version) +
            "\n"
            "    z.writestr(i, 'data')\n",
        zip);
    EXPECT_EQ(getMadeUnder(st_, zip), c.madeUnder) << c.host;
    EXPECT_EQ(getVersionMajor(st_, zip), c.version / 10) << c.host;
    EXPECT_EQ(getVersionMinor(st_, zip), c.version % 10) << c.host;
  }
}

TEST_F(ReadMethodsTest, LongNamesAreListedCutWithStatus10) {
  NEED("python3");
  const std::string zip = dir_.file("longname.zip");
  python(
      "import sys, zipfile\n"
      "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
      "    z.writestr('d/' + 'n' * 1498, 'x' * 100)\n"
      "    z.writestr('short.txt', 'y' * 1500)\n",
      zip);
  ReadStatus status = ReadStatus::Ok;
  const auto names = listing(zip, &status);
  EXPECT_EQ(status, ReadStatus::Skipped);
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[0], "D\\" + std::string(1021, 'N'));
  EXPECT_EQ(getTotalSize(st_, zip, true), 2.0);
  EXPECT_EQ(st_.status, ReadStatus::Skipped);
  EXPECT_TRUE(isFileInZip(st_, zip, "SHORT.TXT"));
  EXPECT_TRUE(isFileInZip(st_, zip, "D\\" + std::string(1021, 'n')));
}

TEST_F(ReadMethodsTest, SevenZipArchives) {
  NEED("7zz");
  const std::string src = makeTree();
  const std::string zip = dir_.file("seven.zip");
  ASSERT_EQ(test::run({"7zz", "a", "-tzip", zip, "docs", "big.bin"}, nullptr, nullptr, src), 0);
  EXPECT_EQ(isZipFileQuick(st_, zip), ReadStatus::Ok);
  EXPECT_EQ(getCount(st_, zip), 3);
  EXPECT_EQ(getTotalSize(st_, zip, true), 2.0);
  EXPECT_TRUE(isFileInZip(st_, zip, "DOCS\\README.TXT"));
}

TEST_F(ReadMethodsTest, SelfExtractorsWithAndWithoutAdjustedOffsets) {
  NEED("zip");
  const std::string src = makeTree();
  const std::string zip = dir_.file("payload.zip");
  ASSERT_EQ(test::run({"zip", "-q", "-r", zip, "docs", "big.bin"}, nullptr, nullptr, src), 0);
  std::vector<uint8_t> stub = test::readFile("/bin/true");
  ASSERT_FALSE(stub.empty());
  std::vector<uint8_t> sfx = stub;
  const std::vector<uint8_t> payload = test::readFile(zip);
  sfx.insert(sfx.end(), payload.begin(), payload.end());
  const std::string unfixed = dir_.file("unfixed.exe");
  test::writeFile(unfixed, sfx);
  EXPECT_EQ(isZipFileQuick(st_, unfixed), ReadStatus::PrefixData);
  EXPECT_EQ(getCount(st_, unfixed), 3);
  EXPECT_EQ(getTotalSize(st_, unfixed, true), 2.0);
  EXPECT_TRUE(isFileInZip(st_, unfixed, "BIG.BIN"));
  EXPECT_EQ(listing(unfixed).size(), 3u);

  const std::string fixed = dir_.file("fixed.exe");
  test::writeFile(fixed, sfx);
  ASSERT_EQ(test::run({"zip", "-q", "-A", fixed}), 0);
  EXPECT_EQ(isZipFileQuick(st_, fixed), ReadStatus::Ok);
  EXPECT_EQ(getCount(st_, fixed), 3);
  EXPECT_TRUE(isFileInZip(st_, fixed, "DOCS\\README.TXT"));
}

TEST_F(ReadMethodsTest, UnreadableArchivesGiveTheDocumentedValues) {
  const std::string missing = dir_.file("missing.zip");
  const std::string zero = write("", "zero.zip");
  const std::string text = write("this is not an archive at all, just text\n", "text.zip");
  for (const std::string& zip : {missing, zero, text}) {
    const bool isMissing = zip == missing;
    EXPECT_EQ(isZipFileQuick(st_, zip), isMissing ? ReadStatus::CannotOpen : ReadStatus::NotZip) << zip;
    EXPECT_EQ(getMadeUnder(st_, zip), 9);
    EXPECT_EQ(getVersionMajor(st_, zip), 0);
    EXPECT_EQ(getVersionMinor(st_, zip), 0);
    EXPECT_EQ(getDiskId(st_, zip), 0);
    EXPECT_EQ(getGlobalCommentSize(st_, zip), 0);
    EXPECT_EQ(getGlobalComment(st_, zip, 100), "");
    EXPECT_EQ(getLocalCommentSize(st_, zip, "A"), -1);
    EXPECT_EQ(getLocalComment(st_, zip, "A", 100), "");
    EXPECT_EQ(getCount(st_, zip), -1);
    EXPECT_EQ(getTotalSize(st_, zip, true), 0.0);
    EXPECT_FALSE(isFileInZip(st_, zip, "*.*"));
  }
  // A folder without a matching .ZIP file.
  fs::create_directory(dir_.file("folder"));
  EXPECT_EQ(isZipFileQuick(st_, dir_.file("folder")), ReadStatus::CannotOpen);
}

TEST_F(ReadMethodsTest, EndRecordOnlyArchive) {
  const std::string zip = write(test::emptyArchive("empty but annotated"));
  EXPECT_EQ(isZipFileQuick(st_, zip), ReadStatus::Ok);  // status 1 counts as readable
  EXPECT_EQ(getCount(st_, zip), 0);
  EXPECT_EQ(getTotalSize(st_, zip, true), 0.0);
  EXPECT_FALSE(isFileInZip(st_, zip, "*.*"));
  EXPECT_EQ(getGlobalComment(st_, zip, 100), "empty but annotated");
  EXPECT_EQ(getMadeUnder(st_, zip), 9);  // there is no first entry
  EXPECT_TRUE(listing(zip).empty());
}

TEST_F(ReadMethodsTest, UnusualMethodsAndVersionsAreListed) {
  test::ZipBuilder b;
  for (uint16_t m : {8, 9, 12}) {
    test::TestEntry e;
    e.name = "m" + std::to_string(m) + ".bin";
    e.method = m;
    e.versionNeeded = m == 8 ? 0x0015 : 0x0014;
    e.data = "123456";
    b.entries.push_back(e);
  }
  const std::string zip = write(b.build());
  DirectoryReader r(st_);
  ASSERT_TRUE(r.open(zip));
  ASSERT_EQ(r.locateEndRecord(), ReadStatus::Ok);
  std::vector<int32_t> methods;
  ASSERT_EQ(r.walk({},
                   [&](const CentralEntry& e) {
                     methods.push_back(makeZipItem(e.header, e.name).method);
                     return true;
                   }),
            ReadStatus::Ok);
  EXPECT_EQ(methods, (std::vector<int32_t>{8, 9, 9}));
}

TEST_F(ReadMethodsTest, TemporaryBaseFolderIsTheTempPathWithASlash) {
  const std::string base = computeTempBaseFolder();
  ASSERT_FALSE(base.empty());
  EXPECT_EQ(base.back(), '/');
  EXPECT_EQ(base, std::string(std::getenv("TMPDIR")) + "/");
  EXPECT_EQ(tempBaseFolder(), tempBaseFolder());  // computed once
}

}  // namespace
}  // namespace vz::engine
