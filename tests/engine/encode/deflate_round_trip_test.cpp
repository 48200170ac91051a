// Deflate compressor: round trips through the engine's inflate and through
// python3's zlib, in every mode, over text, source, programs, random bytes
// and runs at the sizes where the design changes behaviour (empty, 1, 36
// and 37 bytes, the window slide at 65,274, several slides); determinism;
// the raw copy of files that do not shrink; the file reader and writer;
// progress messages; output failures and re-entry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/engine/format/crc32.h"
#include "control/engine/decode/decode_io.h"
#include "control/engine/encode/deflate_encoder.h"
#include "control/engine/encode/deflate_io.h"
#include "control/engine/decode/inflate.h"
#include "platform/file.h"
#include "platform/window.h"
#include "tests/engine/encode/deflate_test_util.h"
#include "tests/support/test_env.h"

namespace vz::engine {
namespace {

using test::deflate_util::compress;
using test::deflate_util::Compressed;
namespace du = test::deflate_util;

// The compressed bytes give back the input: inflated, or as the raw copy.
void expectRoundTrip(const Compressed& c, const std::vector<uint8_t>& data, const std::string& what) {
  SCOPED_TRACE(what);
  EXPECT_FALSE(c.result.outputError);
  EXPECT_EQ(c.result.bytesRead, data.size());
  EXPECT_EQ(c.result.crc32, crc32(data));
  EXPECT_EQ(c.result.compressedSize, c.bytes.size());
  if (c.result.rawCopy) {
    EXPECT_EQ(c.bytes, data);
    return;
  }
  MemoryInput in(c.bytes);
  VectorOutput out;
  ASSERT_EQ(inflate(in, out), DecodeStatus::Ok);
  EXPECT_TRUE(out.bytes == data);
  EXPECT_EQ(in.remaining() + in.available(), 0u) << "the stream ends with the data";
}

struct Kind {
  const char* name;
  std::vector<uint8_t> (*make)(size_t);
};
const Kind kKinds[] = {
    {"text", [](size_t n) { return du::textBytes(n, 1); }},
    {"source", du::sourceBytes},
    {"binary", du::binaryBytes},
    {"random", [](size_t n) { return du::randomBytes(n, 2); }},
    {"runs", du::runBytes},
};
const size_t kSizes[] = {1, 2, 3, 36, 37, 300, 4097, 65274, 65275, 200000};
const int kModes[] = {0, 1, 2, 7};

TEST(DeflateRoundTrip, EveryModeKindAndSize) {
  DeflateEncoder enc;  // one encoder for all: also checks that nothing carries over
  for (const Kind& k : kKinds) {
    for (size_t size : kSizes) {
      const std::vector<uint8_t> data = k.make(size);
      for (int mode : kModes) {
        expectRoundTrip(compress(enc, mode, data), data,
                        std::string(k.name) + " " + std::to_string(size) + " mode " + std::to_string(mode));
      }
    }
  }
}

TEST(DeflateRoundTrip, EmptyInputProducesNoOutput) {
  DeflateEncoder enc;
  for (int mode : kModes) {
    const Compressed c = compress(enc, mode, {});
    EXPECT_TRUE(c.bytes.empty());
    EXPECT_EQ(c.result.compressedSize, 0u);
    EXPECT_EQ(c.result.bytesRead, 0u);
    EXPECT_EQ(c.result.crc32, 0u);
    EXPECT_TRUE(c.result.rawCopy);
    EXPECT_FALSE(c.result.outputError);
  }
}

TEST(DeflateRoundTrip, FilesThatDoNotShrinkAreCopiedOrNotSmaller) {
  DeflateEncoder enc;
  // Small files: one block that cannot shrink, copied raw.
  for (size_t size : {size_t{1}, size_t{36}, size_t{37}, size_t{5000}}) {
    const std::vector<uint8_t> data = du::randomBytes(size, 11);
    for (int mode : kModes) {
      const Compressed c = compress(enc, mode, data);
      EXPECT_TRUE(c.result.rawCopy) << size;
      EXPECT_EQ(c.bytes, data);
      EXPECT_GE(c.result.compressedSize, data.size());
    }
  }
  // Large random input: several (stored) blocks, never smaller than the
  // input, so the writer stores it.
  const std::vector<uint8_t> big = du::randomBytes(300000, 12);
  for (int mode : kModes) {
    const Compressed c = compress(enc, mode, big);
    EXPECT_FALSE(c.result.rawCopy);
    EXPECT_GE(c.result.compressedSize, big.size());
    expectRoundTrip(c, big, "random 300000 mode " + std::to_string(mode));
  }
}

TEST(DeflateRoundTrip, CompressibleDataShrinks) {
  DeflateEncoder enc;
  const std::vector<uint8_t> text = du::textBytes(500000, 5);
  const std::vector<uint8_t> runs(1 << 20, 'a');
  for (int mode : kModes) {
    const Compressed t = compress(enc, mode, text);
    EXPECT_LT(t.result.compressedSize, text.size() / 2) << mode;
    const Compressed r = compress(enc, mode, runs);
    EXPECT_LT(r.result.compressedSize, runs.size() / 100) << mode;
    expectRoundTrip(r, runs, "a run of 1 MB");
  }
}

TEST(DeflateRoundTrip, SameInputSameBytesWhateverCameBefore) {
  const std::vector<uint8_t> data = du::textBytes(150000, 21);
  // The tail of the input overlaps what a previous, longer file left in the
  // window; the output must not depend on it.
  std::vector<uint8_t> longer = data;
  longer.insert(longer.end(), 70000, 'q');
  for (int mode : {0, 1, 2}) {
    DeflateEncoder fresh;
    const Compressed first = compress(fresh, mode, data);
    const Compressed again = compress(fresh, mode, data);
    EXPECT_EQ(first.bytes, again.bytes) << mode;

    DeflateEncoder used;
    compress(used, mode, longer);
    compress(used, 2, du::randomBytes(100000, 4));
    EXPECT_EQ(compress(used, mode, data).bytes, first.bytes) << mode;
  }
}

TEST(DeflateRoundTrip, ModesOutsideTheTableActAsNormal) {
  DeflateEncoder enc;
  const std::vector<uint8_t> data = du::sourceBytes(120000);
  const std::vector<uint8_t> normal = compress(enc, 0, data).bytes;
  for (int mode : {7, -1, 3, 100}) EXPECT_EQ(compress(enc, mode, data).bytes, normal) << mode;
  EXPECT_NE(compress(enc, 1, data).bytes, normal);
  EXPECT_NE(compress(enc, 2, data).bytes, normal);
}

TEST(DeflateRoundTrip, Python3ZlibInflatesEveryMode) {
  if (!test::haveProgram("python3")) GTEST_SKIP() << "python3 not installed";
  test::ScopedRoot root;
  test::ScratchDir dir("deflate-py");
  DeflateEncoder enc;
  int files = 0;
  for (const Kind& k : kKinds) {
    for (size_t size : {size_t{300}, size_t{65275}, size_t{200000}}) {
      const std::vector<uint8_t> data = k.make(size);
      for (int mode : {0, 1, 2}) {
        const Compressed c = compress(enc, mode, data);
        if (c.result.rawCopy) continue;
        const std::string base = dir.file(std::to_string(files++));
        test::writeFile(base + ".raw", data);
        test::writeFile(base + ".def", c.bytes);
      }
    }
  }
  ASSERT_GT(files, 20);
  static const char* const kScript = R"(
import glob, sys, zlib
bad = 0
for raw in sorted(glob.glob(sys.argv[1] + "/*.raw")):
    data = open(raw, "rb").read()
    d = zlib.decompressobj(-15)
    out = d.decompress(open(raw[:-4] + ".def", "rb").read()) + d.flush()
    if out != data or not d.eof or d.unused_data:
        bad += 1
        print("mismatch", raw)
print("bad", bad)
)";
  std::string out;
  ASSERT_EQ(test::run({"python3", "-c", kScript, dir.path()}, &out), 0);
  EXPECT_NE(out.find("bad 0"), std::string::npos) << out;
}

// ---- Files ----

TEST(DeflateFiles, ReadsTheInputFileAndWritesAtTheOutputPosition) {
  test::ScopedRoot root;
  test::ScratchDir dir("deflate-files");
  const std::vector<uint8_t> data = du::textBytes(100000, 8);
  test::writeFile(dir.file("in.txt"), data);

  File in;
  ASSERT_TRUE(in.open(dir.file("in.txt"), File::Mode::Read));
  File out;
  ASSERT_TRUE(out.open(dir.file("out.bin"), File::Mode::Create));
  const std::vector<uint8_t> header(30, 0xEE);
  ASSERT_TRUE(out.write(header.data(), header.size()));

  FileDeflateInput input(in);
  EXPECT_EQ(input.length(), data.size());
  FileDeflateOutput output(out);
  DeflateEncoder enc;
  const DeflateResult r = enc.compress(0, input, output);
  out.close();
  EXPECT_FALSE(r.outputError);
  EXPECT_EQ(r.bytesRead, data.size());

  DeflateEncoder again;
  const Compressed expected = compress(again, 0, data);
  std::vector<uint8_t> file = test::readFile(dir.file("out.bin"));
  ASSERT_EQ(file.size(), header.size() + expected.bytes.size());
  EXPECT_TRUE(std::equal(header.begin(), header.end(), file.begin()));
  EXPECT_TRUE(std::equal(expected.bytes.begin(), expected.bytes.end(), file.begin() + 30));
  EXPECT_EQ(r.compressedSize, expected.bytes.size());
}

// Takes the first limit bytes, then fails.
class FailingOutput final : public DeflateOutput {
 public:
  explicit FailingOutput(size_t limit) : limit_(limit) {}
  bool write(const uint8_t*, size_t count) override {
    ++calls;
    if (taken + count > limit_) return false;
    taken += count;
    return true;
  }
  size_t taken = 0;
  int calls = 0;

 private:
  size_t limit_;
};

TEST(DeflateFiles, AFailingWriteSetsTheErrorFlagAndStops) {
  DeflateEncoder enc;
  const std::vector<uint8_t> data = du::randomBytes(2000000, 9);
  for (size_t limit : {size_t{0}, size_t{24576}, size_t{100000}}) {
    MemoryDeflateInput in(data);
    FailingOutput out(limit);
    const DeflateResult r = enc.compress(1, in, out);
    EXPECT_TRUE(r.outputError) << limit;
    EXPECT_FALSE(r.rawCopy);
    EXPECT_LT(r.bytesRead, data.size()) << "stops soon after the failure";
  }
  // The raw copy goes through the same output.
  const std::vector<uint8_t> small = du::randomBytes(40, 9);
  MemoryDeflateInput in(small);
  FailingOutput out(10);
  EXPECT_TRUE(enc.compress(0, in, out).outputError);
  // And the encoder works normally afterwards.
  expectRoundTrip(compress(enc, 0, data), data, "after failures");
}

TEST(DeflateFiles, ACallFromInsideARunningCompressionIsRefused) {
  DeflateEncoder enc;
  const std::vector<uint8_t> data = du::textBytes(200000, 3);
  DeflateResult inner;
  bool called = false;
  enc.setBlockObserver([&](const DeflateBlockInfo&) {
    if (called) return;
    called = true;
    MemoryDeflateInput in(data);
    VectorDeflateOutput out;
    inner = enc.compress(0, in, out);
  });
  const Compressed outer = compress(enc, 0, data);
  enc.setBlockObserver(nullptr);
  ASSERT_TRUE(called);
  EXPECT_TRUE(inner.busy);
  EXPECT_EQ(inner.bytesRead, 0u);
  expectRoundTrip(outer, data, "outer call");
}

// ---- Progress ----

struct Message {
  uint32_t n;
  WParam w;
  std::string text;
};

TEST(DeflateProgressTest, ReportsEveryTenthRefillAndAtTheEnd) {
  std::vector<Message> messages;
  const Handle window = createWindow([&](uint32_t msg, WParam w, LParam l) -> intptr_t {
    messages.push_back({msg - WM_USER, w, l ? reinterpret_cast<const char*>(l) : ""});
    return 0;
  });
  int pumps = 0;
  setMessagePump([&] { ++pumps; });

  // 40 windows' worth: the first read, then 39 refills of 32,768 bytes and
  // one that finds the end: reports at refills 10, 20, 30 and 40, then the
  // final pair.
  const std::vector<uint8_t> data = du::textBytes(40 * 32768, 13);
  DeflateEncoder enc;
  MemoryDeflateInput in(data);
  VectorDeflateOutput out;
  DeflateProgress progress;
  progress.window = window;
  progress.pump = true;
  progress.fileName = "DOCS/REPORT.TXT";
  const DeflateResult r = enc.compress(0, in, out, progress);
  setMessagePump(nullptr);
  destroyWindow(window);

  ASSERT_EQ(messages.size(), 10u);
  EXPECT_EQ(pumps, 10);
  WParam lastRate = 0;
  for (size_t i = 0; i < messages.size(); i += 2) {
    EXPECT_EQ(messages[i].n, kNotifyZipping);
    EXPECT_EQ(messages[i + 1].n, kNotifyZipping2);
    EXPECT_EQ(messages[i].text, "DOCS/REPORT.TXT");
    EXPECT_EQ(messages[i + 1].text, "DOCS/REPORT.TXT");
    EXPECT_GE(messages[i].w, 1u);
    EXPECT_GE(messages[i + 1].w, lastRate);
    EXPECT_LE(messages[i + 1].w, 100u);
    lastRate = messages[i + 1].w;
  }
  EXPECT_LT(messages[1].w, 100u);
  EXPECT_GT(messages[5].w, 0u);
  EXPECT_EQ(messages[8].w, r.compressedSize / 1024 + 1);
  EXPECT_EQ(messages[9].w, 100u);
}

TEST(DeflateProgressTest, NoWindowNoMessagesAndNoPumpingWhenOff) {
  int pumps = 0;
  setMessagePump([&] { ++pumps; });
  const std::vector<uint8_t> data = du::textBytes(40 * 32768, 13);
  DeflateEncoder enc;
  MemoryDeflateInput in(data);
  VectorDeflateOutput out;
  const DeflateResult r = enc.compress(0, in, out, DeflateProgress{});
  setMessagePump(nullptr);
  EXPECT_EQ(pumps, 0);
  EXPECT_EQ(r.bytesRead, data.size());
}

}  // namespace
}  // namespace vz::engine
