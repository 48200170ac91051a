// The LHA-family decoders from memory: the CRC-16's check value; -lh2-
// streams from an encoder over the decoder's model, read back by unar; an -lh3-
// stream built here from the method's description (no tool at hand writes
// or reads -lh3-) with every kind of block header, decoded against the
// plain meaning of its codes; jlha's lh5/lh6/lh7 streams handed over in
// odd spans, cut at a limit and cut short; and every method fed random
// bytes, which must end with a result and never more than the size asked.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "manager/readers/codecs/lh2.h"
#include "manager/readers/codecs/lh3.h"
#include "manager/readers/codecs/lh_crc16.h"
#include "manager/readers/codecs/lh_methods.h"
#include "manager/readers/codecs/zoo_lzw.h"
#include "tests/manager/readers/codecs/codec_test_data.h"
#include "tests/support/test_env.h"

namespace vz::readers::codecs {
namespace {

namespace fs = std::filesystem;
using engine::DecodeStatus;
using engine::MemoryInput;
using engine::VectorOutput;
using Bytes = std::vector<uint8_t>;

TEST(LhCrc16, CheckValue) {
  const std::string s = "123456789";
  EXPECT_EQ(lhCrc16(0, reinterpret_cast<const uint8_t*>(s.data()), s.size()), 0xBB3D);
}

// Bits most significant first.
struct BitWriter {
  Bytes out;
  uint64_t acc = 0;
  int n = 0;
  void put(uint32_t v, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
      acc = acc << 1 | ((v >> i) & 1);
      if (++n == 8) out.push_back(static_cast<uint8_t>(acc)), acc = 0, n = 0;
    }
  }
  Bytes finish() {
    if (n > 0) put(0, 8 - n);
    return out;
  }
};

// Canonical codes from lengths: shortest first, then by symbol.
std::vector<uint32_t> canonical(const std::vector<int>& lengths) {
  std::vector<uint32_t> codes(lengths.size());
  uint32_t code = 0;
  for (int l = 1; l <= 16; ++l) {
    for (size_t s = 0; s < lengths.size(); ++s)
      if (lengths[s] == l) codes[s] = code++;
    code <<= 1;
  }
  return codes;
}

struct Op {
  int literal = -1;  // a byte, or -1 for a match
  int length = 0, distance = 0;
};

// The -lh3- literal/length lengths of the vector: one 1-bit code (the
// space), 234 of 9 bits, 43 of 10 and eight from 12 to 16 bits, a
// complete code that reaches the slow path of the table.
std::vector<int> lh3Lengths() {
  std::vector<int> len(286, 9);
  len[' '] = 1;
  const int deep[] = {12, 12, 12, 13, 14, 15, 16, 16};
  for (int i = 0; i < 8; ++i) len[200 + i] = deep[i];
  for (int s = 208; s <= 220; ++s) len[s] = 10;
  for (int s = 256; s <= 285; ++s) len[s] = 10;
  return len;
}

// One block of ops: header (fixed or explicit position code), then codes.
void lh3Block(BitWriter& w, const std::vector<Op>& ops, bool explicitPositions) {
  const std::vector<int> cl = lh3Lengths();
  const std::vector<uint32_t> cc = canonical(cl);
  std::vector<int> pl(128, 7);
  if (!explicitPositions) {
    uint8_t fixed[128];
    lh3FixedPositionLengths(fixed);
    for (int i = 0; i < 128; ++i) pl[i] = fixed[i];
  }
  const std::vector<uint32_t> pc = canonical(pl);
  w.put(static_cast<uint32_t>(ops.size()), 16);
  for (int l : cl) {
    if (l == 0) {
      w.put(0, 1);
    } else {
      w.put(1, 1), w.put(static_cast<uint32_t>(l - 1), 4);
    }
  }
  w.put(explicitPositions ? 1 : 0, 1);
  if (explicitPositions)
    for (int l : pl) w.put(static_cast<uint32_t>(l), 4);
  for (const Op& op : ops) {
    if (op.literal >= 0) {
      w.put(cc[op.literal], cl[op.literal]);
      continue;
    }
    const int sym = op.length + 253;
    if (sym >= 285) {
      w.put(cc[285], cl[285]), w.put(static_cast<uint32_t>(op.length - 32), 8);
    } else {
      w.put(cc[sym], cl[sym]);
    }
    const int pos = op.distance - 1;
    w.put(pc[pos >> 6], pl[pos >> 6]), w.put(pos & 63, 6);
  }
}

TEST(Lh3, VectorFromTheMethodsDescription) {
  std::mt19937 rng(15);
  std::vector<Op> ops;
  for (int i = 0; i < 3000; ++i) {
    Op op;
    if (rng() % 10 < 6) {
      op.literal = static_cast<int>(rng() % 4 == 0 ? 200 + rng() % 21 : rng() % 256);
    } else {
      op.length = 3 + static_cast<int>(rng() % 254);
      op.distance = 1 + static_cast<int>(rng() % 8192);
    }
    ops.push_back(op);
  }
  // The plain meaning: a match copies from distance bytes back, through an
  // 8 KiB history of spaces before the start.
  Bytes ref(8192, ' ');
  for (const Op& op : ops) {
    if (op.literal >= 0) {
      ref.push_back(static_cast<uint8_t>(op.literal));
    } else {
      for (int k = 0; k < op.length; ++k) ref.push_back(ref[ref.size() - static_cast<size_t>(op.distance)]);
    }
  }
  BitWriter w;
  lh3Block(w, std::vector<Op>(ops.begin(), ops.begin() + 1500), false);
  lh3Block(w, std::vector<Op>(ops.begin() + 1500, ops.end()), true);
  // A block whose one symbol takes no bits: three lengths of 1, then 'x'.
  w.put(500, 16);
  for (int i = 0; i < 3; ++i) w.put(1, 1), w.put(0, 4);
  w.put('x', 9);
  w.put(0, 1);
  ref.insert(ref.end(), 500, 'x');
  const Bytes stream = w.finish();
  const Bytes expected(ref.begin() + 8192, ref.end());

  for (size_t chunk : {size_t{1}, size_t{5}, SIZE_MAX}) {
    MemoryInput in(stream, chunk);
    VectorOutput out;
    EXPECT_EQ(decodeLhMethod("-lh3-", in, out, expected.size()), DecodeStatus::Ok);
    EXPECT_TRUE(out.bytes == expected) << out.bytes.size() << " of " << expected.size();
  }
  // Cut short: bad data, and never more than asked.
  MemoryInput cut(stream.data(), stream.size() / 2);
  VectorOutput out;
  EXPECT_EQ(decodeLhMethod("-lh3-", cut, out, expected.size()), DecodeStatus::BadData);
  EXPECT_LT(out.bytes.size(), expected.size());
}

// jlha's stream of one file (a level-2 archive's data).
Bytes jlhaStream(const vz::test::ScratchDir& dir, const Bytes& data, const std::string& method) {
  fs::create_directories(dir.file("src"));
  vz::test::writeFile(dir.file("src/f"), data);
  fs::remove(dir.file("f.lzh"));
  std::string out;
  if (vz::test::run({"jlha", "a2o" + method, dir.file("f.lzh"), "f"}, &out, nullptr, dir.file("src")) != 0) return {};
  const Bytes a = vz::test::readFile(dir.file("f.lzh"));
  const size_t header = a[0] | a[1] << 8;
  const size_t packed = a[7] | a[8] << 8 | a[9] << 16;
  return Bytes(a.begin() + static_cast<long>(header), a.begin() + static_cast<long>(header + packed));
}

class LhBlockStreams : public ::testing::TestWithParam<const char*> {};

TEST_P(LhBlockStreams, SpansLimitsAndCuts) {
  if (!vz::test::haveProgram("jlha")) GTEST_SKIP() << "jlha missing";
  vz::test::ScratchDir dir("lhcodec");
  Bytes data = test::codecs::makeData(test::codecs::DataKind::Text, 150000, 7);
  const Bytes more = test::codecs::makeData(test::codecs::DataKind::Random, 20000, 8);
  data.insert(data.end(), more.begin(), more.end());
  const std::string method = GetParam();
  const Bytes s = jlhaStream(dir, data, method);
  ASSERT_FALSE(s.empty());
  const std::string id = "-lh" + method + "-";
  for (size_t chunk : {size_t{1}, size_t{7}, SIZE_MAX}) {
    MemoryInput in(s, chunk);
    VectorOutput out;
    out.recordFlushes = true;
    EXPECT_EQ(decodeLhMethod(id, in, out, data.size()), DecodeStatus::Ok);
    EXPECT_TRUE(out.bytes == data);
    for (size_t i = 0; i + 1 < out.flushSizes.size(); ++i) EXPECT_EQ(out.flushSizes[i], 32768u);
  }
  {
    MemoryInput in(s);
    VectorOutput out;
    out.setLimit(100000);
    EXPECT_EQ(decodeLhMethod(id, in, out, data.size()), DecodeStatus::OutputStopped);
    EXPECT_EQ(out.bytes.size(), 100000u);
  }
  {
    MemoryInput in(s.data(), s.size() - 10);
    VectorOutput out;
    EXPECT_EQ(decodeLhMethod(id, in, out, data.size()), DecodeStatus::BadData);
  }
}

INSTANTIATE_TEST_SUITE_P(Jlha, LhBlockStreams, ::testing::Values("5", "6", "7"));

// An -lh2- encoder over the decoder's model: greedy matches in the 8 KiB
// window, each symbol's code read off the model's tree before it is
// counted. unar, which reads -lh2- (the lhasa here does not), is the
// oracle that the model is the format's.
Bytes lh2Encode(const Bytes& data) {
  Lh2Model model;
  BitWriter w;
  auto put = [&](const std::vector<int>& code) {
    for (int b : code) w.put(static_cast<uint32_t>(b), 1);
  };
  size_t i = 0;
  while (i < data.size()) {
    size_t bestLen = 0, bestDist = 0;
    const size_t from = i > 8192 ? i - 8192 : 0;
    for (size_t j = i; j-- > from && bestLen < 256;) {
      size_t l = 0;
      while (l < 256 && i + l < data.size() && data[j + l] == data[i + l]) ++l;
      if (l > bestLen) bestLen = l, bestDist = i - j;
      if (i - j > 600 && bestLen >= 3) break;  // a short search keeps the test quick
    }
    if (bestLen < 3) {
      put(model.charCode(data[i]));
      model.countChar(data[i]);
      ++i;
      continue;
    }
    const int sym = bestLen >= 32 ? 285 : static_cast<int>(bestLen) + 253;
    put(model.charCode(sym));
    model.countChar(sym);
    if (sym == 285) w.put(static_cast<uint32_t>(bestLen - 32), 8);
    model.growPositions(i);
    const size_t pos = bestDist - 1;
    put(model.positionCode(static_cast<int>(pos >> 6)));
    model.countPosition(static_cast<int>(pos >> 6));
    w.put(static_cast<uint32_t>(pos & 63), 6);
    i += bestLen;
  }
  return w.finish();
}

// A level-0 LHA archive of one entry: the header, the data, the end mark.
Bytes lhaLevel0(const std::string& name, const char* method, const Bytes& packed, const Bytes& data) {
  Bytes h(22, 0);
  std::copy(method, method + 5, h.begin() + 2);
  auto put32 = [&](size_t at, size_t v) {
    for (int k = 0; k < 4; ++k) h[at + k] = static_cast<uint8_t>(v >> (8 * k));
  };
  put32(7, packed.size());
  put32(11, data.size());
  put32(15, 0x5A2E6000);  // a DOS stamp
  h[19] = 0x20;
  h[21] = static_cast<uint8_t>(name.size());
  h.insert(h.end(), name.begin(), name.end());
  const uint16_t crc = lhCrc16(0, data.data(), data.size());
  h.push_back(static_cast<uint8_t>(crc)), h.push_back(static_cast<uint8_t>(crc >> 8));
  h[0] = static_cast<uint8_t>(h.size() - 2);
  uint8_t sum = 0;
  for (size_t k = 2; k < h.size(); ++k) sum = static_cast<uint8_t>(sum + h[k]);
  h[1] = sum;
  h.insert(h.end(), packed.begin(), packed.end());
  h.push_back(0);
  return h;
}

TEST(Lh2, EncoderOverTheModelAgreesWithUnar) {
  vz::test::ScratchDir dir("lh2");
  const std::pair<const char*, Bytes> cases[] = {
      {"text", test::codecs::makeData(test::codecs::DataKind::Text, 120000, 21)},
      {"runs", test::codecs::makeData(test::codecs::DataKind::Repetitive, 200000, 22)},
      {"random", test::codecs::makeData(test::codecs::DataKind::Random, 30000, 23)},
  };
  for (const auto& [name, data] : cases) {
    SCOPED_TRACE(name);
    const Bytes packed = lh2Encode(data);
    MemoryInput in(packed, 3);
    VectorOutput out;
    EXPECT_EQ(decodeLhMethod("-lh2-", in, out, data.size()), DecodeStatus::Ok);
    EXPECT_TRUE(out.bytes == data);
    if (!vz::test::haveProgram("unar")) continue;
    const std::string sub = dir.file(name);
    fs::create_directories(sub);
    vz::test::writeFile(sub + "/a.lzh", lhaLevel0("f.bin", "-lh2-", packed, data));
    ASSERT_EQ(vz::test::run({"unar", "-q", "-o", sub + "/peer", sub + "/a.lzh"}), 0);
    EXPECT_TRUE(vz::test::readFile(sub + "/peer/f.bin") == data);
  }
}

// Random input: every method ends with a result, within the size asked.
TEST(LhMethods, RandomInputEndsWithinTheSize) {
  std::mt19937 rng(4);
  const char* ids[] = {"-lh0-", "-lh1-", "-lh2-", "-lh3-", "-lh4-", "-lh5-",
                       "-lh6-", "-lh7-", "-lhx-", "-lzs-", "-lz5-", "-pm0-"};
  for (int round = 0; round < 150; ++round) {
    Bytes in(1 + rng() % 3000);
    for (uint8_t& b : in) b = static_cast<uint8_t>(rng());
    // Some streams start like a plausible block (a count, short lists).
    if (round % 3 == 0 && in.size() > 4) in[0] = 0, in[1] = 0x40;
    for (const char* id : ids) {
      MemoryInput input(in);
      VectorOutput out;
      const uint64_t size = 1 + rng() % 200000;
      const DecodeStatus s = decodeLhMethod(id, input, out, size);
      EXPECT_TRUE(s == DecodeStatus::Ok || s == DecodeStatus::BadData) << id;
      EXPECT_LE(out.bytes.size(), size) << id;
      if (s == DecodeStatus::Ok) EXPECT_EQ(out.bytes.size(), size) << id;
    }
    MemoryInput input(in);
    VectorOutput out;
    out.setLimit(1 << 20);
    const DecodeStatus s = decodeZooLzw(input, out);
    EXPECT_NE(s, DecodeStatus::NoMemory);
  }
}

}  // namespace
}  // namespace vz::readers::codecs
