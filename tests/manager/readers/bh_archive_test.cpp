// BH archives written by TBlakHole and read back: every CompressMethod with
// and without a password lists through TArcLister and extracts through
// TUnBH byte for byte; replacing (OnReplaceFile), deleting by a FileSpec of
// names (quoted ones too) and moving keep the other records' bytes as they
// were; a process killed in the middle of an update leaves the archive
// untouched; one small record checked byte by byte against the layout of
// walk_bh.cpp (worked out by hand: the header CRC over bytes 0-28 and
// 33-44); a wrong password or damaged data fails only its entry. No peer
// reads BH, so the writer and the reader check each other, and the bytes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>

#include "manager/readers/arc_lister.h"
#include "manager/readers/bh_extract.h"
#include "manager/readers/blak_hole.h"
#include "tests/manager/readers/extract_test_tree.h"

namespace vz::readers {
namespace {

namespace fs = std::filesystem;
using test::extract;
using test::readTree;

std::map<std::string, std::string> files(const test::Tree& t) {
  std::map<std::string, std::string> out;
  for (const auto& [name, node] : t)
    if (node.kind == 'f') out[name] = node.content;
  return out;
}

void makeSource(const std::string& root) {
  fs::create_directories(root + "/docs/old");
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "entry " + std::to_string(i * 13 % 701) + " in the log\n";
  vz::test::writeFile(root + "/readme.txt", text);
  std::mt19937 rng(7);
  std::vector<uint8_t> noise(50000);
  for (uint8_t& b : noise) b = static_cast<uint8_t>(rng());
  vz::test::writeFile(root + "/docs/noise.bin", noise);
  vz::test::writeFile(root + "/docs/old/empty.txt", std::string());
  vz::test::writeFile(root + "/docs/old/my notes.txt", text.substr(0, 999));
}

struct Listing {
  std::map<std::string, ArcEntry> entries;
  std::vector<int32_t> errors;
};
Listing listBh(const std::string& path) {
  Listing l;
  TArcLister lister;
  lister.OnError = [&](TZipCommon&, const std::string&, const std::string&, int32_t c) { l.errors.push_back(c); };
  lister.OnRead = [&](TArcLister& x, int32_t, int32_t) { l.entries[x.entry().fileName] = x.entry(); };
  lister.setArchiveFile(path);
  EXPECT_EQ(lister.ArcType(), atBH) << path;
  lister.activate();
  return l;
}

int32_t write(const std::string& archive, const std::string& dir, const std::string& spec, TSwitch sw,
              TCompressMethod m = mtDeflate, const std::string& password = {}, TBlakHole* with = nullptr,
              std::vector<int32_t>* errors = nullptr) {
  TBlakHole own;
  TBlakHole& b = with ? *with : own;
  b.setArchiveFile(archive);
  b.DefaultDir = dir;
  b.FileSpec = spec;
  b.Switch = sw;
  b.RecurseDirs = true;
  b.StoreDirs = true;
  b.CompressMethod = m;
  if (!password.empty()) b.Passwords = {password};
  b.OnError = [errors](TZipCommon&, const std::string&, const std::string&, int32_t c) {
    if (errors) errors->push_back(c);
  };
  return b.activate();
}

struct MethodCase {
  TCompressMethod method;
  const char* password;
};

class BhRoundTrip : public ::testing::TestWithParam<MethodCase> {};

TEST_P(BhRoundTrip, ListsAndExtractsWhatWasWritten) {
  vz::test::ScratchDir dir("bh");
  makeSource(dir.file("src"));
  const std::string archive = dir.file("t.bh");
  std::vector<int32_t> errors;
  EXPECT_EQ(write(archive, dir.file("src"), "*", swAdd, GetParam().method, GetParam().password, nullptr, &errors), 4);
  EXPECT_EQ(errors, std::vector<int32_t>{});
  const Listing l = listBh(archive);
  EXPECT_TRUE(l.errors.empty());
  ASSERT_EQ(l.entries.size(), 4u);
  const ArcEntry& text = l.entries.at("readme.txt");
  const bool encrypted = *GetParam().password != 0;
  EXPECT_EQ(text.encrypted, encrypted);
  EXPECT_EQ(text.method, GetParam().method == mtStore ? 0 : 8);
  EXPECT_EQ(l.entries.at("docs/noise.bin").method, 0);  // deflate does not shrink it
  EXPECT_FALSE(l.entries.at("docs/old/empty.txt").encrypted);
  TUnBH x;
  x.Passwords = {"not it", GetParam().password};
  const test::RunLog log = extract<TUnBH>(archive, dir.file("out"), &x);
  EXPECT_TRUE(log.errors.empty());
  EXPECT_EQ(files(readTree(dir.file("out"))), files(readTree(dir.file("src"))));
}

INSTANTIATE_TEST_SUITE_P(Methods, BhRoundTrip,
                         ::testing::Values(MethodCase{mtStore, ""}, MethodCase{mtDeflate, ""}, MethodCase{mtFuse, ""},
                                           MethodCase{mtFrozen, ""}, MethodCase{mtGreatest, ""},
                                           MethodCase{mtFastest, ""}, MethodCase{mtStore, "pw"},
                                           MethodCase{mtDeflate, "pw"}, MethodCase{mtGreatest, "secret words"},
                                           MethodCase{mtFastest, "x"}));

// The bytes of each record from the listing (header and data).
std::map<std::string, std::string> recordBytes(const std::string& archive) {
  const std::vector<uint8_t> all = vz::test::readFile(archive);
  std::map<std::string, std::string> out;
  for (const auto& [name, e] : listBh(archive).entries)
    out[name] = std::string(all.begin() + e.headerOffset, all.begin() + e.dataOffset + e.packedSize);
  return out;
}

TEST(BhArchive, ReplaceDeleteAndMoveKeepTheOtherRecords) {
  vz::test::ScratchDir dir("bhu");
  makeSource(dir.file("src"));
  const std::string archive = dir.file("u.bh");
  ASSERT_EQ(write(archive, dir.file("src"), "*", swAdd), 4);
  const auto before = recordBytes(archive);

  // Replacing: refused, the record stays; accepted, only it changes.
  vz::test::writeFile(dir.file("src/readme.txt"), std::string("new text\n"));
  TBlakHole refuse;
  int asked = 0;
  refuse.OnReplaceFile = [&](TCompBase&, const std::string& fn, const vz::LocalTime&, const vz::LocalTime&,
                             int32_t oldSize, int32_t newSize, int32_t, int32_t, bool& replace) {
    ++asked;
    EXPECT_EQ(fn, "readme.txt");
    EXPECT_GT(oldSize, 1000);
    EXPECT_EQ(newSize, 9);
    replace = false;
  };
  EXPECT_EQ(write(archive, dir.file("src"), "readme.txt", swAdd, mtDeflate, {}, &refuse), 0);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(recordBytes(archive), before);
  EXPECT_EQ(write(archive, dir.file("src"), "readme.txt", swAdd), 1);
  auto after = recordBytes(archive);
  EXPECT_NE(after.at("readme.txt"), before.at("readme.txt"));
  after.erase("readme.txt");
  auto others = before;
  others.erase("readme.txt");
  EXPECT_EQ(after, others);

  // Deleting by the listed names: a list of lines (the window's form, a
  // blank inside a name), then blank-separated with a quoted name.
  std::vector<int32_t> errors;
  EXPECT_EQ(write(archive, dir.file("src"), "docs/old/my notes.txt\ndocs/noise.bin", swDelete, mtDeflate, {}, nullptr,
                  &errors),
            2);
  EXPECT_TRUE(errors.empty());
  after = recordBytes(archive);
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after.at("docs/old/empty.txt"), before.at("docs/old/empty.txt"));
  vz::test::writeFile(dir.file("src/a b.txt"), std::string("blank"));
  ASSERT_EQ(write(archive, dir.file("src"), "\"a b.txt\"", swAdd), 1);
  EXPECT_EQ(write(archive, dir.file("src"), "nothing.txt \"a b.txt\"", swDelete, mtDeflate, {}, nullptr, &errors), 1);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(recordBytes(archive), after);
  // An open quote is refused and changes nothing.
  EXPECT_EQ(write(archive, dir.file("src"), "\"readme.txt", swDelete, mtDeflate, {}, nullptr, &errors), 0);
  EXPECT_EQ(errors, std::vector<int32_t>{E_OPENQUOTE});
  EXPECT_EQ(recordBytes(archive), after);

  // Moving: the file goes in and its source goes away.
  vz::test::writeFile(dir.file("src/moved.txt"), std::string("moving day"));
  EXPECT_EQ(write(archive, dir.file("src"), "moved.txt", swMove), 1);
  EXPECT_FALSE(fs::exists(dir.file("src/moved.txt")));
  EXPECT_EQ(recordBytes(archive).size(), 3u);
  const test::RunLog log = extract<TUnBH>(archive, dir.file("out"));
  EXPECT_TRUE(log.errors.empty());
  EXPECT_EQ(files(readTree(dir.file("out"))).at("moved.txt"), "moving day");

  // Deleting everything leaves an archive of no records that is still BH.
  EXPECT_EQ(write(archive, dir.file("src"), "*", swDelete), 3);
  EXPECT_TRUE(listBh(archive).entries.empty());
}

TEST(BhArchive, KilledUpdateLeavesTheArchiveAsItWas) {
  vz::test::ScratchDir dir("bhk");
  makeSource(dir.file("src"));
  const std::string archive = dir.file("k.bh");
  ASSERT_EQ(write(archive, dir.file("src"), "*", swAdd), 4);
  const std::vector<uint8_t> before = vz::test::readFile(archive);
  std::string big;
  for (int i = 0; i < 200000; ++i) big += std::to_string(i) + ",";
  vz::test::writeFile(dir.file("src/big.csv"), big);
  const pid_t child = fork();
  if (child == 0) {
    TBlakHole b;
    b.OnProgress = [](TBlakHole&, const std::string&, uint8_t p) {
      if (p >= 50) raise(SIGKILL);
    };
    write(archive, dir.file("src"), "big.csv", swAdd, mtGreatest, {}, &b);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(vz::test::readFile(archive), before);
  EXPECT_EQ(listBh(archive).entries.size(), 4u);
}

TEST(BhArchive, OneStoredRecordByteForByte) {
  vz::test::ScratchDir dir("bhb");
  vz::test::writeFile(dir.file("hi.txt"), std::string("hello"));
  ASSERT_EQ(vz::test::run({"touch", "-d", "2001-02-03 04:05:06", dir.file("hi.txt")}), 0);
  const std::string archive = dir.file("one.bh");
  ASSERT_EQ(write(archive, dir.path(), "hi.txt", swAdd, mtStore), 1);
  const std::vector<uint8_t> got = vz::test::readFile(archive);
  const std::string hex = "424805072d00000a0a0200a320432a050000000500000086a6103620005abc9b4100000000060068692e747874";
  std::vector<uint8_t> want;
  for (size_t i = 0; i < hex.size(); i += 2)
    want.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  for (char c : std::string("hello")) want.push_back(static_cast<uint8_t>(c));
  const uint8_t end[] = {0x42, 0x48, 0x05, 0x07};
  want.insert(want.end(), end, end + 4);
  want.resize(want.size() + 33, 0);
  EXPECT_EQ(got, want);
  // A flipped byte in the header is a header CRC error for the walk.
  std::vector<uint8_t> bad = got;
  bad[40] ^= 1;
  vz::test::writeFile(dir.file("bad.bh"), bad);
  EXPECT_EQ(listBh(dir.file("bad.bh")).errors, std::vector<int32_t>{E_HEADERCRC});
}

TEST(BhArchive, WrongPasswordAndDamageFailOnlyTheirEntry) {
  vz::test::ScratchDir dir("bhp");
  makeSource(dir.file("src"));
  const std::string archive = dir.file("p.bh");
  ASSERT_EQ(write(archive, dir.file("src"), "readme.txt", swAdd, mtDeflate, "right"), 1);
  ASSERT_EQ(write(archive, dir.file("src"), "docs", swAdd, mtDeflate), 3);
  // Asked twice (TryAgain), never right: 25190 for the one encrypted entry.
  TUnBH x;
  int asked = 0;
  x.OnGetPassword = [&](TUnBase&, const std::string& fn, std::string& pw, bool& again) {
    EXPECT_EQ(fn, "readme.txt");
    pw = "wrong" + std::to_string(asked);
    again = ++asked < 2;
  };
  test::RunLog log = extract<TUnBH>(archive, dir.file("a"), &x);
  EXPECT_EQ(log.errors, std::vector<int32_t>{E_PASSWORD});
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(files(readTree(dir.file("a"))).size(), 3u);

  // A flipped byte inside the deflated text: a CRC or data error for it alone.
  const Listing l = listBh(archive);
  const ArcEntry& e = l.entries.at("readme.txt");
  std::vector<uint8_t> bytes = vz::test::readFile(archive);
  bytes[e.dataOffset + e.packedSize / 2] ^= 0x40;
  vz::test::writeFile(dir.file("d.bh"), bytes);
  TUnBH y;
  y.Passwords = {"right"};
  log = extract<TUnBH>(dir.file("d.bh"), dir.file("b"), &y);
  ASSERT_EQ(log.errors.size(), 1u);
  EXPECT_TRUE(log.errors[0] == E_CRCERROR || log.errors[0] == E_BADBLOCK) << log.errors[0];
  const auto got = files(readTree(dir.file("b")));
  EXPECT_EQ(got.size(), 3u);
  EXPECT_EQ(got.count("readme.txt"), 0u);
}

}  // namespace
}  // namespace vz::readers
