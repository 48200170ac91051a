// The write side's catalogue loader: archives from the peer tools load, the
// shapes it must refuse give 4, data descriptors, rebuild mode and its
// messages, and the name index.
#include "control/engine/read/catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "control/engine/read/directory_reader.h"
#include "platform/charcase.h"
#include "platform/window.h"
#include "tests/engine/zip_builder.h"
#include "tests/support/test_env.h"

namespace vz::engine {
namespace {

namespace fs = std::filesystem;

#define NEED(tool) \
  if (!test::haveProgram(tool)) GTEST_SKIP() << tool << " not installed"

class CatalogueTest : public ::testing::Test {
 protected:
  std::string write(const std::string& bytes, const std::string& name = "built.zip") {
    test::writeFile(dir_.file(name), bytes);
    return dir_.file(name);
  }
  CatalogueStatus load(const std::string& path, const CatalogueOptions& options = {}) {
    return loadCatalogue(path, options, cat_);
  }
  CatalogueStatus loadBytes(const std::string& bytes, const CatalogueOptions& options = {}) {
    return load(write(bytes), options);
  }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (ArchiveEntry* e = cat_.entries.first(); e; e = e->next.get()) out.push_back(e->name);
    return out;
  }
  // Checks every entry against the central directory as the read side sees it.
  void expectMatchesDirectory(const std::string& path) {
    UnzipState st;
    DirectoryReader r(st);
    ASSERT_TRUE(r.open(path));
    ASSERT_TRUE(isReadable(r.locateEndRecord()));
    EXPECT_EQ(cat_.count(), r.endRecord().totalEntries);
    EXPECT_EQ(cat_.centralDirectoryStart, static_cast<int64_t>(r.endRecord().directoryOffset) + r.extraBytes());
    ArchiveEntry* e = cat_.entries.first();
    EXPECT_EQ(r.walk({},
                     [&](const CentralEntry& c) {
                       if (!e) return false;
                       EXPECT_EQ(e->centralHeader(), c.header) << e->name;
                       e = e->next.get();
                       return true;
                     }),
              ReadStatus::Ok);
  }

  test::ScopedRoot root_;
  test::ScratchDir dir_{"engine-cat"};
  LoadedCatalogue cat_;
};

test::ZipBuilder threeFiles() {
  test::ZipBuilder b;
  for (const char* n : {"b.txt", "Dir/A.txt", "c.bin"}) {
    test::TestEntry e;
    e.name = n;
    e.data = std::string(50, n[0]);
    b.entries.push_back(e);
  }
  b.comment = "archive comment";
  return b;
}

TEST_F(CatalogueTest, LoadsArchivesFromZipSevenZipAndPython) {
  NEED("zip");
  NEED("python3");
  const std::string src = dir_.file("src");
  fs::create_directories(src + "/docs");
  test::writeFile(src + "/docs/readme.txt", std::string(3000, 'r'));
  test::writeFile(src + "/small.txt", "tiny");
  const std::string viaZip = dir_.file("zip.zip");
  ASSERT_EQ(test::run({"zip", "-q", "-r", viaZip, "docs", "small.txt"}, nullptr, nullptr, src), 0);
  ASSERT_EQ(load(viaZip), CatalogueStatus::Ok);
  EXPECT_EQ(names(), (std::vector<std::string>{"docs/", "docs/readme.txt", "small.txt"}));
  EXPECT_EQ(cat_.prefixCount, 0);
  expectMatchesDirectory(viaZip);
  // Info-ZIP's local and central time stamps differ: separate blocks.
  const ArchiveEntry* first = cat_.entries.first();
  ASSERT_TRUE(first->localExtra && first->centralExtra);
  EXPECT_FALSE(first->extrasShared());
  EXPECT_EQ(first->displayName, "docs/");

  const std::string viaPython = dir_.file("py.zip");
  ASSERT_EQ(test::run({"python3", "-c",
                       "import sys, zipfile\n"
                       "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
                       "    i = zipfile.ZipInfo('Same.txt'); i.extra = b'\\x99\\x99\\x02\\x00ab'; i.comment = b'note'; "
                       "i.compress_type = zipfile.ZIP_DEFLATED\n"
                       "    z.writestr(i, 'same extra ' * 20)\n"
                       "    z.writestr('plain.txt', 'p')\n"
                       "    z.comment = b'the archive'\n",
                       viaPython}),
            0);
  ASSERT_EQ(load(viaPython), CatalogueStatus::Ok);
  EXPECT_EQ(cat_.count(), 2u);
  EXPECT_EQ(cat_.comment, "the archive");
  first = cat_.entries.first();
  EXPECT_TRUE(first->extrasShared());
  EXPECT_EQ(first->comment, "note");
  EXPECT_EQ(first->commentLength, 4u);
  EXPECT_EQ(first->method, 8);
  EXPECT_FALSE(first->next->localExtra);
  expectMatchesDirectory(viaPython);

  if (test::haveProgram("7zz")) {
    const std::string viaSeven = dir_.file("seven.zip");
    ASSERT_EQ(test::run({"7zz", "a", "-tzip", viaSeven, "docs", "small.txt"}, nullptr, nullptr, src), 0);
    ASSERT_EQ(load(viaSeven), CatalogueStatus::Ok);
    EXPECT_EQ(cat_.count(), 3u);
    expectMatchesDirectory(viaSeven);
  }
}

TEST_F(CatalogueTest, MissingEmptyAndEndOnlyFiles) {
  EXPECT_EQ(load(""), CatalogueStatus::Ok);
  EXPECT_EQ(load(dir_.file("missing.zip")), CatalogueStatus::Ok);
  EXPECT_EQ(cat_.count(), 0u);
  EXPECT_EQ(loadBytes(""), CatalogueStatus::Ok);  // a 0-byte file: an empty catalogue
  EXPECT_EQ(cat_.count(), 0u);
  fs::create_directory(dir_.file("folder"));
  EXPECT_EQ(load(dir_.file("folder")), CatalogueStatus::Ok);
  ASSERT_EQ(loadBytes(test::emptyArchive("only a comment")), CatalogueStatus::Ok);
  EXPECT_EQ(cat_.count(), 0u);
  EXPECT_EQ(cat_.comment, "only a comment");
  EXPECT_EQ(cat_.centralDirectoryStart, 0);
  EXPECT_EQ(loadBytes("no signature anywhere in here"), CatalogueStatus::NotArchive);
}

TEST_F(CatalogueTest, SelfExtractorNeedsAdjustedOffsets) {
  test::ZipBuilder b = threeFiles();
  b.prefix = std::string(4000, '\x7F');
  b.offsetsIncludePrefix = false;
  EXPECT_EQ(loadBytes(b.build()), CatalogueStatus::NotArchive);
  EXPECT_EQ(cat_.count(), 0u);
  b.offsetsIncludePrefix = true;
  ASSERT_EQ(loadBytes(b.build()), CatalogueStatus::Ok);
  EXPECT_EQ(cat_.prefixCount, 4000);
  EXPECT_EQ(cat_.entries.first()->localHeaderOffset, 4000u);
}

TEST_F(CatalogueTest, SelfExtractorMadeWithZip) {
  NEED("zip");
  const std::string src = dir_.file("src");
  fs::create_directories(src);
  test::writeFile(src + "/a.txt", std::string(500, 'a'));
  const std::string zip = dir_.file("p.zip");
  ASSERT_EQ(test::run({"zip", "-q", zip, "a.txt"}, nullptr, nullptr, src), 0);
  std::vector<uint8_t> sfx = test::readFile("/bin/true");
  const size_t stub = sfx.size();
  const std::vector<uint8_t> payload = test::readFile(zip);
  sfx.insert(sfx.end(), payload.begin(), payload.end());
  test::writeFile(dir_.file("sfx.exe"), sfx);
  EXPECT_EQ(load(dir_.file("sfx.exe")), CatalogueStatus::NotArchive);
  ASSERT_EQ(test::run({"zip", "-q", "-A", dir_.file("sfx.exe")}), 0);
  ASSERT_EQ(load(dir_.file("sfx.exe")), CatalogueStatus::Ok);
  // The stub itself may contain "PK" 03 04 by chance; without one the
  // prefix is exactly the stub.
  EXPECT_LE(cat_.prefixCount, static_cast<int64_t>(stub));
  EXPECT_EQ(cat_.count(), 1u);
}

TEST_F(CatalogueTest, DamagedArchivesAreRefused) {
  struct Case {
    const char* what;
    void (*damage)(test::ZipBuilder&);
  };
  const Case cases[] = {
      {"central name differs", [](test::ZipBuilder& b) { b.entries[1].centralName = "Dir/B.txt"; }},
      {"central flags differ", [](test::ZipBuilder& b) { b.entries[0].centralFlags = 1; }},
      {"central crc differs", [](test::ZipBuilder& b) { b.entries[2].centralCrc = 0x1234; }},
      {"offset differs", [](test::ZipBuilder& b) { b.entries[1].localOffset = 3; }},
      {"entries on disk differ", [](test::ZipBuilder& b) { b.entriesOnDisk = 2; }},
      {"directory offset differs", [](test::ZipBuilder& b) { b.directoryOffset = 0; }},
      {"no central directory", [](test::ZipBuilder& b) { b.writeCentral = false; }},
      {"name length 0", [](test::ZipBuilder& b) { b.entries[0].name = ""; }},
      {"comment runs past the end", [](test::ZipBuilder& b) { b.commentLength = 500; }},
      {"file comment runs past the end", [](test::ZipBuilder& b) { b.entries[2].commentLengthOverride = 0xFFFF; }},
  };
  for (const Case& c : cases) {
    test::ZipBuilder b = threeFiles();
    c.damage(b);
    EXPECT_EQ(loadBytes(b.build()), CatalogueStatus::NotArchive) << c.what;
    EXPECT_EQ(cat_.count(), 0u) << c.what;
  }
  // Cut anywhere inside the archive: refused, never a crash.
  const std::string whole = threeFiles().build();
  for (size_t len = 1; len < whole.size(); len += 7)
    EXPECT_EQ(loadBytes(whole.substr(0, len)), CatalogueStatus::NotArchive) << len;
}

TEST_F(CatalogueTest, FlagBits13To15AreIgnored) {
  test::ZipBuilder b = threeFiles();
  b.entries[0].centralFlags = 0xE000;
  EXPECT_EQ(loadBytes(b.build()), CatalogueStatus::Ok);
  EXPECT_EQ(cat_.entries.first()->flags, 0xE000);
  EXPECT_EQ(cat_.entries.first()->localFlags, 0);
}

TEST_F(CatalogueTest, DataDescriptors) {
  // Bit 3 with sizes in the local header: the descriptor must follow.
  test::ZipBuilder b = threeFiles();
  b.entries[1].flags = kFlagDataDescriptor;
  b.entries[1].descriptor = true;
  b.entries[1].zeroLocalSizes = false;
  ASSERT_EQ(loadBytes(b.build()), CatalogueStatus::Ok);
  EXPECT_EQ(cat_.entries.first()->next->descriptorSize, 16u);

  // Bit 3 with compressed size 0: found by its distance, passing over a
  // "PK" 07 08 inside the data.
  b = threeFiles();
  b.entries[1].flags = kFlagDataDescriptor;
  b.entries[1].descriptor = true;
  b.entries[1].data = std::string("xxPK\x07\x08", 6) + std::string(30, 'y');
  ASSERT_EQ(loadBytes(b.build()), CatalogueStatus::Ok);
  const ArchiveEntry* e = cat_.entries.first()->next.get();
  EXPECT_EQ(e->compressedSize, 36u);
  EXPECT_EQ(e->crc32, test::referenceCrc32(b.entries[1].data));
  EXPECT_EQ(cat_.count(), 3u);

  // Bit 3 but no descriptor: refused.
  b = threeFiles();
  b.entries[0].flags = kFlagDataDescriptor;
  b.entries[0].zeroLocalSizes = false;
  EXPECT_EQ(loadBytes(b.build()), CatalogueStatus::NotArchive);
  b.entries[0].zeroLocalSizes = true;
  b.entries[0].descriptor = false;
  EXPECT_EQ(loadBytes(b.build()), CatalogueStatus::NotArchive);

  // A descriptor that bit 3 does not announce: accepted when it repeats the
  // local values, refused when it contradicts them.
  b = threeFiles();
  b.entries[2].descriptorWithoutFlag = true;
  ASSERT_EQ(loadBytes(b.build()), CatalogueStatus::Ok);
  EXPECT_EQ(cat_.entries.last()->descriptorSize, 16u);
  EXPECT_EQ(cat_.entries.first()->descriptorSize, 0u);
  b.entries[2].uncompressedSize = 999;  // local and central say 999, the descriptor too...
  b.entries[2].crc = 5;                 // ...and the same CRC: consistent
  EXPECT_EQ(loadBytes(b.build()), CatalogueStatus::Ok);
  std::string bytes = b.build();
  const size_t d = bytes.find(std::string("PK\x07\x08", 4));
  ASSERT_NE(d, std::string::npos);
  bytes[d + 4] ^= 1;  // the descriptor's CRC no longer agrees
  EXPECT_EQ(loadBytes(bytes), CatalogueStatus::NotArchive);
}

TEST_F(CatalogueTest, StreamedZipWithDescriptor) {
  NEED("zip");
  const std::string zip = dir_.file("streamed.zip");
  ASSERT_EQ(test::run({"sh", "-c", "printf 'hello hello hello' | zip -q -fz- - - | cat > \"$1\"", "sh", zip}), 0);
  ASSERT_EQ(load(zip), CatalogueStatus::Ok);
  ASSERT_EQ(cat_.count(), 1u);
  const ArchiveEntry* e = cat_.entries.first();
  EXPECT_TRUE(e->localFlags & kFlagDataDescriptor);
  EXPECT_EQ(e->uncompressedSize, 17u);
  EXPECT_EQ(e->descriptorSize, 16u);
  expectMatchesDirectory(zip);
}

// Records every message a window receives, with the text behind lParam for
// the WM_USER+0x31 messages.
struct Recorder {
  struct Message {
    uint32_t msg;
    WParam w;
    std::string text;
  };
  std::vector<Message> messages;
  Handle window = 0;
  Recorder() {
    window = createWindow([this](uint32_t msg, WParam w, LParam l) -> intptr_t {
      std::string text;
      if (msg == WM_USER + 0x31 && l) text = reinterpret_cast<const char*>(l);
      messages.push_back({msg, w, text});
      return 0;
    });
  }
  ~Recorder() { destroyWindow(window); }
};

TEST_F(CatalogueTest, RebuildModeScansLocalHeadersAndReports) {
  test::ZipBuilder b = threeFiles();
  const std::string whole = b.build();
  // Cut inside the central directory: the normal load refuses it.
  const size_t cut = whole.size() - 40;
  const std::string path = write(whole.substr(0, cut), "cut.zip");
  EXPECT_EQ(load(path), CatalogueStatus::NotArchive);

  Recorder rec;
  int pumps = 0;
  setMessagePump([&] { ++pumps; });
  CatalogueOptions options;
  options.rebuild = true;
  options.notifyWindow = rec.window;
  options.pump = true;
  ASSERT_EQ(load(path, options), CatalogueStatus::Ok);
  setMessagePump(nullptr);
  EXPECT_EQ(names(), (std::vector<std::string>{"b.txt", "Dir/A.txt", "c.bin"}));
  const ArchiveEntry* e = cat_.entries.first();
  EXPECT_EQ(e->centralExtra, e->localExtra);
  EXPECT_EQ(e->flags, e->localFlags);

  ASSERT_EQ(rec.messages.size(), 5u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(rec.messages[i].msg, WM_USER + 0x31);
    EXPECT_EQ(rec.messages[i].w, 1u);
  }
  EXPECT_EQ(rec.messages[1].text, "Dir/A.txt");
  EXPECT_EQ(rec.messages[3].msg, WM_USER + 0x34);
  EXPECT_EQ(rec.messages[3].w, 3u);
  EXPECT_EQ(rec.messages[4].msg, WM_USER + 0x31);
  EXPECT_EQ(rec.messages[4].w, 2u);
  EXPECT_EQ(rec.messages[4].text, path);
  EXPECT_EQ(pumps, 5);

  // Without pumping and without a window: no messages, no pumping.
  rec.messages.clear();
  pumps = 0;
  setMessagePump([&] { ++pumps; });
  options.pump = false;
  options.notifyWindow = 0;
  ASSERT_EQ(load(path, options), CatalogueStatus::Ok);
  setMessagePump(nullptr);
  EXPECT_TRUE(rec.messages.empty());
  EXPECT_EQ(pumps, 0);
}

TEST_F(CatalogueTest, RebuildModeForgivesAFailedRead) {
  test::ZipBuilder b = threeFiles();
  const std::string whole = b.build();
  CatalogueOptions options;
  options.rebuild = true;
  // Cut inside the third entry's name: the first two are kept.
  const size_t third = whole.find("c.bin");
  ASSERT_EQ(loadBytes(whole.substr(0, third + 2), options), CatalogueStatus::Ok);
  EXPECT_EQ(names(), (std::vector<std::string>{"b.txt", "Dir/A.txt"}));
  // Cut inside the second entry's data: it is kept (the repair's copy meets
  // the end of the file).
  const size_t second = whole.find("Dir/A.txt") + 9 + 10;
  ASSERT_EQ(loadBytes(whole.substr(0, second), options), CatalogueStatus::Ok);
  EXPECT_EQ(cat_.count(), 2u);
  EXPECT_EQ(loadBytes(whole.substr(0, second)), CatalogueStatus::NotArchive);
}

TEST_F(CatalogueTest, NamesAreSortedIgnoringCaseAndFound) {
  test::ZipBuilder b;
  std::mt19937 rng(7);
  for (int i = 0; i < 300; ++i) {
    test::TestEntry e;
    std::string n;
    for (int k = 0; k < 6; ++k) n += static_cast<char>((rng() % 2 ? 'a' : 'A') + rng() % 4);
    e.name = n + std::to_string(i);
    b.entries.push_back(e);
  }
  ASSERT_EQ(loadBytes(b.build()), CatalogueStatus::Ok);
  ASSERT_EQ(cat_.byName.size(), 300u);
  EXPECT_TRUE(std::is_sorted(cat_.byName.begin(), cat_.byName.end(), [](const ArchiveEntry* x, const ArchiveEntry* y) {
    return compareNoCase(x->name, y->name) < 0;
  }));
  for (const test::TestEntry& e : b.entries) {
    const ArchiveEntry* found = cat_.findByName(toLower(e.name));
    ASSERT_TRUE(found) << e.name;
    EXPECT_EQ(found->name, e.name);
  }
  EXPECT_EQ(cat_.findByName("not there"), nullptr);
}

TEST_F(CatalogueTest, EntryCountIsBounded) {
  // 65,536 local headers cannot be recorded by an end record: refused after
  // 65,535 without reading further; the rebuild scan stops there.
  test::ZipBuilder b;
  b.writeCentral = false;
  test::TestEntry e;
  e.name = "f";
  b.entries.assign(65536, e);
  const std::string bytes = b.build();
  EXPECT_EQ(loadBytes(bytes), CatalogueStatus::NotArchive);
  CatalogueOptions options;
  options.rebuild = true;
  ASSERT_EQ(loadBytes(bytes, options), CatalogueStatus::Ok);
  EXPECT_EQ(cat_.count(), 65535u);
}

}  // namespace
}  // namespace vz::engine
