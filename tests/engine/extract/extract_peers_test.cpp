// Archives made by other programs, extracted by the driver and compared
// byte for byte with what unzip makes of them (names compared in upper
// case, as the driver writes them), with the files' times and attributes:
// zip at every level, encrypted, with and without folder entries; 7zz;
// python3's zipfile stored, deflated and streamed (data descriptors, zero
// sizes in the local headers); an archive behind a program; and the legacy
// methods of the sample archives (by their CRC where unzip cannot read the
// method).
#include <gtest/gtest.h>

#include <random>

#include "control/engine/common/status.h"
#include "platform/attributes.h"
#include "tests/engine/extract/extract_test_util.h"

namespace vz::test {
namespace {

// The sources' modification time, an even second so that the DOS stamp
// holds it exactly: 2021-06-15 10:20:30 local time.
std::time_t sourceTime() {
  LocalTime lt{2021, 6, 15, 10, 20, 30};
  return *fromLocalTime(lt);
}

class PeerExtract : public ExtractTest {
 protected:
  void SetUp() override {
    ExtractTest::SetUp();
    if (!haveProgram("unzip")) GTEST_SKIP() << "unzip is not available";
    const std::string s = file("src");
    fs::create_directories(s + "/data");
    fs::create_directories(s + "/docs/sub");
    fs::create_directories(s + "/emptydir");
    std::mt19937 gen(7);
    std::string random(300000, '\0');
    for (char& c : random) c = static_cast<char>(gen());
    std::string text;
    for (int i = 0; i < 400; ++i) text += "line " + std::to_string(i) + " of the readme\n";
    writeFile(s + "/readme.txt", text);
    writeFile(s + "/data/random.bin", random);
    writeFile(s + "/data/zeros.bin", std::string(100000, '\0'));
    writeFile(s + "/empty.txt", "");
    writeFile(s + "/docs/sub/notes.txt", "notes");
    writeFile(s + "/ro.txt", "read only");
    for (const auto& e : fs::recursive_directory_iterator(s))
      if (e.is_regular_file()) setTime(e.path().string(), sourceTime());
    fs::permissions(s + "/ro.txt", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  }

  // Extracts zip with the driver and with unzip and compares the results.
  void expectSameAsUnzip(const std::string& zip, const std::string& password = "", ReadStatus want = ReadStatus::Ok) {
    SCOPED_TRACE(zip);
    const std::string ours = file("ours"), theirs = file("theirs");
    fs::remove_all(ours);
    fs::remove_all(theirs);
    st.password = password;
    EXPECT_EQ(unzip(zip, ours), want);
    std::vector<std::string> argv = {"unzip", "-o", "-q"};
    if (!password.empty()) argv.insert(argv.end(), {"-P", password});
    argv.insert(argv.end(), {zip, "-d", theirs});
    run(argv);
    const auto expected = upperTreeOf(theirs);
    EXPECT_FALSE(expected.empty());
    EXPECT_EQ(treeOf(ours), expected);
  }

  // Times and attributes of the files made from the sources.
  void expectTimesAndAttributes(bool readOnlyKept = true) {
    const std::string ours = file("ours");
    for (const char* name : {"README.TXT", "DATA/RANDOM.BIN", "EMPTY.TXT", "RO.TXT"}) {
      SCOPED_TRACE(name);
      EXPECT_EQ(mtimeOf(ours + "/" + name), sourceTime());
    }
    const auto ro = getFileAttributes(ours + "/RO.TXT");
    ASSERT_TRUE(ro);
    EXPECT_EQ((*ro & kAttrReadOnly) != 0, readOnlyKept);
    EXPECT_EQ(*getFileAttributes(ours + "/README.TXT") & kAttrReadOnly, 0u);
  }

  bool zipSources(const std::vector<std::string>& options, const std::string& name) {
    std::vector<std::string> argv = {"zip", "-q", "-r"};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.insert(argv.end(), {file(name), "."});
    return run(argv, nullptr, nullptr, file("src")) == 0;
  }
};

TEST_F(PeerExtract, ZipAtEveryLevel) {
  if (!haveProgram("zip")) GTEST_SKIP() << "zip is not available";
  for (int level = 0; level <= 9; ++level) {
    const std::string name = "l" + std::to_string(level) + ".zip";
    ASSERT_TRUE(zipSources({"-" + std::to_string(level)}, name));
    expectSameAsUnzip(file(name));
    expectTimesAndAttributes();
    EXPECT_TRUE(fs::is_directory(file("ours/EMPTYDIR")));
    EXPECT_EQ(engine::testArchive(st, file(name)), ReadStatus::Ok);
  }
}

TEST_F(PeerExtract, ZipEncryptedAndWithoutFolderEntries) {
  if (!haveProgram("zip")) GTEST_SKIP() << "zip is not available";
  ASSERT_TRUE(zipSources({"-e", "-P", "secret"}, "e.zip"));
  expectSameAsUnzip(file("e.zip"), "secret");
  expectTimesAndAttributes();
  st.password = "secret";
  EXPECT_EQ(engine::testArchive(st, file("e.zip")), ReadStatus::Ok);

  ASSERT_TRUE(zipSources({"-D"}, "d.zip"));
  expectSameAsUnzip(file("d.zip"));
  EXPECT_FALSE(fs::exists(file("ours/EMPTYDIR")));
  EXPECT_TRUE(fs::is_directory(file("ours/DOCS/SUB")));  // made for the files in it
}

TEST_F(PeerExtract, SevenZip) {
  if (!haveProgram("7zz")) GTEST_SKIP() << "7zz is not available";
  for (const char* level : {"-mx=0", "-mx=5", "-mx=9"}) {
    const std::string zip = file(std::string("7") + level + ".zip");
    ASSERT_EQ(run({"7zz", "a", "-tzip", level, zip, "."}, nullptr, nullptr, file("src")), 0);
    expectSameAsUnzip(zip);
    expectTimesAndAttributes();
  }
}

TEST_F(PeerExtract, PythonStoredDeflatedAndStreamed) {
  if (!haveProgram("python3")) GTEST_SKIP() << "python3 is not available";
  const std::string script =
      "import os, sys, zipfile\n"
      "def add(z):\n"
      "    for root, dirs, files in os.walk('.'):\n"
      "        for f in sorted(files): z.write(os.path.join(root, f))\n"
      "for name, method in (('py0.zip', zipfile.ZIP_STORED), ('py8.zip', zipfile.ZIP_DEFLATED)):\n"
      "    with zipfile.ZipFile('../' + name, 'w', method) as z: add(z)\n"
      "with open('../stream.zip', 'wb') as f:\n"
      "    class Pipe:\n"
      "        def write(self, b): return f.write(b)\n"
      "        def flush(self): f.flush()\n"
      "    with zipfile.ZipFile(Pipe(), 'w', zipfile.ZIP_DEFLATED) as z: add(z)\n";
  ASSERT_TRUE(runPython(script, file("src")));
  for (const char* name : {"py0.zip", "py8.zip", "stream.zip"}) {
    expectSameAsUnzip(file(name));
    expectTimesAndAttributes(false);  // zipfile keeps no DOS attributes
    EXPECT_EQ(engine::testArchive(st, file(name)), ReadStatus::Ok);
  }
  // The streamed archive really has the shape of a data descriptor entry.
  const std::string bytes = readText(file("stream.zip"));
  ASSERT_GE(bytes.size(), 30u);
  EXPECT_EQ(bytes[6] & 0x08, 0x08);
  EXPECT_EQ(bytes.substr(14, 12), std::string(12, '\0'));
}

TEST_F(PeerExtract, ArchiveBehindAProgram) {
  if (!haveProgram("zip")) GTEST_SKIP() << "zip is not available";
  ASSERT_TRUE(zipSources({"-6"}, "plain.zip"));
  std::vector<uint8_t> sfx = readFile("/bin/true");
  const std::vector<uint8_t> zip = readFile(file("plain.zip"));
  sfx.insert(sfx.end(), zip.begin(), zip.end());
  writeFile(file("sfx.zip"), sfx);
  expectSameAsUnzip(file("sfx.zip"));
  EXPECT_EQ(engine::testArchive(st, file("sfx.zip")), ReadStatus::PrefixData);
}

TEST_F(PeerExtract, LegacyMethodsOfTheSamples) {
  const std::string c = corpusDir();
  if (!fs::exists(c + "/sc-Zip.shrink.zip")) GTEST_SKIP() << "sample archives are missing";
  expectSameAsUnzip(c + "/sc-Zip.shrink.zip");
  expectSameAsUnzip(c + "/cc-imploding-4Kdict-2trees.zip");
  expectSameAsUnzip(c + "/yz-success-traditional-encryption.zip", "a");
  expectSameAsUnzip(c + "/lz-encrypt.zip", "foo");
  // unzip cannot reduce: every entry's CRC is checked instead, by the full
  // test and by extraction.
  st.password.clear();
  for (int factor = 1; factor <= 4; ++factor) {
    const std::string zip = c + "/sc-Zip.reduce" + std::to_string(factor) + ".zip";
    SCOPED_TRACE(zip);
    recorder.events.clear();
    EXPECT_EQ(engine::testArchive(st, zip), ReadStatus::Ok);
    const auto tests = recorder.of(engine::kNotifyTest);
    EXPECT_EQ(tests.size(), 3u);
    for (const DriverEvent& e : tests) EXPECT_EQ(e.w, 0u);
    fs::remove_all(file("reduced"));
    EXPECT_EQ(unzip(zip, file("reduced")), ReadStatus::Ok);
    EXPECT_EQ(treeOf(file("reduced")).size(), 3u);
  }
}

}  // namespace
}  // namespace vz::test
