// The legacy decoders (unshrink, unreduce, explode) and the method dispatch:
// every entry of methods 1 to 6 in the sample archives decodes to its CRC
// (and to unzip's output where unzip can extract it), hand-built streams
// cover the rules and the faults, and a small imploder written from the
// application note's description covers the implode combinations that no
// sample has.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "control/engine/format/crc32.h"
#include "control/engine/decode/decode_entry.h"
#include "control/engine/decode/explode.h"
#include "control/engine/decode/unreduce.h"
#include "control/engine/decode/unshrink.h"
#include "tests/engine/decode/decoder_test_util.h"
#include "tests/support/test_env.h"

namespace vz::engine {
namespace {

using test::BitWriter;
using test::Decoded;

Decoded run(int method, uint16_t flags, uint64_t size, const std::vector<uint8_t>& data, size_t chunk = SIZE_MAX) {
  MemoryInput in(data, chunk);
  VectorOutput out;
  const DecodeStatus status = decodeEntryData(method, flags, size, in, out);
  EXPECT_LE(out.bytes.size(), size);
  return Decoded{status, out.bytes, out.overran()};
}

// ---- entries of the sample archives ----

struct LocalEntry {
  std::string archive;
  std::string name;
  int method;
  uint16_t flags;
  uint32_t crc;
  uint32_t size;
  std::vector<uint8_t> data;
};

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }

// Local headers of methods 1 to 6 found anywhere in the sample files, with
// their raw compressed bytes (unencrypted entries whose data lies in the file).
std::vector<LocalEntry> legacyEntries() {
  // Local file header: signature, version, flags (6), method (8), time,
  // date, CRC (14), compressed size (18), uncompressed size (22), name
  // length (26), extra length (28), then name and extra field at 30.
  std::vector<LocalEntry> entries;
  for (const std::string& path : test::corpusFiles()) {
    const std::vector<uint8_t> d = test::readFile(path);
    for (size_t i = 0; i + 30 <= d.size(); ++i) {
      const uint8_t* h = d.data() + i;
      if (h[0] != 'P' || h[1] != 'K' || h[2] != 3 || h[3] != 4) continue;
      const uint16_t flags = le16(h + 6), method = le16(h + 8);
      const uint32_t compressed = le32(h + 18);
      const size_t start = i + 30 + le16(h + 26) + le16(h + 28);
      if (method < 1 || method > 6 || (flags & 1) || start + compressed > d.size()) continue;
      entries.push_back(LocalEntry{std::filesystem::path(path).filename().string(),
                                   std::string(reinterpret_cast<const char*>(h + 30), le16(h + 26)), method, flags,
                                   le32(h + 14), le32(h + 22),
                                   std::vector<uint8_t>(d.begin() + static_cast<ptrdiff_t>(start),
                                                        d.begin() + static_cast<ptrdiff_t>(start + compressed))});
    }
  }
  return entries;
}

class LegacySamples : public ::testing::Test {
 protected:
  test::ScopedRoot root_;
};

TEST_F(LegacySamples, EveryEntryDecodesToItsCrcAndToUnzipsBytes) {
  const std::vector<LocalEntry> entries = legacyEntries();
  if (entries.empty()) GTEST_SKIP() << "sample archives not found";
  std::set<int> methods;
  std::set<uint16_t> implodeFlags;
  int comparedWithUnzip = 0;
  for (const LocalEntry& e : entries) {
    SCOPED_TRACE(e.archive + " " + e.name);
    const Decoded d = run(e.method, e.flags, e.size, e.data);
    ASSERT_EQ(d.status, DecodeStatus::Ok);
    ASSERT_EQ(d.bytes.size(), e.size);
    EXPECT_EQ(crc32(d.bytes), e.crc);
    methods.insert(e.method);
    if (e.method == 6) implodeFlags.insert(e.flags & 6);
    // The same through an input that comes byte by byte.
    EXPECT_EQ(run(e.method, e.flags, e.size, e.data, 1).bytes, d.bytes);
    std::string unzipped;
    if (test::haveProgram("unzip") &&
        test::run({"unzip", "-p", test::corpusDir() + "/" + e.archive, e.name}, &unzipped) == 0 &&
        unzipped.size() == e.size) {
      EXPECT_EQ(test::toString(d.bytes), unzipped);
      ++comparedWithUnzip;
    }
  }
  EXPECT_EQ(methods, (std::set<int>{1, 2, 3, 4, 5, 6}));
  // The samples hold imploded data only with a 4 KB dictionary and two trees.
  EXPECT_TRUE(implodeFlags.count(0));
  if (test::haveProgram("unzip")) {
    EXPECT_GE(comparedWithUnzip, 4);  // the shrunk and imploded ones
  }
}

TEST_F(LegacySamples, CutAndDamagedEntriesEndWithAStatus) {
  const std::vector<LocalEntry> entries = legacyEntries();
  if (entries.empty()) GTEST_SKIP() << "sample archives not found";
  std::mt19937 rng(42);
  for (const LocalEntry& e : entries) {
    SCOPED_TRACE(e.archive + " " + e.name);
    for (size_t cut : {size_t{0}, size_t{1}, e.data.size() / 3, e.data.size() - 1}) {
      const std::vector<uint8_t> part(e.data.begin(), e.data.begin() + static_cast<ptrdiff_t>(cut));
      EXPECT_NE(run(e.method, e.flags, e.size, part).status, DecodeStatus::Ok) << cut;
    }
    for (int round = 0; round < 20; ++round) {
      std::vector<uint8_t> damaged = e.data;
      for (int k = 0; k < 3; ++k) damaged[rng() % damaged.size()] ^= static_cast<uint8_t>(1 + rng() % 255);
      run(e.method, e.flags, e.size, damaged);  // any status, within the size
    }
  }
}

// ---- unshrink ----

std::vector<uint8_t> shrinkCodes(const std::vector<std::pair<uint32_t, unsigned>>& codes) {
  BitWriter w;
  for (auto [code, bits] : codes) w.bits(code, bits);
  return w.bytes();
}

TEST(Unshrink, KwKwKCodeRepeatsThePreviousString) {
  // 'a', then code 257 before it is assigned: "a" + "aa".
  const Decoded d = run(1, 0, 3, shrinkCodes({{'a', 9}, {257, 9}}));
  EXPECT_EQ(d.status, DecodeStatus::Ok);
  EXPECT_EQ(test::toString(d.bytes), "aaa");
}

TEST(Unshrink, PartialClearKeepsPrefixesAndReusesTheLowestCodes) {
  // a b c 257(ab) 259(ca), then a partial clear frees the leaves 258, 259,
  // 260 and keeps 257 ("ab", parent of 260). 257 is emitted twice more; the
  // second time assigns 259 = "ab"+"a" (258 went first), which the last
  // code uses. Using 260 (free, not next) right after the clear is refused.
  const std::vector<std::pair<uint32_t, unsigned>> before = {{'a', 9}, {'b', 9}, {'c', 9}, {257, 9},
                                                             {259, 9}, {256, 9}, {2, 9}};
  auto codes = before;
  codes.insert(codes.end(), {{257, 9}, {257, 9}, {259, 9}});
  const Decoded d = run(1, 0, 14, shrinkCodes(codes));
  EXPECT_EQ(d.status, DecodeStatus::Ok);
  EXPECT_EQ(test::toString(d.bytes), std::string("a") + "b" + "c" + "ab" + "ca" + "ab" + "ab" + "aba");
  auto bad = before;
  bad.push_back({260, 9});
  EXPECT_EQ(run(1, 0, 20, shrinkCodes(bad)).status, DecodeStatus::BadData);
}

TEST(Unshrink, CodeSizeGrowsOnRequestUpTo13Bits) {
  std::vector<std::pair<uint32_t, unsigned>> codes = {{'x', 9}};
  unsigned size = 9;
  for (; size < 13; ++size) codes.insert(codes.end(), {{256, size}, {1, size}});
  codes.push_back({'y', 13});
  EXPECT_EQ(test::toString(run(1, 0, 2, shrinkCodes(codes)).bytes), "xy");
  codes.pop_back();
  codes.insert(codes.end(), {{256, 13}, {1, 13}, {'y', 13}});  // a fifth widening
  EXPECT_EQ(run(1, 0, 2, shrinkCodes(codes)).status, DecodeStatus::BadData);
}

TEST(Unshrink, MalformedCodes) {
  EXPECT_EQ(run(1, 0, 5, shrinkCodes({{300, 9}})).status, DecodeStatus::BadData);  // first code not a byte
  EXPECT_EQ(run(1, 0, 5, shrinkCodes({{'a', 9}, {256, 9}, {3, 9}})).status, DecodeStatus::BadData);  // unknown control
  EXPECT_EQ(run(1, 0, 5, shrinkCodes({{'a', 9}, {400, 9}})).status, DecodeStatus::BadData);          // not assigned
  EXPECT_EQ(run(1, 0, 5, shrinkCodes({{'a', 9}})).status, DecodeStatus::BadData);                    // input ends early
  EXPECT_EQ(run(1, 0, 0, {}).status, DecodeStatus::Ok);                                              // empty entry
}

// ---- unreduce ----

// A reduced stream with every follower set empty: 256 counts of 0, then
// each inner byte as 8 plain bits.
std::vector<uint8_t> reduceStream(const std::vector<uint8_t>& innerBytes) {
  BitWriter w;
  for (int j = 0; j < 256; ++j) w.bits(0, 6);
  for (uint8_t b : innerBytes) w.bits(b, 8);
  return w.bytes();
}

TEST(Unreduce, EscapesMatchesAndZeroHistory) {
  // Factor 1: DLE 0 is the byte 144; DLE V D copies (V & 127) + 3 bytes from
  // (V >> 7) * 256 + D + 1 back; before the first byte there are zeros.
  const std::vector<uint8_t> inner = {144, 0x01, 9,                      // 4 bytes from 10 back: zeros
                                      'a', 'b',  144, 0, 144, 0x02, 2};  // "ab", 144, then 5 bytes from 3 back
  const Decoded d = run(2, 0, 4 + 3 + 5, reduceStream(inner));
  EXPECT_EQ(d.status, DecodeStatus::Ok);
  EXPECT_EQ(d.bytes, (std::vector<uint8_t>{0, 0, 0, 0, 'a', 'b', 144, 'a', 'b', 144, 'a', 'b'}));
  // A length of 127 takes one more byte: 127 + 3 + 1 bytes.
  const Decoded longer = run(2, 0, 1 + 131, reduceStream({'z', 144, 0x7F, 1, 0}));
  EXPECT_EQ(test::toString(longer.bytes), std::string(132, 'z'));
  // Factor 4: the high 4 bits of V are the distance's high bits.
  const Decoded far = run(5, 0, 3, reduceStream({144, 0x10, 0}));  // 3 zeros from 257 back
  EXPECT_EQ(far.bytes, std::vector<uint8_t>(3, 0));
}

TEST(Unreduce, FollowerSets) {
  // S('a') = {'b'}: after 'a', a 0 bit and a 1-bit index give 'b'; a 1 bit
  // and 8 bits give any byte.
  BitWriter w;
  for (int j = 255; j >= 0; --j) {
    w.bits(j == 'a' ? 1 : 0, 6);
    if (j == 'a') w.bits('b', 8);
  }
  w.bits('a', 8);  // set of 0 is empty: plain byte
  w.bits(0, 1);
  w.bits(0, 1);    // index 0 of S('a')
  w.bits('c', 8);  // set of 'b' is empty
  const Decoded d = run(2, 0, 3, w.bytes());
  EXPECT_EQ(d.status, DecodeStatus::Ok);
  EXPECT_EQ(test::toString(d.bytes), "abc");

  BitWriter big;  // a set of 33
  big.bits(33, 6);
  EXPECT_EQ(run(3, 0, 1, big.bytes()).status, DecodeStatus::BadData);

  BitWriter index;  // S(0) = {1, 2, 3}, index 3 is outside
  for (int j = 255; j >= 0; --j) {
    index.bits(j == 0 ? 3 : 0, 6);
    if (j == 0) index.bits(0x010203, 24);
  }
  index.bits(0, 1);
  index.bits(3, 2);
  EXPECT_EQ(run(2, 0, 1, index.bytes()).status, DecodeStatus::BadData);
}

// ---- explode, with an imploder written from the application note ----

// Shannon-Fano codes as the application note builds them: sort the lengths
// (stable), walk from the last, add the increment of the current length.
// The code of a value is the top len bits of the 16-bit result.
std::vector<uint16_t> shannonFanoCodes(const std::vector<uint8_t>& lengths) {
  std::vector<size_t> order(lengths.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return lengths[a] < lengths[b]; });
  std::vector<uint16_t> codes(lengths.size());
  uint32_t code = 0, increment = 0;
  unsigned lastLength = 0;
  for (size_t i = order.size(); i-- > 0;) {
    code += increment;
    if (lengths[order[i]] != lastLength) {
      lastLength = lengths[order[i]];
      increment = 1u << (16 - lastLength);
    }
    codes[order[i]] = static_cast<uint16_t>(code);
  }
  return codes;
}

struct Tree {
  std::vector<uint8_t> lengths;
  std::vector<uint16_t> codes;
  void write(BitWriter& w, unsigned value) const {
    for (unsigned k = 0; k < lengths[value]; ++k) w.bit((codes[value] >> (15 - k)) & 1);
  }
  // Run-length coded: a count byte, then (run - 1) << 4 | (length - 1).
  void writeDescription(BitWriter& w) const {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < lengths.size();) {
      size_t run = 1;
      while (i + run < lengths.size() && lengths[i + run] == lengths[i] && run < 16) ++run;
      bytes.push_back(static_cast<uint8_t>(((run - 1) << 4) | (lengths[i] - 1)));
      i += run;
    }
    w.bits(static_cast<uint32_t>(bytes.size() - 1), 8);
    for (uint8_t b : bytes) w.bits(b, 8);
  }
};

Tree randomTree(std::mt19937& rng, unsigned n) {
  Tree t;
  t.lengths = test::randomCompleteLengths(rng, n, n, 16);
  t.codes = shannonFanoCodes(t.lengths);
  return t;
}

// Implodes data greedily: matches of at least the minimum length found
// through a small hash chain, distances within the dictionary. The first
// token is a match of zeros from before the start when data begins with them.
std::vector<uint8_t> implode(const std::vector<uint8_t>& data, uint16_t flags, std::mt19937& rng) {
  const bool literalTree = flags & 4;
  const unsigned lowBits = (flags & 2) ? 7 : 6;
  const size_t dictionary = size_t{1} << (lowBits + 6);
  const size_t minMatch = literalTree ? 3 : 2;
  const size_t maxMatch = minMatch + 63 + 255;
  Tree lit, len, dist;
  BitWriter w;
  if (literalTree) {
    lit = randomTree(rng, 256);
    lit.writeDescription(w);
  }
  len = randomTree(rng, 64);
  dist = randomTree(rng, 64);
  len.writeDescription(w);
  dist.writeDescription(w);

  auto match = [&](size_t length, size_t distance) {
    w.bit(0);
    const size_t d = distance - 1;
    w.bits(static_cast<uint32_t>(d & ((1u << lowBits) - 1)), lowBits);
    dist.write(w, static_cast<unsigned>(d >> lowBits));
    const size_t l = length - minMatch;
    len.write(w, static_cast<unsigned>(std::min<size_t>(l, 63)));
    if (l >= 63) w.bits(static_cast<uint32_t>(l - 63), 8);
  };
  std::map<uint32_t, std::vector<size_t>> seen;
  size_t pos = 0;
  size_t zeros = 0;
  while (zeros < data.size() && data[zeros] == 0 && zeros < maxMatch) ++zeros;
  if (zeros >= minMatch) {
    match(zeros, 1 + rng() % dictionary);
    pos = zeros;
  }
  while (pos < data.size()) {
    size_t bestLen = 0, bestDist = 0;
    if (pos + minMatch <= data.size()) {
      const uint32_t key = (data[pos] << 16) | (data[pos + 1] << 8) | (minMatch > 2 ? data[pos + 2] : 0);
      auto& chain = seen[key];
      for (size_t k = chain.size(); k-- > 0 && chain.size() - k <= 16;) {
        const size_t from = chain[k];
        if (pos - from > dictionary) break;
        size_t l = 0;
        while (pos + l < data.size() && l < maxMatch && data[from + l] == data[pos + l]) ++l;
        if (l > bestLen) bestLen = l, bestDist = pos - from;
      }
    }
    const size_t step = bestLen >= minMatch ? bestLen : 1;
    if (bestLen >= minMatch) {
      match(bestLen, bestDist);
    } else {
      w.bit(1);
      if (literalTree) {
        lit.write(w, data[pos]);
      } else {
        w.bits(data[pos], 8);
      }
    }
    for (size_t i = pos; i < pos + step && i + minMatch <= data.size(); ++i) {
      seen[(data[i] << 16) | (data[i + 1] << 8) | (minMatch > 2 ? data[i + 2] : 0)].push_back(i);
    }
    pos += step;
  }
  return w.bytes();
}

std::vector<uint8_t> sampleText(std::mt19937& rng, size_t n) {
  static const char* kWords[] = {"shannon ", "fano ", "tree ", "implode ", "dictionary ", "length ", "\n"};
  std::vector<uint8_t> out(40, 0);  // starts with zeros: a match before the first byte
  while (out.size() < n) {
    const char* w = kWords[rng() % 7];
    out.insert(out.end(), w, w + std::char_traits<char>::length(w));
    if (rng() % 50 == 0) out.push_back(static_cast<uint8_t>(rng()));
    if (rng() % 200 == 0) out.insert(out.end(), 300 + rng() % 100, 'q');  // long matches
  }
  out.resize(n);
  return out;
}

TEST(Explode, AllFourCombinationsOfDictionaryAndTrees) {
  std::mt19937 rng(1989);
  for (uint16_t flags : {0, 2, 4, 6}) {
    for (int round = 0; round < 3; ++round) {
      const std::vector<uint8_t> data = sampleText(rng, 20000 + 9000 * round);
      const std::vector<uint8_t> imploded = implode(data, flags, rng);
      const Decoded d = run(6, flags, data.size(), imploded);
      ASSERT_EQ(d.status, DecodeStatus::Ok) << "flags " << flags << " round " << round;
      ASSERT_TRUE(d.bytes == data) << "flags " << flags << " round " << round;
    }
  }
}

TEST(Explode, BadShannonFanoLengthData) {
  auto trees = [](const std::vector<std::vector<uint8_t>>& descriptions) {
    BitWriter w;
    for (const auto& bytes : descriptions) {
      w.bits(static_cast<uint32_t>(bytes.size() - 1), 8);
      for (uint8_t b : bytes) w.bits(b, 8);
    }
    w.bits(0, 32);
    return w.bytes();
  };
  const std::vector<uint8_t> complete64 = {0xF5, 0xF5, 0xF5, 0xF5};  // 4 x 16 values of 6 bits
  // Too many values, too few, over-subscribed (64 x 5 bits), incomplete (64 x 7 bits).
  EXPECT_EQ(run(6, 0, 10, trees({{0xF5, 0xF5, 0xF5, 0xF5, 0x05}, complete64})).status, DecodeStatus::BadShannonFano);
  EXPECT_EQ(run(6, 0, 10, trees({{0xF5, 0xF5, 0xF5}, complete64})).status, DecodeStatus::BadShannonFano);
  EXPECT_EQ(run(6, 0, 10, trees({{0xF4, 0xF4, 0xF4, 0xF4}, complete64})).status, DecodeStatus::BadShannonFano);
  EXPECT_EQ(run(6, 0, 10, trees({complete64, {0xF6, 0xF6, 0xF6, 0xF6}})).status, DecodeStatus::BadShannonFano);
  // Complete trees, then the data ends early.
  EXPECT_EQ(run(6, 0, 100, trees({complete64, complete64})).status, DecodeStatus::BadData);
}

// ---- dispatch ----

TEST(DecodeEntryData, StoredCopyAndTheDeclaredSize) {
  const std::vector<uint8_t> data = test::toBytes(std::string(70000, 's'));
  for (size_t chunk : {size_t{7}, size_t{24576}, SIZE_MAX}) {
    MemoryInput in(data, chunk);
    VectorOutput out;
    out.recordFlushes = true;
    EXPECT_EQ(decodeEntryData(0, 0, data.size(), in, out), DecodeStatus::Ok);
    EXPECT_EQ(out.bytes, data);
    EXPECT_EQ(out.flushSizes, (std::vector<size_t>{32768, 32768, 70000 - 65536}));
  }
  const Decoded longer = run(0, 0, 1000, data);  // more bytes than declared
  EXPECT_EQ(longer.status, DecodeStatus::OutputStopped);
  EXPECT_TRUE(longer.overran);
  EXPECT_EQ(longer.bytes.size(), 1000u);
  EXPECT_EQ(run(0, 0, 80000, data).status, DecodeStatus::BadData);  // fewer bytes than declared
}

TEST(DecodeEntryData, InflatedDataPastTheDeclaredSizeIsCut) {
  // A stored deflate block of 10 bytes in an entry that declares 6.
  const std::vector<uint8_t> deflated = {0x01, 0x0A, 0x00, 0xF5, 0xFF, '0', '1', '2',
                                         '3',  '4',  '5',  '6',  '7',  '8', '9'};
  const Decoded cut = run(8, 0, 6, deflated);
  EXPECT_EQ(cut.status, DecodeStatus::OutputStopped);
  EXPECT_TRUE(cut.overran);
  EXPECT_EQ(test::toString(cut.bytes), "012345");
  EXPECT_EQ(run(8, 0, 10, deflated).status, DecodeStatus::Ok);
}

TEST(DecodeEntryData, UnknownMethodsAreRefused) {
  for (int method : {7, 9, 12, 14, -1}) {
    EXPECT_EQ(run(method, 0, 4, {1, 2, 3, 4}).status, DecodeStatus::UnsupportedMethod) << method;
    EXPECT_FALSE(isDecodableMethod(method));
  }
}

}  // namespace
}  // namespace vz::engine
