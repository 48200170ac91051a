// Multi-disk mode on simulated floppies (VZ_DRIVES, a small Capacity): an
// archive of a few hundred KB spread over three disks and joined again
// (byte for byte the archive it was), the disks' files renamed as split
// archives are named and tested and extracted by 7zz, a split archive made
// by zip read back, wrong disks, a stop, full and write-protected disks.
// The callback stands in for the user: it saves the disk in the drive and
// inserts a blank one (writing), or inserts the saved disk asked for
// (reading).
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <random>

#include "platform/drives.h"
#include "tests/support/test_env.h"
#include "zipwrap/engine/engine_abi.h"
#include "zipwrap/engine/engine_command.h"
#include "zipwrap/engine/engine_host.h"
#include "zipwrap/engine/media/span_read.h"
#include "zipwrap/engine/media/span_write.h"
#include "zipwrap/engine/unzip/unzip_main.h"
#include "zipwrap/engine/zip/zip_main.h"

namespace vz::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using namespace vz::zipwrap;

constexpr const char* kArchive = "A:\\BACKUP.ZIP";

uint32_t onEvent(uint32_t code, void* record, void* user) {
  auto* answer = static_cast<std::function<uint32_t(uint32_t)>*>(user);
  return code == kCbNewDisk ? (*answer)(static_cast<ZwDiskRecord*>(record)->disk) : kReplyContinue;
}

class SpanDisks : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!haveProgram("zip") || !haveProgram("unzip")) GTEST_SKIP() << "zip or unzip missing";
    fs::create_directories(dir_.file("a"));
    setCapacity(140000);
    std::mt19937 rng(3);
    fs::create_directories(dir_.file("src/sub"));
    for (int i = 0; i < 6; ++i) {
      Bytes b(20000 + 25000 * i);
      for (auto& x : b) x = static_cast<uint8_t>(i % 2 ? rng() : 'a' + rng() % 3);
      writeFile(dir_.file("src/" + std::string(i % 2 ? "sub/" : "") + "f" + std::to_string(i)), b);
    }
    ASSERT_EQ(run({"zip", "-qr", "-X", dir_.file("built.zip"), "."}, nullptr, nullptr, dir_.file("src")), 0);
    built_ = readFile(dir_.file("built.zip"));
    ASSERT_GT(built_.size(), 300000u);
  }

  void setCapacity(int capacity, const std::string& more = "") {
    writeFile(dir_.file("drives.ini"),
              "[A:]\nRoot=" + dir_.file("a") + "\nType=removable\nCapacity=" + std::to_string(capacity) + "\n" + more);
    ::setenv("VZ_DRIVES", dir_.file("drives.ini").c_str(), 1);
  }

  // Saves the disk in the drive as disks_[n].
  void saveDisk(uint32_t n) {
    for (const auto& e : fs::directory_iterator(dir_.file("a"))) disks_[n][e.path().filename()] = readFile(e.path());
  }
  void insertDisk(uint32_t n) {
    drives::insertBlankMedium('A');
    for (const auto& [name, bytes] : disks_.at(n)) writeFile(dir_.file("a/" + name), bytes);
  }

  // Writes built.zip to the floppies; the callback's extra says what else
  // happens when disk n is asked for (the asks are counted in asked_).
  OpResult writeSet(bool wipe, std::function<uint32_t(uint32_t)> extra = nullptr) {
    EngineCommand c;
    c.archive = kArchive;
    c.multiDisk = true;
    c.wipeDisks = wipe;
    std::function<uint32_t(uint32_t)> answer = [&](uint32_t n) -> uint32_t {
      ++asked_[n];
      if (n > 1 && disks_.count(n - 1) == 0) saveDisk(n - 1);
      if (asked_[n] == 1) drives::insertBlankMedium('A');
      return extra ? extra(n) : kReplyContinue;
    };
    EngineHost host(onEvent, &answer);
    const OpResult r = spanArchiveToDisks(c, host, dir_.file("built.zip"));
    if (r.code == kResultOk) saveDisk(static_cast<uint32_t>(disks_.size() + 1));
    return r;
  }

  // Joins the set from the floppies; wrongFor[n] wrong disks are inserted
  // before disk n.
  OpResult joinSet(std::string& joined, std::map<uint32_t, int> wrongFor = {}, bool directoryOnly = false) {
    EngineCommand c;
    c.archive = kArchive;
    c.multiDisk = true;
    const uint32_t last = static_cast<uint32_t>(disks_.size());
    std::function<uint32_t(uint32_t)> answer = [&](uint32_t n) -> uint32_t {
      ++asked_[n];
      const uint32_t want = n == 0 ? last : n;
      insertDisk(wrongFor[n]-- > 0 ? (want == 1 ? 2 : 1) : want);
      return kReplyContinue;
    };
    EngineHost host(onEvent, &answer);
    return joinSpannedSet(c, host, directoryOnly, joined);
  }

  // Runs an entry point with args and the callback answer.
  static uint16_t call(EngineCall entry, std::vector<std::string> args, std::function<uint32_t(uint32_t)>& answer) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    return static_cast<uint16_t>(
        entry(kEngineCallMagic, static_cast<int32_t>(argv.size()), argv.data(), onEvent, &answer) & 0xFFFF);
  }

  ScopedRoot root_;
  ScratchDir dir_{"zwspan"};
  Bytes built_;
  std::map<uint32_t, std::map<std::string, Bytes>> disks_;  // disk number -> its files
  std::map<uint32_t, int> asked_;                           // disk number -> times asked
};

TEST_F(SpanDisks, BackupOverThreeFloppiesJoinsToTheSameArchive) {
  ASSERT_EQ(writeSet(true,
                     [&](uint32_t n) {
                       if (n == 2) writeFile(dir_.file("a/old.txt"), std::string("an old file on a used disk"));
                       return kReplyContinue;
                     })
                .code,
            kResultOk);
  ASSERT_EQ(disks_.size(), 3u);
  for (uint32_t n = 1; n <= 3; ++n) {
    SCOPED_TRACE(n);
    std::string label(disks_[n].at(".vzlabel").begin(), disks_[n].at(".vzlabel").end());
    EXPECT_EQ(label.substr(0, 11), "PKBACK# 00" + std::to_string(n));
    EXPECT_EQ(disks_[n].size(), 2u);                        // the archive's file and the label: -& wiped old.txt
    EXPECT_LE(disks_[n].at("BACKUP.ZIP").size(), 140000u);  // the label takes no room on the medium
  }
  const Bytes& first = disks_[1].at("BACKUP.ZIP");
  EXPECT_EQ(Bytes(first.begin(), first.begin() + 4), (Bytes{'P', 'K', 7, 8}));
  asked_.clear();
  std::string joined;
  ASSERT_EQ(joinSet(joined).code, kResultOk);
  EXPECT_EQ(readFile(joined), built_);
  EXPECT_EQ(asked_, (std::map<uint32_t, int>{{0, 1}, {1, 1}, {2, 1}}));
  fs::remove(joined);
  // The directory alone needs the last disk only, and lists every entry.
  asked_.clear();
  ASSERT_EQ(joinSet(joined, {}, true).code, kResultOk);
  EXPECT_EQ(asked_.size(), 1u);
  std::string list;
  EXPECT_EQ(run({"unzip", "-Z1", joined}, &list), 0);
  EXPECT_NE(list.find("sub/f5"), std::string::npos);
  fs::remove(joined);
}

TEST_F(SpanDisks, SetCopiedOffTheDisksReadsWithPeers) {
  ASSERT_EQ(writeSet(false).code, kResultOk);
  ASSERT_EQ(disks_.size(), 3u);
  const std::string box = dir_.file("box");
  fs::create_directories(box);
  writeFile(box + "/set.z01", disks_[1].at("BACKUP.ZIP"));
  writeFile(box + "/set.z02", disks_[2].at("BACKUP.ZIP"));
  writeFile(box + "/set.zip", disks_[3].at("BACKUP.ZIP"));
  if (haveProgram("7zz")) {
    std::string log;
    EXPECT_EQ(run({"7zz", "t", box + "/set.zip"}, &log), 0) << log;
    EXPECT_EQ(run({"7zz", "x", "-o" + dir_.file("out7"), box + "/set.zip"}, &log), 0) << log;
    for (const auto& e : fs::recursive_directory_iterator(dir_.file("src")))
      if (e.is_regular_file())
        EXPECT_EQ(readFile(dir_.file("out7/" + fs::relative(e.path(), dir_.file("src")).string())),
                  readFile(e.path().string()));
  }
  // The same parts read back without a question.
  EngineCommand c;
  c.archive = box + "/set.zip";
  c.multiDisk = true;
  EngineHost silent(nullptr, nullptr);
  std::string joined;
  ASSERT_EQ(joinSpannedSet(c, silent, false, joined).code, kResultOk);
  EXPECT_EQ(readFile(joined), built_);
  fs::remove(joined);
  // A split archive made by zip.
  ASSERT_EQ(run({"zip", "-qr", "-s", "100k", dir_.file("peer.zip"), "."}, nullptr, nullptr, dir_.file("src")), 0);
  c.archive = dir_.file("peer.zip");
  ASSERT_EQ(joinSpannedSet(c, silent, false, joined).code, kResultOk);
  EXPECT_EQ(run({"unzip", "-tqq", joined}), 0);
  fs::remove(joined);
  // A plain archive needs no disks.
  c.archive = dir_.file("built.zip");
  ASSERT_EQ(joinSpannedSet(c, silent, false, joined).code, kResultOk);
  EXPECT_EQ(readFile(joined), built_);
  fs::remove(joined);
}

TEST_F(SpanDisks, WrongDisksAskAgainAndThreeInARowGiveUp) {
  ASSERT_EQ(writeSet(false).code, kResultOk);
  std::string joined;
  asked_.clear();
  ASSERT_EQ(joinSet(joined, {{0, 2}, {2, 2}}).code, kResultOk);
  EXPECT_EQ(readFile(joined), built_);
  EXPECT_EQ(asked_[0], 3);
  EXPECT_EQ(asked_[2], 3);
  fs::remove(joined);
  EXPECT_EQ(joinSet(joined, {{1, 3}}).code, kResultWrongDiskTooOften);
  EXPECT_TRUE(joined.empty());
}

TEST_F(SpanDisks, FullAndWriteProtectedDisksAskAgainAndAStopEnds) {
  // Disk 2 comes write-protected, then full, then as it should.
  ASSERT_EQ(writeSet(false,
                     [&](uint32_t n) {
                       if (n == 2 && asked_[2] == 1) setCapacity(140000, "ReadOnly=1\n");
                       if (n == 2 && asked_[2] == 2) setCapacity(140000, "Free=10\n");
                       if (n == 2 && asked_[2] == 3) setCapacity(140000);
                       return kReplyContinue;
                     })
                .code,
            kResultOk);
  EXPECT_EQ(asked_[2], 3);
  std::string joined;
  ASSERT_EQ(joinSet(joined).code, kResultOk);
  EXPECT_EQ(readFile(joined), built_);
  fs::remove(joined);
  disks_.clear();
  asked_.clear();
  EXPECT_EQ(writeSet(true, [](uint32_t n) { return n == 2 ? kReplyStop : kReplyContinue; }).code, kResultAborted);
}

// The wrapper's drive backup and restore: add
// with -! -& onto the floppies, extract with -! from them.
TEST_F(SpanDisks, BackupAndRestoreThroughTheEntryPoints) {
  std::function<uint32_t(uint32_t)> insertBlank = [&](uint32_t n) -> uint32_t {
    ++asked_[n];
    if (n > 1) saveDisk(n - 1);
    drives::insertBlankMedium('A');
    return kReplyContinue;
  };
  ASSERT_EQ(call(writerMain, {"", "-7", "-r", "-g", "-!", "-&", kArchive, dir_.file("src")}, insertBlank), kResultOk);
  saveDisk(static_cast<uint32_t>(asked_.size()));
  ASSERT_GE(disks_.size(), 3u);
  const uint32_t last = static_cast<uint32_t>(disks_.size());
  asked_.clear();
  std::function<uint32_t(uint32_t)> insertSaved = [&](uint32_t n) -> uint32_t {
    ++asked_[n];
    insertDisk(n == 0 ? last : n);
    return kReplyContinue;
  };
  const std::string out = dir_.file("out");
  fs::create_directories(out);
  ASSERT_EQ(call(readerMain, {"", "-!", "-o", "-j", kArchive, "-d", out}, insertSaved), kResultOk);
  EXPECT_EQ(asked_[0], 1);
  for (const auto& e : fs::recursive_directory_iterator(dir_.file("src")))
    if (e.is_regular_file()) EXPECT_EQ(readFile(out + "/" + e.path().filename().string()), readFile(e.path().string()));
}

}  // namespace
}  // namespace vz::test
