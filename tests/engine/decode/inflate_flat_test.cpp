// The flat inflater (inflateFlat), the streamed deflate64 decoder and the
// buffer entry point. Plain deflate is checked against inflate() and the
// reference inflater on every stream: python3's zlib at every level and
// strategy, hand-built token streams that use every length and distance
// code, their truncations and random damage. Deflate64, which neither of
// those decodes, is checked on token streams whose bytes the test knows,
// on archives made by 7zz at test time (their CRCs) and on the corpus.
// Every flat decode runs in a buffer with guard bytes on both sides.
#include "control/engine/decode/inflate_flat.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>

#include "control/engine/decode/decode_entry_extended.h"
#include "control/engine/decode/decode_entry_flat.h"
#include "control/engine/decode/inflate.h"
#include "control/engine/decode/inflate64.h"
#include "control/engine/format/crc32.h"
#include "tests/engine/decode/decoder_test_util.h"
#include "tests/support/inflate_reference.h"
#include "tests/support/test_env.h"

namespace vz::engine {
namespace {

using test::BitWriter;
using Bytes = std::vector<uint8_t>;

constexpr size_t kWhole = std::numeric_limits<size_t>::max();
constexpr size_t kGuard = 64;
constexpr uint8_t kGuardByte = 0xA5;

struct FlatResult {
  DecodeStatus status;
  Bytes bytes;  // out[0..produced)
};

// inflateFlat into a buffer of size bytes between guards, which must stay untouched.
FlatResult flatDecode(const Bytes& in, size_t size, DeflateVariant variant, size_t chunk = kWhole,
                      const DecodeHooks* hooks = nullptr) {
  Bytes buffer(size + 2 * kGuard, kGuardByte);
  MemoryInput input(in, chunk);
  size_t produced = 0;
  const DecodeStatus status = inflateFlat(input, buffer.data() + kGuard, size, produced, variant, hooks);
  EXPECT_LE(produced, size);
  for (size_t i = 0; i < kGuard; ++i) {
    EXPECT_EQ(buffer[i], kGuardByte) << "written before the buffer";
    EXPECT_EQ(buffer[kGuard + size + i], kGuardByte) << "written past the buffer";
  }
  return {status, Bytes(buffer.begin() + kGuard, buffer.begin() + static_cast<ptrdiff_t>(kGuard + produced))};
}

FlatResult streamedDecode(const Bytes& in, DeflateVariant variant, size_t chunk = kWhole,
                          uint64_t limit = DecodeOutput::kNoLimit) {
  MemoryInput input(in, chunk);
  VectorOutput out;
  out.setLimit(limit);
  out.recordFlushes = true;
  const DecodeStatus status = inflateStreamed(input, out, variant);
  for (size_t i = 0; i + 1 < out.flushSizes.size(); ++i) EXPECT_EQ(out.flushSizes[i], 32768u);
  return {status, out.bytes};
}

// What the flat decoder must give in a buffer of size bytes, given the
// unlimited decode's status and bytes: data past the end stops it there.
FlatResult expectedFlat(const FlatResult& unlimited, size_t size) {
  if (unlimited.bytes.size() > size) {
    return {DecodeStatus::OutputStopped, Bytes(unlimited.bytes.begin(), unlimited.bytes.begin() + size)};
  }
  return unlimited;
}

void expectSame(const FlatResult& got, const FlatResult& want, const std::string& what) {
  EXPECT_EQ(got.status, want.status) << what;
  EXPECT_EQ(got.bytes.size(), want.bytes.size()) << what;
  EXPECT_TRUE(got.bytes == want.bytes) << what;
}

// Plain deflate: inflate() and the reference agree, and the flat decoder
// matches them in a buffer of the exact size, one byte short, and larger,
// and with the input in small spans; the streamed decoder matches too.
void checkDeflate(const Bytes& in, const std::string& what) {
  MemoryInput windowedIn(in);
  VectorOutput windowedOut;
  const FlatResult windowed{inflate(windowedIn, windowedOut), windowedOut.bytes};
  MemoryInput refIn(in);
  VectorOutput refOut;
  ASSERT_EQ(inflateReference(refIn, refOut), windowed.status) << what;
  ASSERT_TRUE(refOut.bytes == windowed.bytes) << what;

  const size_t n = windowed.bytes.size();
  for (size_t size : {n, n + 100, n > 0 ? n - 1 : size_t{0}, n / 2}) {
    expectSame(flatDecode(in, size, DeflateVariant::Deflate), expectedFlat(windowed, size),
               what + " size " + std::to_string(size));
  }
  for (size_t chunk : {size_t{1}, size_t{7}, size_t{1000}}) {
    expectSame(flatDecode(in, n, DeflateVariant::Deflate, chunk), expectedFlat(windowed, n),
               what + " chunk " + std::to_string(chunk));
  }
  expectSame(streamedDecode(in, DeflateVariant::Deflate, 24576), windowed, what + " streamed");
}

// ---- a deflate writer for token streams (both variants) ----

struct Token {
  uint32_t length;    // 0: a literal
  uint32_t distance;  // or the literal byte
};
struct Code {
  unsigned symbol, extraBits, extra;
};

Code lengthCode(uint32_t length, bool wide, bool preferWide) {
  static const uint16_t base[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                    31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
  static const uint8_t extra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                    2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
  if (wide && (length > 258 || preferWide)) return {285, 16, length - 3};
  if (!wide && length == 258) return {285, 0, 0};
  unsigned i = 27;
  while (base[i] > length) --i;
  return {257 + i, extra[i], length - base[i]};
}
Code distanceCode(uint32_t distance) {
  unsigned i = 0;
  uint32_t base = 1;
  for (;; ++i) {
    const unsigned e = i < 4 ? 0 : (i - 2) / 2;
    if (distance < base + (1u << e)) return {i, e, distance - base};
    base += 1u << e;
  }
}

enum class BlockKind { Stored, Fixed, Dynamic };

class DeflateWriter {
 public:
  DeflateWriter(bool wide, std::mt19937& rng) : wide_(wide), rng_(rng) {}

  // One block of tokens (a stored block takes the literal bytes only).
  void block(BlockKind kind, const std::vector<Token>& tokens, bool last) {
    w_.bits(last ? 1 : 0, 1);
    if (kind == BlockKind::Stored) {
      w_.bits(0, 2);
      w_.alignToByte();
      const uint16_t len = static_cast<uint16_t>(tokens.size());
      for (uint8_t b : {uint8_t(len), uint8_t(len >> 8), uint8_t(~len), uint8_t(~len >> 8)}) w_.byte(b);
      for (const Token& t : tokens) w_.byte(static_cast<uint8_t>(t.distance));
      return;
    }
    std::vector<Code> lens, dists;
    for (const Token& t : tokens) {
      lens.push_back(t.length == 0 ? Code{t.distance, 0, 0} : lengthCode(t.length, wide_, rng_() % 4 == 0));
      dists.push_back(t.length == 0 ? Code{0, 0, 0} : distanceCode(t.distance));
    }
    std::vector<uint8_t> litLengths(288, 0), distLengths(32, 0);
    if (kind == BlockKind::Fixed) {
      w_.bits(1, 2);
      for (unsigned s = 0; s < 288; ++s) litLengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
      std::fill(distLengths.begin(), distLengths.end(), 5);
    } else {
      w_.bits(2, 2);
      std::vector<bool> usedLit(286, false), usedDist(32, false);
      usedLit[256] = true;
      for (size_t i = 0; i < tokens.size(); ++i) {
        usedLit[lens[i].symbol] = true;
        if (tokens[i].length != 0) usedDist[dists[i].symbol] = true;
      }
      usedDist[0] = usedDist[1] = true;  // at least two codes
      if (rng_() % 3 == 0) usedLit['e'] = true;
      litLengths = randomLengths(usedLit, 286);
      distLengths = randomLengths(usedDist, wide_ ? 32 : 30);
      writeDynamicHeader(litLengths, distLengths);
    }
    const std::vector<uint32_t> lit = test::canonicalCodes(litLengths), dist = test::canonicalCodes(distLengths);
    for (size_t i = 0; i < tokens.size(); ++i) {
      w_.code(lit[lens[i].symbol], litLengths[lens[i].symbol]);
      w_.bits(lens[i].extra, lens[i].extraBits);
      if (tokens[i].length == 0) continue;
      w_.code(dist[dists[i].symbol], distLengths[dists[i].symbol]);
      w_.bits(dists[i].extra, dists[i].extraBits);
    }
    w_.code(lit[256], litLengths[256]);
  }
  const Bytes& bytes() const { return w_.bytes(); }

 private:
  // A random complete code over the used symbols (at most 15 bits); a few
  // short codes make literal pairs likely.
  std::vector<uint8_t> randomLengths(const std::vector<bool>& used, unsigned alphabet) {
    std::vector<unsigned> symbols;
    for (unsigned s = 0; s < used.size(); ++s)
      if (used[s]) symbols.push_back(s);
    std::vector<uint8_t> leaves = test::randomCompleteLengths(
        rng_, static_cast<unsigned>(symbols.size()), static_cast<unsigned>(symbols.size()), rng_() % 2 ? 15 : 9);
    std::vector<uint8_t> lengths(alphabet, 0);
    for (size_t i = 0; i < symbols.size(); ++i) lengths[symbols[i]] = leaves[i];
    return lengths;
  }
  void writeDynamicHeader(const std::vector<uint8_t>& lit, const std::vector<uint8_t>& dist) {
    unsigned nlit = 286, ndist = static_cast<unsigned>(dist.size());
    while (nlit > 257 && lit[nlit - 1] == 0) --nlit;
    while (ndist > 1 && dist[ndist - 1] == 0) --ndist;
    w_.bits(nlit - 257, 5);
    w_.bits(ndist - 1, 5);
    w_.bits(15, 4);
    // Code-length code: 0-10, 16, 17 in 4 bits, 11-15 and 18 in 5 bits.
    std::vector<uint8_t> cl(19, 4);
    for (unsigned s : {11u, 12u, 13u, 14u, 15u, 18u}) cl[s] = 5;
    static const uint8_t order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    for (uint8_t s : order) w_.bits(cl[s], 3);
    const std::vector<uint32_t> clCodes = test::canonicalCodes(cl);
    std::vector<uint8_t> all(lit.begin(), lit.begin() + nlit);
    all.insert(all.end(), dist.begin(), dist.begin() + ndist);
    for (size_t i = 0; i < all.size();) {
      size_t run = 1;
      while (i + run < all.size() && all[i + run] == all[i]) ++run;
      if (all[i] == 0 && run >= 11) {
        run = std::min<size_t>(run, 138);
        w_.code(clCodes[18], cl[18]);
        w_.bits(static_cast<uint32_t>(run - 11), 7);
      } else if (all[i] == 0 && run >= 3) {
        run = std::min<size_t>(run, 10);
        w_.code(clCodes[17], cl[17]);
        w_.bits(static_cast<uint32_t>(run - 3), 3);
      } else if (i > 0 && all[i - 1] == all[i] && run >= 3) {
        run = std::min<size_t>(run, 6);
        w_.code(clCodes[16], cl[16]);
        w_.bits(static_cast<uint32_t>(run - 3), 2);
      } else {
        run = 1;
        w_.code(clCodes[all[i]], cl[all[i]]);
      }
      i += run;
    }
  }

  bool wide_;
  std::mt19937& rng_;
  BitWriter w_;
};

// A random stream and its bytes: literals from a small alphabet, matches of
// every length and distance the variant has (many of distance 1 to 8).
struct TokenStream {
  Bytes deflated, expected;
};
TokenStream randomStream(std::mt19937& rng, bool wide, size_t targetSize) {
  DeflateWriter writer(wide, rng);
  Bytes out;
  const uint32_t maxDistance = wide ? 65536 : 32768;
  const uint32_t maxLength = wide ? 65538 : 258;
  for (bool last = false; !last;) {
    const BlockKind kind = static_cast<BlockKind>(rng() % 5 == 0 ? 0 : 1 + rng() % 2);
    last = out.size() + 20000 >= targetSize;
    std::vector<Token> tokens;
    const size_t count = kind == BlockKind::Stored ? rng() % 3000 : 1 + rng() % 4000;
    for (size_t i = 0; i < count; ++i) {
      if (kind == BlockKind::Stored || out.empty() || rng() % 3 != 0) {
        const uint8_t b = static_cast<uint8_t>(rng() % 4 == 0 ? rng() : "etaoin shrdlu"[rng() % 13]);
        tokens.push_back({0, b});
        out.push_back(b);
        continue;
      }
      const unsigned pick = rng() % 64;
      uint32_t length = 3 + rng() % 30;
      if (pick == 0) length = maxLength - rng() % 4;
      if (pick > 0 && pick < 8) length = 3 + rng() % (wide ? 2000 : 256);
      const uint32_t reach = static_cast<uint32_t>(std::min<size_t>(out.size(), maxDistance));
      const uint32_t distance = rng() % 2 ? 1 + rng() % std::min<uint32_t>(reach, 8) : 1 + rng() % reach;
      tokens.push_back({length, distance});
      for (uint32_t k = 0; k < length; ++k) out.push_back(out[out.size() - distance]);
    }
    writer.block(kind, tokens, last);
  }
  return {writer.bytes(), out};
}

// ---- plain deflate against inflate() ----

TEST(InflateFlat, TokenStreamsWithEveryCodeMatchInflate) {
  std::mt19937 rng(1951);
  for (int i = 0; i < 12; ++i) {
    const TokenStream s = randomStream(rng, false, 1 + rng() % 200000);
    expectSame(flatDecode(s.deflated, s.expected.size(), DeflateVariant::Deflate), {DecodeStatus::Ok, s.expected},
               "stream " + std::to_string(i));
    checkDeflate(s.deflated, "stream " + std::to_string(i));
  }
}

TEST(InflateFlat, EveryLengthAndDistanceCodeInFixedBlocks) {
  // Each length 3..258 with a distance from each of the 30 codes (their
  // largest value), after enough literals for the farthest one.
  std::mt19937 rng(7);
  std::vector<Token> tokens;
  Bytes expected;
  for (int i = 0; i < 32768; ++i) {
    const uint8_t b = static_cast<uint8_t>(rng());
    tokens.push_back({0, b});
    expected.push_back(b);
  }
  DeflateWriter writer(false, rng);
  writer.block(BlockKind::Fixed, tokens, false);
  tokens.clear();
  for (uint32_t length = 3; length <= 258; ++length) {
    const uint32_t code = length % 30;
    const uint32_t distance = code < 4 ? code + 1 : (code % 2 ? 4u : 3u) << ((code - 2) / 2);
    tokens.push_back({length, distance});
    for (uint32_t k = 0; k < length; ++k) expected.push_back(expected[expected.size() - distance]);
  }
  writer.block(BlockKind::Fixed, tokens, true);
  expectSame(flatDecode(writer.bytes(), expected.size(), DeflateVariant::Deflate), {DecodeStatus::Ok, expected},
             "every code");
  checkDeflate(writer.bytes(), "every code");
}

TEST(InflateFlat, ZlibStreamsAtEveryLevelAndStrategyMatchInflate) {
  if (!test::haveProgram("python3")) GTEST_SKIP() << "python3 missing";
  test::ScratchDir dir("inflate-flat");
  const std::string script = R"(
import random, sys, zlib
out = sys.argv[1]
rng = random.Random(5)
words = [b"deflate", b"window", b"match", b"literal", b"block", b"header", b"the", b"a", b"of", b"\n"]
text = b" ".join(rng.choice(words) for _ in range(60000))
binary = bytes(rng.getrandbits(8) if i % 7 else (i >> 3) & 0xFF for i in range(150000))
runs = b"".join(bytes([rng.getrandbits(8)]) * rng.randint(1, 300) for _ in range(3000))
sets = {"text": text, "binary": binary, "runs": runs, "noise": rng.randbytes(70000), "empty": b""}
n = 0
for name, data in sets.items():
    for level in range(10):
        for strategy in (zlib.Z_DEFAULT_STRATEGY, zlib.Z_FILTERED, zlib.Z_HUFFMAN_ONLY, zlib.Z_RLE, zlib.Z_FIXED):
            if strategy != zlib.Z_DEFAULT_STRATEGY and level not in (1, 6, 9):
                continue
            c = zlib.compressobj(level, zlib.DEFLATED, -15, 9, strategy)
            blob = c.compress(data[: len(data) // 2]) + c.flush(zlib.Z_SYNC_FLUSH) + c.compress(data[len(data) // 2 :]) + c.flush()
            open("%s/%03d-%s-%d-%d.deflate" % (out, n, name, level, strategy), "wb").write(blob)
            n += 1
)";
  test::writeFile(dir.file("make.py"), script);
  ASSERT_EQ(test::run({"python3", dir.file("make.py"), dir.path()}), 0);
  std::string list;
  ASSERT_EQ(test::run({"sh", "-c", "ls " + dir.path() + "/*.deflate"}, &list), 0);
  std::istringstream names(list);
  int count = 0;
  for (std::string name; std::getline(names, name); ++count) checkDeflate(test::readFile(name), name);
  EXPECT_GE(count, 100);
}

TEST(InflateFlat, TruncatedAndDamagedStreamsGiveInflatesStatus) {
  std::mt19937 rng(3);
  const TokenStream s = randomStream(rng, false, 30000);
  for (size_t cut = 0; cut < s.deflated.size(); cut += 1 + cut / 8) {
    checkDeflate(Bytes(s.deflated.begin(), s.deflated.begin() + static_cast<ptrdiff_t>(cut)),
                 "cut " + std::to_string(cut));
  }
  for (int i = 0; i < 300; ++i) {
    Bytes damaged = s.deflated;
    for (int k = 0; k <= i % 3; ++k) damaged[rng() % damaged.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
    checkDeflate(damaged, "damage " + std::to_string(i));
  }
}

TEST(InflateFlat, DistanceBeforeTheFirstByteIsBadData) {
  for (bool wide : {false, true}) {
    BitWriter w;
    w.bits(1, 1);
    w.bits(1, 2);
    w.code(0x30 + 'a', 8);  // 'a'
    w.code(1, 7);           // length 3
    w.code(1, 5);           // distance 2, one byte written
    w.code(0, 7);           // end of block
    const FlatResult r = flatDecode(w.bytes(), 10, wide ? DeflateVariant::Deflate64 : DeflateVariant::Deflate);
    EXPECT_EQ(r.status, DecodeStatus::BadData);
    EXPECT_EQ(test::toString(r.bytes), "a");
  }
}

// ---- deflate64 ----

TEST(InflateFlat, Deflate64TokenStreamsDecodeFlatAndStreamed) {
  std::mt19937 rng(64);
  for (int i = 0; i < 10; ++i) {
    const TokenStream s = randomStream(rng, true, 1 + rng() % 600000);
    const std::string what = "stream " + std::to_string(i);
    expectSame(flatDecode(s.deflated, s.expected.size(), DeflateVariant::Deflate64), {DecodeStatus::Ok, s.expected},
               what);
    expectSame(flatDecode(s.deflated, s.expected.size() - 1, DeflateVariant::Deflate64),
               expectedFlat({DecodeStatus::Ok, s.expected}, s.expected.size() - 1), what + " short");
    expectSame(flatDecode(s.deflated, s.expected.size(), DeflateVariant::Deflate64, 5), {DecodeStatus::Ok, s.expected},
               what + " spans");
    expectSame(streamedDecode(s.deflated, DeflateVariant::Deflate64, 24576), {DecodeStatus::Ok, s.expected},
               what + " streamed");
    // Damage: the flat and streamed decoders agree on every status and byte.
    for (int k = 0; k < 20; ++k) {
      Bytes damaged = s.deflated;
      damaged[rng() % damaged.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
      // (one byte past the size shows the overrun, and keeps damage that
      // repeats long matches from producing gigabytes)
      const FlatResult streamed = streamedDecode(damaged, DeflateVariant::Deflate64, kWhole, s.expected.size() + 1);
      expectSame(flatDecode(damaged, s.expected.size(), DeflateVariant::Deflate64),
                 expectedFlat(streamed, s.expected.size()), what + " damaged");
    }
  }
}

TEST(InflateFlat, Deflate64FixedBlockDistanceCodes30And31) {
  // 49,153 literals, then length 65,538 from distance 49,153 (code 31) and
  // 4 from 32,769 + 5 (code 30): valid in deflate64, invalid in deflate.
  std::mt19937 rng(9);
  std::vector<Token> tokens;
  Bytes expected;
  for (int i = 0; i < 49153; ++i) {
    const uint8_t b = static_cast<uint8_t>(rng());
    tokens.push_back({0, b});
    expected.push_back(b);
  }
  for (Token t : {Token{65538, 49153}, Token{4, 32774}}) {
    tokens.push_back(t);
    for (uint32_t k = 0; k < t.length; ++k) expected.push_back(expected[expected.size() - t.distance]);
  }
  DeflateWriter writer(true, rng);
  writer.block(BlockKind::Fixed, tokens, true);
  expectSame(flatDecode(writer.bytes(), expected.size(), DeflateVariant::Deflate64), {DecodeStatus::Ok, expected},
             "flat");
  expectSame(streamedDecode(writer.bytes(), DeflateVariant::Deflate64), {DecodeStatus::Ok, expected}, "streamed");
  EXPECT_EQ(flatDecode(writer.bytes(), expected.size(), DeflateVariant::Deflate).status, DecodeStatus::BadData);
}

// ---- archives ----

struct ZipEntry {
  std::string name;
  int method;
  uint32_t crc;
  uint64_t usize;
  Bytes data;
};
// The entries of archives with their compressed bytes, listed by python3's
// zipfile (one run for all of them; archives it cannot read give none).
std::vector<ZipEntry> zipEntries(const std::vector<std::string>& paths) {
  const std::string script = R"(
import struct, sys, zipfile
for index, path in enumerate(sys.argv[1:]):
    try:
        z = zipfile.ZipFile(path)
        raw = open(path, "rb").read()
        for i in z.infolist():
            h = i.header_offset
            if raw[h:h + 4] != b"PK\x03\x04" or i.flag_bits & 1:
                continue
            n, e = struct.unpack_from("<HH", raw, h + 26)
            print(index, i.compress_type, i.CRC, i.file_size, h + 30 + n + e, i.compress_size, i.filename)
    except Exception:
        pass
)";
  std::vector<std::string> argv = {"python3", "-c", script};
  argv.insert(argv.end(), paths.begin(), paths.end());
  std::string listing;
  test::run(argv, &listing);
  std::vector<Bytes> raws;
  for (const std::string& p : paths) raws.push_back(test::readFile(p));
  std::vector<ZipEntry> entries;
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream f(line);
    ZipEntry e;
    size_t index;
    uint64_t start, csize;
    f >> index >> e.method >> e.crc >> e.usize >> start >> csize;
    std::getline(f, e.name);
    if (index >= raws.size() || start + csize > raws[index].size()) continue;
    const Bytes& raw = raws[index];
    e.name = paths[index] + ":" + e.name;
    e.data.assign(raw.begin() + static_cast<ptrdiff_t>(start), raw.begin() + static_cast<ptrdiff_t>(start + csize));
    entries.push_back(std::move(e));
  }
  return entries;
}

// Decodes a deflate or deflate64 entry through decodeEntryToBuffer and the
// streamed entry point; both must give the entry's CRC.
void checkEntry(const ZipEntry& e) {
  const std::string& what = e.name;
  Bytes out(e.usize);
  MemoryInput input(e.data, 24576);
  size_t produced = 0;
  ASSERT_EQ(decodeEntryToBuffer(e.method, 0, input, out.data(), out.size(), produced), DecodeStatus::Ok) << what;
  EXPECT_EQ(produced, e.usize) << what;
  EXPECT_EQ(crc32(out), e.crc) << what;
  MemoryInput streamIn(e.data);
  VectorOutput streamOut;
  ASSERT_EQ(decodeEntryDataExtended(e.method, 0, e.usize, streamIn, streamOut), DecodeStatus::Ok) << what;
  EXPECT_TRUE(streamOut.bytes == out) << what;
}

TEST(InflateFlat, CorpusDeflateEntriesHaveTheirCrc) {
  if (!test::haveProgram("python3")) GTEST_SKIP() << "python3 missing";
  std::vector<std::string> archives;
  for (const std::string& path : test::corpusFiles()) {
    if (path.size() > 4 && path.substr(path.size() - 4) == ".zip") archives.push_back(path);
  }
  int checked = 0, wide = 0;
  for (const ZipEntry& e : zipEntries(archives)) {
    if (e.method != 8 && e.method != 9) continue;
    checkEntry(e);
    ++checked;
    wide += e.method == 9;
  }
  if (checked == 0) GTEST_SKIP() << "no corpus";
  EXPECT_GE(wide, 1);
}

TEST(InflateFlat, Deflate64ArchivesFrom7zzHaveTheirCrc) {
  if (!test::haveProgram("7zz") || !test::haveProgram("python3")) GTEST_SKIP() << "7zz or python3 missing";
  test::ScratchDir dir("inflate64");
  // Text with repeats farther back than 32 KB and longer than 258 bytes,
  // random bytes, a small file and an empty one.
  std::mt19937 rng(11);
  std::string text;
  while (text.size() < 400000) {
    if (text.size() > 70000 && rng() % 4 == 0) {
      const size_t from = text.size() - 40000 - rng() % 25000;
      text += text.substr(from, 300 + rng() % 3000);
    } else {
      text += "line " + std::to_string(rng() % 1000) + " of the deflate64 test\n";
    }
  }
  test::writeFile(dir.file("text.txt"), text);
  Bytes noise(100000);
  for (uint8_t& b : noise) b = static_cast<uint8_t>(rng());
  test::writeFile(dir.file("noise.bin"), noise);
  test::writeFile(dir.file("small.txt"), std::string_view("abcabcabcabc"));
  test::writeFile(dir.file("empty.txt"), std::string_view(""));
  const std::string archive = dir.file("d64.zip");
  ASSERT_EQ(test::run({"7zz", "a", "-tzip", "-mm=Deflate64", "-mx=9", archive, dir.file("text.txt"),
                       dir.file("noise.bin"), dir.file("small.txt"), dir.file("empty.txt")}),
            0);
  const std::vector<ZipEntry> entries = zipEntries({archive});
  ASSERT_EQ(entries.size(), 4u);
  for (const ZipEntry& e : entries) {
    if (e.method == 9 || e.method == 8) checkEntry(e);
    if (e.name.find("text.txt") != std::string::npos) EXPECT_EQ(e.method, 9);
  }
}

// ---- hooks and entry points ----

TEST(InflateFlat, HooksRunAfterEachBlockAsInflates) {
  std::mt19937 rng(21);
  const TokenStream s = randomStream(rng, false, 100000);
  int windowedPumps = 0, flatPumps = 0;
  DecodeHooks windowedHooks{[&] { ++windowedPumps; }, nullptr};
  MemoryInput in(s.deflated);
  VectorOutput out;
  ASSERT_EQ(inflate(in, out, &windowedHooks), DecodeStatus::Ok);
  DecodeHooks flatHooks{[&] { ++flatPumps; }, nullptr};
  EXPECT_EQ(flatDecode(s.deflated, s.expected.size(), DeflateVariant::Deflate, kWhole, &flatHooks).status,
            DecodeStatus::Ok);
  EXPECT_GT(flatPumps, 2);
  EXPECT_EQ(flatPumps, windowedPumps);

  int polls = 0;
  DecodeHooks cancel{nullptr, [&] { return ++polls == 2; }};
  const FlatResult r = flatDecode(s.deflated, s.expected.size(), DeflateVariant::Deflate, kWhole, &cancel);
  EXPECT_EQ(r.status, DecodeStatus::Cancelled);
  EXPECT_LT(r.bytes.size(), s.expected.size());
}

TEST(InflateFlat, EntryPointsKeepTheControlsMethods) {
  EXPECT_FALSE(isDecodableMethod(9));
  EXPECT_TRUE(isDecodableMethodExtended(9));
  EXPECT_FALSE(isDecodableMethodExtended(7));
  const Bytes data = {1, 2, 3};
  MemoryInput in(data);
  VectorOutput out;
  EXPECT_EQ(decodeEntryData(9, 0, 3, in, out), DecodeStatus::UnsupportedMethod);
  MemoryInput in2(data);
  EXPECT_EQ(decodeEntryDataExtended(12, 0, 3, in2, out), DecodeStatus::UnsupportedMethod);
  // A stored entry still goes through the windowed copy.
  MemoryInput in3(data);
  Bytes buffer(3);
  size_t produced = 0;
  EXPECT_EQ(decodeEntryToBuffer(0, 0, in3, buffer.data(), buffer.size(), produced), DecodeStatus::Ok);
  EXPECT_EQ(buffer, data);
}

}  // namespace
}  // namespace vz::engine
