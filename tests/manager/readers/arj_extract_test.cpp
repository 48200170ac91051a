// TUnARJ against arj itself: trees archived by arj with methods 0 to 4
// come out byte for byte with good CRCs; a multi-volume set (arj -v) is
// joined part by part, and a missing volume ends only the entry that needs
// it; a hard link comes out as a copy; garbled archives (arj -g) open with the right password from
// Passwords or OnGetPassword and report 25190 without one; the corpus's ARJ
// archives match 7zz's extraction; damaged data fails only its own entry.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "manager/readers/arj_extract.h"
#include "tests/manager/readers/extract_test_tree.h"

namespace vz::readers {
namespace {

namespace fs = std::filesystem;
using test::extract;
using test::readTree;
using test::Tree;

// Text that compresses, bytes that do not, an empty file and a nested one.
void makeSource(const std::string& root, size_t scale = 1) {
  fs::create_directories(root + "/sub/deeper");
  std::string text;
  for (size_t i = 0; i < 6000 * scale; ++i) text += "row " + std::to_string(i * 7919 % 4099) + " of the sample\n";
  vz::test::writeFile(root + "/text.txt", text);
  std::mt19937 rng(42);
  std::vector<uint8_t> noise(70000 * scale);
  for (uint8_t& b : noise) b = static_cast<uint8_t>(rng());
  vz::test::writeFile(root + "/sub/noise.bin", noise);
  vz::test::writeFile(root + "/sub/empty", std::string());
  // Long repeats: matches of the longest length and runs at distance 1.
  vz::test::writeFile(root + "/sub/deeper/runs.dat", std::string(100000, 'x') + text.substr(0, 30000) +
                                                         std::string(3000, '\0') + text.substr(500, 20000));
}

// The files of a tree with their bytes (times and folders left out).
std::map<std::string, std::string> files(const Tree& t) {
  std::map<std::string, std::string> out;
  for (const auto& [name, node] : t)
    if (node.kind == 'f') out[name] = node.content;
  return out;
}

int arj(const std::vector<std::string>& args, const std::string& cwd) {
  std::vector<std::string> argv{"arj"};
  argv.insert(argv.end(), args.begin(), args.end());
  std::string out;
  return vz::test::run(argv, &out, &out, cwd);
}

class ArjMethods : public ::testing::TestWithParam<int> {};

TEST_P(ArjMethods, RoundTripsThroughArj) {
  if (!vz::test::haveProgram("arj")) GTEST_SKIP() << "arj missing";
  vz::test::ScratchDir dir("unarj");
  makeSource(dir.file("src"));
  ASSERT_EQ(arj({"a", "-m" + std::to_string(GetParam()), "-r", "-y", "../set.arj", "*"}, dir.file("src")), 0);
  const test::RunLog log = extract<TUnARJ>(dir.file("set.arj"), dir.file("ours"));
  EXPECT_TRUE(log.errors.empty()) << log.errors.front();
  EXPECT_EQ(log.extracted, 4);
  EXPECT_EQ(files(readTree(dir.file("ours"))), files(readTree(dir.file("src"))));
  for (const auto& [name, pass] : log.ended) EXPECT_TRUE(pass) << name;
  // Stamps: arj keeps the DOS time (two-second steps).
  const auto t0 = fs::last_write_time(dir.file("src/text.txt"));
  const auto t1 = fs::last_write_time(dir.file("ours/text.txt"));
  EXPECT_LE(std::chrono::abs(t0 - t1), std::chrono::seconds(2));
}

INSTANTIATE_TEST_SUITE_P(Methods, ArjMethods, ::testing::Values(0, 1, 2, 3, 4));

TEST(ArjExtract, MultiVolumeSetIsJoinedAndAMissingVolumeEndsOnlyItsEntry) {
  if (!vz::test::haveProgram("arj")) GTEST_SKIP() << "arj missing";
  vz::test::ScratchDir dir("unarjv");
  makeSource(dir.file("src"), 3);
  ASSERT_EQ(arj({"a", "-m1", "-r", "-y", "-v60k", "../set.arj", "*"}, dir.file("src")), 0);
  ASSERT_TRUE(fs::exists(dir.file("set.a03")));
  const test::RunLog log = extract<TUnARJ>(dir.file("set.arj"), dir.file("ours"));
  EXPECT_TRUE(log.errors.empty()) << log.errors.front();
  EXPECT_EQ(files(readTree(dir.file("ours"))), files(readTree(dir.file("src"))));

  // Without the third volume: what lies wholly before it is still there.
  fs::rename(dir.file("set.a03"), dir.file("aside"));
  const test::RunLog cut = extract<TUnARJ>(dir.file("set.arj"), dir.file("cut"));
  ASSERT_EQ(cut.errors, std::vector<int32_t>{E_OPEN});
  const auto whole = files(readTree(dir.file("src")));
  const auto part = files(readTree(dir.file("cut")));
  EXPECT_GE(part.size(), 1u);
  EXPECT_LT(part.size(), whole.size());
  for (const auto& [name, bytes] : part) EXPECT_EQ(bytes, whole.at(name)) << name;
}

class ArjGarbled : public ::testing::TestWithParam<int> {};

TEST_P(ArjGarbled, OpensWithThePasswordOnly) {
  if (!vz::test::haveProgram("arj")) GTEST_SKIP() << "arj missing";
  vz::test::ScratchDir dir("unarjg");
  makeSource(dir.file("src"));
  ASSERT_EQ(
      arj({"a", "-m" + std::to_string(GetParam()), "-r", "-y", "-gOpen Sesame", "../g.arj", "*"}, dir.file("src")), 0);
  const auto want = files(readTree(dir.file("src")));

  TUnARJ listed;
  listed.Passwords = {"wrong", "Open Sesame"};
  test::RunLog log = extract<TUnARJ>(dir.file("g.arj"), dir.file("a"), &listed);
  EXPECT_TRUE(log.errors.empty()) << log.errors.front();
  EXPECT_EQ(files(readTree(dir.file("a"))), want);

  // Asked: a wrong answer with TryAgain, then the right one (and it is
  // remembered for the entries after the first).
  TUnARJ asked;
  int asks = 0;
  asked.OnGetPassword = [&](TUnBase&, const std::string&, std::string& pw, bool& again) {
    pw = asks++ == 0 ? "open sesame" : "Open Sesame";
    again = true;
  };
  log = extract<TUnARJ>(dir.file("g.arj"), dir.file("b"), &asked);
  EXPECT_TRUE(log.errors.empty());
  EXPECT_EQ(asks, 2);
  EXPECT_EQ(files(readTree(dir.file("b"))), want);

  // No password: every garbled file reports 25190 and none is written (the
  // empty file carries no data to garble).
  log = extract<TUnARJ>(dir.file("g.arj"), dir.file("c"));
  EXPECT_EQ(std::count(log.errors.begin(), log.errors.end(), E_PASSWORD), 3);
  EXPECT_FALSE(fs::exists(dir.file("c/text.txt")));
}

INSTANTIATE_TEST_SUITE_P(Methods, ArjGarbled, ::testing::Values(0, 1, 4));

// arj keeps a second name of a file (a hard link) as a special entry
// naming the first: it comes out as a copy.
TEST(ArjExtract, HardLinkBecomesACopyOfItsFile) {
  if (!vz::test::haveProgram("arj")) GTEST_SKIP() << "arj missing";
  vz::test::ScratchDir dir("unarjl");
  fs::create_directories(dir.file("src"));
  vz::test::writeFile(dir.file("src/first"), std::string("one file, two names\n"));
  fs::create_hard_link(dir.file("src/first"), dir.file("src/second"));
  ASSERT_EQ(arj({"a", "-y", "../l.arj", "first", "second"}, dir.file("src")), 0);
  const test::RunLog log = extract<TUnARJ>(dir.file("l.arj"), dir.file("ours"));
  EXPECT_TRUE(log.errors.empty());
  EXPECT_EQ(log.extracted, 2);
  EXPECT_EQ(files(readTree(dir.file("ours"))), files(readTree(dir.file("src"))));
}

TEST(ArjExtract, CorpusMatchesSevenZip) {
  if (!vz::test::haveProgram("7zz")) GTEST_SKIP() << "7zz missing";
  int seen = 0;
  for (const std::string& path : vz::test::corpusFiles()) {
    if (fs::path(path).extension() != ".arj") continue;
    ++seen;
    vz::test::ScratchDir dir("unarjc");
    ASSERT_EQ(vz::test::run({"7zz", "x", "-y", "-o" + dir.file("peer"), path}), 0) << path;
    const test::RunLog log = extract<TUnARJ>(path, dir.file("ours"));
    EXPECT_TRUE(log.errors.empty()) << path;
    EXPECT_EQ(files(readTree(dir.file("ours"))), files(readTree(dir.file("peer")))) << path;
    for (const auto& [name, pass] : log.ended) EXPECT_TRUE(pass) << path << ": " << name;
  }
  EXPECT_GE(seen, 3);
}

// Damage inside one entry's data (a flipped byte, or the archive cut in it)
// fails that entry alone: the entries before it are extracted, and so are
// the ones after a flipped byte, whose headers are intact.
TEST(ArjExtract, DamagedDataFailsOnlyItsEntry) {
  if (!vz::test::haveProgram("arj")) GTEST_SKIP() << "arj missing";
  vz::test::ScratchDir dir("unarjd");
  fs::create_directories(dir.file("src"));
  std::string text;
  for (int i = 0; i < 20000; ++i) text += std::to_string(i * 31 % 977) + " ";
  for (const char* n : {"a.txt", "b.txt", "c.txt"}) vz::test::writeFile(dir.file("src/") + n, n + text);
  for (int method : {0, 1, 4}) {
    const std::string archive = dir.file("d" + std::to_string(method) + ".arj");
    ASSERT_EQ(arj({"a", "-m" + std::to_string(method), "-y", archive, "a.txt", "b.txt", "c.txt"}, dir.file("src")), 0);
    const std::vector<uint8_t> good = vz::test::readFile(archive);
    // Find b.txt's data: its name is in its header, the data follows.
    const std::string bytes(good.begin(), good.end());
    const size_t bAt = bytes.find("b.txt");
    const size_t cAt = bytes.find("c.txt");
    ASSERT_NE(bAt, std::string::npos);
    ASSERT_NE(cAt, std::string::npos);
    const size_t mid = (bAt + cAt) / 2;
    struct Damage {
      const char* what;
      std::vector<uint8_t> bytes;
      std::vector<std::string> kept;
    };
    std::vector<uint8_t> flipped = good;
    flipped[mid] ^= 0x10;
    std::vector<Damage> cases{{"flipped", flipped, {"a.txt", "c.txt"}},
                              {"cut", std::vector<uint8_t>(good.begin(), good.begin() + mid), {"a.txt"}}};
    for (const Damage& d : cases) {
      const std::string name = archive + "." + d.what + ".arj";
      vz::test::writeFile(name, d.bytes);
      const std::string out = name + ".out";
      const test::RunLog log = extract<TUnARJ>(name, out);
      EXPECT_FALSE(log.errors.empty()) << name;
      const auto got = files(readTree(out));
      std::vector<std::string> names;
      for (const auto& [n, content] : got) {
        names.push_back(n);
        EXPECT_EQ(content, n + text) << name;
      }
      EXPECT_EQ(names, d.kept) << name;
    }
  }
}

}  // namespace
}  // namespace vz::readers
