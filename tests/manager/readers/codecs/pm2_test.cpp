// -pm2-: streams from the tests' encoder (pm2_test_encoder.h) over text,
// random and run-heavy data of sizes around the tree rebuild points,
// decoded directly and, wrapped in a level-0 archive, by TUnLHA (with a
// good CRC) and by lhasa; a stream of single-symbol trees written by hand;
// and damaged streams, which end in BadData or wrong bytes (a CRC error)
// but never run past the declared size.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "manager/readers/codecs/pm2.h"
#include "manager/readers/lha_extract.h"
#include "tests/manager/readers/codecs/codec_test_data.h"
#include "tests/manager/readers/codecs/lha_level0_entry.h"
#include "tests/manager/readers/codecs/pm2_test_encoder.h"
#include "tests/manager/readers/extract_test_tree.h"
#include "tests/support/test_env.h"

namespace vz::readers::codecs {
namespace {

namespace fs = std::filesystem;
using engine::DecodeStatus;
using engine::MemoryInput;
using engine::VectorOutput;
using vz::test::codecs::DataKind;
using vz::test::codecs::makeData;
using vz::test::codecs::Pm2TestEncoder;
using Bytes = std::vector<uint8_t>;

// A level-0 archive of one -pm2- entry f.bin.
Bytes pm2Archive(const Bytes& packed, const Bytes& original) {
  Bytes a;
  vz::test::appendLhaLevel0Entry(a, "-pm2-", "f.bin", packed, original);
  a.push_back(0);
  return a;
}

// Decodes packed directly, in spans of chunk bytes, and through TUnLHA and
// lhasa; all must give original.
void expectDecodes(const Bytes& packed, const Bytes& original) {
  for (size_t chunk : {size_t{1} << 20, size_t{7}}) {
    MemoryInput in(packed, chunk);
    VectorOutput out;
    EXPECT_EQ(decodePm2(in, out, original.size()), DecodeStatus::Ok) << chunk;
    EXPECT_TRUE(out.bytes == original) << chunk;
  }
  vz::test::ScratchDir dir("pm2");
  vz::test::writeFile(dir.file("a.lzh"), pm2Archive(packed, original));
  const test::RunLog log = test::extract<TUnLHA>(dir.file("a.lzh"), dir.file("ours"));
  EXPECT_TRUE(log.errors.empty()) << log.errors.front();
  EXPECT_EQ(log.extracted, 1);
  EXPECT_TRUE(log.ended.count("f.bin") && log.ended.at("f.bin"));
  EXPECT_TRUE(vz::test::readFile(dir.file("ours/f.bin")) == original);
  if (vz::test::haveProgram("lhasa")) {
    fs::create_directories(dir.file("peer"));
    ASSERT_EQ(vz::test::run({"lhasa", "x", dir.file("a.lzh")}, nullptr, nullptr, dir.file("peer")), 0);
    EXPECT_TRUE(vz::test::readFile(dir.file("peer/f.bin")) == original);
  }
}

enum class Data { Text, Random, Runs, Pattern };

Bytes dataOf(Data kind, size_t size) {
  if (kind == Data::Pattern) {
    // One offset only: every offset tree is a tree of a single class.
    Bytes d(size);
    for (size_t i = 0; i < size; ++i) d[i] = static_cast<uint8_t>("tick "[i % 5]);
    return d;
  }
  return makeData(kind == Data::Text     ? DataKind::Text
                  : kind == Data::Random ? DataKind::Random
                                         : DataKind::Repetitive,
                  size, static_cast<uint32_t>(size));
}

struct Case {
  Data kind;
  size_t size;
  bool literalsOnly;  // a code tree of literals alone, and so no offset trees
};

class Pm2RoundTrip : public ::testing::TestWithParam<Case> {};

TEST_P(Pm2RoundTrip, DecodesAsLhasaDoes) {
  const Case& c = GetParam();
  const Bytes data = dataOf(c.kind, c.size);
  expectDecodes(Pm2TestEncoder::encode(data, c.literalsOnly), data);
}

std::vector<Case> cases() {
  std::vector<Case> v;
  for (size_t size : {0, 1, 1023, 1024, 1025, 4096, 8192, 12289, 300000}) {
    v.push_back({Data::Text, size, false});
    v.push_back({Data::Runs, size, false});
  }
  for (size_t size : {1, 1025, 12289, 300000}) v.push_back({Data::Random, size, size == 1025 || size == 12289});
  v.push_back({Data::Pattern, 12289, false});
  return v;
}

std::string caseName(const ::testing::TestParamInfo<Case>& info) {
  static const char* const kNames[] = {"text", "random", "runs", "pattern"};
  return std::string(kNames[static_cast<int>(info.param.kind)]) + std::to_string(info.param.size) +
         (info.param.literalsOnly ? "lit" : "");
}

INSTANTIATE_TEST_SUITE_P(Data, Pm2RoundTrip, ::testing::ValuesIn(cases()), caseName);

// A code tree that is the one symbol "256 bytes from just behind" (29
// lengths, shortest 0) sends no offset trees and costs no bits per copy:
// blanks from the initial history, and one "keep the tree" bit at each
// 4 KiB point.
TEST(Pm2, SingleSymbolTreeRepeatsTheBlankHistory) {
  const Bytes packed = {0x74, 0x00};  // 0, 11101, 000, then flags 0 at 4, 8 and 12 KiB
  expectDecodes(packed, Bytes(12289, ' '));
}

// Streams cut short or with flipped bits: BadData, or Ok with whatever
// bytes the codes give (the entry's CRC judges them; a flipped offset may
// even copy the same text), never more than the size asked.
TEST(Pm2, DamagedStreamsEndWithAResult) {
  const Bytes data = dataOf(Data::Text, 30000);
  const Bytes packed = Pm2TestEncoder::encode(data);
  {
    MemoryInput in(packed.data(), packed.size() / 2);
    VectorOutput out;
    EXPECT_EQ(decodePm2(in, out, data.size()), DecodeStatus::BadData);
  }
  int bad = 0;
  for (size_t at = 0; at < packed.size(); at += 97) {
    Bytes flipped = packed;
    flipped[at] ^= static_cast<uint8_t>(1u << (at % 8));
    MemoryInput in(flipped);
    VectorOutput out;
    const DecodeStatus s = decodePm2(in, out, data.size());
    EXPECT_LE(out.bytes.size(), data.size());
    EXPECT_TRUE(s == DecodeStatus::BadData || s == DecodeStatus::Ok) << at;
    bad += s == DecodeStatus::BadData || out.bytes != data;
  }
  EXPECT_GT(bad, static_cast<int>(packed.size() / 97 / 2));
}

}  // namespace
}  // namespace vz::readers::codecs
