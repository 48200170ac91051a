// TUnLHA against lhasa and jlha: the corpus's LZH, LArc and self-extracting
// archives extracted byte for byte as lhasa extracts them; archives made
// by jlha at test time in every method it writes (lh5, lh6, lh7, stored)
// and every header level it writes (0, 1, 2) round-trip to the source
// tree; methods no tool here writes are reached by relabelling streams
// whose format they share (a short lh5 stream is an lh4 stream, an lh7
// stream an lhx stream, stored data pm0 and lz4); a Mac entry written
// without its MacBinary wrapper; damaged entries end with an error while
// the others are extracted.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <string>

#include "manager/readers/extractors.h"
#include "manager/readers/arc_lister.h"
#include "manager/readers/codecs/lh_crc16.h"
#include "manager/readers/lha_extract.h"
#include "manager/readers/zoo_extract.h"
#include "tests/manager/readers/codecs/codec_test_data.h"
#include "tests/manager/readers/codecs/lha_level0_entry.h"
#include "tests/manager/readers/extract_test_tree.h"

namespace vz::readers {
namespace {

namespace fs = std::filesystem;
using test::extract;
using test::readTree;
using test::Tree;
using Bytes = std::vector<uint8_t>;
using vz::test::codecs::DataKind;
using vz::test::codecs::makeData;

// The tree with lower-case names and no times: lhasa lower-cases the
// upper-case names of DOS archives, and the stamps are compared elsewhere.
Tree contentsOnly(Tree t) {
  Tree out;
  for (auto& [name, node] : t) {
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    node.mtime = 0;
    out[lower] = node;
  }
  return out;
}

// The source tree the jlha tests pack: text, random and repetitive data
// past several blocks and windows, an empty file and a file in a folder.
void makeSource(const std::string& dir) {
  fs::create_directories(dir + "/sub/deeper");
  vz::test::writeFile(dir + "/text.txt", makeData(DataKind::Text, 300000, 3));
  vz::test::writeFile(dir + "/random.bin", makeData(DataKind::Random, 70000, 4));
  vz::test::writeFile(dir + "/runs.dat", makeData(DataKind::Repetitive, 400000, 5));
  vz::test::writeFile(dir + "/empty", "");
  vz::test::writeFile(dir + "/sub/deeper/small.txt", "a small file in a folder\n");
}
const std::vector<std::string> kSourceFiles = {"text.txt", "random.bin", "runs.dat", "empty", "sub/deeper/small.txt"};

// Runs jlha with the command word (e.g. "a2o7") on the source files.
bool jlhaPack(const std::string& src, const std::string& archive, const std::string& command,
              const std::vector<std::string>& files = kSourceFiles) {
  std::vector<std::string> argv = {"jlha", command, archive};
  argv.insert(argv.end(), files.begin(), files.end());
  std::string out;
  return vz::test::run(argv, &out, nullptr, src) == 0 && fs::exists(archive);
}

// Only the files of a tree (jlha stores no folder entries at level 0).
Tree filesOf(const Tree& t) {
  Tree out;
  for (const auto& [name, node] : t)
    if (node.kind == 'f') out[name] = test::TreeNode{'f', node.content, 0};
  return out;
}

// vz x and the window take their extractors from one table: LHA, LZH (and
// PMarc, detected as LHA), their self-extractors and ZOO come to these.
TEST(LhaExtract, ExtractorTableRows) {
  for (TArcType t : {atLHA, atLhaExe, atLZH, atLzhExe})
    EXPECT_NE(dynamic_cast<TUnLHA*>(makeExtractor(t).get()), nullptr) << int(t);
  EXPECT_NE(dynamic_cast<TUnZOO*>(makeExtractor(atZOO).get()), nullptr);
}

TEST(LhaExtract, CorpusMatchesLhasa) {
  if (!vz::test::haveProgram("lhasa")) GTEST_SKIP() << "lhasa missing";
  int seen = 0;
  for (const std::string& path : vz::test::corpusFiles()) {
    const std::string leaf = fs::path(path).filename().string();
    const std::string ext = fs::path(path).extension().string();
    if (!(leaf.rfind("lh-", 0) == 0 || ext == ".lzh" || ext == ".lha" || ext == ".lzs")) continue;
    SCOPED_TRACE(leaf);
    ++seen;
    vz::test::ScratchDir dir("unlha");
    fs::create_directories(dir.file("peer"));
    ASSERT_EQ(vz::test::run({"lhasa", "x", path}, nullptr, nullptr, dir.file("peer")), 0);
    const test::RunLog log = extract<TUnLHA>(path, dir.file("ours"));
    EXPECT_TRUE(log.errors.empty()) << log.errors.front();
    EXPECT_GT(log.extracted, 0);
    for (const auto& [name, pass] : log.ended) EXPECT_TRUE(pass) << name;
    EXPECT_EQ(contentsOnly(readTree(dir.file("ours"))), contentsOnly(readTree(dir.file("peer"))));
  }
  EXPECT_GE(seen, 6);
}

struct JlhaCase {
  const char* command;  // jlha's command word: header level and method
  const char* method;   // the method it writes for compressible files
};

class LhaJlhaRoundTrip : public ::testing::TestWithParam<JlhaCase> {};

TEST_P(LhaJlhaRoundTrip, SourceTreeComesBack) {
  if (!vz::test::haveProgram("jlha")) GTEST_SKIP() << "jlha missing";
  vz::test::ScratchDir dir("unlha");
  makeSource(dir.file("src"));
  ASSERT_TRUE(jlhaPack(dir.file("src"), dir.file("a.lzh"), GetParam().command));
  const Bytes archive = vz::test::readFile(dir.file("a.lzh"));
  ASSERT_NE(std::search(archive.begin(), archive.end(), GetParam().method, GetParam().method + 5), archive.end());
  const test::RunLog log = extract<TUnLHA>(dir.file("a.lzh"), dir.file("ours"));
  EXPECT_TRUE(log.errors.empty()) << log.errors.front();
  EXPECT_EQ(log.extracted, 5);
  for (const auto& [name, pass] : log.ended) EXPECT_TRUE(pass) << name;
  EXPECT_EQ(filesOf(readTree(dir.file("ours"))), filesOf(readTree(dir.file("src"))));
  EXPECT_EQ(log.progress.at("runs.dat").back(), 100);
}

INSTANTIATE_TEST_SUITE_P(LevelsAndMethods, LhaJlhaRoundTrip,
                         ::testing::Values(JlhaCase{"a0o5", "-lh5-"}, JlhaCase{"a1o5", "-lh5-"},
                                           JlhaCase{"a2o5", "-lh5-"}, JlhaCase{"a0o6", "-lh6-"},
                                           JlhaCase{"a1o6", "-lh6-"}, JlhaCase{"a2o6", "-lh6-"},
                                           JlhaCase{"a0o7", "-lh7-"}, JlhaCase{"a1o7", "-lh7-"},
                                           JlhaCase{"a2o7", "-lh7-"}, JlhaCase{"a0z", "-lh0-"},
                                           JlhaCase{"a2z", "-lh0-"}),
                         [](const auto& info) { return std::string(info.param.command); });

// CRC-16 bit by bit (polynomial A001, reflected, from 0).
uint16_t crc16(const uint8_t* p, size_t n) {
  uint16_t c = 0;
  while (n-- > 0) {
    c ^= *p++;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : static_cast<uint16_t>(c >> 1);
  }
  return c;
}

// Rewrites the method of the archive's first header, and for levels 0 and
// 1 its checksum; os, when not 0, replaces a level-1 header's OS id. The
// header CRC of extended header 00 (levels 1 and 2) is made again: the
// CRC-16 of the header and its extended headers with that field as 0.
void relabel(Bytes& a, const char* method, char os = 0) {
  std::copy(method, method + 5, a.begin() + 2);
  const int level = a[20];
  if (level <= 1) {
    if (os != 0) a[24 + a[21]] = static_cast<uint8_t>(os);
    uint8_t sum = 0;
    for (size_t i = 2; i < size_t{a[0]} + 2; ++i) sum = static_cast<uint8_t>(sum + a[i]);
    a[1] = sum;
    if (level == 0) return;
  }
  // The extended headers: size (u16, counting itself), type, data.
  size_t sizeAt = level == 1 ? size_t{a[0]} : 24, pos = sizeAt + 2, crcAt = 0;
  for (size_t size = a[sizeAt] | a[sizeAt + 1] << 8; size != 0; size = a[pos - 2] | a[pos - 1] << 8) {
    if (a[pos] == 0x00) crcAt = pos + 1;
    pos += size;
  }
  const size_t end = level == 1 ? pos : static_cast<size_t>(a[0] | a[1] << 8);
  if (crcAt == 0) return;
  a[crcAt] = a[crcAt + 1] = 0;
  const uint16_t c = crc16(a.data(), end);
  a[crcAt] = static_cast<uint8_t>(c), a[crcAt + 1] = static_cast<uint8_t>(c >> 8);
}

struct RelabelCase {
  const char* command;  // jlha's command word
  size_t size;          // of the one text file packed
  const char* method;   // the method written into the header
  bool lhasaReads;      // lhasa extracts the relabelled archive too
};

class LhaRelabelled : public ::testing::TestWithParam<RelabelCase> {};

TEST_P(LhaRelabelled, SharedFormatDecodes) {
  if (!vz::test::haveProgram("jlha")) GTEST_SKIP() << "jlha missing";
  const RelabelCase& c = GetParam();
  vz::test::ScratchDir dir("unlha");
  fs::create_directories(dir.file("src"));
  const Bytes data = makeData(DataKind::Text, c.size, 9);
  vz::test::writeFile(dir.file("src/f.txt"), data);
  ASSERT_TRUE(jlhaPack(dir.file("src"), dir.file("a.lzh"), c.command, {"f.txt"}));
  Bytes a = vz::test::readFile(dir.file("a.lzh"));
  relabel(a, c.method);
  vz::test::writeFile(dir.file("b.lzh"), a);
  const test::RunLog log = extract<TUnLHA>(dir.file("b.lzh"), dir.file("ours"));
  EXPECT_TRUE(log.errors.empty()) << log.errors.front();
  ASSERT_EQ(log.extracted, 1);
  EXPECT_EQ(vz::test::readFile(dir.file("ours/f.txt")), data);
  if (c.lhasaReads && vz::test::haveProgram("lhasa")) {
    fs::create_directories(dir.file("peer"));
    ASSERT_EQ(vz::test::run({"lhasa", "x", dir.file("b.lzh")}, nullptr, nullptr, dir.file("peer")), 0);
    EXPECT_EQ(vz::test::readFile(dir.file("peer/f.txt")), data);
  }
}

INSTANTIATE_TEST_SUITE_P(Methods, LhaRelabelled,
                         ::testing::Values(RelabelCase{"a0o5", 4000, "-lh4-", true},
                                           RelabelCase{"a2o7", 300000, "-lhx-", false},
                                           RelabelCase{"a0z", 5000, "-pm0-", true},
                                           RelabelCase{"a0z", 5000, "-lz4-", true}),
                         [](const auto& info) { return std::string(info.param.method).substr(1, 3); });

// A MacBinary file stored from a Mac ('m' OS id) comes out as its data
// fork; the same bytes from another system come out whole.
TEST(LhaExtract, MacEntryWithoutItsMacBinaryWrapper) {
  if (!vz::test::haveProgram("jlha")) GTEST_SKIP() << "jlha missing";
  vz::test::ScratchDir dir("unlha");
  fs::create_directories(dir.file("src"));
  const Bytes fork = makeData(DataKind::Text, 1000, 2), rsrc = makeData(DataKind::Random, 300, 2);
  Bytes mb(128, 0);
  mb[1] = 6;
  std::copy_n("f.text", 6, mb.begin() + 2);
  auto be32 = [&](size_t at, size_t v) {
    for (int i = 0; i < 4; ++i) mb[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
  };
  be32(83, fork.size());
  be32(87, rsrc.size());
  mb.insert(mb.end(), fork.begin(), fork.end());
  mb.resize(128 + 1024, 0);
  mb.insert(mb.end(), rsrc.begin(), rsrc.end());
  mb.resize(128 + 1024 + 384, 0);
  vz::test::writeFile(dir.file("src/f.text"), mb);
  ASSERT_TRUE(jlhaPack(dir.file("src"), dir.file("a.lzh"), "a1o5", {"f.text"}));
  Bytes a = vz::test::readFile(dir.file("a.lzh"));
  relabel(a, "-lh5-", 'm');
  vz::test::writeFile(dir.file("mac.lzh"), a);
  test::RunLog log = extract<TUnLHA>(dir.file("mac.lzh"), dir.file("mac"));
  EXPECT_TRUE(log.errors.empty()) << log.errors.front();
  EXPECT_EQ(vz::test::readFile(dir.file("mac/f.text")), fork);
  log = extract<TUnLHA>(dir.file("a.lzh"), dir.file("other"));
  EXPECT_EQ(vz::test::readFile(dir.file("other/f.text")), mb);
}

// Each damage hits one entry: that one reports an error (and no file, and
// a failed CRC verdict where it got that far), the others are extracted.
TEST(LhaExtract, DamagedEntryKeepsTheRest) {
  if (!vz::test::haveProgram("jlha")) GTEST_SKIP() << "jlha missing";
  vz::test::ScratchDir dir("unlha");
  makeSource(dir.file("src"));
  ASSERT_TRUE(jlhaPack(dir.file("src"), dir.file("a.lzh"), "a2o7", {"text.txt", "runs.dat", "random.bin"}));
  const Bytes good = vz::test::readFile(dir.file("a.lzh"));
  // The second header follows the first entry's data.
  const size_t second = static_cast<size_t>(good[0] | good[1] << 8) +
                        (good[7] | good[8] << 8 | good[9] << 16 | static_cast<size_t>(good[10]) << 24);
  const size_t secondData = second + (good[second] | good[second + 1] << 8);
  struct Damage {
    const char* what;
    std::function<void(Bytes&)> apply;
  };
  const Damage damages[] = {
      {"flipped bits mid-stream", [&](Bytes& b) { b[secondData + 2000] ^= 0x5A; }},
      {"block header zeroed", [&](Bytes& b) { std::fill_n(b.begin() + static_cast<long>(secondData), 6, 0); }},
      {"stream's tail cut off",
       [&](Bytes& b) {
         const size_t packed = b[second + 7] | b[second + 8] << 8 | b[second + 9] << 16;
         std::fill_n(b.begin() + static_cast<long>(secondData + packed / 2), packed - packed / 2, 0xFF);
       }},
  };
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.what);
    Bytes bad = good;
    d.apply(bad);
    vz::test::writeFile(dir.file("bad.lzh"), bad);
    fs::remove_all(dir.file("out"));
    const test::RunLog log = extract<TUnLHA>(dir.file("bad.lzh"), dir.file("out"));
    ASSERT_EQ(log.errors.size(), 1u);
    EXPECT_TRUE(log.errors[0] == E_CRCERROR || log.errors[0] == E_BADBLOCK) << log.errors[0];
    EXPECT_EQ(log.extracted, 2);
    EXPECT_FALSE(fs::exists(dir.file("out/runs.dat")));
    EXPECT_EQ(vz::test::readFile(dir.file("out/text.txt")), vz::test::readFile(dir.file("src/text.txt")));
    EXPECT_EQ(vz::test::readFile(dir.file("out/random.bin")), vz::test::readFile(dir.file("src/random.bin")));
    // Nothing else is left behind (no temporary file of the damaged entry).
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("out")), fs::directory_iterator()), 2);
  }
}

// A header whose CRC (extended header 00) fails stops the walk there with
// 25136: the entries before it are extracted.
TEST(LhaExtract, HeaderCrcFailureEndsTheWalk) {
  if (!vz::test::haveProgram("jlha")) GTEST_SKIP() << "jlha missing";
  vz::test::ScratchDir dir("unlha");
  makeSource(dir.file("src"));
  ASSERT_TRUE(jlhaPack(dir.file("src"), dir.file("a.lzh"), "a2o5", {"text.txt", "runs.dat", "random.bin"}));
  Bytes a = vz::test::readFile(dir.file("a.lzh"));
  // The third header: behind two (header + data) spans.
  size_t at = 0;
  for (int i = 0; i < 2; ++i)
    at += static_cast<size_t>(a[at] | a[at + 1] << 8) +
          (a[at + 7] | a[at + 8] << 8 | a[at + 9] << 16 | static_cast<size_t>(a[at + 10]) << 24);
  a[at + 11] ^= 1;  // its unpacked size
  vz::test::writeFile(dir.file("bad.lzh"), a);
  const test::RunLog log = extract<TUnLHA>(dir.file("bad.lzh"), dir.file("out"));
  EXPECT_EQ(log.errors, std::vector<int32_t>{E_HEADERCRC});
  EXPECT_EQ(log.extracted, 2);
  EXPECT_FALSE(fs::exists(dir.file("out/random.bin")));
}

// A level-2 header built by hand: "-lhd-" with the extended headers given
// as (type, data) pairs; the list ends with the archive's end mark.
Bytes lhaLevel2Entry(const std::vector<std::pair<uint8_t, std::string>>& ext) {
  Bytes h(26, 0);
  std::copy_n("-lhd-", 5, h.begin() + 2);
  h[15] = 0x00, h[16] = 0x60, h[17] = 0x2E, h[18] = 0x5A;  // a Unix time
  h[19] = 0x20, h[20] = 2, h[23] = 'U';
  size_t sizeAt = 24;
  for (const auto& [type, data] : ext) {
    const size_t size = 1 + data.size() + 2;
    h[sizeAt] = static_cast<uint8_t>(size), h[sizeAt + 1] = static_cast<uint8_t>(size >> 8);
    h.push_back(type);
    h.insert(h.end(), data.begin(), data.end());
    sizeAt = h.size();
    h.push_back(0), h.push_back(0);
  }
  h[0] = static_cast<uint8_t>(h.size()), h[1] = static_cast<uint8_t>(h.size() >> 8);
  return h;
}

// Unix links are folder entries named "link|target": made when the target
// stays inside the destination, refused (25140) when it climbs out.
TEST(LhaExtract, UnixLinksStayInside) {
  vz::test::ScratchDir dir("unlha");
  const std::string linkMode("\xFF\xA1", 2);  // A1FF: a link, rwx for all
  Bytes a = lhaLevel2Entry({{0x01, "inside|sub/target.txt"}, {0x50, linkMode}});
  const Bytes out = lhaLevel2Entry({{0x01, "outside|../../etc/passwd"}, {0x50, linkMode}});
  const Bytes folder = lhaLevel2Entry({{0x02, std::string("made\xFF"
                                                          "here",
                                                          9)}});
  a.insert(a.end(), out.begin(), out.end());
  a.insert(a.end(), folder.begin(), folder.end());
  a.push_back(0);
  vz::test::writeFile(dir.file("links.lzh"), a);
  const test::RunLog log = extract<TUnLHA>(dir.file("links.lzh"), dir.file("out"));
  EXPECT_EQ(log.errors, std::vector<int32_t>{E_INVALIDNAME});
  EXPECT_EQ(fs::read_symlink(dir.file("out/inside")).string(), "sub/target.txt");
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir.file("out/outside"))));
  EXPECT_TRUE(fs::is_directory(dir.file("out/made/here")));
}

// Two makers' quirks: OS-9/68k's level-2 header size two bytes short (as
// lhasa reads it) and Amiga folders stored as empty -lh0- entries with no
// file name (which the installed lhasa takes for the archive's end).
TEST(LhaExtract, OsNineSizesAndAmigaFolders) {
  vz::test::ScratchDir dir("unlha");
  const std::string data = "data behind a short header\n";
  Bytes a = lhaLevel2Entry({{0x01, "os9.txt"}});
  std::copy_n("-lh0-", 5, a.begin() + 2);
  a[7] = a[11] = static_cast<uint8_t>(data.size());
  const uint16_t crc = codecs::lhCrc16(0, reinterpret_cast<const uint8_t*>(data.data()), data.size());
  a[21] = static_cast<uint8_t>(crc), a[22] = static_cast<uint8_t>(crc >> 8), a[23] = 'K';
  a[0] = static_cast<uint8_t>(a[0] - 2);
  a.insert(a.end(), data.begin(), data.end());
  Bytes amiga = lhaLevel2Entry({{0x02, "drawer"}});
  std::copy_n("-lh0-", 5, amiga.begin() + 2);
  amiga[23] = 'A';
  a.insert(a.end(), amiga.begin(), amiga.end());
  a.push_back(0);
  vz::test::writeFile(dir.file("q.lzh"), a);
  const test::RunLog log = extract<TUnLHA>(dir.file("q.lzh"), dir.file("ours"));
  EXPECT_TRUE(log.errors.empty()) << log.errors.front();
  EXPECT_TRUE(fs::is_directory(dir.file("ours/drawer")));
  const Bytes want(data.begin(), data.end());
  EXPECT_EQ(vz::test::readFile(dir.file("ours/os9.txt")), want);
  if (vz::test::haveProgram("lhasa")) {
    fs::create_directories(dir.file("peer"));
    ASSERT_EQ(vz::test::run({"lhasa", "x", dir.file("q.lzh")}, nullptr, nullptr, dir.file("peer")), 0);
    EXPECT_EQ(vz::test::readFile(dir.file("peer/os9.txt")), want);
  }
}

// A PMarc self-extractor's program sits in a first "-pms-" entry without a
// name: skipped by the walk (as lhasa skips it), the files behind it
// extracted.
TEST(LhaExtract, PmarcSelfExtractorProgramIsNoEntry) {
  vz::test::ScratchDir dir("unlha");
  Bytes a;
  const Bytes stub(40, 0xC3), text = {'h', 'e', 'l', 'l', 'o', ' ', 'p', 'm', 'a', 'r', 'c', '\n'};
  vz::test::appendLhaLevel0Entry(a, "-pms-", "", stub, stub);
  vz::test::appendLhaLevel0Entry(a, "-pm0-", "f.txt", text, text);
  a.push_back(0);
  vz::test::writeFile(dir.file("s.pma"), a);
  TArcLister lister;
  lister.setArchiveFile(dir.file("s.pma"));
  EXPECT_EQ(lister.activate(), 1);
  const test::RunLog log = extract<TUnLHA>(dir.file("s.pma"), dir.file("ours"));
  EXPECT_TRUE(log.errors.empty()) << log.errors.front();
  Tree want = {{"f.txt", test::TreeNode{'f', "hello pmarc\n", 0}}};
  EXPECT_EQ(filesOf(contentsOnly(readTree(dir.file("ours")))), want);
  if (vz::test::haveProgram("lhasa")) {
    fs::create_directories(dir.file("peer"));
    ASSERT_EQ(vz::test::run({"lhasa", "x", dir.file("s.pma")}, nullptr, nullptr, dir.file("peer")), 0);
    EXPECT_EQ(filesOf(contentsOnly(readTree(dir.file("peer")))), want);
  }
}

// A level-0 header's Unix extension area ('U', 0, time, permissions, user,
// group) gives the entry its time and permissions, as lhasa reads them.
TEST(LhaExtract, LevelZeroUnixAreaGivesTimeAndMode) {
  if (!vz::test::haveProgram("jlha") || !vz::test::haveProgram("lhasa")) GTEST_SKIP() << "jlha or lhasa missing";
  vz::test::ScratchDir dir("unlha");
  fs::create_directories(dir.file("src"));
  vz::test::writeFile(dir.file("src/f.txt"), makeData(DataKind::Text, 3000, 4));
  ASSERT_TRUE(jlhaPack(dir.file("src"), dir.file("a.lzh"), "a0o5", {"f.txt"}));
  Bytes a = vz::test::readFile(dir.file("a.lzh"));
  ASSERT_EQ(size_t{a[0]} + 2, 24u + a[21]);  // no area yet
  const uint32_t stamp = 981173106;          // 2001-02-03 04:05:06 UTC
  const Bytes area = {'U',
                      0,
                      uint8_t(stamp),
                      uint8_t(stamp >> 8),
                      uint8_t(stamp >> 16),
                      uint8_t(stamp >> 24),
                      0xE8,
                      0x81,
                      0xE8,
                      0x03,
                      0xE8,
                      0x03};  // mode 100750, user and group 1000
  a.insert(a.begin() + a[0] + 2, area.begin(), area.end());
  a[0] = static_cast<uint8_t>(a[0] + area.size());
  relabel(a, "-lh5-");
  vz::test::writeFile(dir.file("u.lzh"), a);
  fs::create_directories(dir.file("peer"));
  ASSERT_EQ(vz::test::run({"lhasa", "x", dir.file("u.lzh")}, nullptr, nullptr, dir.file("peer")), 0);
  const test::RunLog log = extract<TUnLHA>(dir.file("u.lzh"), dir.file("ours"));
  EXPECT_TRUE(log.errors.empty()) << log.errors.front();
  for (const char* side : {"peer/f.txt", "ours/f.txt"}) {
    SCOPED_TRACE(side);
    EXPECT_EQ(fs::status(dir.file(side)).permissions() & fs::perms::all, fs::perms(0750));
    struct stat st {};
    ASSERT_EQ(::stat(dir.file(side).c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, stamp);
  }
}

}  // namespace
}  // namespace vz::readers
