// TArcLister's ZIP, TAR, GZip and CAB walks against peers: every corpus
// archive of those formats lists the names, sizes and stamps python3's
// zipfile and tarfile, gzip -lN or 7zz list; archives made here with tar
// (ustar, gnu, pax; names past 100 and 255 characters) and gzip; the mask
// and ShowBlankDirs rules; and every cut of an archive stops cleanly with
// the entries before the cut kept.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "manager/readers/arc_lister.h"
#include "manager/readers/reader_errors.h"
#include "tests/support/test_env.h"

namespace vz::readers {
namespace {

namespace fs = std::filesystem;

struct Listing {
  std::vector<ArcEntry> entries;
  std::vector<int32_t> errors;
  int32_t totals = -1;
  TArcType type = atNA;
};

Listing list(const std::string& path, const std::string& spec = "*.*", bool blankDirs = false) {
  Listing out;
  TArcLister lister;
  lister.FileSpec = spec;
  lister.ShowBlankDirs = blankDirs;
  lister.OnError = [&](TZipCommon&, const std::string&, const std::string&, int32_t code) {
    out.errors.push_back(code);
  };
  lister.OnRead = [&](TArcLister& l, int32_t offset, int32_t) {
    EXPECT_EQ(offset, l.entry().headerOffset + 1);
    out.entries.push_back(l.entry());
  };
  lister.OnTotals = [&](TArcLister&, int32_t n) { out.totals = n; };
  lister.setArchiveFile(path);
  out.type = lister.ArcType();
  lister.activate();
  return out;
}

std::string stamp(const vz::LocalTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return buf;
}

// "name<TAB>unpacked<TAB>packed<TAB>stamp" per listed file, sorted.
std::vector<std::string> rows(const Listing& l, bool withPacked = true) {
  std::vector<std::string> out;
  for (const ArcEntry& e : l.entries)
    out.push_back(e.fileName + "\t" + std::to_string(e.unpackedSize) + "\t" +
                  (withPacked ? std::to_string(e.packedSize) : "-") + "\t" + stamp(e.dateTime));
  std::sort(out.begin(), out.end());
  return out;
}

// The same rows from python3's zipfile and tarfile (files and hard links;
// folders and other types left out, as the lister leaves them without
// ShowBlankDirs).
const char* kPeerScript = R"(
import struct, sys, time, zipfile, tarfile, zlib
kind, path = sys.argv[1], sys.argv[2]
def unicode_path(i):
    # The last 0x7075 extra field that matches the stored name names the entry.
    x, raw, name = i.extra, i.orig_filename.encode('utf-8' if i.flag_bits & 0x800 else 'cp437'), i.filename
    while len(x) >= 4:
        tag, size = struct.unpack('<HH', x[:4])
        d = x[4:4 + size]
        if tag == 0x7075 and size > 5 and d[0] == 1 and struct.unpack('<I', d[1:5])[0] == zlib.crc32(raw):
            name = d[5:].decode('utf-8')
        x = x[4 + size:]
    return name
def st(t): return time.strftime('%Y-%m-%d %H:%M:%S', time.localtime(t))
if kind == 'zip':
    for i in zipfile.ZipFile(path).infolist():
        name = unicode_path(i)
        if name.endswith('/') or (i.external_attr & 0x10): continue
        print('%s\t%d\t%d\t%04d-%02d-%02d %02d:%02d:%02d' % ((name, i.file_size, i.compress_size) + i.date_time))
else:
    for m in tarfile.open(path):
        if not (m.isreg() or m.islnk()): continue
        size = 0 if m.islnk() else m.size
        print('%s\t%d\t%d\t%s' % (m.name, size, size, st(m.mtime)))
)";

std::vector<std::string> peerRows(const std::string& kind, const std::string& path) {
  std::string out;
  EXPECT_EQ(vz::test::run({"python3", "-c", kPeerScript, kind, path}, &out), 0) << path;
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

// 7zz -slt's files (Path, Size, Modified) of a cabinet.
std::vector<std::string> sevenZipRows(const std::string& path) {
  std::string out;
  vz::test::run({"7zz", "l", "-slt", path}, &out);
  std::vector<std::string> lines;
  std::istringstream in(out.substr(std::min(out.size(), out.find("----------"))));
  std::map<std::string, std::string> item;
  auto flush = [&] {
    if (item.count("Path") && item["Folder"] != "+")
      lines.push_back(item["Path"] + "\t" + item["Size"] + "\t-\t" + item["Modified"]);
    item.clear();
  };
  for (std::string line; std::getline(in, line);) {
    if (line.empty()) flush();
    const size_t eq = line.find(" = ");
    if (eq != std::string::npos) item[line.substr(0, eq)] = line.substr(eq + 3);
  }
  flush();
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::vector<std::string> corpusOfFormats(std::initializer_list<const char*> formats) {
  std::vector<std::string> files;
  const std::string dir = vz::test::corpusDir();
  std::string manifest = vz::test::readFile(dir + "/MANIFEST.tsv").empty() ? std::string() : [&] {
    auto b = vz::test::readFile(dir + "/MANIFEST.tsv");
    return std::string(b.begin(), b.end());
  }();
  std::istringstream in(manifest);
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> cols;
    std::istringstream l(line);
    for (std::string c; std::getline(l, c, '\t');) cols.push_back(c);
    if (cols.size() > 2)
      for (const char* f : formats)
        if (cols[2] == f) files.push_back(dir + "/" + cols[1]);
  }
  return files;
}

TEST(ListerPeers, CorpusZipAndTarListLikePython) {
  if (!vz::test::haveProgram("python3")) GTEST_SKIP() << "python3 missing";
  int checked = 0;
  for (const std::string& path : corpusOfFormats({"ZIP", "TAR"})) {
    const Listing l = list(path);
    if (l.type == atUnknown) continue;  // ZIPs the detection does not see (type_detect_test lists them)
    const bool zip = plainType(l.type) == atZIP;
    EXPECT_EQ(rows(l), peerRows(zip ? "zip" : "tar", path)) << path;
    EXPECT_TRUE(l.errors.empty()) << path << " error " << (l.errors.empty() ? 0 : l.errors[0]);
    EXPECT_EQ(l.totals, static_cast<int32_t>(l.entries.size()));
    ++checked;
  }
  EXPECT_GE(checked, 20);
}

TEST(ListerPeers, CorpusCabinetsListLike7zz) {
  if (!vz::test::haveProgram("7zz")) GTEST_SKIP() << "7zz missing";
  for (const std::string& path : corpusOfFormats({"CAB"})) {
    const Listing l = list(path);
    EXPECT_EQ(l.type, atCAB);
    EXPECT_EQ(rows(l, false), sevenZipRows(path)) << path;
    EXPECT_TRUE(l.errors.empty()) << path;
  }
}

TEST(ListerPeers, CorpusGzipAndCompressFilesAreOneEntry) {
  const std::string dir = vz::test::corpusDir();
  // gzip -lN: the stored name and the trailer's size.
  const Listing multi = list(dir + "/cc-multiple.gz");
  ASSERT_EQ(multi.entries.size(), 1u);
  const Listing t = list(dir + "/pt-t.txt.gz");
  ASSERT_EQ(t.entries.size(), 1u);
  if (vz::test::haveProgram("gzip")) {
    std::string out;
    vz::test::run({"gzip", "-lN", dir + "/pt-t.txt.gz"}, &out);
    std::istringstream in(out.substr(out.find('\n') + 1));
    int64_t packed = 0, unpacked = 0;
    std::string ratio, name;
    in >> packed >> unpacked >> ratio >> name;
    EXPECT_EQ(t.entries[0].unpackedSize, unpacked);
    EXPECT_EQ(t.entries[0].packedSize + 18 + static_cast<int64_t>(t.entries[0].fileName.size()) + 1, packed);
    EXPECT_EQ(fs::path(name).filename().string(), t.entries[0].fileName);
  }
  EXPECT_EQ(t.entries[0].method, 8);
  // compress files: the file's size twice, the name without ".Z", method 1.
  const Listing z = list(dir + "/pt-t.txt.Z");
  ASSERT_EQ(z.entries.size(), 1u);
  EXPECT_EQ(z.entries[0].fileName, "pt-t.txt");
  EXPECT_EQ(z.entries[0].method, 1);
  EXPECT_EQ(z.entries[0].packedSize, static_cast<int64_t>(*vz::fileSize(dir + "/pt-t.txt.Z")));
  EXPECT_EQ(z.entries[0].unpackedSize, z.entries[0].packedSize);
}

// A tree with a long name (past 100 and past 255 characters), a folder, a
// hard link and a symbolic link, made into ustar, gnu and pax archives.
class MadeTars : public testing::TestWithParam<const char*> {};

TEST_P(MadeTars, ListLikeTarfile) {
  if (!vz::test::haveProgram("tar") || !vz::test::haveProgram("python3")) GTEST_SKIP();
  vz::test::ScratchDir dir("tarw");
  const std::string src = dir.file("src");
  std::string deep = "src/" + std::string(60, 'd') + "/" + std::string(70, 'e');
  fs::create_directories(dir.path() + "/" + deep);
  vz::test::writeFile(dir.path() + "/" + deep + "/" + std::string(90, 'f') + ".txt", "deep file\n");
  vz::test::writeFile(src + "/" + std::string(150, 'g') + ".txt", std::string(3000, 'x'));
  vz::test::writeFile(src + "/small.txt", "small\n");
  fs::create_hard_link(src + "/small.txt", src + "/hard.txt");
  fs::create_symlink("small.txt", src + "/soft.txt");
  const std::string format = GetParam();
  const std::string tarPath = dir.file("made.tar");
  const bool ustar = format == std::string("ustar");
  // ustar cannot hold the 155+100 overflow: leave the deepest file out.
  std::vector<std::string> argv = {"tar", "--format=" + format, "-cf", tarPath};
  if (ustar)
    argv.insert(argv.end(), {"src/small.txt", "src/hard.txt", "src/soft.txt", "src/" + std::string(60, 'd')});
  else
    argv.push_back("src");
  ASSERT_EQ(vz::test::run(argv, nullptr, nullptr, dir.path()), 0);
  const Listing l = list(tarPath);
  ASSERT_EQ(l.type, atTAR);
  EXPECT_TRUE(l.errors.empty());
  EXPECT_EQ(rows(l), peerRows("tar", tarPath));
  EXPECT_GE(l.entries.size(), ustar ? 3u : 4u);
  // Folders come only with ShowBlankDirs, whatever the mask.
  const Listing withDirs = list(tarPath, "*.txt", true);
  EXPECT_TRUE(
      std::any_of(withDirs.entries.begin(), withDirs.entries.end(), [](const ArcEntry& e) { return e.isFolder; }));
}

INSTANTIATE_TEST_SUITE_P(Formats, MadeTars, testing::Values("ustar", "gnu", "posix"));

TEST(ListerPeers, GzipStoredNameElseFileName) {
  if (!vz::test::haveProgram("gzip")) GTEST_SKIP();
  vz::test::ScratchDir dir("gzw");
  vz::test::writeFile(dir.file("inner.txt"), std::string(5000, 'q'));
  ASSERT_EQ(vz::test::run({"sh", "-c", "gzip -c inner.txt > named.gz && gzip -n -c inner.txt > Bare.TGZ"}, nullptr,
                          nullptr, dir.path()),
            0);
  const Listing named = list(dir.file("named.gz"));
  ASSERT_EQ(named.entries.size(), 1u);
  EXPECT_EQ(named.entries[0].fileName, "inner.txt");
  EXPECT_EQ(named.entries[0].unpackedSize, 5000);
  const Listing bare = list(dir.file("Bare.TGZ"));
  ASSERT_EQ(bare.entries.size(), 1u);
  EXPECT_EQ(bare.entries[0].fileName, "Bare.tar");
}

TEST(ListerPeers, MaskAndBlankDirsOnZip) {
  if (!vz::test::haveProgram("zip")) GTEST_SKIP();
  vz::test::ScratchDir dir("zipm");
  fs::create_directories(dir.file("t/sub/empty"));
  vz::test::writeFile(dir.file("t/a.txt"), "a");
  vz::test::writeFile(dir.file("t/sub/b.txt"), "b");
  vz::test::writeFile(dir.file("t/sub/c.bin"), "c");
  ASSERT_EQ(vz::test::run({"zip", "-qr", "m.zip", "t"}, nullptr, nullptr, dir.path()), 0);
  EXPECT_EQ(list(dir.file("m.zip")).entries.size(), 3u);
  EXPECT_EQ(list(dir.file("m.zip"), "*.txt").entries.size(), 2u);
  EXPECT_EQ(list(dir.file("m.zip"), "t/sub/*.*").entries.size(), 2u);
  // Folders are passed on whatever the mask, and not counted.
  const Listing dirs = list(dir.file("m.zip"), "*.bin", true);
  EXPECT_EQ(dirs.entries.size(), 1u + 3u);
  EXPECT_EQ(dirs.totals, 1);
}

// Every cut of an archive: no crash, the walk ends, entries listed before
// the cut are a prefix of the whole listing (ZIP: a cut loses the directory
// and reports 25137; TAR and CAB keep what fits).
TEST(ListerPeers, EveryCutStopsCleanly) {
  const std::string dir = vz::test::corpusDir();
  vz::test::ScratchDir scratch("cuts");
  for (const char* name : {"cc-bla.tar", "pt-t.cab", "la-read_format_cab_1.cab", "gz-test.zip", "pt-t.txt.gz"}) {
    const auto bytes = vz::test::readFile(dir + "/" + name);
    const Listing whole = list(dir + "/" + name);
    const std::string cut = scratch.file(name);
    const size_t step = std::max<size_t>(1, bytes.size() / 97);
    for (size_t n = 0; n < bytes.size(); n += step) {
      vz::test::writeFile(cut, std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(n)));
      const Listing part = list(cut);
      ASSERT_LE(part.entries.size(), whole.entries.size()) << name << " cut at " << n;
      for (size_t i = 0; i < part.entries.size(); ++i)
        if (plainType(part.type) != atZIP) EXPECT_EQ(part.entries[i].fileName, whole.entries[i].fileName);
    }
  }
}

TEST(ListerPeers, ZipWithoutEndRecordReportsHeaderId) {
  vz::test::ScratchDir dir("zipe");
  std::vector<uint8_t> bytes = {'P', 'K', 3, 4};
  bytes.resize(200, 0);
  vz::test::writeFile(dir.file("x.zip"), bytes);
  const Listing l = list(dir.file("x.zip"));
  EXPECT_EQ(l.type, atZIP);
  EXPECT_EQ(l.errors, std::vector<int32_t>{E_HEADERID});
  EXPECT_EQ(l.totals, 0);
}

}  // namespace
}  // namespace vz::readers
