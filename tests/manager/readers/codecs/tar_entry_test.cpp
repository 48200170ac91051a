// TAR headers against python3's tarfile: archives made at test time by tar
// in the ustar, GNU and pax formats with long names, long link targets,
// hard links and folders, and the corpus's archives, walked block by block
// and compared entry for entry; damaged headers.
#include "manager/readers/codecs/tar_entry.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <sstream>

#include "tests/manager/readers/codecs/codec_test_data.h"
#include "tests/support/test_env.h"

namespace vz::readers::codecs {
namespace {

char kindChar(const TarEntry& e) {
  switch (e.kind) {
    case TarKind::Regular:
      return '0';
    case TarKind::HardLink:
      return '1';
    case TarKind::Symlink:
      return '2';
    case TarKind::Folder:
      return '5';
    default:
      return e.typeFlag;
  }
}

std::string stripSlash(std::string s) {
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

// One line per entry: name, kind, size, link, mtime, mode.
std::string line(const std::string& name, char kind, uint64_t size, const std::string& link, int64_t mtime,
                 uint32_t mode) {
  std::ostringstream o;
  o << stripSlash(name) << '|' << kind << '|' << size << '|' << link << '|' << mtime << '|' << std::oct << mode;
  return o.str();
}

// Walks the archive; the listing, and the step that ended the walk.
TarStep walk(const std::vector<uint8_t>& tar, std::vector<std::string>& lines) {
  TarHeaderReader reader;
  uint64_t pos = 0;
  while (pos + kTarBlock <= tar.size()) {
    const TarStep s = reader.feed(&tar[pos]);
    pos += kTarBlock;
    if (s == TarStep::NeedBlock) continue;
    if (s != TarStep::Entry) return s;
    const TarEntry& e = reader.entry();
    // Links and folders carry no data whatever the format; sizes stay as stored.
    lines.push_back(line(e.name, kindChar(e), e.size, e.linkName, e.mtime, e.mode));
    pos += e.kind == TarKind::Regular || e.kind == TarKind::Other ? e.dataBlocks() * kTarBlock : 0;
  }
  return TarStep::EndOfArchive;
}

std::vector<std::string> pythonListing(const std::string& path) {
  const char* script =
      "import sys, tarfile\n"
      "t = tarfile.open(sys.argv[1])\n"
      "for m in t.getmembers():\n"
      "    k = {tarfile.REGTYPE: '0', tarfile.AREGTYPE: '0', tarfile.CONTTYPE: '0', tarfile.LNKTYPE: '1',\n"
      "         tarfile.SYMTYPE: '2', tarfile.DIRTYPE: '5'}.get(m.type, m.type.decode())\n"
      "    print('%s|%s|%d|%s|%d|%o' % (m.name, k, m.size, m.linkname, int(m.mtime), m.mode))\n";
  std::string out;
  EXPECT_EQ(test::run({"python3", "-c", script, path}, &out), 0) << path;
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string l; std::getline(in, l);) {
    const size_t bar = l.find('|');
    lines.push_back(stripSlash(l.substr(0, bar)) + l.substr(bar));
  }
  return lines;
}

class TarFormats : public ::testing::TestWithParam<const char*> {};

TEST_P(TarFormats, TarArchivesListLikePython) {
  if (!test::haveProgram("tar") || !test::haveProgram("python3")) GTEST_SKIP() << "tar or python3 missing";
  const std::string format = GetParam();
  test::ScratchDir dir("tar");
  const std::string root = dir.file("t");
  // ustar keeps names up to 255 bytes (prefix and name) and links up to 100.
  const bool ustar = format == "ustar";
  const std::string deep = std::string(60, 'd') + "/" + std::string(70, 'e') + "/" + std::string(ustar ? 90 : 120, 'f');
  test::run({"mkdir", "-p", root + "/" + deep.substr(0, deep.rfind('/'))});
  test::writeFile(root + "/" + deep, test::codecs::makeData(test::codecs::DataKind::Text, 3000));
  test::writeFile(root + "/small", "x");
  test::writeFile(root + "/empty", "");
  const std::string target = ustar ? "small" : std::string(150, 'l');
  test::run({"ln", "-s", target, root + "/link"});
  test::run({"ln", root + "/small", root + "/hard"});
  test::run({"touch", "-d", "@1234567890", root + "/small"});
  ASSERT_EQ(test::run({"tar", "--format=" + format, "-C", dir.path(), "-cf", dir.file("a.tar"), "t"}), 0);

  const std::vector<uint8_t> tar = test::readFile(dir.file("a.tar"));
  std::vector<std::string> lines;
  EXPECT_EQ(walk(tar, lines), TarStep::EndOfArchive);
  EXPECT_EQ(lines, pythonListing(dir.file("a.tar")));
  EXPECT_GE(lines.size(), 8u);
}

INSTANTIATE_TEST_SUITE_P(Formats, TarFormats, ::testing::Values("ustar", "gnu", "pax"));

TEST(TarCorpus, CorpusArchivesListLikePython) {
  if (!test::haveProgram("python3")) GTEST_SKIP() << "python3 missing";
  int seen = 0;
  for (const std::string& path : test::corpusFiles()) {
    if (path.size() < 4 || path.compare(path.size() - 4, 4, ".tar") != 0) continue;
    std::vector<std::string> lines;
    const TarStep s = walk(test::readFile(path), lines);
    EXPECT_EQ(s, TarStep::EndOfArchive) << path;
    EXPECT_EQ(lines, pythonListing(path)) << path;
    ++seen;
  }
  EXPECT_GE(seen, 2);
}

// A ustar header block with a good checksum.
std::vector<uint8_t> header(const std::string& name, char type, const std::string& sizeField) {
  std::vector<uint8_t> b(kTarBlock, 0);
  std::memcpy(b.data(), name.data(), std::min<size_t>(name.size(), 100));
  std::memcpy(&b[100], "0000644", 7);
  std::memcpy(&b[124], sizeField.data(), std::min<size_t>(sizeField.size(), 12));
  std::memcpy(&b[136], "00000000000", 11);
  b[156] = static_cast<uint8_t>(type);
  std::memcpy(&b[257],
              "ustar\0"
              "00",
              8);
  std::memset(&b[148], ' ', 8);
  unsigned sum = 0;
  for (uint8_t c : b) sum += c;
  std::snprintf(reinterpret_cast<char*>(&b[148]), 8, "%06o", sum);
  return b;
}

TEST(TarHeaders, FieldsChecksumsAndDamage) {
  TarHeaderReader r;
  // GNU base-256 size.
  std::string big(12, '\0');
  big[0] = static_cast<char>(0x80);
  big[7] = 0x01;  // 2^32
  ASSERT_EQ(r.feed(header("big", '0', big).data()), TarStep::Entry);
  EXPECT_EQ(r.entry().size, uint64_t{1} << 32);
  // A folder by its trailing slash in an old-style regular entry.
  ASSERT_EQ(r.feed(header("dir/", '\0', "0").data()), TarStep::Entry);
  EXPECT_EQ(r.entry().kind, TarKind::Folder);
  // pax overrides in front of a header; malformed pax lines are ignored.
  const std::string pax =
      "18 path=long/name\n"
      "7 junk\n"
      "15 size=123456\n"
      "x";
  char octal[12];
  std::snprintf(octal, sizeof octal, "%o", static_cast<unsigned>(pax.size()));
  std::vector<uint8_t> x = header("pax", 'x', octal);
  ASSERT_EQ(r.feed(x.data()), TarStep::NeedBlock);
  std::vector<uint8_t> data(kTarBlock, 0);
  std::memcpy(data.data(), pax.data(), pax.size());
  ASSERT_EQ(r.feed(data.data()), TarStep::NeedBlock);
  ASSERT_EQ(r.feed(header("short", '0', "1").data()), TarStep::Entry);
  EXPECT_EQ(r.entry().name, "long/name");
  EXPECT_EQ(r.entry().size, 123456u);
  EXPECT_EQ(r.entry().format, TarFormat::Pax);
  EXPECT_EQ(r.entry().headerBlocks, 3u);
  // The next entry starts afresh.
  ASSERT_EQ(r.feed(header("plain", '0', "1").data()), TarStep::Entry);
  EXPECT_EQ(r.entry().name, "plain");

  std::vector<uint8_t> bad = header("bad", '0', "1");
  bad[10] ^= 1;
  EXPECT_EQ(r.feed(bad.data()), TarStep::BadChecksum);
  EXPECT_EQ(r.feed(header("bad", '0', "12x").data()), TarStep::BadHeader);
  EXPECT_EQ(r.feed(header("huge", 'L', "77777777777").data()), TarStep::BadHeader);
  EXPECT_EQ(r.feed(std::vector<uint8_t>(kTarBlock, 0).data()), TarStep::EndOfArchive);

  // Random blocks (with the checksum made good) end with a step, never a crash.
  std::mt19937 rng(9);
  for (int i = 0; i < 2000; ++i) {
    std::vector<uint8_t> b = header("n", "0125LKxg"[rng() % 8], std::to_string(rng() % 2000));
    for (int k = 0; k < 20; ++k) b[rng() % 148] = static_cast<uint8_t>(rng());
    std::memset(&b[148], ' ', 8);
    unsigned sum = 0;
    for (uint8_t c : b) sum += c;
    std::snprintf(reinterpret_cast<char*>(&b[148]), 8, "%06o", sum);
    (void)r.feed(b.data());
  }
}

}  // namespace
}  // namespace vz::readers::codecs
