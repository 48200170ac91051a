// The levelled deflate compressor: round trips at every level through the
// engine's inflate and through the slow reference inflater, over a table of
// inputs at the sizes where the compressor changes behaviour (the window,
// stored pieces, the block and buffer limits); the stream's blocks parsed
// on their own; the output independent of how the input's reads are split,
// of the deflater object and of what it compressed before; never much
// larger than the input; failing output and progress.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "control/engine/decode/decode_io.h"
#include "control/engine/decode/inflate.h"
#include "control/engine/encode/deflate_io.h"
#include "control/engine/encode/level_deflate.h"
#include "control/engine/format/crc32.h"
#include "tests/engine/encode/deflate_test_util.h"
#include "tests/support/inflate_reference.h"

namespace vz::engine {
namespace {

namespace du = test::deflate_util;

// Hands out at most chunk bytes per read (a source that splits its reads).
class ChunkedInput final : public DeflateInput {
 public:
  ChunkedInput(const std::vector<uint8_t>& data, size_t chunk) : data_(data), chunk_(chunk) {}
  size_t read(uint8_t* buf, size_t n) override {
    const size_t take = std::min({n, chunk_, data_.size() - offset_});
    std::copy_n(data_.data() + offset_, take, buf);
    offset_ += take;
    return take;
  }
  uint64_t length() const override { return data_.size(); }

 private:
  const std::vector<uint8_t>& data_;
  size_t chunk_;
  size_t offset_ = 0;
};

// Takes the first `room` bytes, then refuses.
class FullOutput final : public DeflateOutput {
 public:
  explicit FullOutput(size_t room) : room_(room) {}
  bool write(const uint8_t*, size_t count) override {
    if (count > room_) return false;
    room_ -= count;
    return true;
  }

 private:
  size_t room_;
};

struct Packed {
  LevelDeflateResult result;
  std::vector<uint8_t> bytes;
};

Packed pack(LevelDeflater& d, int level, const std::vector<uint8_t>& data, size_t chunk = 0) {
  VectorDeflateOutput out;
  Packed p;
  if (chunk == 0) {
    MemoryDeflateInput in(data);
    p.result = d.compress(level, in, out);
  } else {
    ChunkedInput in(data, chunk);
    p.result = d.compress(level, in, out);
  }
  p.bytes = std::move(out.bytes);
  return p;
}

// The stream is complete, gives back exactly the data through both
// inflaters, and the result describes it.
void expectRoundTrip(const Packed& p, const std::vector<uint8_t>& data) {
  EXPECT_FALSE(p.result.outputError);
  EXPECT_EQ(p.result.bytesRead, data.size());
  EXPECT_EQ(p.result.crc32, crc32(data));
  EXPECT_EQ(p.result.compressedSize, p.bytes.size());
  {
    MemoryInput in(p.bytes);
    VectorOutput out;
    ASSERT_EQ(inflate(in, out), DecodeStatus::Ok);
    EXPECT_TRUE(out.bytes == data) << "inflate gives other bytes";
    EXPECT_EQ(in.remaining() + in.available(), 0u) << "bytes after the final block";
  }
  {
    MemoryInput in(p.bytes);
    VectorOutput out;
    ASSERT_EQ(inflateReference(in, out), DecodeStatus::Ok);
    EXPECT_TRUE(out.bytes == data) << "the reference inflater gives other bytes";
  }
}

// Text, source, binary and random pieces in turn, with runs between them:
// the statistics change every few tens of KB, which is where blocks split.
std::vector<uint8_t> mixedBytes(size_t n) {
  std::vector<uint8_t> v;
  v.reserve(n);
  const std::vector<uint8_t> text = du::textBytes(n, 11), source = du::sourceBytes(n), binary = du::binaryBytes(n),
                             random = du::randomBytes(n, 12), runs = du::runBytes(n);
  const std::vector<uint8_t>* kinds[] = {&text, &source, &binary, &random, &runs};
  std::mt19937 rng(13);
  size_t at = 0;
  while (v.size() < n) {
    const size_t piece = std::min<size_t>(n - v.size(), 1000 + rng() % 60000);
    const std::vector<uint8_t>& k = *kinds[rng() % 5];
    const size_t from = (at += 7919) % (n - piece + 1);
    v.insert(v.end(), k.begin() + static_cast<std::ptrdiff_t>(from),
             k.begin() + static_cast<std::ptrdiff_t>(from + piece));
  }
  return v;
}

struct Input {
  std::string name;
  std::vector<uint8_t> bytes;
};

std::vector<Input> inputTable() {
  std::vector<Input> t;
  t.push_back({"empty", {}});
  t.push_back({"one byte", {0x41}});
  t.push_back({"three bytes", {1, 2, 3}});
  t.push_back({"five equal", std::vector<uint8_t>(5, 'z')});
  t.push_back({"runs 300000", du::runBytes(300000)});
  t.push_back({"zeros 3000000", std::vector<uint8_t>(3000000, 0)});
  t.push_back({"random 200000", du::randomBytes(200000, 21)});
  t.push_back({"text 100000", du::textBytes(100000, 22)});
  t.push_back({"binary 150000", du::binaryBytes(150000)});
  t.push_back({"mixed 2 MB", mixedBytes(2 << 20)});
  // The window (32 KB), a stored piece (65,535), the block's input limit
  // (256 KB) and the buffer (1 MB less the lookahead, and 1 MB).
  for (size_t edge : {size_t{32768}, size_t{65535}, size_t{1} << 18, (size_t{1} << 20) - 1024, size_t{1} << 20})
    for (size_t n : {edge - 1, edge, edge + 1}) t.push_back({"text " + std::to_string(n), du::textBytes(n, 23)});
  t.push_back({"random 65536", du::randomBytes(65536, 24)});
  return t;
}

TEST(LevelDeflate, EveryLevelRoundTripsEveryInput) {
  LevelDeflater d;  // one deflater for everything: nothing may carry over
  for (const Input& in : inputTable()) {
    for (int level = 1; level <= 9; ++level) {
      // The inputs of a megabyte or more at one level of each kind.
      if (in.bytes.size() > (size_t{1} << 19) && level != 1 && level != 2 && level != 4 && level != 7 && level != 9)
        continue;
      SCOPED_TRACE(in.name + ", level " + std::to_string(level));
      expectRoundTrip(pack(d, level, in.bytes), in.bytes);
    }
  }
}

// Blocks as the stream holds them: every one parses, stored blocks are
// chosen for random data, so the output never grows by more than the
// stored blocks' headers.
TEST(LevelDeflate, StreamsParseAndNeverGrowBeyondStoredHeaders) {
  LevelDeflater d;
  for (const Input& in : inputTable()) {
    if (in.bytes.size() > (size_t{1} << 19) && in.name != "mixed 2 MB") continue;  // the parser is slow
    for (int level : {1, 5, 9}) {
      SCOPED_TRACE(in.name + ", level " + std::to_string(level));
      const Packed p = pack(d, level, in.bytes);
      const du::ParsedStream s = du::StreamParser(p.bytes).parse();
      ASSERT_TRUE(s.ok);
      EXPECT_TRUE(s.output == in.bytes);
      EXPECT_EQ(s.bytesUsed, p.bytes.size());
      // A block holds at most 2^17 literals: two full stored pieces and a
      // short one.
      const size_t pieces = 3 * (in.bytes.size() / (size_t{1} << 17) + 1);
      EXPECT_LE(p.bytes.size(), in.bytes.size() + 5 * pieces);
    }
  }
}

TEST(LevelDeflate, LevelsOutsideOneToNineAreClamped) {
  LevelDeflater d;
  const std::vector<uint8_t> data = du::textBytes(50000, 31);
  EXPECT_EQ(pack(d, -5, data).bytes, pack(d, 1, data).bytes);
  EXPECT_EQ(pack(d, 0, data).bytes, pack(d, 1, data).bytes);
  EXPECT_EQ(pack(d, 42, data).bytes, pack(d, 9, data).bytes);
}

TEST(LevelDeflate, OutputDoesNotDependOnHowTheInputIsRead) {
  LevelDeflater d;
  const std::vector<uint8_t> data = mixedBytes(1500000);
  for (int level : {1, 4, 6, 9}) {
    SCOPED_TRACE(level);
    const Packed whole = pack(d, level, data);
    for (size_t chunk : {size_t{1}, size_t{7}, size_t{4096}, size_t{65537}})
      EXPECT_EQ(pack(d, level, data, chunk).bytes, whole.bytes) << "chunk " << chunk;
  }
}

// Deflaters give the same bytes whatever they compressed before: many
// small inputs (the buffer's start wraps), large ones (the buffer slides)
// and levels that alternate between the two finders.
TEST(LevelDeflate, OutputDoesNotDependOnTheDeflaterOrItsHistory) {
  const std::vector<uint8_t> big = mixedBytes(1300000);
  std::vector<std::vector<uint8_t>> inputs;
  for (int i = 0; i < 40; ++i) inputs.push_back(du::textBytes(1000 + 997 * static_cast<size_t>(i), 40 + i));
  inputs.insert(inputs.begin() + 10, big);
  inputs.insert(inputs.begin() + 25, big);
  LevelDeflater used;
  int turn = 0;
  for (const std::vector<uint8_t>& data : inputs) {
    const int level = (turn++ % 3 == 0) ? 1 : 6;
    LevelDeflater fresh;
    EXPECT_EQ(pack(used, level, data).bytes, pack(fresh, level, data).bytes) << "input " << turn;
  }
}

TEST(LevelDeflate, ManyRandomInputsRoundTrip) {
  LevelDeflater d;
  std::mt19937 rng(99);
  for (int i = 0; i < 300; ++i) {
    // Small alphabets and short periods make many matches of every length.
    const size_t n = rng() % 5000;
    const unsigned alphabet = 1 + rng() % 8;
    const size_t period = 1 + rng() % 300;
    std::vector<uint8_t> data(n);
    for (size_t k = 0; k < n; ++k)
      data[k] = (k >= period && rng() % 4 != 0) ? data[k - period] : static_cast<uint8_t>(rng() % alphabet);
    const int level = 1 + i % 9;
    SCOPED_TRACE("input " + std::to_string(i) + ", level " + std::to_string(level));
    expectRoundTrip(pack(d, level, data), data);
  }
}

TEST(LevelDeflate, AFailingWriteIsReportedAndTheDeflaterStaysUsable) {
  LevelDeflater d;
  const std::vector<uint8_t> data = du::randomBytes(400000, 51);
  for (size_t room : {size_t{0}, size_t{100}, size_t{30000}}) {
    MemoryDeflateInput in(data);
    FullOutput out(room);
    const LevelDeflateResult r = d.compress(6, in, out);
    EXPECT_TRUE(r.outputError) << room;
    EXPECT_LE(r.bytesRead, data.size());
  }
  expectRoundTrip(pack(d, 6, data), data);
}

TEST(LevelDeflate, ProgressRisesToTheInputLength) {
  LevelDeflater d;
  const std::vector<uint8_t> data = du::textBytes(3000000, 61);
  std::vector<uint64_t> seen;
  MemoryDeflateInput in(data);
  VectorDeflateOutput out;
  d.compress(3, in, out, [&](uint64_t n) { seen.push_back(n); });
  ASSERT_GE(seen.size(), 3u);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_EQ(seen.back(), data.size());
}

}  // namespace
}  // namespace vz::engine
