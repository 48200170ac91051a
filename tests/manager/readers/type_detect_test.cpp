// Type detection: every corpus archive gets the type its MANIFEST format
// names (the accepted differences listed with their reasons), the
// signature table row by row, the searches inside programs on programs
// built here (a PE program with string resources, a DOS program with an
// archive at its image end or appended, an ELF program with an archive
// behind its image), and the TAR checksum test with a volume label.
// Also the display names and the error texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "manager/readers/arc_lister.h"
#include "manager/readers/arc_types.h"
#include "manager/readers/reader_errors.h"
#include "manager/readers/type_detect.h"
#include "tests/support/test_env.h"

namespace vz::readers {
namespace {

using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, size_t at, uint32_t v) {
  if (b.size() < at + 2) b.resize(at + 2);
  b[at] = v & 0xFF, b[at + 1] = (v >> 8) & 0xFF;
}
void put32(Bytes& b, size_t at, uint32_t v) { put16(b, at, v & 0xFFFF), put16(b, at + 2, v >> 16); }
void putText(Bytes& b, size_t at, std::string_view s) {
  if (b.size() < at + s.size()) b.resize(at + s.size());
  std::copy(s.begin(), s.end(), b.begin() + static_cast<long>(at));
}

// A one-entry stored ZIP whose offsets count from its own start plus base.
Bytes makeZip(uint32_t base = 0) {
  const std::string name = "inner.txt", data = "hello";
  Bytes z;
  putText(z, 0, "PK\3\4");
  put16(z, 8, 0), put32(z, 18, 5), put32(z, 22, 5), put16(z, 26, name.size());
  putText(z, 30, name + data);
  const size_t cd = z.size();
  putText(z, cd, "PK\1\2");
  put32(z, cd + 20, 5), put32(z, cd + 24, 5), put16(z, cd + 28, name.size()), put32(z, cd + 42, base);
  putText(z, cd + 46, name);
  const size_t end = z.size();
  putText(z, end, "PK\5\6");
  put16(z, end + 8, 1), put16(z, end + 10, 1), put32(z, end + 12, end - cd), put32(z, end + 16, cd + base);
  put16(z, end + 20, 0);
  return z;
}

// A DOS program header whose image ends at imageEnd.
Bytes dosProgram(uint32_t imageEnd) {
  Bytes b(64, 0);
  putText(b, 0, "MZ");
  put16(b, 2, imageEnd % 512), put16(b, 4, imageEnd / 512 + 1);
  return b;
}

// A PE program with one .rsrc section holding string block 1 (ids 16..31
// are block 2): strings[i] is string id i (ids 0..15).
Bytes peProgram(const std::vector<std::string>& strings) {
  Bytes b = dosProgram(64);
  put32(b, 0x3C, 0x80);
  putText(b, 0x80, std::string("PE\0\0", 4));
  put16(b, 0x84, 0x14C), put16(b, 0x86, 1), put16(b, 0x94, 224);
  const size_t opt = 0x98;
  put16(b, opt, 0x10B), put32(b, opt + 92, 16);
  const uint32_t rsrcRva = 0x1000, raw = 0x200;
  Bytes r;
  put16(r, 14, 1), put32(r, 16, 6), put32(r, 20, 0x80000018);             // type RT_STRING
  put16(r, 0x18 + 14, 1), put32(r, 0x28, 1), put32(r, 0x2C, 0x80000030);  // block 1
  put16(r, 0x30 + 14, 1), put32(r, 0x40, 0x409), put32(r, 0x44, 0x48);    // language -> leaf
  size_t at = 0x58;
  for (size_t i = 0; i < 16; ++i) {
    const std::string s = i < strings.size() ? strings[i] : "";
    put16(r, at, s.size()), at += 2;
    for (char c : s) put16(r, at, static_cast<uint8_t>(c)), at += 2;
  }
  put32(r, 0x48, rsrcRva + 0x58), put32(r, 0x4C, at - 0x58);
  put32(b, opt + 96 + 16, rsrcRva), put32(b, opt + 96 + 20, r.size());
  const size_t sec = opt + 224;
  putText(b, sec, ".rsrc");
  put32(b, sec + 8, r.size()), put32(b, sec + 12, rsrcRva), put32(b, sec + 16, r.size()), put32(b, sec + 20, raw);
  b.resize(raw, 0);
  b.insert(b.end(), r.begin(), r.end());
  return b;
}

DetectedType detectBytes(const Bytes& bytes, const std::string& name = "f.bin", int32_t buf = 0) {
  vz::test::ScratchDir dir("det");
  vz::test::writeFile(dir.file(name), bytes);
  return detectArchiveType(dir.file(name), buf);
}

TEST(TypeDetect, CorpusTypesFollowManifest) {
  const std::string dir = vz::test::corpusDir();
  const auto raw = vz::test::readFile(dir + "/MANIFEST.tsv");
  if (raw.empty()) GTEST_SKIP() << "no corpus";
  const std::map<std::string, TArcType> byFormat = {
      {"ARC", atARC},         {"ARJ", atARJ}, {"CAB", atCAB}, {"EXE", atUnknown},
      {"GZIP", atGZip},       {"HA", atHA},   {"LZH", atLHA}, {"OTHER", atUnknown},
      {"PAK", atPAK},         {"RAR", atRAR}, {"TAR", atTAR}, {"UU", atUnknown},
      {"VOLPART", atUnknown}, {"Z", atGZip},  {"ZIP", atZIP}, {"ZOO", atZOO},
  };
  // Accepted differences. Detection reads the first bytes, and searches
  // only programs for an embedded archive, so a ZIP behind other data
  // (not a program) and the volumes of a split set (marker PK 7 8, or
  // data first) are not seen; an empty ZIP is its end record alone,
  // "PK" 5 6, no signature of the table.
  const std::set<std::string> accepted = {
      "lz-junk-at-start.zip",
      "gz-test-prefix.zip",
      "la-read_format_zip_sfx",
      "cc-COMPRESS-477-split_zip_created_by_zip-split_zip_created_by_zip.z01",
      "cc-COMPRESS-477-split_zip_created_by_zip-split_zip_created_by_zip.zip",
      "lz-testempty.zip",
  };
  std::istringstream in(std::string(raw.begin(), raw.end()));
  std::string line;
  std::getline(in, line);
  int checked = 0;
  while (std::getline(in, line)) {
    std::vector<std::string> c;
    std::istringstream l(line);
    for (std::string f; std::getline(l, f, '\t');) c.push_back(f);
    if (c.size() < 4) continue;
    TArcType want;
    if (c[2] == "SFX")
      want = c[3].find("RAR") != std::string::npos ? atRarExe : atLhaExe;
    else
      want = byFormat.at(c[2]);
    const DetectedType d = detectArchiveType(dir + "/" + c[1], 0);
    if (accepted.count(c[1])) {
      EXPECT_EQ(d.type, atUnknown) << c[1] << " is detected now: take it off the accepted list";
      continue;
    }
    EXPECT_EQ(d.type, want) << c[1] << " got " << arcTypeName(d.type);
    ++checked;
  }
  EXPECT_GE(checked, 50);
  // Where the programs' archives start, as the MANIFEST says.
  EXPECT_EQ(detectArchiveType(dir + "/lh-lha255e-sfx.exe", 0).archiveStart, 1702);
  EXPECT_EQ(detectArchiveType(dir + "/la-read_format_rar_sfx.exe", 0).archiveStart, 98816);
}

struct SignatureCase {
  uint32_t v;
  TArcType plain, embedded;
};

TEST(TypeDetect, SignatureTableInOrder) {
  const SignatureCase cases[] = {
      {0x04034B50, atZIP, atZipExe},      {0x4643534D, atCAB, atNA},        {0x50000000, atZip250, atZip250Exe},
      {0x07054842, atBH, atBHExe},        {0x00004148, atHA, atNA},         {0x12348B1F, atGZip, atNA},
      {0x00009D1F, atGZip, atNA},         {0x00009E1F, atGZip, atNA},       {0x00001E1F, atGZip, atNA},
      {0x0000A01F, atGZip, atNA},         {0x1234EA60, atARJ, atArjExe},    {0x204F4F5A, atZOO, atNA},
      {0x6C2D1234, atLHA, atLhaExe},      {0x21726152, atRAR, atRarExe},    {0x00000A1A, atPAK, atPakExe},
      {0x00000B1A, atPAK, atPakExe},      {0x0000081A, atARC, atArcExe},    {0x0000091A, atARC, atArcExe},
      {0x000092B7, atArcExe, atArcExe},   {0x0000DFB7, atArcExe, atArcExe}, {0x0000021A, atARC, atArcExe},
      {0x0000141A, atARC, atArcExe},      {0x00001E1A, atARC, atArcExe},    {0x00001F1A, atUnknown, atUnknown},
      {0x00000C1A, atUnknown, atUnknown}, {0x6C2D4148, atHA, atNA},  // "HA" is tested before "-l"
      {0x6C2DEA60, atARJ, atArjExe},
  };
  for (const SignatureCase& c : cases) {
    EXPECT_EQ(classifySignature(c.v, false).type, c.plain) << std::hex << c.v;
    EXPECT_EQ(classifySignature(c.v, true).type, c.embedded) << std::hex << c.v;
  }
  EXPECT_EQ(classifySignature(0x92B7, false).startOverride, 7716);
  EXPECT_EQ(detectBytes(Bytes{0xB7, 0x92, 0, 0, 0, 0, 0}).archiveStart, 7716);
  EXPECT_EQ(detectBytes(Bytes{'P', 'K', 3}).type, atFileError);
}

TEST(TypeDetect, StringResourceNamesTheArchive) {
  Bytes pe = peProgram({"", "12345"});
  pe.resize(12345, 0);
  pe.insert(pe.end(), {0x60, 0xEA, 0x26, 0x00, 0x22, 0x0B});
  pe.resize(13000, 0);
  const DetectedType d = detectBytes(pe, "sfx.exe");
  EXPECT_EQ(d.type, atArjExe);
  EXPECT_EQ(d.archiveStart, 12345);
  // A string that is no number, or a position past the file, is passed over.
  Bytes other = peProgram({"", "abc", "99999", "", "", "200"});
  other.resize(200 > other.size() ? 200 : other.size(), 0);
  other.resize(2048, 0);
  putText(other, 200, "Rar!");
  EXPECT_EQ(detectBytes(other, "x.exe").type, atUnknown) << "200 is string 5: only ids 1 to 4 count";
}

TEST(TypeDetect, ImageEndAndAppendedZipInPrograms) {
  // The image end with 60 EA at bytes 2 and 3: the archive 2 bytes later.
  Bytes arj = dosProgram(1000);
  arj.resize(1000, 0);
  arj.insert(arj.end(), {0, 0, 0x60, 0xEA, 0x26, 0});
  arj.resize(1200, 0);
  DetectedType d = detectBytes(arj, "a.exe");
  EXPECT_EQ(d.type, atArjExe);
  EXPECT_EQ(d.archiveStart, 1002);
  // "MSCF" inside a program is not a cabinet.
  Bytes cab = dosProgram(600);
  cab.resize(600, 0);
  putText(cab, 600, "MSCF");
  cab.resize(800, 0);
  EXPECT_EQ(detectBytes(cab, "c.exe").type, atNA);
  // Neither resources nor the image end: the ZIP found from its end record,
  // with offsets counted from the archive's own start or from the file's.
  for (const bool adjusted : {false, true}) {
    Bytes prog = dosProgram(100);
    prog.resize(3000, 0x90);
    const Bytes zip = makeZip(adjusted ? 3000 : 0);
    prog.insert(prog.end(), zip.begin(), zip.end());
    vz::test::ScratchDir dir("sfxz");
    vz::test::writeFile(dir.file("z.exe"), prog);
    TArcLister lister;
    std::vector<std::string> names;
    lister.OnRead = [&](TArcLister& l, int32_t, int32_t) { names.push_back(l.entry().fileName); };
    lister.setArchiveFile(dir.file("z.exe"));
    EXPECT_EQ(lister.ArcType(), atZipExe);
    EXPECT_EQ(lister.archiveStart(), 3000);
    EXPECT_EQ(lister.activate(), 1);
    EXPECT_EQ(names, std::vector<std::string>{"inner.txt"});
  }
}

TEST(TypeDetect, ElfProgramsAreSearchedLikeDosPrograms) {
  const Bytes program = vz::test::readFile("/bin/true");
  if (program.size() < 64) GTEST_SKIP();
  Bytes elf = program;
  const Bytes zip = makeZip(static_cast<uint32_t>(program.size()));
  elf.insert(elf.end(), zip.begin(), zip.end());
  DetectedType d = detectBytes(elf, "true.sfx");
  EXPECT_EQ(d.type, atZipExe);
  EXPECT_EQ(d.archiveStart, static_cast<int64_t>(program.size()));
  Bytes lha = program;
  lha.insert(lha.end(), {0x20, 0x00, '-', 'l', 'h', '5', '-', 0, 0, 0, 0});
  d = detectBytes(lha, "true.sfx");
  EXPECT_EQ(d.type, atLhaExe);
  EXPECT_EQ(d.archiveStart, static_cast<int64_t>(program.size()));
}

// A TAR header block with a valid checksum.
Bytes tarBlock(const std::string& name, char type, uint32_t size) {
  Bytes b(512, 0);
  putText(b, 0, name);
  putText(b, 100, "0000644");
  char octal[16];
  std::snprintf(octal, sizeof octal, "%011o", size);
  putText(b, 124, octal);
  putText(b, 136, "14000000000");
  b[156] = static_cast<uint8_t>(type);
  putText(b, 257,
          std::string("ustar\0"
                      "00",
                      8));
  uint32_t sum = 0;
  for (size_t i = 0; i < 512; ++i) sum += (i >= 148 && i < 156) ? 32 : b[i];
  std::snprintf(octal, sizeof octal, "%06o", sum);
  putText(b, 148, std::string(octal) + std::string("\0 ", 2));
  return b;
}

TEST(TypeDetect, TarChecksumAndVolumeLabel) {
  Bytes tar = tarBlock("LABEL", 'V', 0);
  const Bytes file = tarBlock("data.txt", '0', 5);
  tar.insert(tar.end(), file.begin(), file.end());
  putText(tar, tar.size(), std::string("hello") + std::string(507, '\0'));
  tar.resize(tar.size() + 1024, 0);
  ASSERT_TRUE(isTarHeaderBlock(file.data()));
  vz::test::ScratchDir dir("tar");
  vz::test::writeFile(dir.file("v.TAR"), tar);
  TArcLister lister;
  std::vector<std::string> names;
  lister.OnRead = [&](TArcLister& l, int32_t, int32_t) { names.push_back(l.entry().fileName); };
  lister.setArchiveFile(dir.file("v.TAR"));
  EXPECT_EQ(lister.ArcType(), atTAR);
  EXPECT_EQ(lister.archiveStart(), 512);
  EXPECT_EQ(lister.activate(), 1);
  EXPECT_EQ(names, std::vector<std::string>{"data.txt"});
  // Only with the extension, and only with a matching checksum.
  EXPECT_EQ(detectBytes(tar, "v.bin").type, atUnknown);
  Bytes bad = tar;
  bad[512 + 10] ^= 1;
  EXPECT_EQ(detectBytes(bad, "bad.tar").type, atUnknown);
}

TEST(ReaderTables, DisplayNamesAndErrorTexts) {
  for (int t = 0; t < kArcTypeCount; ++t) {
    const auto name = arcTypeName(static_cast<TArcType>(t));
    EXPECT_EQ(name.size(), t == atLzhExe ? 8u : 10u) << t;
  }
  EXPECT_EQ(arcTypeName(atLzhExe), "LZH SFX\t");
  EXPECT_EQ(arcTypeName(atBHExe), "BH  SFX   ");
  EXPECT_EQ(arcTypeName(atZip250Exe), "ZIP250 SFX");
  EXPECT_EQ(arcTypeName(static_cast<TArcType>(27)), "");
  EXPECT_EQ(plainType(atZip250Exe), atZip250);
  EXPECT_EQ(readerErrorText(E_INCONSISTENT), "Inconsistant local header");
  EXPECT_EQ(readerErrorText(E_CABWRONGSET), "Cabinet does not belong with this set");
  EXPECT_EQ(readerErrorText(E_BADHEADR), "Bad file header");
  EXPECT_EQ(readerErrorText(25101), "");
  for (int32_t code : {E_READONLY, E_HEADERID, E_MULTIPARTGZIP, E_USERABORT, E_WIN32, E_CABFIRSTDISK})
    EXPECT_FALSE(readerErrorText(code).empty()) << code;
  EXPECT_EQ(displayName(std::string("a\x1b[2Jb\x7f", 7)), "a?[2Jb?");
}

}  // namespace
}  // namespace vz::readers
