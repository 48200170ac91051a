// Inflate: hand-built streams for the edge cases, python3's zlib as the
// control on generated data, and the reference inflater alongside every
// decode (same output, same status).
#include "control/engine/decode/inflate.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/support/inflate_reference.h"
#include "tests/engine/decode/decoder_test_util.h"
#include "tests/support/test_env.h"

namespace vz::engine {
namespace {

using test::BitWriter;
using test::Decoded;

constexpr size_t kWhole = std::numeric_limits<size_t>::max();

// Decodes with inflate and with the reference; both must agree.
Decoded decode(const std::vector<uint8_t>& in, size_t chunk = kWhole, uint64_t limit = DecodeOutput::kNoLimit) {
  MemoryInput fastIn(in, chunk);
  VectorOutput fastOut;
  fastOut.setLimit(limit);
  const DecodeStatus status = inflate(fastIn, fastOut);
  MemoryInput refIn(in, chunk);
  VectorOutput refOut;
  refOut.setLimit(limit);
  const DecodeStatus refStatus = inflateReference(refIn, refOut);
  EXPECT_EQ(status, refStatus);
  EXPECT_EQ(fastOut.bytes, refOut.bytes);
  EXPECT_EQ(fastOut.overran(), refOut.overran());
  return Decoded{status, fastOut.bytes, fastOut.overran()};
}

// ---- fixed-code writers ----
void fixedSymbol(BitWriter& w, unsigned symbol) {
  if (symbol < 144) {
    w.code(0x30 + symbol, 8);
  } else if (symbol < 256) {
    w.code(0x190 + symbol - 144, 9);
  } else if (symbol < 280) {
    w.code(symbol - 256, 7);
  } else {
    w.code(0xC0 + symbol - 280, 8);
  }
}
void fixedHeader(BitWriter& w, bool last) {
  w.bits(last ? 1 : 0, 1);
  w.bits(1, 2);
}
void storedBlock(BitWriter& w, bool last, const std::string& data) {
  w.bits(last ? 1 : 0, 1);
  w.bits(0, 2);
  w.alignToByte();
  const uint16_t len = static_cast<uint16_t>(data.size());
  w.byte(len & 0xFF);
  w.byte(len >> 8);
  w.byte(~len & 0xFF);
  w.byte((~len >> 8) & 0xFF);
  for (char c : data) w.byte(static_cast<uint8_t>(c));
}

// ---- dynamic blocks ----
// One entry of the code-length sequence: a length 0-15, or 16/17/18 with its extra bits.
struct Token {
  unsigned symbol;
  unsigned extra = 0;
};
// The code-length code used by default: complete, every symbol usable.
// Symbols 0-10, 16, 17 have 4 bits; 11-15 and 18 have 5 bits.
std::vector<uint8_t> defaultCodeLengthLengths() {
  std::vector<uint8_t> cl(19, 4);
  for (unsigned s : {11u, 12u, 13u, 14u, 15u, 18u}) cl[s] = 5;
  return cl;
}
constexpr uint8_t kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

void dynamicHeader(BitWriter& w, bool last, unsigned nlit, unsigned ndist, const std::vector<Token>& tokens,
                   const std::vector<uint8_t>& cl = defaultCodeLengthLengths()) {
  w.bits(last ? 1 : 0, 1);
  w.bits(2, 2);
  w.bits(nlit - 257, 5);
  w.bits(ndist - 1, 5);
  w.bits(19 - 4, 4);
  for (uint8_t s : kOrder) w.bits(cl[s], 3);
  const std::vector<uint32_t> codes = test::canonicalCodes(cl);
  for (const Token& t : tokens) {
    w.code(codes[t.symbol], cl[t.symbol]);
    if (t.symbol == 16) w.bits(t.extra, 2);
    if (t.symbol == 17) w.bits(t.extra, 3);
    if (t.symbol == 18) w.bits(t.extra, 7);
  }
}
std::vector<Token> plainTokens(const std::vector<uint8_t>& lengths) {
  std::vector<Token> t;
  for (uint8_t l : lengths) t.push_back({l});
  return t;
}

// A dynamic block with the given literal/length and distance lengths (sent
// plainly); returns the codes so that the caller can write symbols.
struct DynamicCodes {
  std::vector<uint8_t> litLengths, distLengths;
  std::vector<uint32_t> lit, dist;
  void symbol(BitWriter& w, unsigned s) const { w.code(lit[s], litLengths[s]); }
  void distance(BitWriter& w, unsigned s) const { w.code(dist[s], distLengths[s]); }
};
DynamicCodes dynamicBlock(BitWriter& w, bool last, std::vector<uint8_t> litLengths, std::vector<uint8_t> distLengths) {
  std::vector<uint8_t> all = litLengths;
  all.insert(all.end(), distLengths.begin(), distLengths.end());
  dynamicHeader(w, last, static_cast<unsigned>(litLengths.size()), static_cast<unsigned>(distLengths.size()),
                plainTokens(all));
  return DynamicCodes{litLengths, distLengths, test::canonicalCodes(litLengths), test::canonicalCodes(distLengths)};
}

TEST(InflateEdgeCases, StoredBlockOfLengthZeroThenAnotherBlock) {
  BitWriter w;
  storedBlock(w, false, "");
  storedBlock(w, false, "ab");
  fixedHeader(w, true);
  fixedSymbol(w, 'c');
  fixedSymbol(w, 256);
  const Decoded d = decode(w.bytes());
  EXPECT_EQ(d.status, DecodeStatus::Ok);
  EXPECT_EQ(test::toString(d.bytes), "abc");
}

TEST(InflateEdgeCases, DistanceOneLength258RepeatsTheLastByte) {
  BitWriter w;
  fixedHeader(w, true);
  fixedSymbol(w, 'x');
  fixedSymbol(w, 285);  // length 258
  w.code(0, 5);         // distance 1
  fixedSymbol(w, 256);
  const Decoded d = decode(w.bytes());
  EXPECT_EQ(d.status, DecodeStatus::Ok);
  EXPECT_EQ(test::toString(d.bytes), std::string(259, 'x'));
}

TEST(InflateEdgeCases, OverlappingMatchesRepeatTheirPattern) {
  // Distances 2 to 9 with lengths that do not divide evenly, in one fixed block.
  BitWriter w;
  fixedHeader(w, true);
  std::string expected;
  for (char c : std::string("0123456789")) {
    fixedSymbol(w, static_cast<uint8_t>(c));
    expected += c;
  }
  for (unsigned dist = 2; dist <= 9; ++dist) {
    fixedSymbol(w, 265);  // length 11 or 12
    w.bits(1, 1);         // 12
    // distance codes 1..7 cover 2..9 (4 and 6 carry one extra bit)
    static const unsigned kCode[] = {0, 0, 1, 2, 3, 4, 4, 5, 5, 6};
    static const unsigned kExtra[] = {0, 0, 0, 0, 0, 0, 1, 0, 1, 0};
    w.code(kCode[dist], 5);
    if (dist >= 5) w.bits(kExtra[dist], dist >= 9 ? 2 : 1);
    for (int i = 0; i < 12; ++i) expected += expected[expected.size() - dist];
  }
  fixedSymbol(w, 256);
  const Decoded d = decode(w.bytes());
  EXPECT_EQ(d.status, DecodeStatus::Ok);
  EXPECT_EQ(test::toString(d.bytes), expected);
}

TEST(InflateEdgeCases, DynamicBlockWithHlit30IsRefused) {
  BitWriter w;
  std::vector<uint8_t> lit(287, 0);
  lit['a'] = 1;
  lit[256] = 1;
  dynamicBlock(w, true, lit, {1});
  EXPECT_EQ(decode(w.bytes()).status, DecodeStatus::BadData);
}

TEST(InflateEdgeCases, FixedBlockDistanceCodes30And31AreInvalid) {
  for (unsigned code : {30u, 31u}) {
    BitWriter w;
    fixedHeader(w, true);
    fixedSymbol(w, 'a');
    fixedSymbol(w, 257);
    w.code(code, 5);
    w.bits(0, 16);
    fixedSymbol(w, 256);
    const Decoded d = decode(w.bytes());
    EXPECT_EQ(d.status, DecodeStatus::BadData) << code;
    EXPECT_EQ(test::toString(d.bytes), "a");  // what came before the fault is delivered
  }
}

TEST(InflateEdgeCases, FixedLengthSymbols286And287AreInvalid) {
  for (unsigned symbol : {286u, 287u}) {
    BitWriter w;
    fixedHeader(w, true);
    fixedSymbol(w, symbol);
    w.bits(0, 16);
    EXPECT_EQ(decode(w.bytes()).status, DecodeStatus::BadData);
  }
}

TEST(InflateEdgeCases, OnlyDistanceCodeOfLengthOneDecodesNormally) {
  std::vector<uint8_t> lit(258, 0);
  lit['a'] = 1;
  lit[256] = 2;
  lit[257] = 2;
  BitWriter w;
  const DynamicCodes c = dynamicBlock(w, true, lit, {1});
  c.symbol(w, 'a');
  c.symbol(w, 257);  // length 3
  c.distance(w, 0);  // distance 1
  c.symbol(w, 256);
  const Decoded d = decode(w.bytes());
  EXPECT_EQ(d.status, DecodeStatus::Ok);
  EXPECT_EQ(test::toString(d.bytes), "aaaa");
}

TEST(InflateEdgeCases, BlockWithoutDistanceCodesDecodesLiterals) {
  std::vector<uint8_t> lit(257, 0);
  lit['a'] = 1;
  lit[256] = 1;
  BitWriter w;
  const DynamicCodes c = dynamicBlock(w, true, lit, {0});
  c.symbol(w, 'a');
  c.symbol(w, 'a');
  c.symbol(w, 256);
  const Decoded d = decode(w.bytes());
  EXPECT_EQ(d.status, DecodeStatus::Ok);
  EXPECT_EQ(test::toString(d.bytes), "aa");
}

TEST(InflateEdgeCases, MatchWithoutDistanceCodesIsBadData) {
  std::vector<uint8_t> lit(258, 0);
  lit['a'] = 1;
  lit[256] = 2;
  lit[257] = 2;
  BitWriter w;
  const DynamicCodes c = dynamicBlock(w, true, lit, {0});
  c.symbol(w, 'a');
  c.symbol(w, 257);
  w.bits(0, 16);
  EXPECT_EQ(decode(w.bytes()).status, DecodeStatus::BadData);
}

TEST(InflateEdgeCases, StreamCutShortIsBadData) {
  BitWriter w;
  storedBlock(w, false, "stored part");
  fixedHeader(w, true);
  for (char ch : std::string("fixed part, fixed part")) fixedSymbol(w, static_cast<uint8_t>(ch));
  fixedSymbol(w, 256);
  const std::vector<uint8_t>& full = w.bytes();
  ASSERT_EQ(decode(full).status, DecodeStatus::Ok);
  for (size_t cut = 0; cut < full.size(); ++cut) {
    const std::vector<uint8_t> part(full.begin(), full.begin() + static_cast<ptrdiff_t>(cut));
    EXPECT_EQ(decode(part).status, DecodeStatus::BadData) << cut;
  }
}

TEST(InflateEdgeCases, StoredLengthNotMatchingItsComplementIsBadData) {
  const std::vector<uint8_t> in = {0x01, 0x02, 0x00, 0xFD, 0xFE, 'a', 'b'};  // NLEN one off
  EXPECT_EQ(decode(in).status, DecodeStatus::BadData);
  const std::vector<uint8_t> good = {0x01, 0x02, 0x00, 0xFD, 0xFF, 'a', 'b'};
  EXPECT_EQ(test::toString(decode(good).bytes), "ab");
}

TEST(InflateEdgeCases, BlockType3IsInvalidBlockType) {
  BitWriter w;
  w.bits(1, 1);
  w.bits(3, 2);
  EXPECT_EQ(decode(w.bytes()).status, DecodeStatus::BadBlockType);
}

TEST(InflateEdgeCases, OverSubscribedAndIncompleteCodes) {
  {  // literal/length code over-subscribed: the builder's status 2 passes through
    std::vector<uint8_t> lit(257, 0);
    lit['a'] = lit['b'] = lit[256] = 1;
    BitWriter w;
    dynamicBlock(w, true, lit, {1});
    EXPECT_EQ(decode(w.bytes()).status, DecodeStatus::BadBlockType);
  }
  {  // literal/length code incomplete
    std::vector<uint8_t> lit(257, 0);
    lit['a'] = 1;
    lit[256] = 2;
    BitWriter w;
    dynamicBlock(w, true, lit, {1});
    EXPECT_EQ(decode(w.bytes()).status, DecodeStatus::BadData);
  }
  {  // a single literal/length code of length 1 counts as complete (but a 1 bit is no code)
    std::vector<uint8_t> lit(257, 0);
    lit[256] = 1;
    BitWriter w;
    const DynamicCodes c = dynamicBlock(w, true, lit, {1});
    c.symbol(w, 256);
    EXPECT_EQ(decode(w.bytes()).status, DecodeStatus::Ok);
  }
  {  // distance code incomplete: one code of length 2
    std::vector<uint8_t> lit(257, 0);
    lit['a'] = lit[256] = 1;
    BitWriter w;
    dynamicBlock(w, true, lit, {2});
    EXPECT_EQ(decode(w.bytes()).status, DecodeStatus::BadData);
  }
  {  // code-length code over-subscribed, then incomplete
    std::vector<uint8_t> cl(19, 1);
    BitWriter w;
    dynamicHeader(w, true, 257, 1, {}, cl);
    EXPECT_EQ(decode(w.bytes()).status, DecodeStatus::BadBlockType);
    std::vector<uint8_t> sparse(19, 0);
    sparse[1] = sparse[0] = 2;
    BitWriter w2;
    dynamicHeader(w2, true, 257, 1, {}, sparse);
    EXPECT_EQ(decode(w2.bytes()).status, DecodeStatus::BadData);
  }
}

TEST(InflateEdgeCases, CodeLengthRepeats) {
  // A repeat (16) before any length repeats zeros; 17 and 18 set the
  // previous length to 0; a repeat past the end of the lengths is refused.
  std::vector<Token> tokens;
  tokens.push_back({16, 0});    // 3 zeros (previous length starts at 0)
  tokens.push_back({18, 83});   // 94 zeros: positions 3..96
  tokens.push_back({1});        // 'a' (97) length 1
  tokens.push_back({18, 127});  // 138 zeros: 98..235
  tokens.push_back({18, 9});    // 20 zeros: 236..255
  tokens.push_back({1});        // 256 length 1
  tokens.push_back({1});        // distance 0 length 1
  BitWriter w;
  dynamicHeader(w, true, 257, 1, tokens);
  w.code(0, 1);  // 'a' (code 0), then end of block (code 1)
  w.code(1, 1);
  const Decoded d = decode(w.bytes());
  EXPECT_EQ(d.status, DecodeStatus::Ok);
  EXPECT_EQ(test::toString(d.bytes), "a");

  BitWriter over;
  dynamicHeader(over, true, 257, 1, {{18, 127}, {18, 127}});
  EXPECT_EQ(decode(over.bytes()).status, DecodeStatus::BadData);
}

TEST(InflateEdgeCases, DistanceBeforeTheFirstByteIsBadData) {
  BitWriter w;
  fixedHeader(w, true);
  fixedSymbol(w, 'a');
  fixedSymbol(w, 257);
  w.code(1, 5);  // distance 2, one byte written so far
  fixedSymbol(w, 256);
  EXPECT_EQ(decode(w.bytes()).status, DecodeStatus::BadData);
}

TEST(InflateEdgeCases, FinalCodeShorterThanTheLookupEndsAtTheLastByte) {
  // 3 header bits, six 9-bit literals and the 7-bit end code fill exactly
  // 8 bytes: the end code must decode although the 9-bit lookup runs past
  // the input.
  BitWriter w;
  fixedHeader(w, true);
  for (int i = 0; i < 6; ++i) fixedSymbol(w, 200);
  fixedSymbol(w, 256);
  ASSERT_EQ(w.bytes().size(), 8u);
  const Decoded d = decode(w.bytes());
  EXPECT_EQ(d.status, DecodeStatus::Ok);
  EXPECT_EQ(d.bytes, std::vector<uint8_t>(6, 200));
}

TEST(InflateEdgeCases, TrailingBytesAfterTheLastBlockAreIgnored) {
  BitWriter w;
  storedBlock(w, true, "end");
  std::vector<uint8_t> in = w.bytes();
  in.insert(in.end(), {0xFF, 0xFF, 0x00});
  EXPECT_EQ(test::toString(decode(in).bytes), "end");
}

// ---- output limit, flushes, hooks ----

std::vector<uint8_t> fixedStreamOf(size_t n) {
  // n bytes of "ab" pattern: literals then long matches, one fixed block.
  BitWriter w;
  fixedHeader(w, true);
  fixedSymbol(w, 'a');
  fixedSymbol(w, 'b');
  size_t have = 2;
  while (have + 258 <= n) {
    fixedSymbol(w, 285);
    w.code(1, 5);  // distance 2
    have += 258;
  }
  while (have < n) {
    fixedSymbol(w, have % 2 ? 'b' : 'a');
    ++have;
  }
  fixedSymbol(w, 256);
  return w.bytes();
}

TEST(InflateOutput, WholeWindowFlushesThenTheRest) {
  // Past eight windows, so that the window buffer wraps around once.
  const std::vector<uint8_t> in = fixedStreamOf(300000);
  MemoryInput input(in);
  VectorOutput out;
  out.recordFlushes = true;
  ASSERT_EQ(inflate(input, out), DecodeStatus::Ok);
  ASSERT_EQ(out.bytes.size(), 300000u);
  std::vector<size_t> expected(9, 32768);
  expected.push_back(300000 - 9 * 32768);
  EXPECT_EQ(out.flushSizes, expected);
}

TEST(InflateOutput, MatchesReachBackIntoLongStoredBlocks) {
  // Stored blocks longer than a window are flushed straight from the input;
  // the history must still hold their last 32 KB.
  std::string data;
  for (int i = 0; data.size() < 65535; ++i) data += std::to_string(i * 7919) + ",";
  data.resize(65535);
  BitWriter w;
  storedBlock(w, false, data);
  storedBlock(w, false, data.substr(0, 40000));
  fixedHeader(w, true);
  fixedSymbol(w, 285);  // length 258
  w.code(29, 5);        // distance 24577 + 8191 extra = 32768
  w.bits(8191, 13);
  fixedSymbol(w, 285);
  w.code(0, 5);  // distance 1
  fixedSymbol(w, 256);
  std::string expected = data + data.substr(0, 40000);
  expected += expected.substr(expected.size() - 32768, 258);
  expected += std::string(258, expected.back());
  for (size_t chunk : {kWhole, size_t{1000}}) {
    const Decoded d = decode(w.bytes(), chunk);
    EXPECT_EQ(d.status, DecodeStatus::Ok);
    EXPECT_EQ(test::toString(d.bytes), expected);
  }
}

TEST(InflateOutput, OutputPastTheLimitIsCutAndReported) {
  const std::vector<uint8_t> in = fixedStreamOf(100000);
  for (uint64_t limit : {0u, 1u, 5000u, 32768u, 65537u, 99999u}) {
    const Decoded d = decode(in, kWhole, limit);
    EXPECT_EQ(d.status, DecodeStatus::OutputStopped) << limit;
    EXPECT_TRUE(d.overran);
    EXPECT_EQ(d.bytes.size(), limit);
  }
  const Decoded exact = decode(in, kWhole, 100000);
  EXPECT_EQ(exact.status, DecodeStatus::Ok);
  EXPECT_FALSE(exact.overran);
}

TEST(InflateOutput, PumpAfterEachBlockAndCancel) {
  BitWriter w;
  storedBlock(w, false, "one");
  storedBlock(w, false, "two");
  storedBlock(w, true, "three");
  int pumps = 0;
  DecodeHooks hooks;
  hooks.pump = [&] { ++pumps; };
  MemoryInput in(w.bytes());
  VectorOutput out;
  EXPECT_EQ(inflate(in, out, &hooks), DecodeStatus::Ok);
  EXPECT_EQ(pumps, 3);
  hooks.cancelled = [&] { return pumps == 2; };
  pumps = 0;
  MemoryInput in2(w.bytes());
  VectorOutput out2;
  EXPECT_EQ(inflate(in2, out2, &hooks), DecodeStatus::Cancelled);
}

TEST(InflateInput, RemainingCountEndsTheInput) {
  // The compressed size ends the input even though more bytes follow in memory.
  BitWriter w;
  storedBlock(w, true, "abcdef");
  const std::vector<uint8_t>& bytes = w.bytes();
  MemoryInput in(bytes.data(), bytes.size() - 2);
  VectorOutput out;
  EXPECT_EQ(inflate(in, out), DecodeStatus::BadData);
  EXPECT_EQ(test::toString(out.bytes), "abcd");
}

// ---- python3's zlib as the control ----

class InflateAgainstZlib : public ::testing::Test {
 protected:
  test::ScopedRoot root_;
};

// Writes case-N.raw / case-N.def pairs: text, binary, random and run-heavy
// data compressed at levels 0-9 and with every strategy, some with flushes
// in the middle (empty stored blocks between blocks).
const char* kMakeStreams = R"PY(
import os, random, sys, zlib
out = sys.argv[1]
rnd = random.Random(1951)
words = ("archive window deflate inflate block table length distance literal code "
         "the of and to in is for on with as by at from").split()
def text(n):
    parts, size = [], 0
    while size < n:
        w = rnd.choice(words)
        w = (w.upper() if rnd.random() < 0.05 else w) + rnd.choice([" ", " ", " ", ", ", ".\n"])
        parts.append(w)
        size += len(w)
    return "".join(parts).encode()[:n]
datas = [b"", b"a", text(300), text(400000),
         bytes((i * i + (i >> 5)) & 0xFF for i in range(150000)),
         rnd.randbytes(70000),
         b"a" * 70000 + b"xyz" * 9000 + bytes(range(256)) * 40]
strategies = [zlib.Z_DEFAULT_STRATEGY, zlib.Z_FILTERED, zlib.Z_HUFFMAN_ONLY, zlib.Z_RLE, zlib.Z_FIXED]
n = 0
for d in datas:
    for level in range(10):
        for st in strategies:
            if st != zlib.Z_DEFAULT_STRATEGY and level not in (1, 6, 9):
                continue
            c = zlib.compressobj(level, zlib.DEFLATED, -15, 8, st)
            if len(d) > 1000 and level in (1, 9) and st == zlib.Z_DEFAULT_STRATEGY:
                third = len(d) // 3
                comp = c.compress(d[:third]) + c.flush(zlib.Z_SYNC_FLUSH)
                comp += c.compress(d[third:2 * third]) + c.flush(zlib.Z_FULL_FLUSH)
                comp += c.compress(d[2 * third:]) + c.flush()
            else:
                comp = c.compress(d) + c.flush()
            open(os.path.join(out, "case-%d.raw" % n), "wb").write(d)
            open(os.path.join(out, "case-%d.def" % n), "wb").write(comp)
            n += 1
print(n)
)PY";

TEST_F(InflateAgainstZlib, GeneratedDataDecodesByteForByte) {
  if (!test::haveProgram("python3")) GTEST_SKIP() << "python3 not installed";
  test::ScratchDir dir("inflate");
  std::string count;
  ASSERT_EQ(test::run({"python3", "-c", kMakeStreams, dir.path()}, &count), 0);
  const int n = std::stoi(count);
  ASSERT_GT(n, 100);
  for (int i = 0; i < n; ++i) {
    const std::vector<uint8_t> raw = test::readFile(dir.file("case-" + std::to_string(i) + ".raw"));
    const std::vector<uint8_t> def = test::readFile(dir.file("case-" + std::to_string(i) + ".def"));
    const Decoded d = decode(def);
    ASSERT_EQ(d.status, DecodeStatus::Ok) << "case " << i;
    ASSERT_TRUE(d.bytes == raw) << "case " << i;
    // Small input spans exercise the refill edges of the fast loop.
    if (i % 7 == 0) {
      for (size_t chunk : {1u, 13u, 4096u}) {
        const Decoded c = decode(def, chunk);
        ASSERT_EQ(c.status, DecodeStatus::Ok) << "case " << i << " chunk " << chunk;
        ASSERT_TRUE(c.bytes == raw) << "case " << i << " chunk " << chunk;
      }
    }
    // Every cut of a small stream fails.
    if (def.size() < 400 && raw.size() > 1) {
      for (size_t cut = 0; cut < def.size(); ++cut) {
        const std::vector<uint8_t> part(def.begin(), def.begin() + static_cast<ptrdiff_t>(cut));
        ASSERT_NE(decode(part).status, DecodeStatus::Ok) << "case " << i << " cut " << cut;
      }
    }
  }
}

// ---- fast path against the reference on damaged streams ----

TEST(InflateAgainstReference, DamagedStreamsGiveTheSameResult) {
  std::vector<std::vector<uint8_t>> seeds = {fixedStreamOf(5000), fixedStreamOf(70000)};
  {
    // A dynamic block with matches.
    // Complete: 16 x 5 bits, 16 x 6 bits, and lengths 3, 4, 5 with 5, 4, 3 bits.
    std::vector<uint8_t> lit(260, 0);
    std::fill(lit.begin() + 'a', lit.begin() + 'a' + 16, 5);
    std::fill(lit.begin() + 'A', lit.begin() + 'A' + 16, 6);
    lit[256] = 5;
    lit[257] = 5;
    lit[258] = 4;
    lit[259] = 3;
    BitWriter w;
    std::vector<uint8_t> dist(30, 5);
    dist[0] = dist[1] = 4;
    const DynamicCodes c = dynamicBlock(w, true, lit, dist);
    std::mt19937 rng(5);
    for (int i = 0; i < 3000; ++i) {
      if (rng() % 3 == 0 && i > 20) {
        c.symbol(w, 257 + rng() % 3);
        const unsigned d = rng() % 8;
        c.distance(w, d);
        if (d >= 4) w.bits(rng(), (d - 2) / 2);
      } else {
        c.symbol(w, 'a' + rng() % 16);
      }
    }
    c.symbol(w, 256);
    seeds.push_back(w.bytes());
  }
  std::mt19937 rng(1996);
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> in = seeds[round % seeds.size()];
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits && !in.empty(); ++e) {
      const size_t at = rng() % in.size();
      switch (rng() % 4) {
        case 0:
          in[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
          break;
        case 1:
          in[at] = static_cast<uint8_t>(rng());
          break;
        case 2:
          in.resize(at);
          break;
        default:
          in.insert(in.begin() + static_cast<ptrdiff_t>(at), static_cast<uint8_t>(rng()));
      }
    }
    const size_t chunk = (round % 5 == 0) ? 1 + rng() % 40 : kWhole;
    const uint64_t limit = (round % 11 == 0) ? rng() % 80000 : DecodeOutput::kNoLimit;
    decode(in, chunk, limit);
    if (::testing::Test::HasFailure()) {
      ADD_FAILURE() << "round " << round;
      return;
    }
  }
}

}  // namespace
}  // namespace vz::engine
