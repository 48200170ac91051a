// What a failure leaves: a stop reply at the fifth callback, a child
// process killed at every write step of an update, another engine's lock,
// a full disk, an in-place update that fails; and an archive the strict
// catalogue loader refuses, updated through the directory.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include "control/engine/write/zip_writer.h"
#include "tests/zipwrap/engine/zip/zip_test_util.h"

namespace vz::zipwrap::test {
namespace {

class WriterFaults : public WriterTest {
 protected:
  void SetUp() override {
    if (!haveProgram("unzip")) GTEST_SKIP() << "unzip missing";
    for (int i = 1; i <= 3; ++i) put("old/f" + std::to_string(i) + ".txt", textBytes(30000 + i, i));
    ASSERT_EQ(zw({"", "a.zip", "old/*.*"}), kResultOk);
    oldBytes_ = readFile(abs("a.zip"));
    for (int i = 1; i <= 4; ++i) put("new/n" + std::to_string(i) + ".bin", randomBytes(20000, i));
    put("old/f2.txt", textBytes(40000, 9), 1700000000);
  }
  std::vector<std::string> update() { return {"", "-u", "a.zip", "old/*.*", "new/*.*"}; }
  std::vector<uint8_t> oldBytes_;
};

TEST_F(WriterFaults, StopAtTheFifthCallbackChangesNothing) {
  for (bool inPlace : {false, true}) {
    Recorder rec;
    rec.stopAt = 5;
    std::vector<std::string> argv = inPlace ? std::vector<std::string>{"", "-g", "a.zip", "new/*.*"} : update();
    EXPECT_EQ(zw(argv, &rec), kResultAborted) << inPlace;
    EXPECT_EQ(rec.calls.size(), 5u);
    EXPECT_TRUE(readFile(abs("a.zip")) == oldBytes_) << inPlace;
    for (const auto& e : fs::directory_iterator(dir_.path()))
      EXPECT_FALSE(e.path().filename().string().starts_with("ZIP")) << e.path();
  }
}

TEST_F(WriterFaults, KilledAtAnyStepLeavesTheOldArchiveOrTheWholeNewOne) {
  const std::vector<std::string> oldNames = names("a.zip");
  // Counts the steps of a whole run in a child.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  if (fork() == 0) {
    int steps = 0;
    engine::setWriteObserverForTesting([&](engine::WriteStep) { ++steps; });
    zw(update());
    (void)!write(fds[1], &steps, sizeof steps);
    _exit(0);
  }
  int total = 0;
  ASSERT_EQ(read(fds[0], &total, sizeof total), static_cast<ssize_t>(sizeof total));
  wait(nullptr);
  close(fds[0]);
  close(fds[1]);
  ASSERT_GT(total, 10);
  const std::vector<std::string> newNames = names("a.zip");
  ASSERT_EQ(newNames.size(), 7u);
  int sawOld = 0, sawNew = 0;
  for (int at = 1; at <= total; ++at) {
    writeFile(abs("a.zip"), oldBytes_);
    const pid_t pid = fork();
    if (pid == 0) {
      int steps = 0;
      engine::setWriteObserverForTesting([&](engine::WriteStep) {
        if (++steps == at) raise(SIGKILL);
      });
      _exit(zw(update()) == kResultOk ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const std::vector<std::string> now = names("a.zip");
    const bool isOld = readFile(abs("a.zip")) == oldBytes_;
    const bool isNew = now == newNames;
    EXPECT_TRUE(isOld || isNew) << "killed at step " << at << " of " << total;
    if (isNew) EXPECT_EQ(run({"unzip", "-tqq", abs("a.zip")}), 0) << at;
    sawOld += isOld;
    sawNew += isNew;
  }
  EXPECT_GT(sawOld, 5);
  EXPECT_GT(sawNew, 0);
  (void)oldNames;
}

TEST_F(WriterFaults, AnotherEnginesLockGives180) {
  const int fd = open(abs("a.zip").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  const pid_t pid = fork();
  if (pid == 0) {
    // flock belongs to the open file: the child's own descriptor holds it.
    const int own = open(abs("a.zip").c_str(), O_RDONLY);
    flock(own, LOCK_EX);
    sleep(30);
    _exit(0);
  }
  // Wait until the child holds the lock.
  for (int i = 0; i < 500 && flock(fd, LOCK_EX | LOCK_NB) == 0; ++i) {
    flock(fd, LOCK_UN);
    usleep(10000);
  }
  EXPECT_EQ(zw(update()), kResultLocked);
  EXPECT_EQ(zw({"", "-d", "a.zip", "*"}), kResultLocked);
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  close(fd);
  EXPECT_TRUE(readFile(abs("a.zip")) == oldBytes_);
  EXPECT_EQ(zw(update()), kResultOk);
}

TEST_F(WriterFaults, FullDiskGives150AndTheArchiveStays) {
  const std::string root = abs("drive");
  fs::create_directories(root);
  writeFile(root + "/a.zip", oldBytes_);
  const std::string ini = abs("drives.ini");
  writeFile(ini, "[F:]\nRoot=" + root + "\nType=fixed\nCapacity=" + std::to_string(oldBytes_.size() + 30000) + "\n");
  setenv("VZ_DRIVES", ini.c_str(), 1);
  EXPECT_EQ(zw({"", "-u", "F:\\a.zip", "old/*.*", "new/*.*"}), kResultDiskFull);
  EXPECT_TRUE(readFile(root + "/a.zip") == oldBytes_);
  // In place, the archive is cut back to its old length and directory.
  EXPECT_EQ(zw({"", "-g", "F:\\a.zip", "new/*.*"}), kResultDiskFull);
  EXPECT_TRUE(readFile(root + "/a.zip") == oldBytes_);
  for (const auto& e : fs::directory_iterator(root)) EXPECT_EQ(e.path().filename(), "a.zip");
}

TEST_F(WriterFaults, ArchivesTheStrictLoaderRefusesAreUpdatedThroughTheirDirectory) {
  // A prefix in front of an archive whose offsets were not adjusted: the
  // readers open it, the catalogue loader does not.
  std::vector<uint8_t> prefixed(777, 'P');
  prefixed.insert(prefixed.end(), oldBytes_.begin(), oldBytes_.end());
  writeFile(abs("p.zip"), prefixed);
  ASSERT_LE(run({"unzip", "-tqq", abs("p.zip")}), 1);  // 1: a warning about the bytes in front
  ASSERT_EQ(zw({"", "p.zip", "new/n1.bin"}), kResultOk);
  expectPeersAccept("p.zip", "", "prefixed");
  EXPECT_EQ(names("p.zip").size(), 4u);
  for (const std::string& f : vz::test::corpusFiles()) {
    if (!f.ends_with(".zip") || run({"unzip", "-tqq", f}) != 0) continue;
    SCOPED_TRACE(f);
    fs::copy_file(f, abs("c.zip"), fs::copy_options::overwrite_existing);
    fs::permissions(abs("c.zip"), fs::perms::owner_read | fs::perms::owner_write);
    const uint16_t r = zw({"", "c.zip", "new/n2.bin"});
    if (r == kResultSpannedNotInMode) continue;  // one disk of a split set
    EXPECT_EQ(r, kResultOk);  // Zip64 archives too: they are written Zip64 again
    EXPECT_EQ(run({"unzip", "-tqq", abs("c.zip")}), 0);
  }
}

}  // namespace
}  // namespace vz::zipwrap::test
