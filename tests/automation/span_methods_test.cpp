// Split, Join, Backup, Restore, Repare and the drive checks through the
// control's Invoke: results, events with bBackGroundProcessing true and
// false, disk prompts answered by the scripted user interface, and a backup
// of a folder tree onto a small simulated removable drive (VZ_DRIVES) that
// is then restored byte for byte with the files' times.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <filesystem>
#include <cctype>
#include <map>

#include "control/engine/common/temp_base.h"
#include "platform/drives.h"
#include "tests/automation/automation_test_util.h"

namespace vz::test {
namespace {

namespace fs = std::filesystem;
using com::Variant;

// Event DISPIDs.
constexpr com::DispId kJoining = 5, kJoinDoneSize = 7, kJoinDoneName = 8, kRestoreBuildZip = 9, kRestoreZipDone = 10,
                      kBackupBuildZip = 11, kBackupZipDone = 12, kWriting = 18, kReparing = 19, kSplitting = 22,
                      kSplitted = 23;

std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// relative path -> (bytes, modification time)
std::map<std::string, std::pair<std::vector<uint8_t>, time_t>> treeOf(const std::string& root) {
  std::map<std::string, std::pair<std::vector<uint8_t>, time_t>> t;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (!e.is_regular_file()) continue;
    struct stat st {};
    ::stat(e.path().c_str(), &st);
    // Folder names come back in upper case (stored names are processed).
    std::string name = fs::relative(e.path(), root).string();
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    t[name] = {readFile(e.path().string()), st.st_mtime};
  }
  return t;
}

class SpanMethods : public ControlWithEvents {
 protected:
  void SetUp() override {
    ControlWithEvents::SetUp();
    fs::create_directories(engine::tempBaseFolder());
  }
  std::vector<com::DispId> ids() const {
    std::vector<com::DispId> out;
    for (const auto& e : sink->events) out.push_back(e.id);
    return out;
  }
  Variant callValue(const std::string& name, std::vector<Variant> args) {
    const CallResult r = call(ctl.get(), name, std::move(args));
    EXPECT_EQ(r.hr, com::S_OK);
    return r.value;
  }
};

TEST_F(SpanMethods, SplitJoinAndRepareEvents) {
  std::vector<uint8_t> data(20000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  writeFile(dir_.file("x.zip"), data);
  fs::create_directories(dir_.file("parts"));
  const std::string x = dir_.file("x.zip"), partsDir = dir_.file("parts");
  EXPECT_EQ(callValue("Split", {T(x), T(partsDir), L(10000), L(8192), B(false), T(""), T("")}), S(0));
  EXPECT_TRUE(sink->events.empty());
  fs::remove_all(dir_.file("parts"));
  fs::create_directories(dir_.file("parts"));
  EXPECT_EQ(callValue("Split", {T(x), T(partsDir), L(10000), L(8192), B(true), T(""), T("")}), S(0));
  EXPECT_EQ(filesIn(dir_.file("parts")), (std::vector<std::string>{"X.0_2", "X.1_2", "X.2_2"}));
  // Part 1: 8,192 + 1,808 bytes; part 2: 8,192; part 3: 1,808.
  const std::vector<com::DispId> splitWant = {kSplitting, kSplitting, kSplitted, kSplitting,
                                              kSplitted,  kSplitting, kSplitted};
  EXPECT_EQ(ids(), splitWant);
  EXPECT_EQ(sink->events[0].args[0], S(8));
  EXPECT_EQ(sink->events[0].args[1].text(), dir_.file("parts") + "/X.0_2");
  EXPECT_EQ(sink->events[2].args[0], S(1));
  EXPECT_EQ(sink->events[2].args[1].longValue(), 10000);

  sink->events.clear();
  fs::create_directories(dir_.file("joined"));
  EXPECT_EQ(callValue("Join", {T(dir_.file("parts/x.0_2")), T(dir_.file("joined")), T(""), T(""), B(true)}), S(0));
  const std::vector<com::DispId> joinWant = {kJoining, kJoining, kJoining, kJoining, kJoinDoneName, kJoinDoneSize};
  EXPECT_EQ(ids(), joinWant);
  EXPECT_EQ(sink->events[4].args[0].text(), dir_.file("joined") + "/X.ZIP");
  EXPECT_EQ(sink->events[5].args[0].longValue(), 20000);
  EXPECT_EQ(readFile(dir_.file("joined/X.ZIP")), data);
  EXPECT_EQ(callValue("Join", {T(dir_.file("parts/X.0-2")), T(dir_.file("joined")), T(""), T(""), B(false)}), S(7));
  EXPECT_EQ(callValue("Split", {T(dir_.file("x.zip")), T(dir_.file("parts")), L(0), L(100), B(false), T(""), T("")}),
            S(4));

  const std::string zip = makeSmallZip();
  if (zip.empty()) GTEST_SKIP() << "zip is not available";
  // Cut inside the central directory.
  std::vector<uint8_t> bytes = readFile(zip);
  bytes.resize(bytes.size() - 60);
  writeFile(zip, bytes);
  sink->events.clear();
  EXPECT_EQ(callValue("Repare", {T(zip), B(true)}), S(0));
  ASSERT_EQ(ids(), (std::vector<com::DispId>{kReparing, kReparing, kReparing, kWriting}));
  EXPECT_EQ(sink->events[0].args[0].text(), "A.TXT");
  EXPECT_EQ(sink->events[0].args[1], S(1));
  EXPECT_EQ(sink->events[2].args[1], S(2));
  EXPECT_EQ(callValue("IsZIPFileSlow", {T(zip), T(""), B(false), B(false)}), S(0));
  EXPECT_EQ(callValue("Repare", {T(""), B(false)}), S(6));
}

class SpanDrives : public SpanMethods {
 protected:
  void SetUp() override {
    SpanMethods::SetUp();
    for (const char* d : {"a", "box", "cd", "tree/sub/deeper"}) fs::create_directories(dir_.file(d));
    writeFile(dir_.file("drives.ini"), "[A:]\nRoot=" + dir_.file("a") + "\nType=removable\nCapacity=40000\n" +
                                           "[E:]\nRoot=" + dir_.file("cd") + "\nType=cdrom\n");
    ::setenv("VZ_DRIVES", dir_.file("drives.ini").c_str(), 1);
    // A tree that compresses badly (pseudo-random bytes), about 70 KB.
    uint32_t x = 12345;
    int n = 0;
    for (const char* where : {"", "sub/", "sub/deeper/"}) {
      for (size_t size : {0, 10, 11000, 12000}) {
        std::vector<uint8_t> v(size);
        for (auto& b : v) b = static_cast<uint8_t>((x = x * 1103515245 + 12345) >> 16);
        const std::string path = dir_.file("tree/" + std::string(where) + "F" + std::to_string(n++) + ".BIN");
        writeFile(path, v);
        const utimbuf t{1600000000 + n * 2, 1600000000 + n * 2};
        ::utime(path.c_str(), &t);
      }
    }
  }
  // Puts the files of the disk in drive A: into the box.
  void collectDisk() {
    for (const auto& n : filesIn(dir_.file("a")))
      if (n != ".vzlabel")
        fs::copy_file(dir_.file("a/" + n), dir_.file("box/" + n), fs::copy_options::overwrite_existing);
  }
};

TEST_F(SpanDrives, BackupOntoSeveralDisksThenRestore) {
  std::string tempArchive;  // the temporary archive, as reported
  sink->onEvent = [&](const RecordingSink::Event& e) {
    if (e.id == kBackupBuildZip) tempArchive = e.args.at(0).text();
  };
  int disks = 0;
  for (int i = 0; i < 6; ++i) {
    ui::ScriptedBackend::Scripted s;
    s.buttonText = "yes";
    s.action = [&] {
      if (disks++ == 0) fs::copy_file(tempArchive, dir_.file("temp-copy.zip"));  // the archive before it goes
      collectDisk();
      drives::insertBlankMedium('A');
    };
    ui_->push(s);
  }
  const Variant r = callValue("Backup", {T(dir_.file("tree") + "/*.*"), T("A:\\"), B(true), B(false), B(false), B(true),
                                         T("Backup"), T("Insert disk %1"), S(3), B(true)});
  EXPECT_EQ(r, S(0));
  collectDisk();
  EXPECT_EQ(fs::path(tempArchive).filename(), "TREE.ZIP");
  EXPECT_FALSE(fs::exists(tempArchive));
  ASSERT_GE(disks, 2);
  const std::vector<std::string> parts = filesIn(dir_.file("box"));
  ASSERT_EQ(parts.size(), static_cast<size_t>(disks));
  EXPECT_EQ(parts.front(), "TREE.0_" + std::to_string(disks - 1));
  EXPECT_EQ(ui_->asked().at(1).text, "Insert disk 2");
  const std::vector<com::DispId> backupEvents = ids();
  EXPECT_EQ(backupEvents.front(), kBackupBuildZip);
  EXPECT_NE(std::find(backupEvents.begin(), backupEvents.end(), kBackupZipDone), backupEvents.end());

  // The parts joined give back the temporary archive byte for byte.
  fs::create_directories(dir_.file("joined"));
  EXPECT_EQ(callValue("Join", {T(dir_.file("box/") + parts.front()), T(dir_.file("joined")), T(""), T(""), B(false)}),
            S(0));
  EXPECT_EQ(readFile(dir_.file("joined/TREE.ZIP")), readFile(dir_.file("temp-copy.zip")));

  // Restore from the box: every file with its bytes and time.
  sink->events.clear();
  EXPECT_EQ(callValue("Restore",
                      {T(dir_.file("box")), T(dir_.file("restored")), S(0), B(false), B(false), T(""), T(""), B(true)}),
            S(0));
  EXPECT_EQ(treeOf(dir_.file("restored")), treeOf(dir_.file("tree")));
  const std::vector<com::DispId> restoreEvents = ids();
  EXPECT_EQ(restoreEvents.front(), kRestoreBuildZip);
  EXPECT_NE(std::find(restoreEvents.begin(), restoreEvents.end(), kRestoreZipDone), restoreEvents.end());

  // Two sets: without the dialog 1 and nothing touched; with it the chooser
  // picks one (cancel: 3). A fresh scripted user for these questions.
  ui_ = std::make_shared<ui::ScriptedBackend>();
  ui::setBackend(ui_);
  fs::copy_file(dir_.file("box/") + parts.front(), dir_.file("box/OTHER.0_0"));
  EXPECT_EQ(
      callValue("Restore", {T(dir_.file("box")), T(dir_.file("r2")), S(0), B(false), B(false), T(""), T(""), B(false)}),
      S(1));
  EXPECT_FALSE(fs::exists(dir_.file("r2")));
  EXPECT_EQ(
      callValue("Restore", {T(dir_.file("box")), T(dir_.file("r2")), S(0), B(true), B(false), T(""), T(""), B(false)}),
      S(3));
  ui_->pushPaths({dir_.file("box/") + parts.front()});
  EXPECT_EQ(
      callValue("Restore", {T(dir_.file("box")), T(dir_.file("r2")), S(0), B(true), B(false), T(""), T(""), B(false)}),
      S(0));
  EXPECT_EQ(treeOf(dir_.file("r2")), treeOf(dir_.file("tree")));
  EXPECT_EQ(
      callValue("Restore", {T(dir_.file("a")), T(dir_.file("r3")), S(0), B(false), B(false), T(""), T(""), B(false)}),
      S(4));
}

TEST_F(SpanDrives, RefusalsAndDriveChecks) {
  EXPECT_EQ(callValue("IsDisketteReady", {T("A:\\")}), B(true));
  EXPECT_EQ(callValue("IsDisketteReady", {T("Q:\\")}), B(false));
  EXPECT_EQ(callValue("IsDriveWriteable", {T("A:\\")}), B(true));
  EXPECT_EQ(callValue("IsDriveWriteable", {T("E:\\")}), B(false));
  EXPECT_EQ(callValue("IsWriteable", {T("A:\\X.ZIP"), L(40000)}), B(true));
  EXPECT_EQ(callValue("IsWriteable", {T("A:\\X.ZIP"), L(40001)}), B(false));
  const std::vector<Variant> onCd = {
      T(dir_.file("tree") + "/*.*"), T("E:\\"), B(true), B(false), B(false), B(false), T(""), T(""), S(0), B(false)};
  EXPECT_EQ(callValue("Backup", onCd), S(24));
  writeFile(dir_.file("a/OLD.TXT"), std::string("x"));
  std::vector<Variant> force = onCd;
  force[1] = T("A:\\");
  force[5] = B(true);
  EXPECT_EQ(callValue("Backup", force), S(3));
  drives::setSimulatedDriveKey('A', "ReadOnly", "1");
  EXPECT_EQ(callValue("IsDriveWriteable", {T("A:\\")}), B(false));
  force[5] = B(false);
  EXPECT_EQ(callValue("Backup", force), S(24));
  drives::setSimulatedDriveKey('A', "ReadOnly", "0");
  // "No" at the first disk prompt: 40 + 6, the flags and the tree untouched.
  ui_->pushButton("no");
  EXPECT_EQ(callValue("Backup", force), S(46));
}

}  // namespace
}  // namespace vz::test
