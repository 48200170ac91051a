// The legacy formats' header walks (ARC/PAK, ARJ, BH, HA, LHA/LZH, RAR,
// ZOO) through TArcLister: every corpus archive of these formats listed
// with the names, sizes and stamps a peer lists (lsar, or 7zz where lsar
// fails), hand-built archives for what no peer covers (BH, ARJ volumes),
// and hostile headers that stop the walk cleanly with the entries before
// them kept.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <ctime>
#include <regex>
#include <string>
#include <vector>

#include "control/engine/format/crc32.h"
#include "manager/readers/arc_lister.h"
#include "manager/readers/legacy_fields.h"
#include "manager/readers/reader_errors.h"
#include "tests/support/test_env.h"

namespace vz::readers {
namespace {

struct Listed {
  std::vector<ArcEntry> entries;
  std::vector<int32_t> errors;
};

Listed listArchive(const std::string& path) {
  Listed out;
  TArcLister lister;
  lister.OnError = [&](TZipCommon&, const std::string&, const std::string&, int32_t code) {
    out.errors.push_back(code);
  };
  lister.OnRead = [&](TArcLister& l, int32_t, int32_t) { out.entries.push_back(l.entry()); };
  lister.ShowBlankDirs = true;
  lister.setArchiveFile(path);
  lister.activate();
  return out;
}

std::string peerOutput(const std::vector<std::string>& argv) {
  std::string text;
  vz::test::run(argv, &text);
  return text;
}

struct PeerEntry {
  std::string name;
  int64_t size = -1;
  std::string stamp;  // "YYYY-MM-DD HH:MM:SS"
};

// Splits text into lines.
std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  size_t from = 0;
  for (size_t nl; (nl = text.find('\n', from)) != std::string::npos; from = nl + 1)
    out.push_back(text.substr(from, nl - from));
  return out;
}

// lsar -j: one object per entry, each opened by a line "    {" in the
// contents array; its top-level fields are read by name.
std::vector<PeerEntry> lsarList(const std::string& path) {
  std::vector<PeerEntry> out;
  const std::regex name(R"re(^      "XADFileName": "((?:[^"\\]|\\.)*)")re"), size(R"(^      "XADFileSize": (\d+))"),
      date(R"(^      "XADLastModificationDate": "([0-9-]+ [0-9:]+))");
  bool inContents = false;
  for (const std::string& l : lines(peerOutput({"lsar", "-j", path}))) {
    std::smatch m;
    if (l.find("\"lsarContents\"") != std::string::npos)
      inContents = true;
    else if (inContents && l.rfind("  ],", 0) == 0)
      inContents = false;
    else if (inContents && l == "    {")
      out.push_back({});
    else if (!inContents || out.empty())
      continue;
    else if (std::regex_search(l, m, name))
      out.back().name = std::regex_replace(m[1].str(), std::regex(R"(\\/)"), "/");
    else if (std::regex_search(l, m, size))
      out.back().size = std::stoll(m[1]);
    else if (std::regex_search(l, m, date))
      out.back().stamp = m[1];
  }
  return out;
}

// 7zz l -slt: blocks of "Key = value" lines after the "----------" line.
std::vector<PeerEntry> sevenZipList(const std::string& path) {
  std::vector<PeerEntry> out;
  bool started = false;
  for (const std::string& l : lines(peerOutput({"7zz", "l", "-slt", path}))) {
    if (l == "----------") started = true;
    if (!started) continue;
    if (l.rfind("Path = ", 0) == 0)
      out.push_back({l.substr(7)});
    else if (!out.empty() && l.rfind("Size = ", 0) == 0 && l.size() > 7)
      out.back().size = std::stoll(l.substr(7));
    else if (!out.empty() && l.rfind("Modified = ", 0) == 0)
      out.back().stamp = l.substr(11, 19);
  }
  return out;
}

std::string stampText(const vz::LocalTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return buf;
}

std::string trimSlash(std::string s) {
  if (!s.empty() && s.back() == '/') s.pop_back();
  return s;
}

class LegacyWalks : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
  }
  vz::test::ScopedRoot root_;
};

// Each corpus archive of these formats, with the peer that reads it. The
// stamp is not compared where the peers disagree among themselves (the
// level-3 LHA sample's Unix time is read differently by each).
struct CorpusRow {
  const char* file;
  const char* peer;  // "lsar" or "7zz"
  bool compareStamps;
};

TEST_F(LegacyWalks, CorpusArchivesListLikeThePeers) {
  const CorpusRow rows[] = {
      {"sc-Arc.crunched.arc", "lsar", true},
      {"sc-Arc.squashed.arc", "lsar", true},
      {"sc-Arc.squeezed.arc", "lsar", true},
      {"sc-Arc.uncompressed.arc", "lsar", true},
      {"ua-pak-license_crushed.pak", "lsar", true},
      {"cc-bla.arj", "lsar", true},
      {"sc-Arj.method1.arj", "lsar", true},
      {"sc-Arj.store.arj", "lsar", true},
      {"la-read_format_lha_header3.lzh", "lsar", false},
      {"lh-larc333-lz5.lzs", "lsar", true},
      {"lh-lha213-lh5.lzh", "lsar", true},
      {"lh-lha_unix114i-h2_lh7.lzh", "lsar", true},
      {"lh-lharc113-lh1.lzh", "lsar", true},
      {"lh-lha255e-sfx.exe", "7zz", true},
      {"la-read_format_rar.rar", "lsar", true},
      {"la-read_format_rar5_stored.rar", "lsar", true},
      {"la-read_format_rar_sfx.exe", "lsar", true},
      {"sc-Rar15.rar", "lsar", true},
      {"ua-zoo-default.zoo", "lsar", true},
  };
  for (const CorpusRow& row : rows) {
    SCOPED_TRACE(row.file);
    const std::string path = vz::test::corpusDir() + "/" + row.file;
    if (!vz::test::haveProgram(row.peer)) GTEST_SKIP() << row.peer << " not installed";
    const std::vector<PeerEntry> peer = std::string(row.peer) == "lsar" ? lsarList(path) : sevenZipList(path);
    ASSERT_FALSE(peer.empty());
    const Listed ours = listArchive(path);
    EXPECT_TRUE(ours.errors.empty()) << ours.errors.front();
    ASSERT_EQ(ours.entries.size(), peer.size());
    for (size_t i = 0; i < peer.size(); ++i) {
      const ArcEntry& e = ours.entries[i];
      EXPECT_EQ(trimSlash(e.fileName), trimSlash(peer[i].name));
      if (!e.isFolder) EXPECT_EQ(e.unpackedSize, peer[i].size) << e.fileName;
      if (row.compareStamps) EXPECT_EQ(stampText(e.dateTime), peer[i].stamp) << e.fileName;
    }
  }
}

// No peer here reads HA; the values are the sample's header fields.
TEST_F(LegacyWalks, HaSampleListsItsOneEntry) {
  const Listed ours = listArchive(vz::test::corpusDir() + "/ua-ha-hsc.ha");
  ASSERT_EQ(ours.entries.size(), 1u);
  EXPECT_TRUE(ours.errors.empty());
  const ArcEntry& e = ours.entries[0];
  EXPECT_EQ(e.fileName, "license");
  EXPECT_EQ(e.unpackedSize, 11357);
  EXPECT_EQ(e.packedSize, 3381);
  EXPECT_EQ(e.method, 2);
  EXPECT_EQ(e.crc, 0x7B5D04BCu);
  EXPECT_EQ(e.dataOffset + e.packedSize,
            static_cast<int64_t>(vz::test::readFile(vz::test::corpusDir() + "/ua-ha-hsc.ha").size()));
}

// --- hand-built archives -------------------------------------------------

void put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = v & 0xFF;
  b[at + 1] = (v >> 8) & 0xFF;
}
void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  put16(b, at, v & 0xFFFF);
  put16(b, at + 2, v >> 16);
}

// One BH record of the layout in walk_bh.cpp.
std::vector<uint8_t> bhRecord(const std::string& name, const std::string& data, uint16_t attributes = 0x20) {
  std::vector<uint8_t> r(39 + name.size());
  put32(r, 0, 0x07054842);
  put16(r, 4, static_cast<uint32_t>(r.size()));
  r[7] = 1, r[8] = 1, r[10] = 0;
  put32(r, 11, (((2001 - 1980) << 9 | 2 << 5 | 3) << 16) | (4 << 11 | 5 << 5 | 3));
  put32(r, 15, static_cast<uint32_t>(data.size()));
  put32(r, 19, static_cast<uint32_t>(data.size()));
  put32(r, 23, vz::engine::crc32Update(0, data.data(), data.size()));
  put16(r, 27, attributes);
  put16(r, 37, static_cast<uint32_t>(name.size()));
  std::copy(name.begin(), name.end(), r.begin() + 39);
  r.insert(r.end(), data.begin(), data.end());
  return r;
}

TEST_F(LegacyWalks, BhRecordsOfTheWritersLayoutList) {
  vz::test::ScratchDir dir("bh");
  std::vector<uint8_t> a = bhRecord("docs\\readme.txt", "hello hello hello");
  const std::vector<uint8_t> b = bhRecord("docs", "", 0x10);
  a.insert(a.end(), b.begin(), b.end());
  a.resize(a.size() + 64, 0);  // the end: a zero header size after the signature
  put32(a, a.size() - 64, 0x07054842);
  vz::test::writeFile(dir.file("t.bh"), a);
  const Listed ours = listArchive(dir.file("t.bh"));
  ASSERT_EQ(ours.entries.size(), 2u);
  EXPECT_TRUE(ours.errors.empty());
  EXPECT_EQ(ours.entries[0].fileName, "docs/readme.txt");
  EXPECT_EQ(ours.entries[0].unpackedSize, 17);
  EXPECT_EQ(stampText(ours.entries[0].dateTime), "2001-02-03 04:05:06");
  EXPECT_TRUE(ours.entries[1].isFolder);
}

// An ARJ file: main header, the given local headers, the end header.
struct ArjPart {
  std::string name;
  uint8_t flags;
  uint32_t packed, unpacked;
};
std::vector<uint8_t> arjHeader(const std::string& name, uint8_t fileType, uint8_t flags, uint32_t packed,
                               uint32_t unpacked) {
  std::vector<uint8_t> basic(30 + name.size() + 2);
  basic[0] = 30, basic[1] = 11, basic[2] = 1, basic[4] = flags, basic[6] = fileType;
  put32(basic, 8, 0x2A6B5C00);
  put32(basic, 12, packed);
  put32(basic, 16, unpacked);
  std::copy(name.begin(), name.end(), basic.begin() + 30);
  std::vector<uint8_t> h = {0x60, 0xEA, 0, 0};
  put16(h, 2, static_cast<uint32_t>(basic.size()));
  h.insert(h.end(), basic.begin(), basic.end());
  h.resize(h.size() + 6);
  put32(h, h.size() - 6, vz::engine::crc32Update(0, basic.data(), basic.size()));
  h.insert(h.end(), packed, 'x');
  return h;
}
std::vector<uint8_t> arjFile(const std::vector<ArjPart>& parts) {
  std::vector<uint8_t> f = arjHeader("SET.ARJ", 2, 0, 0, 0);
  for (const ArjPart& p : parts) {
    const std::vector<uint8_t> h = arjHeader(p.name, 0, p.flags, p.packed, p.unpacked);
    f.insert(f.end(), h.begin(), h.end());
  }
  f.insert(f.end(), {0x60, 0xEA, 0, 0});
  return f;
}

TEST_F(LegacyWalks, ArjEntryContinuedAcrossVolumesSumsItsSizes) {
  vz::test::ScratchDir dir("arj");
  vz::test::writeFile(dir.file("set.arj"), arjFile({{"a.txt", 0, 5, 9}, {"big.bin", 0x04, 40, 100}}));
  vz::test::writeFile(dir.file("set.a01"), arjFile({{"big.bin", 0x0C, 40, 100}}));
  vz::test::writeFile(dir.file("set.a02"), arjFile({{"big.bin", 0x08, 10, 20}}));
  Listed ours = listArchive(dir.file("set.arj"));
  ASSERT_EQ(ours.entries.size(), 2u);
  EXPECT_TRUE(ours.errors.empty());
  EXPECT_EQ(ours.entries[1].packedSize, 90);
  EXPECT_EQ(ours.entries[1].unpackedSize, 220);
  // The last volume missing: 25134, the entry kept with what was found.
  std::remove(dir.file("set.a02").c_str());
  ours = listArchive(dir.file("set.arj"));
  ASSERT_EQ(ours.entries.size(), 2u);
  EXPECT_EQ(ours.errors, std::vector<int32_t>{E_OPEN});
  EXPECT_EQ(ours.entries[1].unpackedSize, 200);
}

TEST_F(LegacyWalks, ArjVolumeNamesFollowTheFirstFilesExtension) {
  EXPECT_EQ(arjVolumeName("/d/SET.ARJ", 1), "/d/SET.A01");
  EXPECT_EQ(arjVolumeName("/d/set.arj", 42), "/d/set.a42");
  EXPECT_EQ(arjVolumeName("/d/set.arj", 100), "/d/set.100");
  EXPECT_EQ(arjVolumeName("/d.x/set", 2), "/d.x/set.A02");
}

// Hostile headers: each archive holds one good entry, then the damage; the
// walk reports the code and keeps the good entry.
struct HostileRow {
  const char* what;
  std::vector<uint8_t> bytes;
  int32_t code;
};

std::vector<uint8_t> arcEntry(const std::string& name, uint32_t packed, size_t dataBytes) {
  std::vector<uint8_t> h(29 + dataBytes, 'd');
  h[0] = 0x1A, h[1] = 8;
  std::fill(h.begin() + 2, h.begin() + 15, 0);
  std::copy(name.begin(), name.end(), h.begin() + 2);
  put32(h, 15, packed);
  put32(h, 19, 0);
  put16(h, 23, 0);
  put32(h, 25, packed);
  return h;
}

std::vector<uint8_t> concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<uint8_t> zooArchive(bool loop) {
  std::vector<uint8_t> z(34 + 56 * 3 + 200, 0);
  const char text[] = "ZOO 2.10 Archive.\x1a";
  std::copy(text, text + sizeof text - 1, z.begin());
  put32(z, 20, 0xFDC4A7DC);
  put32(z, 24, 34);
  for (int i = 0; i < 2; ++i) {
    const size_t at = 34 + 56 * i;
    put32(z, at, 0xFDC4A7DC);
    z[at + 4] = 1;
    put32(z, at + 6, loop && i == 1 ? 34 : static_cast<uint32_t>(at + 56));  // entry 2 points back at entry 1
    put32(z, at + 10, 300);
    z[at + 38] = 'f';
    z[at + 39] = static_cast<uint8_t>('1' + i);
  }
  put32(z, 34 + 112, 0xFDC4A7DC);  // the end entry: next 0
  return z;
}

std::vector<uint8_t> lhaLevel0(const std::string& name, size_t declaredNameLength) {
  std::vector<uint8_t> h(24 + name.size(), 0);
  h[0] = static_cast<uint8_t>(h.size() - 2);
  std::memcpy(h.data() + 2, "-lh0-", 5);
  h[21] = static_cast<uint8_t>(declaredNameLength);
  std::copy(name.begin(), name.end(), h.begin() + 22);
  uint8_t sum = 0;
  for (size_t i = 2; i < h.size(); ++i) sum = static_cast<uint8_t>(sum + h[i]);
  h[1] = sum;
  return h;
}

// RAR 1.5-4.x block with its header CRC (low 16 bits of the CRC-32 from the
// type on).
std::vector<uint8_t> rarBlock(std::vector<uint8_t> body) {
  const uint32_t crc = vz::engine::crc32Update(0, body.data(), body.size());
  body.insert(body.begin(), {static_cast<uint8_t>(crc), static_cast<uint8_t>(crc >> 8)});
  return body;
}

// A stored, empty RAR 4 file entry whose name field is dos, a 0 and packed.
std::vector<uint8_t> rarUnicodeEntry(const std::vector<uint8_t>& dos, const std::vector<uint8_t>& packed) {
  std::vector<uint8_t> name = dos;
  name.push_back(0);
  name.insert(name.end(), packed.begin(), packed.end());
  const size_t size = 32 + name.size();
  std::vector<uint8_t> b = {0x74, 0x00, 0x82, static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8)};
  b.insert(b.end(), {0,
                     0,
                     0,
                     0,
                     0,
                     0,
                     0,
                     0,
                     2,
                     0,
                     0,
                     0,
                     0,
                     0x00,
                     0x60,
                     0x52,
                     0x51,
                     0x1D,
                     0x30,
                     static_cast<uint8_t>(name.size()),
                     static_cast<uint8_t>(name.size() >> 8),
                     0x20,
                     0,
                     0,
                     0});
  b.insert(b.end(), name.begin(), name.end());
  return rarBlock(b);
}

// Names in the Unicode form of flag 0200 (every opcode: a byte, a byte with
// the shared high byte, a whole character, runs copied from the DOS name
// with and without a correction) list as lsar lists them.
TEST_F(LegacyWalks, RarUnicodeNamesUnpack) {
  std::vector<uint8_t> rar = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};
  const auto main = rarBlock({0x73, 0x00, 0x00, 13, 0, 0, 0, 0, 0, 0, 0});
  rar.insert(rar.end(), main.begin(), main.end());
  // "\u00dcnicode\u20ac.txt": 0 (DC), 3 (copy 6), 2 (20AC), 3 (copy 4).
  const std::string dos1 = "_nicode_.txt";
  const auto e1 = rarUnicodeEntry({dos1.begin(), dos1.end()}, {0x00, 0x3B, 0xDC, 0x04, 0xAC, 0x20, 0x02});
  // Cyrillic with the high byte 04: 3 (6 corrected by +10), 3 (copy 4),
  // then 1 (the high byte with 01: U+0401).
  const std::vector<uint8_t> dos2 = {0x0F, 0x30, 0x28, 0x22, 0x25, 0x32, '.', 't', 'x', 't', '_'};
  const auto e2 = rarUnicodeEntry(dos2, {0x04, 0xF4, 0x84, 0x10, 0x02, 0x01});
  // A packed form that runs past the DOS name: the DOS name is kept.
  const std::string dos3 = "PLAIN.TXT";
  const auto e3 = rarUnicodeEntry({dos3.begin(), dos3.end()}, {0x00, 0xC0, 0x7F});
  for (const auto* e : {&e1, &e2, &e3}) rar.insert(rar.end(), e->begin(), e->end());
  const auto end = rarBlock({0x7B, 0x00, 0x40, 7, 0});
  rar.insert(rar.end(), end.begin(), end.end());
  vz::test::ScratchDir dir("rarname");
  vz::test::writeFile(dir.file("u.rar"), rar);
  const Listed ours = listArchive(dir.file("u.rar"));
  EXPECT_TRUE(ours.errors.empty());
  std::vector<std::string> names;
  for (const ArcEntry& e : ours.entries) names.push_back(e.fileName);
  const std::vector<std::string> expected = {"\u00dcnicode\u20ac.txt", "\u041f\u0440\u0438\u0432\u0435\u0442.txt\u0401",
                                             "PLAIN.TXT"};
  EXPECT_EQ(names, expected);
  if (!vz::test::haveProgram("lsar")) return;
  std::vector<std::string> peer;
  for (const PeerEntry& p : lsarList(dir.file("u.rar"))) peer.push_back(p.name);
  EXPECT_EQ(std::vector<std::string>(peer.begin(), peer.begin() + std::min<size_t>(2, peer.size())),
            std::vector<std::string>(expected.begin(), expected.begin() + 2));
}

TEST_F(LegacyWalks, HostileHeadersStopWithTheEntriesBeforeKept) {
  std::vector<uint8_t> badCrc = arjFile({{"ok.txt", 0, 3, 3}, {"bad.txt", 0, 3, 3}});
  badCrc[badCrc.size() - 4 - 3 - 6 - 2] ^= 0x55;  // a byte of the second entry's name
  std::vector<uint8_t> rar5 = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x01, 0x00};
  rar5.insert(rar5.end(), {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01});
  rar5.resize(64, 0);
  std::vector<uint8_t> shortLha = lhaLevel0("ab", 2);
  shortLha[0] = 12;  // the name length would lie past the header
  const HostileRow rows[] = {
      {"ARC size past the end", concat(arcEntry("OK.TXT", 4, 4), arcEntry("BIG.TXT", 0x7FFFFFF0, 40)), E_READ},
      {"ZOO loop", zooArchive(true), E_BADHEADR},
      {"LHA name length past the header",
       concat(lhaLevel0("ok", 2), concat(lhaLevel0("xy", 200), std::vector<uint8_t>(40))), E_BADLENGTHS},
      {"ARJ header CRC", badCrc, E_HEADERCRC},
      {"LHA header size below the fixed fields", concat(lhaLevel0("ok", 2), shortLha), E_BADLENGTHS},
  };
  for (const HostileRow& row : rows) {
    SCOPED_TRACE(row.what);
    vz::test::ScratchDir dir("hostile");
    const std::string ext = std::string(row.what).substr(0, 3);
    const std::string path = dir.file("t." + ext);
    vz::test::writeFile(path, row.bytes);
    const Listed ours = listArchive(path);
    ASSERT_EQ(ours.entries.size(), 1u);
    EXPECT_EQ(ours.errors, std::vector<int32_t>{row.code});
  }
  // A RAR 5 header size vint that never ends: no entry, one error.
  vz::test::ScratchDir dir("rar5");
  vz::test::writeFile(dir.file("t.rar"), rar5);
  const Listed ours = listArchive(dir.file("t.rar"));
  EXPECT_TRUE(ours.entries.empty());
  EXPECT_EQ(ours.errors, std::vector<int32_t>{E_BADHEADR});
  // The good ZOO list walks to its end mark.
  vz::test::writeFile(dir.file("t.zoo"), zooArchive(false));
  EXPECT_EQ(listArchive(dir.file("t.zoo")).entries.size(), 2u);
}

}  // namespace
}  // namespace vz::readers
