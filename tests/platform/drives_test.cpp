// Drives: drive-letter resolution, simulated media (type, label, write
// protection, capacity, unknown free space, a blank disk inserted) and the
// limits File enforces on them; a few checks of the real mount lookup.
#include "platform/drives.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

#include "platform/file.h"
#include "tests/support/test_env.h"

namespace {

using vz::DriveType;
namespace drives = vz::drives;

class DrivesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    floppy_ = root_.path() + "/floppy";
    ini_ = root_.path() + "/drives.ini";
    ASSERT_TRUE(vz::makeDirectories(floppy_));
    // Root relative to the INI file's folder.
    vz::test::writeFile(ini_, std::string_view("; test drives\n"
                                               "[A:]\n"
                                               "Root=floppy\n"
                                               "Type=removable\n"
                                               "Label=DISK1\n"
                                               "\n"
                                               "[Other]\n"
                                               "Key=1\n"));
    setenv("VZ_DRIVES", ini_.c_str(), 1);
  }

  std::string write(const std::string& name, size_t bytes) {
    std::string p = floppy_ + "/" + name;
    vz::test::writeFile(p, std::string(bytes, 'x'));
    return p;
  }

  vz::test::ScopedRoot root_;  // also restores VZ_DRIVES afterwards
  std::string floppy_, ini_;
};

TEST_F(DrivesTest, DriveLetterPathsResolveIntoTheRoot) {
  EXPECT_EQ(drives::resolveDrivePath("A:\\X\\Y").value(), floppy_ + "/X/Y");
  EXPECT_EQ(drives::resolveDrivePath("a:/X/./Y/").value(), floppy_ + "/X/Y");
  EXPECT_EQ(drives::resolveDrivePath("A:").value(), floppy_);
  EXPECT_EQ(drives::resolveDrivePath("A:\\").value(), floppy_);
  // ".." stops at the medium's root.
  EXPECT_EQ(drives::resolveDrivePath("A:\\..\\..\\etc\\passwd").value(), floppy_ + "/etc/passwd");
  EXPECT_EQ(drives::resolveDrivePath("C:\\usr\\bin").value(), "/usr/bin");  // no [C:]: C: is "/"
  EXPECT_EQ(drives::resolveDrivePath("C:").value(), "/");
  EXPECT_FALSE(drives::resolveDrivePath("B:\\x").has_value());
  EXPECT_FALSE(drives::resolveDrivePath("relative\\path").has_value());
  EXPECT_FALSE(drives::resolveDrivePath("").has_value());
  EXPECT_EQ(drives::letters(), (std::vector<char>{'A', 'C'}));

  unsetenv("VZ_DRIVES");
  EXPECT_FALSE(drives::resolveDrivePath("A:\\X").has_value());
  EXPECT_EQ(drives::resolveDrivePath("C:\\").value(), "/");
  EXPECT_EQ(drives::letters(), (std::vector<char>{'C'}));
}

TEST_F(DrivesTest, PathsInsideTheRootBelongToTheSimulatedDrive) {
  auto d = drives::driveOf(floppy_ + "/not/yet/there.zip");
  ASSERT_TRUE(d.has_value());
  EXPECT_EQ(d->letter, 'A');
  EXPECT_TRUE(d->simulated);
  EXPECT_EQ(d->type, DriveType::Removable);
  EXPECT_EQ(d->root, floppy_);
  EXPECT_EQ(drives::driveType("A:\\"), DriveType::Removable);
  EXPECT_EQ(drives::driveType("B:\\"), DriveType::NoRootDir);
  EXPECT_EQ(drives::driveType(""), DriveType::NoRootDir);
  // Outside the root: a real drive.
  auto outside = drives::driveOf(root_.path());
  ASSERT_TRUE(outside.has_value());
  EXPECT_FALSE(outside->simulated);
  EXPECT_NE(drives::driveType(root_.path()), DriveType::NoRootDir);
  EXPECT_EQ(drives::driveOf("/")->letter, 'C');

  // A [C:] section takes C: over; "/" then has no letter.
  ASSERT_TRUE(drives::setSimulatedDriveKey('c', "Root", root_.path() + "/cdrive"));
  ASSERT_TRUE(drives::setSimulatedDriveKey('C', "Type", "cdrom"));
  EXPECT_EQ(drives::resolveDrivePath("C:\\x").value(), root_.path() + "/cdrive/x");
  EXPECT_EQ(drives::driveType("C:\\"), DriveType::CdRom);
  EXPECT_EQ(drives::driveOf("/")->letter, 0);
}

TEST_F(DrivesTest, LabelsComeFromTheLabelFileElseTheKey) {
  EXPECT_EQ(drives::volumeLabel("A:\\").value(), "DISK1");
  EXPECT_TRUE(drives::setVolumeLabel("A:\\", "1"));
  EXPECT_EQ(drives::volumeLabel(floppy_ + "/sub/file").value(), "1");
  EXPECT_TRUE(drives::setVolumeLabel("A:\\", "PKBACK# 001"));
  EXPECT_EQ(drives::volumeLabel("A:").value(), "PKBACK# 001");
  EXPECT_TRUE(drives::setVolumeLabel("A:\\", ""));  // cleared, not back to the key's
  EXPECT_EQ(drives::volumeLabel("A:").value(), "");
  EXPECT_FALSE(drives::setVolumeLabel("A:\\", "two\nlines"));
  EXPECT_FALSE(drives::volumeLabel("B:\\").has_value());
}

TEST_F(DrivesTest, WriteProtectedMediumRefusesWrites) {
  std::string existing = write("old.zip", 10);
  ASSERT_TRUE(drives::setSimulatedDriveKey('A', "ReadOnly", "1"));
  EXPECT_TRUE(drives::isWriteProtected("A:\\"));
  vz::File f;
  errno = 0;
  EXPECT_FALSE(f.open(floppy_ + "/new.zip", vz::File::Mode::Create));
  EXPECT_EQ(errno, EROFS);
  EXPECT_FALSE(vz::fileExists(floppy_ + "/new.zip"));
  EXPECT_FALSE(f.open(existing, vz::File::Mode::ReadWrite));
  EXPECT_EQ(errno, EROFS);
  EXPECT_FALSE(vz::writeFileAtomic(floppy_ + "/x.ini", "a"));
  EXPECT_TRUE(f.open(existing, vz::File::Mode::Read));  // reading still works
  EXPECT_FALSE(drives::setVolumeLabel("A:\\", "NEW"));
  bool readOnly = false;
  EXPECT_EQ(drives::simulatedWriteAllowance(floppy_ + "/y", &readOnly).value_or(99), 0u);
  EXPECT_TRUE(readOnly);
  // Files outside the medium are not affected.
  EXPECT_TRUE(f.open(root_.path() + "/outside", vz::File::Mode::Create));

  ASSERT_TRUE(drives::setSimulatedDriveKey('A', "ReadOnly", "0"));
  EXPECT_FALSE(drives::isWriteProtected("A:\\"));
  EXPECT_TRUE(f.open(floppy_ + "/new.zip", vz::File::Mode::Create));
}

TEST_F(DrivesTest, CapacityLimitsWritesWithNoSpaceLeft) {
  write("first.bin", 30);
  ASSERT_TRUE(drives::setVolumeLabel("A:\\", "LABEL"));  // the label takes no space
  ASSERT_TRUE(drives::setSimulatedDriveKey('A', "Capacity", "100"));
  EXPECT_EQ(drives::freeSpace("A:\\").value(), 70u);
  vz::File f;
  ASSERT_TRUE(f.open(floppy_ + "/part.z01", vz::File::Mode::Create));
  std::string chunk(60, 'y');
  EXPECT_TRUE(f.write(chunk.data(), chunk.size()));
  errno = 0;
  EXPECT_FALSE(f.write(chunk.data(), 20));  // 10 bytes left
  EXPECT_EQ(errno, ENOSPC);
  EXPECT_EQ(f.size(), 70);  // what fitted was written, as on a full disk
  ASSERT_TRUE(f.seek(0));
  EXPECT_TRUE(f.write(chunk.data(), 50));  // overwriting takes no space
  f.close();
  EXPECT_EQ(drives::freeSpace(floppy_).value(), 0u);
  // Re-creating the file gives its bytes back first.
  ASSERT_TRUE(f.open(floppy_ + "/part.z01", vz::File::Mode::Create));
  EXPECT_TRUE(f.write(chunk.data(), 60));
  f.close();
  // A fixed Free value wins over the capacity; the limit holds even when
  // the free space is reported as unknown.
  ASSERT_TRUE(drives::setSimulatedDriveKey('A', "Free", "5"));
  ASSERT_TRUE(drives::setSimulatedDriveKey('A', "FreeUnknown", "1"));
  EXPECT_FALSE(drives::freeSpace("A:\\").has_value());
  ASSERT_TRUE(f.open(floppy_ + "/more", vz::File::Mode::CreateNew));
  EXPECT_FALSE(f.write(chunk.data(), 6));
  EXPECT_EQ(errno, ENOSPC);
}

TEST_F(DrivesTest, FreeSpaceWithoutLimitsIsTheRealOne) {
  EXPECT_TRUE(drives::freeSpace("A:\\").has_value());
  EXPECT_TRUE(drives::freeSpace("/").has_value());
  EXPECT_FALSE(drives::freeSpace("B:\\").has_value());
  bool readOnly = true;
  EXPECT_FALSE(drives::simulatedWriteAllowance(floppy_ + "/x", &readOnly).has_value());
  EXPECT_FALSE(readOnly);
  ASSERT_TRUE(drives::setSimulatedDriveKey('A', "FreeUnknown", "1"));
  EXPECT_FALSE(drives::freeSpace(floppy_).has_value());
}

TEST_F(DrivesTest, InsertBlankMediumEmptiesTheRootAndClearsTheLabel) {
  write("a.zip", 3);
  ASSERT_TRUE(vz::makeDirectories(floppy_ + "/sub/deeper"));
  write("sub/deeper/b", 3);
  ASSERT_EQ(::chmod((floppy_ + "/sub").c_str(), 0555), 0);  // a read-only folder on the old disk
  ASSERT_TRUE(drives::setVolumeLabel("A:\\", "PKBACK# 001"));
  ASSERT_TRUE(drives::insertBlankMedium('a'));
  EXPECT_TRUE(vz::isDirectory(floppy_));
  EXPECT_FALSE(vz::fileExists(floppy_ + "/a.zip"));
  EXPECT_FALSE(vz::fileExists(floppy_ + "/sub"));
  EXPECT_EQ(drives::volumeLabel("A:\\").value(), "");
  EXPECT_EQ(drives::driveType("A:\\"), DriveType::Removable);  // other keys stay
  EXPECT_FALSE(drives::insertBlankMedium('B'));
  // The medium folder may even be missing: the new disk creates it.
  ASSERT_TRUE(drives::setSimulatedDriveKey('B', "Root", root_.path() + "/disk-b"));
  EXPECT_TRUE(drives::insertBlankMedium('B'));
  EXPECT_TRUE(vz::isDirectory(root_.path() + "/disk-b"));
}

TEST_F(DrivesTest, TheFileIsReReadAndEditedInPlace) {
  ASSERT_TRUE(drives::setSimulatedDriveKey('A', "Label", "DISK2"));
  ASSERT_TRUE(drives::setSimulatedDriveKey('B', "Root", "/tmp"));
  std::string text = vz::readWholeFile(ini_).value();
  EXPECT_NE(text.find("; test drives\n[A:]\nRoot=floppy\nType=removable\nLabel=DISK2\n\n[Other]\nKey=1\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("[B:]\nRoot=/tmp\n"), std::string::npos) << text;
  EXPECT_EQ(drives::letters(), (std::vector<char>{'A', 'B', 'C'}));
  // Edited behind our back: seen at the next call.
  vz::test::writeFile(ini_, std::string_view("[A:]\nRoot=floppy\nType=cdrom\n"));
  EXPECT_EQ(drives::driveType("A:\\"), DriveType::CdRom);
  EXPECT_EQ(drives::volumeLabel("A:\\").value(), "");
  EXPECT_FALSE(drives::setSimulatedDriveKey('A', "Bad=Key", "1"));
  EXPECT_FALSE(drives::setSimulatedDriveKey('A', "Label", "two\nlines"));
  unsetenv("VZ_DRIVES");
  EXPECT_FALSE(drives::setSimulatedDriveKey('A', "Label", "X"));
}

TEST_F(DrivesTest, RealDrivesHaveATypeAndLabelAndAreWritable) {
  unsetenv("VZ_DRIVES");
  auto d = drives::driveOf(root_.path() + "/missing/file");
  ASSERT_TRUE(d.has_value());
  EXPECT_FALSE(d->simulated);
  EXPECT_EQ(d->root.front(), '/');
  EXPECT_FALSE(drives::isWriteProtected(root_.path()));
  EXPECT_TRUE(drives::volumeLabel(root_.path()).has_value());
  bool readOnly = true;
  EXPECT_FALSE(drives::simulatedWriteAllowance(root_.path() + "/f", &readOnly).has_value());
  EXPECT_FALSE(readOnly);
  EXPECT_EQ(drives::driveType("/proc"), DriveType::Fixed);  // a virtual file system
}

}  // namespace
