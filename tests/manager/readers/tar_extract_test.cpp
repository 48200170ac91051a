// TUnTAR against tar and bsdtar: archives made here in each format (ustar,
// gnu, pax) with long names, empty and block-sized files, links inside the
// tree, and the corpus TAR files, extracted byte for byte with the same
// times and links as the peer's extraction; hostile archives (climbing
// names, absolute names, links out and a link already in the destination)
// never write outside it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "manager/readers/tar_extract.h"
#include "tests/manager/readers/extract_test_tree.h"

namespace vz::readers {
namespace {

namespace fs = std::filesystem;
using test::extract;
using test::readTree;

// A tree with the cases TAR treats apart.
void makeSource(const std::string& root) {
  const std::string deep = root + "/d/" + std::string(80, 'n') + "/" + std::string(50, 'm');
  fs::create_directories(deep);
  fs::create_directories(root + "/empty");
  vz::test::writeFile(root + "/zero", "");
  vz::test::writeFile(root + "/d/block", std::string(512, 'b'));
  std::string big;
  for (int i = 0; i < 100000; ++i) big += static_cast<char>((i * 7919) >> 3);
  vz::test::writeFile(deep + "/" + std::string(95, 'f') + ".txt", big);
  fs::create_symlink("block", root + "/d/near");
  fs::create_symlink("../zero", root + "/d/up");
  fs::create_hard_link(root + "/d/block", root + "/hard");
}

class TarExtractFormats : public ::testing::TestWithParam<const char*> {};

TEST_P(TarExtractFormats, MatchesTarExtraction) {
  if (!vz::test::haveProgram("tar")) GTEST_SKIP() << "tar missing";
  vz::test::ScratchDir dir("untar");
  makeSource(dir.file("src"));
  const std::string archive = dir.file("a.tar");
  ASSERT_EQ(vz::test::run({"tar", std::string("--format=") + GetParam(), "-cf", archive, "-C", dir.file("src"), "."}),
            0);
  fs::create_directories(dir.file("peer"));
  ASSERT_EQ(vz::test::run({"tar", "-xf", archive, "-C", dir.file("peer")}), 0);
  const test::RunLog log = extract<TUnTAR>(archive, dir.file("ours"));
  EXPECT_TRUE(log.errors.empty()) << log.errors.front();
  EXPECT_EQ(log.extracted, 6);  // four files, two links
  EXPECT_EQ(readTree(dir.file("ours")), readTree(dir.file("peer")));
  const std::vector<int> all = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
  for (const auto& [name, steps] : log.progress) EXPECT_EQ(steps, all) << name;
}

INSTANTIATE_TEST_SUITE_P(Formats, TarExtractFormats, ::testing::Values("ustar", "gnu", "pax"));

TEST(TarExtract, CorpusMatchesBsdtar) {
  if (!vz::test::haveProgram("bsdtar")) GTEST_SKIP() << "bsdtar missing";
  int seen = 0;
  for (const std::string& path : vz::test::corpusFiles()) {
    if (fs::path(path).extension() != ".tar") continue;
    ++seen;
    vz::test::ScratchDir dir("untar");
    fs::create_directories(dir.file("peer"));
    vz::test::run({"bsdtar", "-xf", path, "-C", dir.file("peer")});
    const test::RunLog log = extract<TUnTAR>(path, dir.file("ours"));
    EXPECT_TRUE(log.errors.empty()) << path;
    EXPECT_EQ(readTree(dir.file("ours")), readTree(dir.file("peer"))) << path;
  }
  EXPECT_GT(seen, 0);
}

TEST(TarExtract, HostileNamesStayInside) {
  if (!vz::test::haveProgram("python3")) GTEST_SKIP() << "python3 missing";
  vz::test::ScratchDir dir("untar");
  const std::string archive = dir.file("evil.tar");
  fs::create_directories(dir.file("dest"));
  fs::create_directories(dir.file("outside"));
  // A link left in the destination by someone else, pointing out of it.
  fs::create_symlink(dir.file("outside"), dir.file("dest/pre"));
  const std::string script = R"(
import io, sys, tarfile
t = tarfile.open(sys.argv[1], 'w', format=tarfile.GNU_FORMAT)
def f(name, data=b'x'):
    i = tarfile.TarInfo(name); i.size = len(data); t.addfile(i, io.BytesIO(data))
def l(name, target, kind=tarfile.SYMTYPE):
    i = tarfile.TarInfo(name); i.type = kind; i.linkname = target; t.addfile(i)
f('../up1'); f('a/../../up2'); f('/abs1'); f('C:\\drive\\x'); f('ctl\x01\x7fname')
l('out', '/'); l('climb', '../outside'); l('sneak', 'dot/../..'); l('dot', '.')
f('out/o1'); f('climb/o2'); f('pre/o3'); f('sneak/o4'); f('inner/ok')
l('ok-link', 'inner/ok'); l('hard-out', '/etc/passwd', tarfile.LNKTYPE)
t.close()
)";
  ASSERT_EQ(vz::test::run({"python3", "-c", script, archive}), 0);
  const test::RunLog log = extract<TUnTAR>(archive, dir.file("dest"));
  // Nothing beside the destination, nothing through the link already there.
  EXPECT_TRUE(fs::is_empty(dir.file("outside")));
  std::vector<std::string> top;
  for (const auto& e : fs::directory_iterator(dir.path())) top.push_back(e.path().filename().string());
  std::sort(top.begin(), top.end());
  EXPECT_EQ(top, (std::vector<std::string>{"dest", "evil.tar", "outside"}));
  const test::Tree tree = readTree(dir.file("dest"));
  for (const char* name : {"up1", "a/up2", "abs1", "drive/x", "ctl__name", "inner/ok"})
    EXPECT_EQ(tree.at(name).content, "x") << name;
  // The refused links left plain folders for the files that follow them.
  for (const char* name : {"out/o1", "climb/o2", "sneak/o4"}) EXPECT_EQ(tree.at(name).kind, 'f') << name;
  EXPECT_EQ(tree.at("ok-link"), (test::TreeNode{'l', "inner/ok", 0}));
  EXPECT_EQ(tree.at("dot").kind, 'l');
  // The links out are refused (25140), the file through the link already in
  // the destination cannot get its folder (25117), the hard link to a file
  // this run never wrote is not found (25132).
  EXPECT_EQ(log.errors,
            (std::vector<int32_t>{E_INVALIDNAME, E_INVALIDNAME, E_INVALIDNAME, E_CREATEDIR, E_FILENOTFOUND}));
}

TEST(TarExtract, HandlersChooseEntriesAndReplacement) {
  if (!vz::test::haveProgram("tar")) GTEST_SKIP() << "tar missing";
  vz::test::ScratchDir dir("untar");
  fs::create_directories(dir.file("src/sub"));
  vz::test::writeFile(dir.file("src/keep"), "new keep");
  vz::test::writeFile(dir.file("src/sub/skip"), "skip");
  vz::test::writeFile(dir.file("src/sub/flat.txt"), "flat");
  const std::string archive = dir.file("a.tar");
  ASSERT_EQ(vz::test::run({"tar", "--mtime=2001-01-01", "-cf", archive, "-C", dir.file("src"), "keep", "sub"}), 0);
  fs::create_directories(dir.file("dest"));
  vz::test::writeFile(dir.file("dest/keep"), "old keep");
  TUnTAR x;
  x.UseStoredDirs = false;
  x.SetDateTo = CurDate;
  std::vector<std::string> asked;
  x.OnFileExists = [&](TUnBase&, const std::string& fn, const vz::LocalTime&, bool& accept) {
    asked.push_back(fn);
    accept = false;
  };
  const test::RunLog log = extract(archive, dir.file("dest"), &x);
  EXPECT_EQ(asked, std::vector<std::string>{"keep"});
  const test::Tree tree = readTree(dir.file("dest"));
  EXPECT_EQ(tree.at("keep").content, "old keep");
  EXPECT_EQ(tree.at("flat.txt").content, "flat");  // no stored folders
  EXPECT_EQ(tree.count("sub"), 0u);
  EXPECT_GT(tree.at("flat.txt").mtime, 1500000000);  // now, not 2001
  // A mask keeps to the names it matches.
  fs::remove_all(dir.file("dest"));
  TUnTAR y;
  y.FileSpec = "sub/*.*";
  test::RunLog masked = extract(archive, dir.file("dest"), &y);
  EXPECT_EQ(masked.extracted, 2);

  EXPECT_EQ(readTree(dir.file("dest")).count("keep"), 0u);
}

}  // namespace
}  // namespace vz::readers
