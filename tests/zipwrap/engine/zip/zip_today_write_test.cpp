// The writer's archives of today against the peer tools: every method of
// -Z, with and without AES (-A), extracts byte for byte with 7zz (and
// python's zipfile for bzip2 and LZMA); the same bytes for one and four
// threads; an archive of more than 65,535 entries gets the Zip64 end
// records, passes unzip, 7zz and python, and stays Zip64 and valid through
// freshen and delete; an archive that needs none of this keeps the bytes
// the writer made before any of it existed; and the Zip64 field of a
// central record round-trips for every mix of wide and narrow values.
#include <algorithm>
#include <map>
#include <random>

#include "control/engine/format/crc32.h"
#include "tests/zipwrap/engine/zip/zip_test_util.h"
#include "zipwrap/engine/zip/zip64_records.h"

namespace vz::zipwrap::test {
namespace {

// Extracts archive with 7zz into folder; its status.
int sevenZipExtract(const std::string& archive, const std::string& password, const std::string& folder) {
  return run({"7zz", "x", "-y", "-p" + password, "-o" + folder, archive});
}

class TodayWriter : public WriterTest {
 protected:
  // Text, noise (stored: it does not shrink), an empty file, and a text
  // past the in-memory limit (packed through a spool file).
  void makeTree() {
    put("t/text.txt", textBytes(150000, 21));
    put("t/noise.bin", randomBytes(20000, 22));
    put("t/empty", {});
    put("t/sub/big.txt", textBytes((4u << 20) + 3000, 23));
  }
  void expectSameTree(const std::string& out) {
    for (const char* f : {"t/text.txt", "t/noise.bin", "t/empty", "t/sub/big.txt"}) {
      SCOPED_TRACE(f);
      ASSERT_TRUE(fs::exists(abs(out + "/" + f)));
      EXPECT_TRUE(bytesOf(f) == bytesOf(out + "/" + f));
    }
  }
};

class MethodWrite : public TodayWriter, public ::testing::WithParamInterface<std::tuple<const char*, bool>> {};

TEST_P(MethodWrite, PeersExtractEveryMethodWithAndWithoutAes) {
  if (!haveProgram("7zz")) GTEST_SKIP() << "7zz missing";
  const auto [method, aes] = GetParam();
  const std::string pw = aes ? "s3cret" : "";
  makeTree();
  std::vector<std::string> args = {pw, "-3", "-Z", method, "-r"};
  if (aes) args.push_back("-A");
  args.insert(args.end(), {"a.zip", "t"});
  ASSERT_EQ(zw(args), kResultOk);
  ASSERT_EQ(sevenZipExtract(abs("a.zip"), pw, abs("out7")), 0);
  expectSameTree("out7");

  // What the entries say: 7zz names the method (under AES-256 when
  // encrypted); the compressed text is not stored.
  std::string listing;
  run({"7zz", "l", "-slt", "-p" + pw, abs("a.zip")}, &listing);
  const std::map<std::string, std::string> shown = {
      {"deflate", "Deflate"}, {"bzip2", "BZip2"}, {"lzma", "LZMA:eos"}, {"xz", "xz"}, {"zstd", "zstd"}};
  EXPECT_NE(listing.find("Method = " + std::string(aes ? "AES-256 " : "") + shown.at(method)), std::string::npos)
      << listing;
  if (aes) EXPECT_NE(listing.find("AES-256"), std::string::npos) << listing;

  if (!aes && haveProgram("python3") && (std::string(method) == "bzip2" || std::string(method) == "lzma")) {
    const std::string script =
        "import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "assert z.testzip() is None\n"
        "i = z.getinfo('t/text.txt')\n"
        "assert i.compress_type == int(sys.argv[3]), i.compress_type\n"
        "assert z.read('t/sub/big.txt') == open(sys.argv[2], 'rb').read()\n";
    EXPECT_EQ(run({"python3", "-c", script, abs("a.zip"), abs("t/sub/big.txt"),
                   std::string(method) == "bzip2" ? "12" : "14"}),
              0);
  }

  // A wrong password is refused by the peer before it writes anything.
  if (aes) {
    EXPECT_NE(sevenZipExtract(abs("a.zip"), "wrong", abs("bad")), 0);
    EXPECT_FALSE(fs::exists(abs("bad/t/text.txt")) && fs::file_size(abs("bad/t/text.txt")) > 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Methods, MethodWrite,
                         ::testing::Combine(::testing::Values("deflate", "bzip2", "lzma", "xz", "zstd"),
                                            ::testing::Bool()));

TEST_F(TodayWriter, SameBytesForOneAndFourThreadsInEveryMethod) {
  makeTree();
  setenv("VZ_ENCRYPTION_SEED", "99", 1);
  for (const char* method : {"bzip2", "lzma", "xz", "zstd"}) {
    SCOPED_TRACE(method);
    setenv("VZ_THREADS", "1", 1);
    ASSERT_EQ(zw({"pw", "-1", "-A", "-Z", method, "-r", "one.zip", "t"}), kResultOk);
    setenv("VZ_THREADS", "4", 1);
    ASSERT_EQ(zw({"pw", "-1", "-A", "-Z", method, "-r", "four.zip", "t"}), kResultOk);
    EXPECT_TRUE(readFile(abs("one.zip")) == readFile(abs("four.zip")));
    fs::remove(abs("one.zip"));
    fs::remove(abs("four.zip"));
  }
}

TEST_F(TodayWriter, UnknownMethodIsABadCommand) {
  put("f.txt", textBytes(10, 1));
  EXPECT_EQ(zw({"", "-Z", "ppmd", "a.zip", "f.txt"}), kResultBadCommand);
  EXPECT_EQ(zw({"", "-A", "a.zip", "f.txt"}), kResultBadCommand);  // AES without a password
  EXPECT_FALSE(fs::exists(abs("a.zip")));
}

// Archives that need none of the new records: the bytes the writer made
// before Zip64, AES and the modern methods came in (size and CRC-32 of the
// whole archive, taken from the writer at that commit on this very tree).
TEST_F(TodayWriter, SmallArchivesKeepTheirBytes) {
  put("r/a.txt", textBytes(5000, 1));
  put("r/empty", {});
  put("r/sub/c.txt", textBytes(70000, 3), 1650000007);
  chmod(abs("r/a.txt").c_str(), 0644);
  chmod(abs("r/empty").c_str(), 0644);
  chmod(abs("r/sub/c.txt").c_str(), 0755);
  chmod(abs("r/sub").c_str(), 0755);
  chmod(abs("r").c_str(), 0755);
  touch("r/sub", 1600000001);
  touch("r", 1600000001);
  auto fingerprint = [&](const std::string& name) {
    const std::vector<uint8_t> b = readFile(abs(name));
    return std::make_pair(b.size(), engine::crc32Update(0, b.data(), b.size()));
  };
  ASSERT_EQ(zw({"", "-6", "-r", "-D", "plain.zip", "r"}), kResultOk);
  setenv("VZ_ENCRYPTION_SEED", "7", 1);
  ASSERT_EQ(zw({"pw", "-9", "-e", "-r", "enc.zip", "r"}), kResultOk);
  fs::copy_file(abs("plain.zip"), abs("del.zip"));
  ASSERT_EQ(zw({"", "-d", "del.zip", "r/a.txt"}), kResultOk);
  EXPECT_EQ(fingerprint("plain.zip"), std::make_pair(size_t{8832}, uint32_t{0x1CA55F59}));
  EXPECT_EQ(fingerprint("enc.zip"), std::make_pair(size_t{7719}, uint32_t{0x6E5A853C}));
  EXPECT_EQ(fingerprint("del.zip"), std::make_pair(size_t{8090}, uint32_t{0xB3DA864A}));
}

// Whether the archive ends with the Zip64 end record and locator in front
// of its end record (no comment).
bool hasZip64End(const std::vector<uint8_t>& b) {
  const size_t tail = engine::kEndRecordSize + kZip64LocatorSize + kZip64EndSize;
  if (b.size() < tail) return false;
  return engine::loadLe32(b.data() + b.size() - tail) == kZip64EndSignature &&
         engine::loadLe32(b.data() + b.size() - engine::kEndRecordSize - kZip64LocatorSize) == kZip64LocatorSignature;
}

TEST_F(TodayWriter, ManyEntriesGetZip64AndKeepItThroughFreshenAndDelete) {
  // 65,600 one-line files in 66 folders: only the count needs Zip64.
  constexpr int kFiles = 65600;
  for (int i = 0; i < kFiles; ++i) {
    const std::string folder = "m/d" + std::to_string(i / 1000);
    if (i % 1000 == 0) fs::create_directories(abs(folder));
    writeFile(abs(folder + "/f" + std::to_string(i)), std::to_string(i));
  }
  ASSERT_EQ(zw({"", "-r", "m.zip", "m"}), kResultOk);
  EXPECT_TRUE(hasZip64End(readFile(abs("m.zip"))));
  expectPeersAccept("m.zip", "", "zip64 add");
  std::string out;
  if (haveProgram("python3")) {
    run({"python3", "-c", "import zipfile,sys;print(len(zipfile.ZipFile(sys.argv[1]).infolist()))", abs("m.zip")},
        &out);
    EXPECT_EQ(out, std::to_string(kFiles) + "\n");
  }

  // Freshen one file among them all (the peers see it after the delete).
  writeFile(abs("m/d0/f7"), std::string_view("seven, changed"));
  touch("m/d0/f7", 1900000000);
  ASSERT_EQ(zw({"", "-f", "-r", "m.zip", "m"}), kResultOk);
  EXPECT_TRUE(hasZip64End(readFile(abs("m.zip"))));
  out.clear();
  run({"unzip", "-p", abs("m.zip"), "m/d0/f7"}, &out);
  EXPECT_EQ(out, "seven, changed");

  // Down to the first folder's 1000 entries: the archive stays a Zip64
  // archive.
  std::vector<std::string> del = {"", "-d", "m.zip"};
  for (int d = 1; d < 66; ++d) del.push_back("m/d" + std::to_string(d) + "/*");
  ASSERT_EQ(zw(del), kResultOk);
  EXPECT_TRUE(hasZip64End(readFile(abs("m.zip"))));
  expectPeersAccept("m.zip", "", "zip64 freshen and delete");
  EXPECT_EQ(names("m.zip").size(), 1000u);
  out.clear();
  run({"unzip", "-p", abs("m.zip"), "m/d0/f7"}, &out);
  EXPECT_EQ(out, "seven, changed");
}

// Every mix of narrow values, values past 32 bits and fields another writer
// put in the Zip64 field on purpose: the record read back gives the facts.
TEST(Zip64Fields, CentralRecordRoundTrips) {
  std::mt19937_64 rng(5);
  const uint64_t samples[] = {0, 1, 0xFFFFFFFEull, 0xFFFFFFFFull, 0x100000000ull, 0x123456789Aull};
  for (int round = 0; round < 400; ++round) {
    const WideFacts f{samples[rng() % 6], samples[rng() % 6], samples[rng() % 6]};
    const bool keepRaw = rng() & 1, keepData = rng() & 1, keepOffset = rng() & 1;
    engine::CentralRecord r;
    // Another field in front, which must survive.
    r.extra = std::make_shared<const engine::ExtraBlock>(engine::ExtraBlock{0x55, 0x54, 1, 0, 7});
    setCentralFacts(r, f, keepRaw, keepData, keepOffset);
    const bool rawMarked = r.header.uncompressedSize == kMarker32;
    const bool dataMarked = r.header.compressedSize == kMarker32;
    const bool offsetMarked = r.header.localHeaderOffset == kMarker32;
    EXPECT_EQ(rawMarked, keepRaw || needsZip64(f.rawSize));
    EXPECT_EQ(offsetMarked, keepOffset || needsZip64(f.localOffset));
    WideFacts back{r.header.uncompressedSize, r.header.compressedSize, r.header.localHeaderOffset};
    ASSERT_TRUE(r.extra);
    ASSERT_TRUE(readZip64Extra(*r.extra, rawMarked, dataMarked, offsetMarked, back));
    EXPECT_EQ(back.rawSize, f.rawSize);
    EXPECT_EQ(back.dataSize, f.dataSize);
    EXPECT_EQ(back.localOffset, f.localOffset);
    EXPECT_EQ((*r.extra)[0], 0x55);
    EXPECT_EQ(hasZip64Extra(*r.extra), rawMarked || dataMarked || offsetMarked);
    // A second pass with narrow facts takes the Zip64 field away again.
    setCentralFacts(r, {1, 2, 3});
    EXPECT_EQ(r.header.localHeaderOffset, 3u);
    ASSERT_TRUE(r.extra);
    EXPECT_FALSE(hasZip64Extra(*r.extra));
    EXPECT_EQ(r.extra->size(), 5u);
  }
}

}  // namespace
}  // namespace vz::zipwrap::test
