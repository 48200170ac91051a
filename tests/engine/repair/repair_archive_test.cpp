// Repare against reality: archives made by other programs (zip, 7zz, a
// streamed zip with data descriptors), damaged in many ways, rebuilt, then
// extracted with unzip and compared byte for byte with the files they were
// made from. Also the refusals: an archive cut inside its last entry (2,
// the file untouched), no local header (6), no signature (4), a folder (6).
#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <map>
#include <algorithm>
#include <cctype>
#include <random>

#include "control/engine/write/archive_update.h"
#include "control/engine/read/read_methods.h"
#include "control/engine/common/temp_base.h"
#include "control/engine/repair/repair.h"
#include "control/engine/common/unzip_state.h"
#include "tests/support/test_env.h"

namespace vz::test {
namespace {

namespace fs = std::filesystem;
using namespace vz::engine;
using Bytes = std::vector<uint8_t>;

uint32_t le32(const Bytes& b, size_t at) {
  return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 | static_cast<uint32_t>(b[at + 2]) << 16 |
         static_cast<uint32_t>(b[at + 3]) << 24;
}

// Position of the end record (searched from the back).
size_t endRecordAt(const Bytes& b) {
  for (size_t i = b.size() - 22 + 1; i-- > 0;)
    if (b[i] == 'P' && b[i + 1] == 'K' && b[i + 2] == 5 && b[i + 3] == 6) return i;
  return std::string::npos;
}

std::map<std::string, Bytes> treeOf(const std::string& root) {
  std::map<std::string, Bytes> t;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) t[fs::relative(e.path(), root).string()] = readFile(e.path().string());
  return t;
}

// The same with names in upper case (the control's writer stores folder
// names in upper case).
std::map<std::string, Bytes> treeOfNoCase(const std::string& root) {
  std::map<std::string, Bytes> t;
  for (auto& [k, v] : treeOf(root)) {
    std::string name = k;
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    t[name] = std::move(v);
  }
  return t;
}

class RepairArchive : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!haveProgram("unzip")) GTEST_SKIP() << "unzip missing";
    std::mt19937 rng(7);
    const std::string src = dir_.file("src");
    fs::create_directories(src + "/sub/deeper");
    const size_t sizes[] = {0, 1, 100, 5000, 70000, 300000};
    int n = 0;
    for (size_t s : sizes) {
      Bytes text(s);
      for (size_t i = 0; i < s; ++i) text[i] = static_cast<uint8_t>(i % 7 == 0 ? rng() : 'a' + i % 13);
      const std::string where = n % 3 == 0 ? "" : n % 3 == 1 ? "sub/" : "sub/deeper/";
      writeFile(src + "/" + where + "file" + std::to_string(n++) + ".dat", text);
    }
    expected_ = treeOf(src);
  }

  // Makes the archives of the source tree with the tools at hand.
  std::vector<std::pair<std::string, Bytes>> madeArchives() {
    std::vector<std::pair<std::string, Bytes>> out;
    const std::string src = dir_.file("src");
    if (haveProgram("zip")) {
      EXPECT_EQ(run({"zip", "-qr", dir_.file("z.zip"), "."}, nullptr, nullptr, src), 0);
      out.emplace_back("zip", readFile(dir_.file("z.zip")));
      // Streamed output: every entry with a data descriptor and sizes 0 in
      // its local header.
      EXPECT_EQ(run({"sh", "-c", "zip -qr - . > " + dir_.file("s.zip")}, nullptr, nullptr, src), 0);
      out.emplace_back("zip-stream", readFile(dir_.file("s.zip")));
    }
    {
      // The control's own writer.
      fs::create_directories(engine::tempBaseFolder());
      WriteEngine eng;
      ZipFilesRequest r;
      r.zipName = dir_.file("w.zip");
      r.mask = src + "/*.*";
      r.recurse = true;
      r.storePathMethod = 1;
      EXPECT_EQ(zipFiles(eng, r), WriteStatus::Ok);
      out.emplace_back("writer", readFile(dir_.file("w.zip")));
    }
    if (haveProgram("7zz")) {
      EXPECT_EQ(run({"7zz", "a", "-tzip", "-bd", dir_.file("7.zip"), "."}, nullptr, nullptr, src), 0);
      out.emplace_back("7zz", readFile(dir_.file("7.zip")));
    }
    if (haveProgram("python3")) {
      // Stored entries and a deflated one, written to a stream that cannot
      // seek (data descriptors with the sizes known).
      const std::string script =
          "import zipfile,sys,os\n"
          "class W:\n"
          "  def __init__(s,f): s.f=f\n"
          "  def write(s,b): return s.f.write(b)\n"
          "  def flush(s): s.f.flush()\n"
          "with open(sys.argv[1],'wb') as f:\n"
          "  z=zipfile.ZipFile(W(f),'w')\n"
          "  for r,d,fs in os.walk('.'):\n"
          "    for n in sorted(fs):\n"
          "      p=os.path.join(r,n)[2:]\n"
          "      z.write(p,p,zipfile.ZIP_STORED if len(p)%2 else zipfile.ZIP_DEFLATED)\n"
          "  z.close()\n";
      EXPECT_EQ(run({"python3", "-c", script, dir_.file("p.zip")}, nullptr, nullptr, src), 0);
      out.emplace_back("python-stream", readFile(dir_.file("p.zip")));
    }
    return out;
  }

  // Rebuilds bytes written to a file, then extracts it with unzip and
  // compares the tree. Returns the entries recovered.
  size_t repairAndCheck(const std::string& tag, const Bytes& damaged) {
    SCOPED_TRACE(tag);
    const std::string zip = dir_.file("work.zip");
    writeFile(zip, damaged);
    RepairSession s;
    EXPECT_EQ(repairArchive(s, zip), RepairStatus::Ok);
    UnzipState st;
    const ReadStatus quick = isZipFileQuick(st, zip);
    EXPECT_TRUE(quick == ReadStatus::Ok || quick == ReadStatus::PrefixData) << quick;
    const std::string out = dir_.file("out");
    fs::remove_all(out);
    std::string log;
    EXPECT_EQ(run({"unzip", "-qq", "-o", zip, "-d", out}, &log, &log), 0) << log;
    EXPECT_EQ(treeOfNoCase(out), treeOfNoCase(dir_.file("src")));
    return treeOf(out).size();
  }

  ScopedRoot root_;
  ScratchDir dir_{"repair"};
  std::map<std::string, Bytes> expected_;  // the source tree, relative path -> bytes
};

TEST_F(RepairArchive, DamagedArchivesOfManyMakersAreRebuilt) {
  size_t tried = 0, recovered = 0;
  for (const auto& [maker, bytes] : madeArchives()) {
    const size_t eocd = endRecordAt(bytes);
    ASSERT_NE(eocd, std::string::npos) << maker;
    const size_t cd = le32(bytes, eocd + 16);
    ASSERT_LT(cd, eocd);

    std::vector<std::pair<std::string, Bytes>> damaged;
    damaged.emplace_back("intact", bytes);
    damaged.emplace_back("cut inside the central directory", Bytes(bytes.begin(), bytes.begin() + (cd + eocd) / 2));
    damaged.emplace_back("cut at the central directory", Bytes(bytes.begin(), bytes.begin() + cd));
    Bytes zeroed = bytes;
    std::fill(zeroed.begin() + cd, zeroed.begin() + eocd, 0);
    damaged.emplace_back("central directory zeroed", zeroed);
    damaged.emplace_back("end record removed", Bytes(bytes.begin(), bytes.begin() + eocd));
    Bytes garbage(1000);
    std::mt19937 rng(3);
    for (auto& b : garbage) b = static_cast<uint8_t>(rng() % 0x4F);  // never "P"
    Bytes front = garbage;
    front.insert(front.end(), bytes.begin(), bytes.end());
    damaged.emplace_back("garbage in front", front);
    Bytes frontCut = garbage;
    frontCut.insert(frontCut.end(), bytes.begin(), bytes.begin() + cd + 10);
    damaged.emplace_back("garbage in front and cut", frontCut);
    Bytes trailing = Bytes(bytes.begin(), bytes.begin() + cd);
    trailing.insert(trailing.end(), garbage.begin(), garbage.end());
    damaged.emplace_back("garbage instead of the directory", trailing);

    for (const auto& [how, data] : damaged) {
      ++tried;
      recovered += repairAndCheck(maker + ": " + how, data);
    }
  }
  std::cout << "repair: " << tried << " damaged archives tried, " << recovered << " entries recovered\n";
  RecordProperty("archives", static_cast<int>(tried));
  RecordProperty("entries", static_cast<int>(recovered));
}

// A damaged entry does not lose the entries behind it: the scan goes on at
// the next local header.
TEST_F(RepairArchive, ScanResynchronisesAfterADamagedEntry) {
  if (!haveProgram("zip")) GTEST_SKIP() << "zip missing";
  const std::string src = dir_.file("src");
  ASSERT_EQ(run({"zip", "-q", dir_.file("d.zip"), "file3.dat", "sub/file4.dat", "sub/deeper/file2.dat"}, nullptr,
                nullptr, src),
            0);
  const Bytes z = readFile(dir_.file("d.zip"));
  const std::string zip = dir_.file("work.zip");
  const std::string second = "PK\x03\x04";
  const size_t next = std::search(z.begin() + 4, z.end(), second.begin(), second.end()) - z.begin();
  ASSERT_LT(next, z.size());
  auto extractAll = [&](int want) {
    RepairSession s;
    EXPECT_EQ(repairArchive(s, zip), RepairStatus::Ok);
    const std::string out = dir_.file("out");
    fs::remove_all(out);
    EXPECT_EQ(run({"unzip", "-qq", "-o", zip, "-d", out}), want);
    return fs::exists(out) ? treeOf(out) : std::map<std::string, Bytes>{};
  };
  auto without = [&](const std::string& name) {
    std::map<std::string, Bytes> t;
    for (const auto& [k, v] : expected_)
      if (k == "sub/file4.dat" || k == "sub/deeper/file2.dat" || k == name) t[k] = v;
    t.erase(name);
    return t;
  };
  {
    SCOPED_TRACE("garbage between entries");
    Bytes b(z.begin(), z.begin() + next);
    b.insert(b.end(), 500, 0x11);
    b.insert(b.end(), z.begin() + next, z.end());
    writeFile(zip, b);
    auto all = without("");
    all["file3.dat"] = expected_["file3.dat"];
    EXPECT_EQ(extractAll(0), all);
  }
  {
    SCOPED_TRACE("size beyond the end of the file");
    Bytes b = z;
    b[18] = 0x00, b[19] = 0xFF, b[20] = 0xFF, b[21] = 0x7F;
    writeFile(zip, b);
    EXPECT_EQ(extractAll(0), without("file3.dat"));
  }
  {
    SCOPED_TRACE("size too small");
    Bytes b = z;
    const uint32_t smaller = le32(b, 18) - 10;  // the compressed size is far above 10
    for (int i = 0; i < 4; ++i) b[18 + i] = static_cast<uint8_t>(smaller >> (8 * i));
    writeFile(zip, b);
    const auto got = extractAll(2);  // the damaged entry fails its check, the others extract
    EXPECT_EQ(got.at("sub/file4.dat"), expected_.at("sub/file4.dat"));
    EXPECT_EQ(got.at("sub/deeper/file2.dat"), expected_.at("sub/deeper/file2.dat"));
  }
}

TEST_F(RepairArchive, PreambleIsKept) {
  if (!haveProgram("zip")) GTEST_SKIP() << "zip missing";
  const std::string src = dir_.file("src");
  ASSERT_EQ(run({"zip", "-qr", dir_.file("z.zip"), "."}, nullptr, nullptr, src), 0);
  Bytes stub(4096, 0x90);
  const Bytes z = readFile(dir_.file("z.zip"));
  Bytes withStub = stub;
  withStub.insert(withStub.end(), z.begin(), z.begin() + endRecordAt(z));
  repairAndCheck("stub", withStub);
  const Bytes rebuilt = readFile(dir_.file("work.zip"));
  ASSERT_GE(rebuilt.size(), stub.size());
  EXPECT_TRUE(std::equal(stub.begin(), stub.end(), rebuilt.begin()));
}

TEST_F(RepairArchive, RefusalsLeaveTheFileAsItWas) {
  if (!haveProgram("zip")) GTEST_SKIP() << "zip missing";
  const std::string src = dir_.file("src");
  ASSERT_EQ(run({"zip", "-q", dir_.file("z.zip"), "file0.dat", "sub/deeper/file5.dat"}, nullptr, nullptr, src), 0);
  const Bytes z = readFile(dir_.file("z.zip"));
  const size_t cd = le32(z, endRecordAt(z) + 16);
  RepairSession s;
  // Cut inside the last entry's data (300,000 bytes, stored last).
  const Bytes cut(z.begin(), z.begin() + cd - 100);
  const std::string path = dir_.file("cut.zip");
  writeFile(path, cut);
  EXPECT_EQ(repairArchive(s, path), RepairStatus::IoError);
  EXPECT_EQ(readFile(path), cut);
  // Nothing but an end record: no entries and no preamble.
  const Bytes empty = {'P', 'K', 5, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  writeFile(path, empty);
  EXPECT_EQ(repairArchive(s, path), RepairStatus::Nothing);
  EXPECT_EQ(readFile(path), empty);
  // Bytes in front of an end record, but no entry: 6 as well.
  Bytes front(300, 0x22);
  front.insert(front.end(), empty.begin(), empty.end());
  writeFile(path, front);
  EXPECT_EQ(repairArchive(s, path), RepairStatus::Nothing);
  EXPECT_EQ(readFile(path), front);
  // No signature at all.
  writeFile(path, std::string("no archive here"));
  EXPECT_EQ(repairArchive(s, path), RepairStatus::ScanFailed);
  EXPECT_EQ(repairArchive(s, ""), RepairStatus::Nothing);
  EXPECT_EQ(repairArchive(s, dir_.path()), RepairStatus::Nothing);
  EXPECT_EQ(repairArchive(s, dir_.file("missing.zip")), RepairStatus::IoError);
  // No temporary file is left behind by the failures.
  for (const auto& e : fs::directory_iterator(std::string(::getenv("TMPDIR"))))
    if (e.path().extension() == ".TMP") ADD_FAILURE() << "left behind: " << e.path();
}

}  // namespace
}  // namespace vz::test
