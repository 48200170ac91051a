// Cabinet sets through the lister: a file that spans two cabinets is listed
// once, the files of the next cabinet follow the first's, and a missing or
// foreign next cabinet ends the walk with 25134 or 25904 after the entries
// already listed. The cabinets are built here (headers, one folder, file
// records; the walk reads no data blocks).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "manager/readers/arc_lister.h"
#include "manager/readers/reader_errors.h"
#include "tests/support/test_env.h"

namespace vz::readers {
namespace {

using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, uint32_t v) { b.push_back(v & 0xFF), b.push_back((v >> 8) & 0xFF); }
void put32(Bytes& b, uint32_t v) { put16(b, v & 0xFFFF), put16(b, v >> 16); }
void putz(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()), b.push_back(0); }

struct CabFile {
  std::string name;
  uint32_t size;
  uint16_t folder;
};

// One cabinet of set setId with index, its neighbours' names ("" for none),
// one folder of compression type 1 (MSZIP), and the files.
Bytes makeCabinet(uint16_t setId, uint16_t index, const std::string& prev, const std::string& next,
                  const std::vector<CabFile>& files) {
  Bytes names;
  if (!prev.empty()) putz(names, prev), putz(names, "disk");
  if (!next.empty()) putz(names, next), putz(names, "disk");
  const uint32_t firstFile = 36 + static_cast<uint32_t>(names.size()) + 8;
  Bytes b;
  for (char c : std::string("MSCF")) b.push_back(static_cast<uint8_t>(c));
  put32(b, 0), put32(b, 0), put32(b, 0), put32(b, firstFile), put32(b, 0);
  b.push_back(3), b.push_back(1);  // version 1.3
  put16(b, 1), put16(b, static_cast<uint32_t>(files.size()));
  put16(b, (prev.empty() ? 0 : 1) | (next.empty() ? 0 : 2)), put16(b, setId), put16(b, index);
  b.insert(b.end(), names.begin(), names.end());
  put32(b, 0), put16(b, 0), put16(b, 1);  // the folder
  for (const CabFile& f : files) {
    put32(b, f.size), put32(b, 0), put16(b, f.folder);
    put16(b, (1 << 5) | 1), put16(b, 0);  // 1980-01-01 00:00
    put16(b, 0x20), putz(b, f.name);
  }
  b.resize(b.size() + 64, 0);  // where the data blocks would be
  return b;
}

struct Result {
  std::vector<std::string> names;
  std::vector<int32_t> errors;
  int32_t listed = 0;
};

Result listCab(const std::string& path) {
  Result r;
  TArcLister lister;
  lister.OnRead = [&](TArcLister& l, int32_t, int32_t) {
    r.names.push_back(l.entry().fileName);
    EXPECT_EQ(l.entry().method, 1);
  };
  lister.OnError = [&](TZipCommon&, const std::string&, const std::string&, int32_t c) { r.errors.push_back(c); };
  lister.setArchiveFile(path);
  EXPECT_EQ(lister.ArcType(), atCAB);
  r.listed = lister.activate();
  return r;
}

TEST(CabinetSet, SpanningFileListedOnceAcrossCabinets) {
  vz::test::ScratchDir dir("cabset");
  vz::test::writeFile(dir.file("one.cab"),
                      makeCabinet(7, 0, "", "TWO.CAB", {{"dir\\a.txt", 10, 0}, {"big.bin", 90000, 0xFFFE}}));
  vz::test::writeFile(dir.file("two.cab"),
                      makeCabinet(7, 1, "one.cab", "", {{"big.bin", 90000, 0xFFFD}, {"c.txt", 3, 0}}));
  const Result r = listCab(dir.file("one.cab"));
  EXPECT_EQ(r.names, (std::vector<std::string>{"dir/a.txt", "big.bin", "c.txt"}));
  EXPECT_TRUE(r.errors.empty());
  EXPECT_EQ(r.listed, 3);
}

TEST(CabinetSet, MissingOrForeignNextCabinetKeepsTheEntries) {
  vz::test::ScratchDir dir("cabbad");
  vz::test::writeFile(dir.file("one.cab"), makeCabinet(7, 0, "", "two.cab", {{"a.txt", 10, 0}}));
  Result r = listCab(dir.file("one.cab"));
  EXPECT_EQ(r.names, std::vector<std::string>{"a.txt"});
  EXPECT_EQ(r.errors, std::vector<int32_t>{E_OPEN});
  vz::test::writeFile(dir.file("two.cab"), makeCabinet(8, 1, "one.cab", "", {{"c.txt", 3, 0}}));
  r = listCab(dir.file("one.cab"));
  EXPECT_EQ(r.names, std::vector<std::string>{"a.txt"});
  EXPECT_EQ(r.errors, std::vector<int32_t>{E_CABWRONGSET});
  // A cabinet naming itself as its next one (same set id) is walked again
  // and again until the 999-cabinet limit ends the walk with 25150.
  vz::test::writeFile(dir.file("loop.cab"), makeCabinet(9, 0, "", "loop.cab", {{"x.txt", 1, 0}}));
  r = listCab(dir.file("loop.cab"));
  EXPECT_EQ(r.errors, std::vector<int32_t>{E_MAXVOLUMES});
  EXPECT_LE(r.names.size(), 999u);
}

}  // namespace
}  // namespace vz::readers
