// The self-extractor's configuration block (writer, reader, language file)
// and the end-record search of the stub.
#include "control/engine/sfx/sfx_config.h"

#include <gtest/gtest.h>

#include "tests/engine/zip_builder.h"
#include "tests/support/test_env.h"

namespace vz::engine {
namespace {

std::string blockText(const std::array<uint8_t, kSfxConfigSize>& b, size_t off, size_t width) {
  return std::string(reinterpret_cast<const char*>(b.data() + off), width);
}

TEST(SfxConfig, LanguageFileWithoutKeysGivesTheDefaults) {
  test::ScopedRoot root;
  test::ScratchDir dir;
  const std::string elf = dir.file("EMPTY.ELF");
  test::writeFile(elf, std::string_view("[Main]\n"));
  const SfxConfig c = sfxConfigFromLanguageFile(elf, std::nullopt, std::nullopt, 2, true);
  const auto b = encodeSfxConfig(c);
  EXPECT_EQ(b[0], '2');
  EXPECT_EQ(b[1], '1');
  EXPECT_EQ(blockText(b, 2, 50), std::string("Quorrin for Windows 95 Self-Extractor").append(13, ' '));
  EXPECT_EQ(blockText(b, 52, 50), std::string(50, ' '));
  EXPECT_EQ(blockText(b, 102, 10), "Ok        ");
  EXPECT_EQ(blockText(b, 112, 10), "Cancel    ");
  EXPECT_EQ(blockText(b, 172, 50).substr(0, 48), "Can' t perform the required action (I/O error). ");
  EXPECT_EQ(blockText(b, 612, 100).substr(0, 69),
            "The file %1 already exist on your disk. Would you like to replace it?");
  EXPECT_EQ(blockText(b, 742, 10), "Ne&ver    ");
  EXPECT_EQ(blockText(b, 752, 100), std::string(100, ' '));
  // Read back: trailing blanks cut; the description read over 99 bytes.
  const SfxConfig r = decodeSfxConfig(b.data());
  EXPECT_EQ(r.caption, "Quorrin for Windows 95 Self-Extractor");
  EXPECT_EQ(r.browseDirTitle, "Choose directory...");
  EXPECT_EQ(r.replaceNeverBtn, "Ne&ver");
  EXPECT_EQ(r.defaultFolder, "");
  EXPECT_EQ(r.overwriteMode, '2');
}

TEST(SfxConfig, CaptionCutAndPaddedValuesUnescapedModeFirstDigit) {
  test::ScopedRoot root;
  test::ScratchDir dir;
  const std::string elf = dir.file("L.ELF");
  test::writeFile(elf, std::string_view("[Main]\nOKButton=Go\nCancelActionMsg=Stop?\\nReally\n"
                                        "DefaultFolder=/opt/x\nCancelButton=\n"));
  const std::string longCaption(70, 'c');
  const SfxConfig c = sfxConfigFromLanguageFile(elf, longCaption, std::string("setup.sh"), 13, false);
  const auto b = encodeSfxConfig(c);
  EXPECT_EQ(b[0], '1');  // the first digit of 13
  EXPECT_EQ(b[1], '0');
  EXPECT_EQ(blockText(b, 2, 50), std::string(50, 'c'));
  EXPECT_EQ(blockText(b, 52, 50).substr(0, 9), "setup.sh ");
  EXPECT_EQ(blockText(b, 102, 10), "Go        ");
  EXPECT_EQ(blockText(b, 112, 10), "Cancel    ");  // empty value: the default
  EXPECT_EQ(blockText(b, 122, 13), "Stop?\nReally ");
  const SfxConfig r = decodeSfxConfig(b.data());
  EXPECT_EQ(r.defaultFolder, "/opt/x");
  EXPECT_EQ(r.runCommand, "setup.sh");
  // A given empty caption stays empty.
  EXPECT_EQ(sfxConfigFromLanguageFile(elf, std::string(), std::nullopt, 0, true).caption, "");
}

TEST(SfxLocate, PrefixRuleLongCommentAndUnshiftedOffsets) {
  test::ScratchDir dir;
  test::ZipBuilder z;
  z.prefix = std::string(5000, 'x');
  z.entries.push_back({});
  z.comment = std::string(65535, 'k');
  for (bool include : {true, false}) {
    z.offsetsIncludePrefix = include;
    const std::string path = dir.file(include ? "a.zip" : "b.zip");
    test::writeFile(path, z.build());
    ArchiveInput f;
    ASSERT_TRUE(f.open(path));
    SfxPayload p;
    ASSERT_EQ(locateSfxArchive(f, p), kSfxLocateOk);
    EXPECT_EQ(p.totalEntries, 1);
    EXPECT_EQ(p.extraBytes, include ? 0 : 5000);
    ASSERT_TRUE(locateSfxPayload(f, p));
    EXPECT_EQ(p.configOffset, 5000 - static_cast<int64_t>(kSfxConfigSize));
  }
  // A comment one byte too long hides the end record.
  z.comment = std::string(65536, 'k');
  z.commentLength = 0xFFFF;
  test::writeFile(dir.file("c.zip"), z.build());
  ArchiveInput f;
  ASSERT_TRUE(f.open(dir.file("c.zip")));
  SfxPayload p;
  EXPECT_EQ(locateSfxArchive(f, p), kSfxLocateNotFound);
}

TEST(SfxLocate, DamagedAndTinyFilesAreRefused) {
  test::ScratchDir dir;
  test::ZipBuilder z;
  z.entries.push_back({});
  // Neither the shifted nor the stored offset names a central header.
  z.directoryOffset = 1;
  z.directorySize = 46 + 5 - 2;
  test::writeFile(dir.file("d.zip"), z.build());
  ArchiveInput f;
  ASSERT_TRUE(f.open(dir.file("d.zip")));
  SfxPayload p;
  EXPECT_EQ(locateSfxArchive(f, p), kSfxLocateDamaged);
  test::writeFile(dir.file("t.zip"), std::string_view("PK\5\6"));
  ASSERT_TRUE(f.open(dir.file("t.zip")));
  EXPECT_EQ(locateSfxArchive(f, p), kSfxLocateNotFound);
  EXPECT_FALSE(locateSfxPayload(f, p));
}

}  // namespace
}  // namespace vz::engine
