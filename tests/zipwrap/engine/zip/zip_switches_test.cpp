// The writer's switches and result codes: what each switch selects, the
// codes of nothing to do, missing files and duplicate names, -m, -g, the
// comments, and deleting.
#include <sys/stat.h>

#include "tests/zipwrap/engine/zip/zip_test_util.h"

namespace vz::zipwrap::test {
namespace {

using Names = std::vector<std::string>;

class WriterSwitches : public WriterTest {
 protected:
  void SetUp() override {
    if (!haveProgram("unzip")) GTEST_SKIP() << "unzip missing";
    put("d/a.txt", textBytes(100, 1), 1500000000);
    put("d/b.c", textBytes(100, 2), 1600000000);
    put("d/.hidden", textBytes(100, 3));
    put("d/s/c.txt", textBytes(100, 4), 1700000000);
    put("d/s/a.txt", textBytes(100, 5), 1700000000);
  }
};

struct SelectCase {
  std::vector<std::string> args;  // between the password and the archive
  std::vector<std::string> specs;
  Names expected;
};

TEST_F(WriterSwitches, EachSwitchSelectsItsFiles) {
  const std::vector<SelectCase> cases = {
      {{}, {"d/*.*"}, {"d/a.txt", "d/b.c"}},
      {{}, {"d/*.txt"}, {"d/a.txt"}},
      {{"-r"}, {"d/*.txt"}, {"d/a.txt", "d/s/a.txt", "d/s/c.txt"}},
      {{}, {"d"}, {}},
      {{"-D"}, {"d"}, {"d/"}},
      {{"-r"}, {"d"}, {"d/a.txt", "d/b.c", "d/s/a.txt", "d/s/c.txt"}},
      {{"-r", "-S"}, {"./d"}, {"d/.hidden", "d/a.txt", "d/b.c", "d/s/a.txt", "d/s/c.txt"}},
      {{"-r", "-D"}, {"d"}, {"d/", "d/a.txt", "d/b.c", "d/s/", "d/s/a.txt", "d/s/c.txt"}},
      {{"-r", "-t", "010120"}, {"d"}, {"d/b.c", "d/s/a.txt", "d/s/c.txt"}},
      {{"-r", "-t", "010123"}, {"d"}, {"d/s/a.txt", "d/s/c.txt"}},
      {{"-r"}, {"d", "-i", "*.txt", "-x", "s/*"}, {"d/a.txt", "d/s/a.txt", "d/s/c.txt"}},
      {{"-r"}, {"d", "-x", "d/s/*"}, {"d/a.txt", "d/b.c"}},
      {{"-r"}, {"d", "-i", "c.txt"}, {"d/s/c.txt"}},
      {{"-j"}, {"d/s/*.*", "d/b.c"}, {"a.txt", "c.txt", "b.c"}},
      {{}, {"./d/../d/a.txt"}, {"d/a.txt"}},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const SelectCase& c = cases[i];
    const std::string archive = "case" + std::to_string(i) + ".zip";
    std::vector<std::string> argv = {""};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    argv.push_back(archive);
    argv.insert(argv.end(), c.specs.begin(), c.specs.end());
    const uint16_t r = zw(argv);
    if (c.expected.empty()) {
      EXPECT_EQ(r, kResultNothingToDo) << "case " << i;
      EXPECT_FALSE(fs::exists(abs(archive))) << "case " << i;
      continue;
    }
    EXPECT_EQ(r, kResultOk) << "case " << i;
    Names got = names(archive);
    if (c.args.empty() || c.args[0] != "-j") std::sort(got.begin(), got.end());
    EXPECT_EQ(got, c.expected) << "case " << i;
  }
}

TEST_F(WriterSwitches, JunkedPathsThatCollideGive370AndNothing) {
  EXPECT_EQ(zw({"", "-j", "-r", "a.zip", "d"}), kResultDuplicateNames);
  EXPECT_FALSE(fs::exists(abs("a.zip")));
  // The same file named twice is one entry.
  EXPECT_EQ(zw({"", "a.zip", "d/a.txt", "d/*.txt"}), kResultOk);
  EXPECT_EQ(names("a.zip"), Names{"d/a.txt"});
  // The archive never takes itself in.
  EXPECT_EQ(zw({"", "a.zip", "*.*"}), kResultNothingToDo);
  EXPECT_EQ(names("a.zip"), Names{"d/a.txt"});
}

TEST_F(WriterSwitches, StoredExtensionsAndLevelZeroStore) {
  put("z/x.zip", textBytes(5000, 9));
  put("z/y.txt", textBytes(5000, 9));
  ASSERT_EQ(zw({"", "-n", ".ZIP;.LZH", "a.zip", "z/*.*"}), kResultOk);
  ASSERT_EQ(zw({"", "-0", "b.zip", "z/y.txt"}), kResultOk);
  std::string out;
  run({"unzip", "-v", abs("a.zip")}, &out);
  EXPECT_NE(out.find("Stored"), std::string::npos);
  EXPECT_NE(out.find("Defl"), std::string::npos);
  run({"unzip", "-v", abs("b.zip")}, &out);
  EXPECT_EQ(out.find("Defl"), std::string::npos);
}

TEST_F(WriterSwitches, ResultsOfNothingToDoAndMissingFiles) {
  Recorder rec;
  EXPECT_EQ(zw({"", "a.zip", "d/a.txt", "nope.txt"}, &rec), kResultSkipped);
  ASSERT_EQ(rec.count(kCbSkipping), 1u);
  EXPECT_EQ(rec.calls[0].reason, kSkipNotFound);
  EXPECT_EQ(rec.calls[0].name, "nope.txt");
  EXPECT_EQ(rec.count(kCbAdding), 2u);  // 0 and 100 percent
  const std::vector<uint8_t> before = readFile(abs("a.zip"));

  EXPECT_EQ(zw({"", "a.zip", "gone.txt"}), kResultNothingToDo);
  Recorder fresh;
  EXPECT_EQ(zw({"", "-f", "a.zip", "d/a.txt", "d/b.c"}, &fresh), kResultUpToDate);
  ASSERT_EQ(fresh.calls.size(), 1u);  // d/b.c is not in the archive: freshen passes it over
  EXPECT_EQ(fresh.calls[0].reason, kSkipUpToDate);
  EXPECT_EQ(zw({"", "-u", "a.zip", "d/a.txt"}), kResultUpToDate);
  EXPECT_EQ(zw({"", "-d", "a.zip", "*.none"}), kResultNothingToDo);
  EXPECT_EQ(zw({"", "-d", "missing.zip", "*"}), kResultArchiveNotFound);
  EXPECT_EQ(zw({"", "-z", "missing.zip"}), kResultArchiveNotFound);
  EXPECT_TRUE(readFile(abs("a.zip")) == before);

  // Update adds the new file and replaces only the newer one, in place.
  touch("d/a.txt", 1700000000);
  Recorder up;
  EXPECT_EQ(zw({"", "-u", "a.zip", "d/*.*"}, &up), kResultOk);
  EXPECT_EQ(names("a.zip"), (Names{"d/a.txt", "d/b.c"}));
  EXPECT_EQ(up.count(kCbUpdating), 2u);
  EXPECT_EQ(up.count(kCbAdding), 2u);
}

TEST_F(WriterSwitches, VolumeLabelOfASimulatedDrive) {
  const std::string root = abs("drive");
  fs::create_directories(root);
  put("drive/f.txt", textBytes(50, 1));
  writeFile(abs("drives.ini"), "[E:]\nRoot=" + root + "\nType=removable\nLabel=HOLIDAY\n");
  setenv("VZ_DRIVES", abs("drives.ini").c_str(), 1);
  ASSERT_EQ(zw({"", "-$", "a.zip", "E:\\f.txt"}), kResultOk);
  EXPECT_EQ(names("a.zip"), (Names{"HOLIDAY", "f.txt"}));
  if (haveProgram("python3")) {
    std::string out;
    run({"python3", "-c", "import zipfile,sys;print(zipfile.ZipFile(sys.argv[1]).infolist()[0].external_attr)",
         abs("a.zip")},
        &out);
    EXPECT_EQ(out, "8\n");
  }
}

TEST_F(WriterSwitches, MoveDeletesSourcesOnlyAfterSuccessAndNeverTheArchivesFolder) {
  put("m/one.txt", textBytes(100, 1));
  put("m/sub/two.txt", textBytes(100, 2));
  ASSERT_EQ(zw({"", "-m", "-r", "-D", "a.zip", "m"}), kResultOk);
  EXPECT_EQ(names("a.zip"), (Names{"m/", "m/one.txt", "m/sub/", "m/sub/two.txt"}));
  EXPECT_FALSE(fs::exists(abs("m")));
  // A folder that holds the archive (here the current one) is refused.
  put("n/x.txt", textBytes(100, 3));
  EXPECT_EQ(zw({"", "-m", "-r", "-D", "n/in.zip", "n"}), kResultRemoveParent);
  EXPECT_TRUE(fs::exists(abs("n/x.txt")));
  EXPECT_FALSE(fs::exists(abs("n/in.zip")));
}

TEST_F(WriterSwitches, GrowInPlaceAppendsAndKeepsTheOldBytes) {
  ASSERT_EQ(zw({"", "a.zip", "d/a.txt"}), kResultOk);
  const std::vector<uint8_t> before = readFile(abs("a.zip"));
  ASSERT_EQ(zw({"", "-g", "a.zip", "d/b.c"}), kResultOk);
  const std::vector<uint8_t> after = readFile(abs("a.zip"));
  EXPECT_EQ(names("a.zip"), (Names{"d/a.txt", "d/b.c"}));
  expectPeersAccept("a.zip", "", "grown");
  // The old entry's bytes, up to the old directory, did not move.
  const uint8_t* end = before.data() + before.size() - 22;
  const size_t oldDirectory = end[16] | end[17] << 8 | end[18] << 16 | static_cast<size_t>(end[19]) << 24;
  ASSERT_LT(oldDirectory, before.size());
  EXPECT_TRUE(std::equal(before.begin(), before.begin() + static_cast<long>(oldDirectory), after.begin()));
  // -g on a comment rewrites only the end.
  Recorder rec;
  rec.archiveComment = "grown comment";
  ASSERT_EQ(zw({"", "-z", "-g", "a.zip"}, &rec), kResultOk);
  const std::vector<uint8_t> commented = readFile(abs("a.zip"));
  EXPECT_TRUE(std::equal(after.begin(), after.end() - 22, commented.begin()));
  expectPeersAccept("a.zip", "", "commented in place");
  // Status 0 removes the comment again.
  Recorder none;
  ASSERT_EQ(zw({"", "-z", "a.zip"}, &none), kResultOk);
  EXPECT_TRUE(readFile(abs("a.zip")) == after);
}

TEST_F(WriterSwitches, FileCommentsAskedForNewEntries) {
  Recorder rec;
  rec.fileComment = "first file";
  ASSERT_EQ(zw({"", "-c", "a.zip", "d/a.txt"}, &rec), kResultOk);
  EXPECT_EQ(rec.count(kCbFileComment), 1u);
  if (haveProgram("python3")) {
    std::string out;
    run({"python3", "-c", "import zipfile,sys;print(zipfile.ZipFile(sys.argv[1]).infolist()[0].comment.decode())",
         abs("a.zip")},
        &out);
    EXPECT_EQ(out, "first file\n");
  }
}

TEST_F(WriterSwitches, DeleteRemovesMatchesWithFilters) {
  ASSERT_EQ(zw({"", "-r", "-D", "a.zip", "d"}), kResultOk);
  Recorder rec;
  ASSERT_EQ(zw({"", "-d", "a.zip", "*.txt", "-x", "d/s/c.txt"}, &rec), kResultOk);
  EXPECT_EQ(rec.count(kCbDeleting), 2u);
  EXPECT_EQ(names("a.zip"), (Names{"d/", "d/b.c", "d/s/", "d/s/c.txt"}));
  ASSERT_EQ(zw({"", "-d", "a.zip", "*"}), kResultOk);
  EXPECT_EQ(readFile(abs("a.zip")).size(), 22u);
  if (haveProgram("python3"))
    EXPECT_EQ(
        run({"python3", "-c", "import zipfile,sys;assert zipfile.ZipFile(sys.argv[1]).namelist()==[]", abs("a.zip")}),
        0);
}

}  // namespace
}  // namespace vz::zipwrap::test
