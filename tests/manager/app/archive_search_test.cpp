// The archive search on a tree made here: archives of several kinds made by
// peer tools (one under a misleading name, one behind a program), a text
// file named like an archive, hidden sub-folders, and symbolic links that
// loop back to the top. Each test checks the exact set of results.
#include "manager/app/archive_search.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <map>

#include "platform/file.h"
#include "tests/support/test_env.h"

namespace vz::manager {
namespace {

using Found = std::map<std::string, std::string>;  // path below the top -> kind name

class ArchiveSearchTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!test::haveProgram("zip") || !test::haveProgram("python3")) return;
    tree_ = new test::ScratchDir("vzsearch");
    const std::string top = tree_->path();
    ASSERT_TRUE(makeDirectories(top + "/sub/deeper"));
    test::writeFile(top + "/readme.txt", "plain text\n");
    test::writeFile(top + "/fake.zip", "not an archive at all\n");
    // ZIP, under its own name and under a misleading one.
    ASSERT_EQ(test::run({"zip", "-q", "-j", top + "/one.zip", top + "/readme.txt"}), 0);
    ASSERT_EQ(test::run({"cp", top + "/one.zip", top + "/sub/data.dat"}), 0);
    // TAR and gzip by python3.
    ASSERT_EQ(test::run({"python3", "-c",
                         "import tarfile,gzip,sys\n"
                         "t=tarfile.open(sys.argv[1]+'/sub/two.tar','w',format=tarfile.USTAR_FORMAT)\n"
                         "t.add(sys.argv[1]+'/readme.txt','readme.txt');t.close()\n"
                         "open(sys.argv[1]+'/sub/deeper/three.txt.gz','wb').write(gzip.compress(b'x'*100))\n",
                         top}),
              0);
    // A ZIP behind a program: a self-extractor.
    std::vector<uint8_t> program = test::readFile("/bin/true");
    std::vector<uint8_t> zip = test::readFile(top + "/one.zip");
    program.insert(program.end(), zip.begin(), zip.end());
    test::writeFile(top + "/sub/deeper/setup.bin", program);
    if (test::haveProgram("arj")) {
      haveArj_ = test::run({"arj", "a", "-y", top + "/sub/four.arj", top + "/readme.txt"}) == 0;
    }
    // Links: back to the top (a loop), to a sub-folder, to an archive, and one dangling.
    ASSERT_EQ(::symlink("../..", (top + "/sub/deeper/up").c_str()), 0);
    ASSERT_EQ(::symlink(top.c_str(), (top + "/sub/top").c_str()), 0);
    ASSERT_EQ(::symlink("one.zip", (top + "/link.zip").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", (top + "/dangling.zip").c_str()), 0);
  }
  static void TearDownTestSuite() {
    delete tree_;
    tree_ = nullptr;
  }
  void SetUp() override {
    if (!tree_) GTEST_SKIP() << "zip or python3 missing";
  }

  static Found search(SearchOptions o, SearchSummary* summary = nullptr) {
    o.folder = tree_->path();
    Found found;
    SearchVisitor v;
    v.found = [&](const SearchResult& r) {
      EXPECT_EQ(found.count(r.path), 0u) << "reported twice: " << r.path;
      EXPECT_EQ(r.size, static_cast<uint64_t>(fileSize(r.path).value_or(-1)));
      EXPECT_GT(r.modified, 0);
      found[r.path.substr(tree_->path().size() + 1)] = r.kindName;
      return true;
    };
    SearchSummary s = searchArchives(o, v);
    if (summary) *summary = s;
    return found;
  }

  static inline test::ScratchDir* tree_ = nullptr;
  static inline bool haveArj_ = false;
};

TEST_F(ArchiveSearchTest, ByContentFindsEveryArchiveOnceThroughLinkLoops) {
  SearchSummary s;
  Found found = search({}, &s);
  Found expected = {{"link.zip", "ZIP"},
                    {"one.zip", "ZIP"},
                    {"sub/data.dat", "ZIP"},
                    {"sub/two.tar", "TAR"},
                    {"sub/deeper/three.txt.gz", "GZip"},
                    {"sub/deeper/setup.bin", "ZIP SFX"}};
  if (haveArj_) expected["sub/four.arj"] = "ARJ";
  EXPECT_EQ(found, expected);
  EXPECT_FALSE(s.stopped);
  EXPECT_EQ(s.foldersRead, 3u);  // top, sub, deeper: the links lead back into folders already read
}

TEST_F(ArchiveSearchTest, ByExtensionTrustsTheNames) {
  SearchOptions o;
  o.byExtension = true;
  Found found = search(o);
  Found expected = {{"fake.zip", "ZIP"},
                    {"link.zip", "ZIP"},
                    {"one.zip", "ZIP"},
                    {"sub/two.tar", "TAR"},
                    {"sub/deeper/three.txt.gz", "GZip / Z"}};
  if (haveArj_) expected["sub/four.arj"] = "ARJ";
  EXPECT_EQ(found, expected);
}

TEST_F(ArchiveSearchTest, KindsMaskAndSubfoldersNarrowTheSearch) {
  SearchOptions o;
  o.kinds = searchKindBit(SearchKind::Tar) | searchKindBit(SearchKind::SelfExtracting);
  EXPECT_EQ(search(o), (Found{{"sub/two.tar", "TAR"}, {"sub/deeper/setup.bin", "ZIP SFX"}}));

  o = {};
  o.mask = "o*.*; *.TAR";
  EXPECT_EQ(search(o), (Found{{"one.zip", "ZIP"}, {"sub/two.tar", "TAR"}}));

  o = {};
  o.subfolders = false;
  EXPECT_EQ(search(o), (Found{{"link.zip", "ZIP"}, {"one.zip", "ZIP"}}));
}

TEST_F(ArchiveSearchTest, StopsOnRequest) {
  SearchOptions o;
  o.folder = tree_->path();
  size_t calls = 0;
  SearchVisitor v;
  v.found = [&](const SearchResult&) { return ++calls < 2; };
  SearchSummary s = searchArchives(o, v);
  EXPECT_EQ(calls, 2u);
  EXPECT_TRUE(s.stopped);

  std::atomic<bool> stop{true};
  calls = 0;
  s = searchArchives(o, v, &stop);
  EXPECT_EQ(calls, 0u);
  EXPECT_TRUE(s.stopped);

  o.folder = tree_->path() + "/missing";
  s = searchArchives(o, v);
  EXPECT_TRUE(s.folderMissing);
  EXPECT_EQ(s.found, 0u);
}

TEST(ArchiveSearchMask, DosPatterns) {
  struct Row {
    const char* name;
    const char* mask;
    bool match;
  } rows[] = {
      {"a.zip", "*.zip", true},       {"A.ZIP", "*.zip", true},       {"a.zip.txt", "*.zip", false},
      {"abc.arj", "a?c.*", true},     {"ac.arj", "a?c.*", false},     {"noext", "*", true},
      {"x.tar", "*.zip;*.tar", true}, {"x.gz", "*.zip;*.tar", false}, {"x.gz", "", true},
      {"x.gz", " ; ", true},
  };
  for (const Row& r : rows) EXPECT_EQ(searchMaskMatches(r.name, r.mask), r.match) << r.name << " " << r.mask;
}

}  // namespace
}  // namespace vz::manager
