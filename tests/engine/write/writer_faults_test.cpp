// Putting the new archive in place, and what a failure at any moment
// leaves: a child process updating an archive is killed at every step of
// the run (each write into the temporary file, the finished file, the copy
// beside the archive, the rename) and the archive must then be the old one
// or the new one, whole; a full
// simulated disk gives 16 and a write-protected removable one 15, with the
// archive unchanged; the copy beside the archive when the temporary folder
// is on another volume; permissions and links of the archive.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "control/engine/write/encrypt_pass.h"
#include "control/engine/write/zip_writer.h"
#include "platform/drives.h"
#include "tests/engine/write/writer_test_util.h"

namespace vz::test {
namespace {

using engine::WriteStep;

class WriterFaults : public WriterTest {
 protected:
  // The old archive (OLD1..OLD3) and the files of the update (NEW1..NEW4,
  // one replacing OLD2's name).
  void prepare(const std::string& archive) {
    for (int i = 1; i <= 3; ++i) put(dir_.file("old/OLD" + std::to_string(i) + ".TXT"), textBytes(60000 + i));
    ASSERT_EQ(zip(archive, dir_.file("old/*.*"), 0, 0, false), 0);
    oldBytes = fileText(archive);
    oldNames = sorted(viewArchive(archive).names());
    for (int i = 1; i <= 4; ++i) put(dir_.file("new/NEW" + std::to_string(i) + ".BIN"), randomBytes(50000, i));
    put(dir_.file("new/OLD2.TXT"), textBytes(90000));
    newNames = oldNames;
    for (int i = 1; i <= 4; ++i) newNames.push_back("NEW" + std::to_string(i) + ".BIN");
    newNames = sorted(newNames);
  }
  static std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
  }

  // Runs the update in a child that kills itself at the killAt-th step the
  // writer observes (0: never); returns true when the child was killed
  // before it finished.
  bool runChild(const std::string& archive, int killAt) {
    const pid_t pid = fork();
    if (pid == 0) {
      int steps = 0;
      engine::setWriteObserverForTesting([&](WriteStep) {
        if (++steps == killAt) raise(SIGKILL);
      });
      const int16_t s = zip(archive, dir_.file("new/*.*"), 0, 0, false, 1);
      _exit(s == 0 ? 0 : 100 + s);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) {
      EXPECT_EQ(WEXITSTATUS(status), 0);
      return false;
    }
    return WIFSIGNALED(status);
  }

  // The archive after a run: whole, and either the old or the new one;
  // counted in sawOld and sawNew.
  void expectOldOrNew(const std::string& archive, const std::string& what) {
    const ArchiveView v = viewArchive(archive);
    ASSERT_EQ(v.status, engine::CatalogueStatus::Ok) << what;
    const std::vector<std::string> names = sorted(v.names());
    const bool isOld = names == oldNames;
    const bool isNew = names == newNames;
    EXPECT_TRUE(isOld || isNew) << what;
    sawOld += isOld;
    sawNew += isNew;
    if (isOld) {
      EXPECT_EQ(fileText(archive), oldBytes) << what;
    }
    if (haveProgram("unzip")) {
      EXPECT_EQ(run({"unzip", "-t", "-qq", archive}), 0) << what;
    }
  }

  // The steps a whole run observes, counted in a child.
  int countSteps(const std::string& archive) {
    int fds[2];
    if (pipe(fds) != 0) return 0;
    const pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      int steps = 0;
      engine::setWriteObserverForTesting([&](WriteStep) { ++steps; });
      zip(archive, dir_.file("new/*.*"), 0, 0, false, 1);
      if (write(fds[1], &steps, sizeof steps) != sizeof steps) _exit(1);
      _exit(0);
    }
    close(fds[1]);
    int steps = 0;
    if (read(fds[0], &steps, sizeof steps) != sizeof steps) steps = 0;
    close(fds[0]);
    waitpid(pid, nullptr, 0);
    return steps;
  }

  void killEverywhere(const std::string& archive) {
    const int total = countSteps(archive);
    ASSERT_GT(total, 10);
    put(archive, oldBytes);  // countSteps updated it
    // Every step the writer observes: each write into the temporary file,
    // the finished file, the copy beside the archive, the rename. Between
    // two steps the files stay as the first left them, so these kills
    // meet every state an update passes through.
    for (int at = 1; at <= total; ++at) {
      put(archive, oldBytes);
      runChild(archive, at);
      expectOldOrNew(archive, "killed at step " + std::to_string(at) + " of " + std::to_string(total));
    }
    // Kills before the rename leave the old archive, kills after it the new.
    EXPECT_GT(sawOld, 20);
    EXPECT_GT(sawNew, 0);
  }

  std::string oldBytes;
  std::vector<std::string> oldNames, newNames;
  int sawOld = 0, sawNew = 0;  // outcomes of the runs checked so far
};

TEST_F(WriterFaults, KilledAtAnyStepLeavesOldOrNewArchive) {
  const std::string a = dir_.file("a.zip");
  prepare(a);
  killEverywhere(a);
}

TEST_F(WriterFaults, KilledAtAnyStepOfACopyFromAnotherVolume) {
  // The archive on a simulated drive: the temporary file is copied beside
  // it first, then renamed.
  const std::string root = dir_.file("drive");
  fs::create_directories(root);
  writeFile(dir_.file("drives.ini"), "[D:]\nRoot=" + root + "\nType=fixed\n");
  setenv("VZ_DRIVES", dir_.file("drives.ini").c_str(), 1);
  const std::string a = root + "/a.zip";
  prepare(a);
  killEverywhere(a);
}

TEST_F(WriterFaults, FullDiskGives16AndWriteProtectedRemovableGives15) {
  const std::string root = dir_.file("drive");
  fs::create_directories(root);
  const std::string ini = dir_.file("drives.ini");
  setenv("VZ_DRIVES", ini.c_str(), 1);
  writeFile(ini, "[D:]\nRoot=" + root + "\nType=removable\n");
  const std::string a = root + "/a.zip";
  prepare(a);
  const auto unchanged = [&] {
    EXPECT_EQ(fileText(a), oldBytes);
    for (const auto& e : fs::directory_iterator(root))
      EXPECT_FALSE(e.path().filename().string().starts_with("ZIP")) << e.path();
  };

  writeFile(ini, "[D:]\nRoot=" + root + "\nType=fixed\nFree=0\n");
  EXPECT_EQ(zip("D:\\a.zip", dir_.file("new/*.*")), 16);
  unchanged();
  EXPECT_EQ(engine::deleteWithMask(engine_, "D:\\a.zip", "OLD1.TXT"), engine::WriteStatus::DiskFull);
  unchanged();
  writeFile(ini, "[D:]\nRoot=" + root + "\nType=fixed\nCapacity=" + std::to_string(oldBytes.size() + 1000) + "\n");
  EXPECT_EQ(zip("D:\\a.zip", dir_.file("new/*.*")), 16);
  unchanged();

  writeFile(ini, "[D:]\nRoot=" + root + "\nType=removable\nReadOnly=1\n");
  EXPECT_EQ(zip("D:\\a.zip", dir_.file("new/*.*")), 15);
  unchanged();
  EXPECT_EQ(engine::setGlobalComment(engine_, "D:\\a.zip", "x"), engine::WriteStatus::WriteProtected);
  unchanged();

  // A writable removable disk: the write test leaves its label as it was.
  writeFile(ini, "[D:]\nRoot=" + root + "\nType=removable\nLabel=BACKUP\n");
  EXPECT_EQ(zip("D:\\a.zip", dir_.file("new/*.*")), 0);
  EXPECT_EQ(sorted(viewArchive(a).names()), newNames);
  EXPECT_EQ(drives::volumeLabel("D:\\"), std::optional<std::string>("BACKUP"));
  EXPECT_FALSE(fileExists(root + "/.vzlabel"));
  for (const auto& e : fs::directory_iterator(root))
    EXPECT_FALSE(e.path().filename().string().starts_with("ZIP")) << e.path();
}

TEST_F(WriterFaults, TemporaryDiskFullGives3Or2AndTheEncryptionPass16) {
  const std::string a = dir_.file("a.zip");
  prepare(a);
  // The temporary folder on a simulated drive with little room.
  const std::string root = dir_.file("tmpdrive");
  fs::create_directories(root);
  const std::string ini = dir_.file("drives.ini");
  writeFile(ini, "[T:]\nRoot=" + root + "\nType=fixed\nFree=20000\n");
  setenv("VZ_DRIVES", ini.c_str(), 1);
  setenv("TMPDIR", root.c_str(), 1);
  const auto noTempLeft = [&] {
    for (const auto& e : fs::directory_iterator(root))
      EXPECT_FALSE(e.path().filename().string().starts_with("ZIP")) << e.path();
  };
  // The compressor's output cannot be written: 3.
  EXPECT_EQ(zip(a, dir_.file("new/NEW1.BIN"), 0, 0, false, 0), 3);
  EXPECT_EQ(fileText(a), oldBytes);
  noTempLeft();
  // A stored copy cannot be written: 2.
  EXPECT_EQ(zip(a, dir_.file("new/NEW1.BIN"), 0, 0, false, 3), 2);
  EXPECT_EQ(fileText(a), oldBytes);
  noTempLeft();
  // The encryption pass finds no room for an entry: 16.
  writeFile(ini, "[T:]\nRoot=" + root + "\nType=fixed\nFree=100\n");
  EXPECT_EQ(engine::encryptArchive(engine_, a, "pw"), engine::EncryptStatus::DiskFull);
  EXPECT_EQ(fileText(a), oldBytes);
  noTempLeft();
}

TEST_F(WriterFaults, PermissionsAndLinksOfTheArchiveSurvive) {
  const std::string a = dir_.file("a.zip");
  prepare(a);
  ASSERT_EQ(chmod(a.c_str(), 0640), 0);
  fs::create_symlink(a, dir_.file("link.zip"));
  EXPECT_EQ(zip(dir_.file("link.zip"), dir_.file("new/*.*")), 0);
  EXPECT_TRUE(fs::is_symlink(dir_.file("link.zip")));
  EXPECT_EQ(sorted(viewArchive(a).names()), newNames);
  struct stat st {};
  ASSERT_EQ(stat(a.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  // A new archive gets the ordinary permissions of a new file, not those of
  // the private temporary file.
  const mode_t mask = umask(0);
  umask(mask);
  const std::string fresh = dir_.file("fresh.zip");
  ASSERT_EQ(zip(fresh, dir_.file("new/*.*")), 0);
  ASSERT_EQ(stat(fresh.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask);
}

}  // namespace
}  // namespace vz::test
