// Listing, counting and the archive comment: every field of the listing
// records against python's zipfile on an archive zip made, the totals, the
// result codes of the archive's states (missing, not an archive, empty,
// damaged directory, one part of a split set).
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "tests/zipwrap/engine/unzip/reader_test_support.h"
#include "zipwrap/engine/engine_results.h"

namespace vz::zipwrap::test {
namespace {

namespace fs = std::filesystem;
using vz::test::ScratchDir;

bool havePeers() { return vz::test::haveProgram("zip") && vz::test::haveProgram("python3"); }

TEST(UnzipList, EveryFieldMatchesPythonZipfile) {
  if (!havePeers()) GTEST_SKIP();
  ScratchDir dir("zwl");
  const std::string src = dir.file("src"), zip = dir.file("a.zip");
  fs::create_directories(src + "/d");
  vz::test::writeFile(src + "/d/a.txt", std::string(3000, 'a'));
  vz::test::writeFile(src + "/b.bin", "bee");
  vz::test::writeFile(src + "/\xc3\xa9t\xc3\xa9.txt", "summer");
  fs::permissions(src + "/b.bin", fs::perms(0640));
  ASSERT_EQ(shell("zip -q -r " + zip + " . && printf 'first\\n.\\n' | zip -q -c " + zip +
                      " b.bin && "
                      "printf 'archive note' | zip -q -z " +
                      zip,
                  src),
            0);
  // python: name size csize crc method time date external-attributes host, one line each
  std::string expected;
  ASSERT_EQ(vz::test::run({"python3", "-c",
                           "import sys, zipfile\n"
                           "for i in zipfile.ZipFile(sys.argv[1]).infolist():\n"
                           "  y, mo, d, h, mi, s = i.date_time\n"
                           "  n = i.filename\n"
                           "  try: n = n.encode('cp437').decode('utf-8')\n"
                           "  except Exception: pass\n"
                           "  print(n, i.file_size, i.compress_size, i.CRC, i.compress_type,\n"
                           "        (h << 11) | (mi << 5) | (s // 2), ((y - 1980) << 9) | (mo << 5) | d,\n"
                           "        i.external_attr, i.create_system, i.comment.decode())\n",
                           zip},
                          &expected),
            0);
  RecordingHost host;
  ASSERT_EQ(host.run({"", "-v", zip}), 0u);
  const auto listed = host.of(kCbListing);
  std::ostringstream got;
  uint64_t sum = 0;
  for (size_t i = 0; i < listed.size(); ++i) {
    const ZwFileRecord& r = listed[i].file;
    const uint32_t ext = static_cast<uint32_t>(r.valueC) << 16 | r.attributes;
    got << listed[i].name << " " << r.size << " " << r.valueA << " " << r.valueB << " " << int(r.byteA) << " "
        << r.dosTime << " " << r.dosDate << " " << ext << " " << int(r.byteC) << " " << host.comments_[i] << "\n";
    EXPECT_EQ(r.percentDone, 100);
    EXPECT_EQ(r.flagA, 0);
    sum += r.size;
  }
  EXPECT_EQ(got.str(), expected);
  const auto totals = host.of(kCbTotals);
  ASSERT_EQ(totals.size(), 1u);
  EXPECT_EQ(totals[0].name, zip);
  EXPECT_EQ(totals[0].value, listed.size());
  EXPECT_EQ(totals[0].file.size, sum);
  EXPECT_EQ(host.comments_.back(), "archive note");

  // Patterns: a pattern without "/" matches the last component too.
  RecordingHost some;
  EXPECT_EQ(some.run({"", "-v", zip, "*.TXT", "-x", "d/*"}), 0u);
  ASSERT_EQ(some.of(kCbListing).size(), 1u);
  EXPECT_EQ(some.of(kCbListing)[0].name, "\xc3\xa9t\xc3\xa9.txt");
  RecordingHost none;
  EXPECT_EQ(none.run({"", "-v", zip, "zzz"}), kResultNothingToDo);

  RecordingHost count;
  uint32_t zero = 0;
  std::vector<char*> argv = {reinterpret_cast<char*>(&zero), const_cast<char*>(zip.c_str()), nullptr};
  EXPECT_EQ(readerMain(kEngineCallMagic, 1, argv.data(), &RecordingHost::callback, &count), 0u);
  ASSERT_EQ(count.of(kCbEntryCount).size(), 1u);
  EXPECT_EQ(count.of(kCbEntryCount)[0].value, listed.size());

  RecordingHost comment;
  EXPECT_EQ(comment.run({"", "-z", zip}), 0u);
  ASSERT_EQ(comment.of(kCbArchiveCommentOut).size(), 1u);
  EXPECT_EQ(comment.of(kCbArchiveCommentOut)[0].name, "archive note");
}

// The archive's state decides the code, whatever the operation.
TEST(UnzipList, ArchiveStatesGiveTheirCodes) {
  if (!havePeers()) GTEST_SKIP();
  ScratchDir dir("zwk");
  vz::test::writeFile(dir.file("text.zip"), std::string(100, 'x'));
  vz::test::writeFile(dir.file("empty.zip"), std::string("PK\x05\x06", 4) + std::string(18, '\0'));
  // A directory whose first header lost its signature.
  ASSERT_EQ(shell("printf hello > h.txt && zip -q good.zip h.txt && cp good.zip bad.zip && "
                  "python3 -c \"import sys; d=bytearray(open('bad.zip','rb').read()); i=d.find(b'PK\\x01\\x02'); "
                  "d[i]=0; open('bad.zip','wb').write(d)\"",
                  dir.path()),
            0);
  // One part of a split set: its end record names disk 2, and its earlier
  // parts are not beside the copy (beside the original, the set reads).
  ASSERT_EQ(
      shell("head -c 300000 /dev/urandom > r.bin && zip -q -s 100k split.zip r.bin && cp split.zip lone.zip", dir.path()),
      0);

  struct Row {
    const char* file;
    uint16_t list, test, extract;
  } rows[] = {
      {"missing.zip", kResultArchiveNotFound, kResultArchiveNotFound, kResultArchiveNotFound},
      {"text.zip", kResultNotAnArchive, kResultNotAnArchive, kResultNotAnArchive},
      {"empty.zip", kResultEmptyArchive, kResultEmptyArchive, kResultEmptyArchive},
      {"bad.zip", kResultBadDirectory, kResultBadDirectory, kResultBadDirectory},
      {"lone.zip", kResultSpannedNotInMode, kResultSpannedNotInMode, kResultSpannedNotInMode},
      {"split.zip", kResultOk, kResultOk, kResultOk},
      {"good.zip", kResultOk, kResultOk, kResultOk},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.file);
    const std::string path = dir.file(row.file);
    RecordingHost a, b, c;
    EXPECT_EQ(a.run({"", "-v", path}), row.list);
    EXPECT_EQ(b.run({"", "-t", path}), row.test);
    EXPECT_EQ(c.run({"", path, "-d", dir.file("out")}), row.extract);
  }
}

}  // namespace
}  // namespace vz::zipwrap::test
