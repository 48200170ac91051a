// The kind from the extension, the open dialog's filters and the
// multi-disk test on simulated drives.
#include "manager/app/archive_kind.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app_test_env.h"

namespace vz::manager {
namespace {

TEST(ArchiveKind, FromTheUpperCasedExtension) {
  const std::vector<std::pair<std::string, ArchiveKind>> rows{
      {"a.zip", ArchiveKind::akZip},        {"A.ZIP", ArchiveKind::akZip},     {"x/a.Arj", ArchiveKind::akArj},
      {"a.arc", ArchiveKind::akArc},        {"a.bh", ArchiveKind::akBlakHole}, {"a.lha", ArchiveKind::akLha},
      {"a.LZH", ArchiveKind::akLha},        {"a.lhz", ArchiveKind::akLha},     {"a.zoo", ArchiveKind::akZoo},
      {"a.tar", ArchiveKind::akTar},        {"a.uue", ArchiveKind::akUue},     {"a.cab", ArchiveKind::akCab},
      {"a.tar.Z", ArchiveKind::akZ},        {"a.tar.gz", ArchiveKind::akGz},   {"a.tgz", ArchiveKind::akUnknown},
      {"a.exe", ArchiveKind::akUnknown},    {"zip", ArchiveKind::akUnknown},   {"dir.zip/file", ArchiveKind::akUnknown},
      {"a.zip.bak", ArchiveKind::akUnknown}};
  for (const auto& [path, kind] : rows) EXPECT_EQ(archiveKindOf(path), kind) << path;
}

TEST(ArchiveKind, OpenDialogFiltersInTheirOrder) {
  const std::string f = openDialogFilter();
  EXPECT_EQ(f.rfind("All Archives|*.ARC;*.ARJ;*.BH;*.LZH;*.LHA;*.LHZ;*.ZOO;*.ZIP;*.TAR;*.UUE;*.CAB;*.GZ;*.Z;|", 0), 0u);
  const std::vector<std::string> names{
      "Arc Files",      "Arj Files",      "Blak-Hole files",       "LZH, LHA, LHZ files only", "Zip files only",
      "Zoo files only", "Tar files only", "UU Encoded files only", "Cab files only",           "Unix Compressed files"};
  size_t at = 0;
  for (const std::string& n : names) {
    const size_t found = f.find("|" + n + "|", at);
    ASSERT_NE(found, std::string::npos) << n;
    at = found + 1;
  }
  const std::string last = "|Unix Compressed files|*.GZ;*.Z||";
  EXPECT_EQ(f.substr(f.size() - last.size()), last);
}

// A removable drive A: and a fixed drive D: with the same volume label.
class MultiDisk : public testing::Test {
 protected:
  void drives(const std::string& label) {
    std::filesystem::create_directories(dir_.file("a"));
    std::filesystem::create_directories(dir_.file("d"));
    vz::test::writeFile(dir_.file("a/backup.zip"), std::string_view("PK"));
    vz::test::writeFile(dir_.file("d/backup.zip"), std::string_view("PK"));
    vz::test::writeFile(dir_.file("drives.ini"), "[A:]\nRoot=" + dir_.file("a") + "\nType=removable\nLabel=" + label +
                                                     "\n[D:]\nRoot=" + dir_.file("d") + "\nType=fixed\nLabel=" + label +
                                                     "\n");
  }
  vz::test::ScopedRoot root_;
  vz::test::ScratchDir dir_{"vzdrives"};
  test::ScopedEnv env_{"VZ_DRIVES", dir_.file("drives.ini")};
};

TEST_F(MultiDisk, PkbackLabelOnARemovableDriveOnly) {
  drives("PKBACK# 001");
  EXPECT_TRUE(IsMultiDiskArchive("A:\\backup.zip"));
  EXPECT_FALSE(IsMultiDiskArchive("D:\\backup.zip"));
  EXPECT_FALSE(IsMultiDiskArchive(dir_.file("d/backup.zip")));  // no drive letter in the path
}

TEST_F(MultiDisk, MissingFileOnARemovableDrive) {
  drives("HOLIDAY");
  EXPECT_FALSE(IsMultiDiskArchive("A:\\backup.zip"));
  EXPECT_TRUE(IsMultiDiskArchive("A:\\elsewhere.zip"));
  EXPECT_FALSE(IsMultiDiskArchive("D:\\elsewhere.zip"));
}

}  // namespace
}  // namespace vz::manager
