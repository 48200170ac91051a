// CAB folders against cabextract: cabinets made at test time by gcab,
// stored (-c) and MSZIP (-c -z), and the corpus's cabinets, every folder
// decoded and each file's bytes cut from it compared with what cabextract
// wrote; reserve fields, blocks split across cabinets, the unsupported
// methods and damaged records.
#include "manager/readers/codecs/cab_folder.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/manager/readers/codecs/codec_test_data.h"
#include "tests/support/test_env.h"

namespace vz::readers::codecs {
namespace {

using engine::MemoryInput;
using engine::VectorOutput;
using test::codecs::DataKind;

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) { return le16(p) | (static_cast<uint32_t>(le16(p + 2)) << 16); }

// Every folder of a cabinet decoded; the status of the first failing one.
CabStatus decodeFolders(const std::vector<uint8_t>& cab, std::vector<std::vector<uint8_t>>& folders, bool verify = true,
                        size_t chunk = SIZE_MAX) {
  CabHeader h;
  if (const CabStatus s = parseCabHeader(cab.data(), cab.size(), h); s != CabStatus::Ok) return s;
  for (const CabFolderRecord& f : h.folders) {
    if (f.dataOffset > cab.size()) return CabStatus::BadBlock;
    MemoryInput in(cab.data() + f.dataOffset, cab.size() - f.dataOffset, chunk);
    VectorOutput out;
    CabFolderDecoder decoder(f.typeCompress, verify);
    if (const CabStatus s = decoder.decodeBlocks(in, f.blockCount, h.dataReserve, out); s != CabStatus::Ok) return s;
    folders.push_back(std::move(out.bytes));
  }
  return CabStatus::Ok;
}

// Checks every file record's bytes, cut from its decoded folder, against
// the file cabextract wrote; returns the number of files checked.
int checkAgainstCabextract(const std::string& cabPath, size_t chunk = SIZE_MAX) {
  const std::vector<uint8_t> cab = test::readFile(cabPath);
  std::vector<std::vector<uint8_t>> folders;
  EXPECT_EQ(decodeFolders(cab, folders, true, chunk), CabStatus::Ok) << cabPath;
  test::ScratchDir dir("cabx");
  EXPECT_EQ(test::run({"cabextract", "-q", "-d", dir.path(), cabPath}), 0) << cabPath;
  CabHeader h;
  EXPECT_EQ(parseCabHeader(cab.data(), cab.size(), h), CabStatus::Ok);
  size_t pos = h.filesOffset;
  int checked = 0;
  for (unsigned i = 0; i < h.fileCount && pos + 16 < cab.size(); ++i) {
    const uint32_t size = le32(&cab[pos]);
    const uint32_t offset = le32(&cab[pos + 4]);
    const uint16_t folder = le16(&cab[pos + 8]);
    const std::string name(reinterpret_cast<const char*>(&cab[pos + 16]));
    pos += 16 + name.size() + 1;
    if (folder >= folders.size()) continue;  // continued from or into another cabinet
    std::string path = name;
    for (char& c : path) c = c == '\\' ? '/' : c;
    const std::vector<uint8_t> expected = test::readFile(dir.file(path));
    EXPECT_LE(uint64_t{offset} + size, folders[folder].size()) << name;
    if (uint64_t{offset} + size > folders[folder].size()) continue;
    const std::vector<uint8_t> got(folders[folder].begin() + offset, folders[folder].begin() + offset + size);
    EXPECT_TRUE(got == expected) << cabPath << ": " << name;
    ++checked;
  }
  return checked;
}

TEST(CabPeer, GcabCabinetsMatchCabextract) {
  if (!test::haveProgram("gcab") || !test::haveProgram("cabextract")) GTEST_SKIP() << "gcab or cabextract missing";
  test::ScratchDir dir("cab");
  // Files past 32 KB, so that MSZIP matches reach into earlier blocks and files.
  const std::vector<std::pair<std::string, std::vector<uint8_t>>> files = {
      {"text.txt", test::codecs::makeData(DataKind::Text, 300000)},
      {"random.bin", test::codecs::makeData(DataKind::Random, 70000)},
      {"runs.dat", test::codecs::makeData(DataKind::Repetitive, 100000)},
      {"empty", {}},
      {"text2.txt", test::codecs::makeData(DataKind::Text, 40000)},
  };
  std::vector<std::string> names;
  for (const auto& [name, data] : files) {
    test::writeFile(dir.file(name), data);
    names.push_back(name);
  }
  for (const bool mszip : {false, true}) {
    std::vector<std::string> argv = {"gcab", "-c"};
    if (mszip) argv.push_back("-z");
    argv.push_back(dir.file(mszip ? "z.cab" : "s.cab"));
    argv.insert(argv.end(), names.begin(), names.end());
    ASSERT_EQ(test::run(argv, nullptr, nullptr, dir.path()), 0);
    EXPECT_EQ(checkAgainstCabextract(argv[mszip ? 3 : 2]), 5);
    EXPECT_EQ(checkAgainstCabextract(argv[mszip ? 3 : 2], 5), 5);
  }
}

TEST(CabPeer, CorpusCabinetsMatchCabextract) {
  if (!test::haveProgram("cabextract")) GTEST_SKIP() << "cabextract missing";
  int cabinets = 0;
  for (const std::string& path : test::corpusFiles()) {
    if (path.size() < 4 || path.compare(path.size() - 4, 4, ".cab") != 0) continue;
    EXPECT_GE(checkAgainstCabextract(path), 1) << path;
    ++cabinets;
  }
  EXPECT_GE(cabinets, 1);
}

// A cabinet of one folder built here: reserve fields, stored blocks.
std::vector<uint8_t> buildCabinet(uint16_t typeCompress, const std::vector<std::vector<uint8_t>>& blocks,
                                  uint8_t dataReserve, bool checksums) {
  std::vector<uint8_t> c(36, 0);
  std::memcpy(c.data(), "MSCF", 4);
  c[24] = 3;
  c[25] = 1;
  c[26] = 1;                                         // one folder
  c[30] = 4;                                         // reserve fields
  const uint8_t reserve[] = {5, 0, 2, dataReserve};  // header 5, folder 2, data reserve bytes
  c.insert(c.end(), std::begin(reserve), std::end(reserve));
  c.insert(c.end(), 5, 0xEE);
  const size_t folderAt = c.size();
  c.insert(c.end(), 8 + 2, 0xEE);
  const uint32_t dataOffset = static_cast<uint32_t>(c.size());
  std::memcpy(&c[folderAt], &dataOffset, 4);
  c[folderAt + 4] = static_cast<uint8_t>(blocks.size());
  c[folderAt + 5] = 0;
  c[folderAt + 6] = static_cast<uint8_t>(typeCompress);
  c[folderAt + 7] = static_cast<uint8_t>(typeCompress >> 8);
  for (const std::vector<uint8_t>& b : blocks) {
    std::vector<uint8_t> fields = {0,
                                   0,
                                   0,
                                   0,
                                   static_cast<uint8_t>(b.size()),
                                   static_cast<uint8_t>(b.size() >> 8),
                                   static_cast<uint8_t>(b.size()),
                                   static_cast<uint8_t>(b.size() >> 8)};
    fields.insert(fields.end(), dataReserve, 0xAB);
    if (checksums) {
      const uint32_t sum = cabChecksum(fields.data() + 4, fields.size() - 4, cabChecksum(b.data(), b.size(), 0));
      std::memcpy(fields.data(), &sum, 4);
    }
    c.insert(c.end(), fields.begin(), fields.end());
    c.insert(c.end(), b.begin(), b.end());
  }
  return c;
}

TEST(CabBuilt, ReserveFieldsChecksumsMethodsAndDamage) {
  const std::vector<uint8_t> a = test::codecs::makeData(DataKind::Text, 32768);
  const std::vector<uint8_t> b = test::codecs::makeData(DataKind::Random, 1001);
  const std::vector<uint8_t> cab = buildCabinet(kCabStored, {a, b}, 7, true);
  std::vector<std::vector<uint8_t>> folders;
  ASSERT_EQ(decodeFolders(cab, folders), CabStatus::Ok);
  std::vector<uint8_t> both = a;
  both.insert(both.end(), b.begin(), b.end());
  EXPECT_TRUE(folders.at(0) == both);

  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    bool verify;
    CabStatus status;
  };
  std::vector<uint8_t> flipped = cab;
  flipped[cab.size() - 10] ^= 1;
  std::vector<uint8_t> badSum = cab;
  const size_t firstRecord = le32(&cab[36 + 4 + 5]);
  badSum[firstRecord] ^= 1;
  const Case cases[] = {
      {"data flipped", flipped, true, CabStatus::BadChecksum},
      {"data flipped, no check", flipped, false, CabStatus::Ok},
      {"checksum flipped", badSum, true, CabStatus::BadChecksum},
      {"cut", std::vector<uint8_t>(cab.begin(), cab.end() - 1), true, CabStatus::BadBlock},
      {"no checksums", buildCabinet(kCabStored, {a, b}, 0, false), true, CabStatus::Ok},
      {"quantum", buildCabinet(0x0F02, {a}, 0, true), true, CabStatus::MethodUnsupported},
      {"lzx", buildCabinet(0x1503, {a}, 0, true), true, CabStatus::LzxUnsupported},
      {"block too big", buildCabinet(kCabStored, {std::vector<uint8_t>(32769, 1)}, 0, true), true, CabStatus::BadBlock},
      {"mszip without CK", buildCabinet(kCabMszip, {a}, 0, true), true, CabStatus::BadData},
      {"header cut", std::vector<uint8_t>(cab.begin(), cab.begin() + 40), true, CabStatus::BadHeader},
  };
  for (const Case& c : cases) {
    std::vector<std::vector<uint8_t>> out;
    EXPECT_EQ(decodeFolders(c.bytes, out, c.verify), c.status) << c.name;
  }
}

TEST(CabBuilt, BlockSplitAcrossCabinetsJoins) {
  if (!test::haveProgram("gcab")) GTEST_SKIP() << "gcab missing";
  test::ScratchDir dir("cabs");
  const std::vector<uint8_t> data = test::codecs::makeData(DataKind::Text, 90000);
  test::writeFile(dir.file("f"), data);
  ASSERT_EQ(test::run({"gcab", "-c", "-z", dir.file("z.cab"), "f"}, nullptr, nullptr, dir.path()), 0);
  const std::vector<uint8_t> cab = test::readFile(dir.file("z.cab"));
  CabHeader h;
  ASSERT_EQ(parseCabHeader(cab.data(), cab.size(), h), CabStatus::Ok);
  ASSERT_GE(h.folders.at(0).blockCount, 3);
  // The folder's records, the second one cut in two: a first part with
  // uncompressed size 0 ending "this cabinet", the rest opening the next.
  std::vector<std::vector<uint8_t>> records;
  size_t pos = h.folders[0].dataOffset;
  std::vector<uint16_t> sizes;
  for (unsigned i = 0; i < h.folders[0].blockCount; ++i) {
    const uint16_t size = le16(&cab[pos + 4]);
    sizes.push_back(le16(&cab[pos + 6]));
    records.emplace_back(cab.begin() + static_cast<long>(pos + 8), cab.begin() + static_cast<long>(pos + 8 + size));
    pos += 8 + size;
  }
  auto record = [](const uint8_t* p, size_t n, uint16_t uncompressed) {
    std::vector<uint8_t> r = {0,
                              0,
                              0,
                              0,
                              static_cast<uint8_t>(n),
                              static_cast<uint8_t>(n >> 8),
                              static_cast<uint8_t>(uncompressed),
                              static_cast<uint8_t>(uncompressed >> 8)};
    r.insert(r.end(), p, p + n);
    return r;
  };
  std::vector<uint8_t> first = record(records[0].data(), records[0].size(), sizes[0]);
  const std::vector<uint8_t> half = record(records[1].data(), 100, 0);
  first.insert(first.end(), half.begin(), half.end());
  std::vector<uint8_t> second = record(records[1].data() + 100, records[1].size() - 100, sizes[1]);
  for (size_t i = 2; i < records.size(); ++i) {
    const std::vector<uint8_t> r = record(records[i].data(), records[i].size(), sizes[i]);
    second.insert(second.end(), r.begin(), r.end());
  }
  CabFolderDecoder decoder(kCabMszip);
  VectorOutput out;
  MemoryInput in1(first);
  ASSERT_EQ(decoder.decodeBlocks(in1, 2, 0, out), CabStatus::Ok);
  EXPECT_TRUE(decoder.splitPending());
  MemoryInput in2(second);
  ASSERT_EQ(decoder.decodeBlocks(in2, static_cast<uint32_t>(records.size() - 1), 0, out), CabStatus::Ok);
  EXPECT_FALSE(decoder.splitPending());
  EXPECT_TRUE(out.bytes == data);
}

TEST(CabDamage, FlippedMszipBytesNeverCrash) {
  if (!test::haveProgram("gcab")) GTEST_SKIP() << "gcab missing";
  test::ScratchDir dir("cabd");
  test::writeFile(dir.file("f"), test::codecs::makeData(DataKind::Text, 80000));
  ASSERT_EQ(test::run({"gcab", "-c", "-z", dir.file("z.cab"), "f"}, nullptr, nullptr, dir.path()), 0);
  const std::vector<uint8_t> cab = test::readFile(dir.file("z.cab"));
  std::mt19937 rng(3);
  int bad = 0;
  for (int i = 0; i < 200; ++i) {
    std::vector<uint8_t> damaged = cab;
    damaged[rng() % cab.size()] ^= static_cast<uint8_t>(1 + rng() % 255);
    std::vector<std::vector<uint8_t>> folders;
    const CabStatus s = decodeFolders(damaged, folders, i % 2 == 0);
    bad += s != CabStatus::Ok;
  }
  EXPECT_GT(bad, 0);
}

}  // namespace
}  // namespace vz::readers::codecs
