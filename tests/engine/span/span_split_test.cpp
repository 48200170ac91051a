// Split and Join: part names, round trips of many sizes (one part, the
// exact multiple with its empty last part, 36 parts), the refusal of sets
// beyond 36 parts, bad part names, and removable disks simulated through
// VZ_DRIVES (new disks at the prompt, write-protected, full, CD-ROM), the
// disk prompt answered by scripted prompts.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>

#include "control/engine/common/prompts.h"
#include "control/engine/span/span_disk.h"
#include "control/engine/span/span_names.h"
#include "control/engine/span/span_split.h"
#include "platform/drives.h"
#include "tests/support/test_env.h"

namespace vz::test {
namespace {

namespace fs = std::filesystem;
using namespace vz::engine;

std::vector<uint8_t> randomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> names;
  if (!fs::exists(folder)) return names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(SpanNames, PartNamesAndShortNames) {
  EXPECT_EQ(partFileName("BACKUP", 0, 2), "BACKUP.0_2");
  EXPECT_EQ(partFileName("BACKUP", 10, 35), "BACKUP.A_Z");
  EXPECT_EQ(spanDigit(36), '~');
  EXPECT_EQ(shortBaseName("my <long>+name|\"*\tx.y"), "MYLONGNA");
  EXPECT_EQ(shortBaseName("++"), "_");
  EXPECT_EQ(shortBaseName("caf\xC3\xA9"), "CAF");
  EXPECT_EQ(baseNameOf("C:\\DIR\\archive.tar.zip"), "archive.tar");
  EXPECT_EQ(backupArchiveName("C:\\*.*"), "DRIVE_C.ZIP");
  EXPECT_EQ(backupArchiveName("d:*.*"), "DRIVE_D.ZIP");
  EXPECT_EQ(backupArchiveName("C:\\My Documents\\Letters 2024\\*.*"), "LETTERS2.ZIP");
  EXPECT_EQ(backupArchiveName("/home/user/data/*"), "DATA.ZIP");
  EXPECT_TRUE(isFirstPartName("X.0_3"));
  EXPECT_FALSE(isFirstPartName("X.1_3"));
  EXPECT_EQ(lastIndexOfPartName("A:\\X.0_Z"), 35);
  EXPECT_EQ(lastIndexOfPartName("X.0_"), std::nullopt);
  EXPECT_EQ(diskPromptText("Insert disk %1 of %2 (%3)", 2, 5), "Insert disk 2 of 5 (%3)");
  EXPECT_EQ(lastPartIndex(99, 100, 10), 0);
  EXPECT_EQ(lastPartIndex(100, 100, 10), 1);  // exact: an empty last part
  EXPECT_EQ(lastPartIndex(125, 100, 10), 3);
  EXPECT_EQ(lastPartIndex(100 + 34 * 10 + 9, 100, 10), 35);
  EXPECT_EQ(lastPartIndex(100 + 35 * 10, 100, 10), -1);
  EXPECT_EQ(lastPartIndex(5, 0, 0), 6);  // next 0 counts as 1
}

// Disk prompt answers from a queue, each with an action run before it is
// given (a disk changed in the drive); every question is recorded. No
// answer left: "No".
class ScriptedDisks final : public Prompts {
 public:
  ReplaceAnswer askReplace(const ReplaceRequest&) override { return ReplaceAnswer::Never; }
  std::optional<std::string> askRename(const std::string&) override { return std::nullopt; }
  PasswordAnswer askPassword(const PasswordRequest&, std::string*) override { return PasswordAnswer::Never; }
  bool askForDisk(const DiskRequest& req) override {
    asked.push_back(req);
    if (answers.empty()) return false;
    const Answer a = answers.front();
    answers.pop_front();
    if (a.action) a.action();
    return a.yes;
  }
  void push(bool yes, std::function<void()> action = {}) { answers.push_back({yes, std::move(action)}); }

  std::vector<DiskRequest> asked;

 private:
  struct Answer {
    bool yes;
    std::function<void()> action;
  };
  std::deque<Answer> answers;
};

class SpanSplit : public ::testing::Test {
 protected:
  SpanSplit() { session_.prompts = &disks_; }

  ScopedRoot root_;
  ScratchDir dir_{"span"};
  ScriptedDisks disks_;
  SpanSession session_;

  std::string makeArchive(size_t size, const std::string& name = "arch.zip") {
    const std::string path = dir_.file(name);
    writeFile(path, randomBytes(size, static_cast<unsigned>(size)));
    return path;
  }
};

TEST_F(SpanSplit, RoundTripsOfManySizes) {
  struct Case {
    size_t size;
    int64_t first, next;
    size_t parts;
  };
  const Case cases[] = {
      {0, 100, 50, 1},
      {99, 100, 50, 1},
      {100, 100, 50, 2},
      {250, 100, 50, 5},
      {225, 100, 50, 4},
      {30000, 10000, 7000, 4},
      {8192 * 3 + 1, 8192, 8192, 4},
      {100 + 34 * 10 + 9, 100, 10, 36},
      {5, 0, 0, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    const std::string zip = makeArchive(c.size);
    const std::string parts = dir_.file("parts" + std::to_string(c.size));
    fs::create_directories(parts);
    ASSERT_EQ(splitArchive(session_, zip, parts, c.first, c.next), SplitStatus::Ok);
    const auto names = filesIn(parts);
    ASSERT_EQ(names.size(), c.parts);
    const char lastDigit = spanDigit(static_cast<int>(c.parts) - 1);
    EXPECT_EQ(names.front(), std::string("ARCH.0_") + lastDigit);
    if (c.size == 100 || c.size == 250) {  // exact multiples end in an empty part
      EXPECT_EQ(fs::file_size(parts + "/" + names.back()), 0u);
    }
    const std::string out = dir_.file("out" + std::to_string(c.size));
    fs::create_directories(out);
    std::string joined;
    ASSERT_EQ(joinParts(session_, parts + "/" + names.front(), out, &joined), JoinStatus::Ok);
    EXPECT_EQ(joined, out + "/ARCH.ZIP");
    EXPECT_EQ(readFile(joined), readFile(zip));
  }
}

TEST_F(SpanSplit, RefusalsBeforeWriting) {
  const std::string zip = makeArchive(100 + 35 * 10);
  const std::string parts = dir_.file("parts");
  fs::create_directories(parts);
  EXPECT_EQ(splitArchive(session_, zip, parts, 100, 10), SplitStatus::TooManyParts);
  EXPECT_TRUE(filesIn(parts).empty());
  EXPECT_EQ(splitArchive(session_, dir_.file("missing.zip"), parts, 100, 10), SplitStatus::NoArchive);
  EXPECT_EQ(splitArchive(session_, parts, parts, 100, 10), SplitStatus::NoArchive);
  EXPECT_EQ(splitArchive(session_, zip, dir_.file("arch.zip/sub"), 1000, 1000), SplitStatus::CannotCreate);

  EXPECT_EQ(joinParts(session_, parts + "/ARCH.0_", parts), JoinStatus::BadName);
  EXPECT_EQ(joinParts(session_, parts + "/ARCH.0-2", parts), JoinStatus::BadName);
  EXPECT_EQ(joinParts(session_, "_2", parts), JoinStatus::BadName);
  // A missing part: the disk prompt is answered "No".
  disks_.push(false);
  EXPECT_EQ(joinParts(session_, parts + "/ARCH.0_1", parts), JoinStatus::Stopped);
  EXPECT_EQ(disks_.asked.size(), 1u);
  EXPECT_FALSE(fs::exists(parts + "/ARCH.ZIP"));  // no half-joined archive is left
  // Without prompts the question is answered "No" as well.
  EXPECT_EQ(joinParts(SpanSession{}, parts + "/ARCH.0_1", parts), JoinStatus::Stopped);
  EXPECT_FALSE(fs::exists(parts + "/ARCH.ZIP"));
}

// A removable drive A: of 3,000 bytes; every "Yes" at the disk prompt puts
// the files of the disk in the drive into a box and inserts a blank disk.
class SpanRemovable : public SpanSplit {
 protected:
  void SetUp() override {
    fs::create_directories(dir_.file("a"));
    fs::create_directories(dir_.file("box"));
    writeDrives("");
    session_.title = "Disk %1";
    session_.message = "Insert disk %1 of %2";
  }

  void writeDrives(const std::string& extraA) {
    writeFile(dir_.file("drives.ini"), "[A:]\nRoot=" + dir_.file("a") + "\nType=removable\nCapacity=3000\n" + extraA +
                                           "[E:]\nRoot=" + dir_.file("cd") + "\nType=cdrom\n");
    ::setenv("VZ_DRIVES", dir_.file("drives.ini").c_str(), 1);
  }
  void collectDisk() {
    for (const auto& n : filesIn(dir_.file("a")))
      if (n != ".vzlabel")
        fs::copy_file(dir_.file("a/" + n), dir_.file("box/" + n), fs::copy_options::overwrite_existing);
  }
  void newDiskAnswer() {
    disks_.push(true, [this] {
      collectDisk();
      drives::insertBlankMedium('A');
    });
  }
};

TEST_F(SpanRemovable, PartsGoToOneDiskEachWithPrompts) {
  const std::string zip = makeArchive(7000);
  for (int i = 0; i < 3; ++i) newDiskAnswer();
  ASSERT_EQ(splitArchive(session_, zip, "A:\\", 2900, 2900), SplitStatus::Ok);
  collectDisk();
  ASSERT_EQ(disks_.asked.size(), 3u);
  EXPECT_EQ(disks_.asked[0].caption, "Disk 1");
  EXPECT_EQ(disks_.asked[2].text, "Insert disk 3 of 3");
  EXPECT_EQ(filesIn(dir_.file("box")), (std::vector<std::string>{"ARCH.0_2", "ARCH.1_2", "ARCH.2_2"}));
  // Joining the parts gathered in one folder asks nothing.
  ASSERT_EQ(joinParts(session_, dir_.file("box/ARCH.0_2"), dir_.file(""), nullptr), JoinStatus::Ok);
  EXPECT_EQ(readFile(dir_.file("ARCH.ZIP")), readFile(zip));
  EXPECT_EQ(disks_.asked.size(), 3u);
}

TEST_F(SpanRemovable, JoinAsksForEachMissingDisk) {
  const std::string zip = makeArchive(5000);
  for (int i = 0; i < 2; ++i) newDiskAnswer();
  ASSERT_EQ(splitArchive(session_, zip, "A:\\", 2900, 2900), SplitStatus::Ok);
  collectDisk();
  // Disk 1 in the drive; the answer to the prompt for disk 2 inserts it.
  drives::insertBlankMedium('A');
  fs::copy_file(dir_.file("box/ARCH.0_1"), dir_.file("a/ARCH.0_1"));
  disks_.push(true, [this] {
    drives::insertBlankMedium('A');
    fs::copy_file(dir_.file("box/ARCH.1_1"), dir_.file("a/ARCH.1_1"));
  });
  fs::create_directories(dir_.file("out"));
  ASSERT_EQ(joinParts(session_, "A:\\ARCH.0_1", dir_.file("out")), JoinStatus::Ok);
  EXPECT_EQ(disks_.asked.back().text, "Insert disk 2 of 2");
  EXPECT_EQ(readFile(dir_.file("out/ARCH.ZIP")), readFile(zip));
}

TEST_F(SpanRemovable, WriteProtectedFullAndCdRom) {
  const std::string zip = makeArchive(1000);
  writeDrives("ReadOnly=1\n");
  EXPECT_FALSE(isDriveWriteable("A:\\"));
  EXPECT_TRUE(isDisketteReady("A:\\"));
  disks_.push(true);
  disks_.push(false);
  EXPECT_EQ(splitArchive(session_, zip, "A:\\", 2000, 2000), SplitStatus::WriteProtected);
  EXPECT_EQ(disks_.asked.size(), 2u);

  writeDrives("");
  EXPECT_TRUE(isDriveWriteable("A:\\"));
  EXPECT_FALSE(fs::exists(dir_.file("a/.vzlabel")));  // the write test leaves no label behind
  EXPECT_TRUE(isWriteable("A:\\X", 3000));
  EXPECT_FALSE(isWriteable("A:\\X", 3001));
  // A part larger than the disk: asked again, then "No".
  const std::string big = makeArchive(5000, "big.zip");
  disks_.push(true);
  disks_.push(false);
  EXPECT_EQ(splitArchive(session_, big, "A:\\", 4000, 4000), SplitStatus::NoRoom);
  EXPECT_TRUE(filesIn(dir_.file("a")).empty());

  fs::create_directories(dir_.file("cd"));
  EXPECT_FALSE(isDriveWriteable("E:\\"));
  EXPECT_FALSE(isDisketteReady("Q:\\"));
}

TEST_F(SpanRemovable, OldPartOfTheSameNameIsReplaced) {
  // The disk holds an old 2,500-byte part of the same name: it is deleted
  // before the room check, so the new part fits.
  writeFile(dir_.file("a/ARCH.0_0"), randomBytes(2500, 9));
  const std::string zip = makeArchive(2000);
  disks_.push(true);
  ASSERT_EQ(splitArchive(session_, zip, "A:\\", 2900, 2900), SplitStatus::Ok);
  EXPECT_EQ(readFile(dir_.file("a/ARCH.0_0")), readFile(zip));
}

}  // namespace
}  // namespace vz::test
