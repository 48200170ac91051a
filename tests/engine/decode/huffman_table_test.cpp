// The two-level table builder: completeness statuses, and that every code
// of random complete codes (lengths up to 16) decodes to its symbol with its
// length, whatever the first-level width.
#include "control/engine/decode/huffman_table.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <random>

#include "tests/engine/decode/decoder_test_util.h"

namespace vz::engine {
namespace {

struct Lookup {
  HuffmanEntry entry;
  unsigned bits;  // total bits consumed
};

// Looks up the code (most significant bit first, len bits) as a decoder does:
// the table is indexed by the bits in the order they arrive.
Lookup lookup(const HuffmanTable& t, uint32_t code, unsigned len) {
  uint32_t stream = 0;  // the code's bits, first bit in bit 0
  for (unsigned i = 0; i < len; ++i) stream |= ((code >> (len - 1 - i)) & 1) << i;
  const unsigned root = t.rootBits();
  HuffmanEntry e = t.entries()[stream & ((1u << root) - 1)];
  unsigned used = 0;
  if (e.op > kOpLiteral && e.op != kOpInvalid) {
    used = e.bits;
    const unsigned sub = e.op - kOpLiteral;
    e = t.entries()[e.value + ((stream >> root) & ((1u << sub) - 1))];
  }
  return Lookup{e, used + e.bits};
}

TEST(HuffmanTable, NoSymbolsGiveAnEmptyTable) {
  const std::vector<uint8_t> lengths(30, 0);
  HuffmanTable t;
  EXPECT_EQ(buildHuffmanTable(lengths.data(), 30, 30, nullptr, nullptr, 6, t), HuffmanStatus::Ok);
  EXPECT_TRUE(t.empty());
  EXPECT_EQ(t.rootBits(), 0u);
  EXPECT_EQ(t.entries()[0].op, kOpInvalid);
}

TEST(HuffmanTable, CompletenessStatuses) {
  HuffmanTable t;
  // One code of length 1 counts as complete; its other half is invalid.
  std::vector<uint8_t> one = {0, 1, 0};
  EXPECT_EQ(buildHuffmanTable(one.data(), 3, 3, nullptr, nullptr, 9, t), HuffmanStatus::Ok);
  EXPECT_EQ(t.rootBits(), 1u);
  EXPECT_EQ(lookup(t, 0, 1).entry.value, 1);
  EXPECT_EQ(lookup(t, 1, 1).entry.op, kOpInvalid);
  // One code of length 2 is incomplete; the table comes back anyway.
  std::vector<uint8_t> incomplete = {2, 0};
  EXPECT_EQ(buildHuffmanTable(incomplete.data(), 2, 2, nullptr, nullptr, 9, t), HuffmanStatus::Incomplete);
  EXPECT_EQ(lookup(t, 0, 2).entry.value, 0);
  EXPECT_EQ(lookup(t, 3, 2).entry.op, kOpInvalid);
  // Three codes of length 1.
  std::vector<uint8_t> over = {1, 1, 1};
  EXPECT_EQ(buildHuffmanTable(over.data(), 3, 3, nullptr, nullptr, 9, t), HuffmanStatus::OverSubscribed);
  // A length past 16 is refused.
  std::vector<uint8_t> tooLong = {1, 17};
  EXPECT_EQ(buildHuffmanTable(tooLong.data(), 2, 2, nullptr, nullptr, 9, t), HuffmanStatus::OverSubscribed);
}

TEST(HuffmanTable, FirstLevelWidthIsClampedToTheUsedLengths) {
  HuffmanTable t;
  std::vector<uint8_t> shortCodes = {2, 2, 2, 2};
  EXPECT_EQ(buildHuffmanTable(shortCodes.data(), 4, 4, nullptr, nullptr, 9, t), HuffmanStatus::Ok);
  EXPECT_EQ(t.rootBits(), 2u);
  EXPECT_EQ(t.size(), 4u);
  std::vector<uint8_t> longCodes(256, 10);  // a quarter of the 10-bit code space
  EXPECT_EQ(buildHuffmanTable(longCodes.data(), 256, 256, nullptr, nullptr, 7, t), HuffmanStatus::Incomplete);
  EXPECT_EQ(t.rootBits(), 10u);
  // More symbols than any alphabet of the decoders has are refused.
  std::vector<uint8_t> tooMany(kMaxSymbols + 1, 9);
  EXPECT_EQ(buildHuffmanTable(tooMany.data(), kMaxSymbols + 1, 0, nullptr, nullptr, 9, t),
            HuffmanStatus::OverSubscribed);
}

TEST(HuffmanTable, TooManySymbolsAreRefusedBeforeTheLengthsAreRead) {
  // The lengths end right before an inaccessible page: a builder that read
  // them before checking the count would fault on the first length past them.
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  void* const region = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(region, MAP_FAILED);
  uint8_t* const guard = static_cast<uint8_t*>(region) + page;
  ASSERT_EQ(mprotect(guard, page, PROT_NONE), 0);
  uint8_t* const lengths = guard - kMaxSymbols;
  std::fill(lengths, guard, uint8_t{9});
  HuffmanTable t;
  EXPECT_EQ(buildHuffmanTable(lengths, kMaxSymbols + 1, 0, nullptr, nullptr, 9, t), HuffmanStatus::OverSubscribed);
  EXPECT_EQ(buildHuffmanTable(lengths, ~0u, 0, nullptr, nullptr, 9, t), HuffmanStatus::OverSubscribed);
  EXPECT_TRUE(t.empty());
  // The same lengths with a count the builder accepts: read to the last one.
  EXPECT_EQ(buildHuffmanTable(lengths, kMaxSymbols, kMaxSymbols, nullptr, nullptr, 9, t), HuffmanStatus::Incomplete);
  munmap(region, 2 * page);
}

TEST(HuffmanTable, SymbolKindsFollowTheBaseTables) {
  // Deflate's shape: literals, end of block at 256, then based symbols.
  std::vector<uint8_t> lengths(259, 0);
  lengths['a'] = 2;
  lengths[256] = 2;
  lengths[257] = 2;
  lengths[258] = 2;
  const uint16_t base[] = {3, 4};
  const uint8_t extra[] = {0, 99};
  HuffmanTable t;
  ASSERT_EQ(buildHuffmanTable(lengths.data(), 259, 257, base, extra, 9, t), HuffmanStatus::Ok);
  const std::vector<uint32_t> codes = test::canonicalCodes(lengths);
  EXPECT_EQ(lookup(t, codes['a'], 2).entry.op, kOpLiteral);
  EXPECT_EQ(lookup(t, codes['a'], 2).entry.value, 'a');
  EXPECT_EQ(lookup(t, codes[256], 2).entry.op, kOpEndOfBlock);
  EXPECT_EQ(lookup(t, codes[257], 2).entry.op, 0);
  EXPECT_EQ(lookup(t, codes[257], 2).entry.value, 3);
  EXPECT_EQ(lookup(t, codes[258], 2).entry.op, kOpInvalid);
}

TEST(HuffmanTable, EveryCodeOfRandomCompleteCodesDecodes) {
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    const unsigned alphabet = (round % 3 == 0) ? 288 : (round % 3 == 1 ? 64 : 30);
    const unsigned n = 2 + rng() % (alphabet - 1);
    const unsigned maxLen = (round % 2) ? 16 : 15;
    const std::vector<uint8_t> lengths = test::randomCompleteLengths(rng, n, alphabet, maxLen);
    const unsigned root = 1 + rng() % 12;
    HuffmanTable t;
    ASSERT_EQ(buildHuffmanTable(lengths.data(), alphabet, alphabet, nullptr, nullptr, root, t), HuffmanStatus::Ok)
        << "round " << round;
    const std::vector<uint32_t> codes = test::canonicalCodes(lengths);
    for (unsigned s = 0; s < alphabet; ++s) {
      if (lengths[s] == 0) continue;
      const Lookup l = lookup(t, codes[s], lengths[s]);
      ASSERT_EQ(l.entry.op, s == 256 ? kOpEndOfBlock : kOpLiteral) << "round " << round << " symbol " << s;
      ASSERT_EQ(l.entry.value, s) << "round " << round;
      ASSERT_EQ(l.bits, lengths[s]) << "round " << round;
    }
    // The code is complete: no slot is invalid.
    for (size_t i = 0; i < t.size(); ++i) ASSERT_NE(t.entries()[i].op, kOpInvalid) << "round " << round;
  }
}

TEST(HuffmanTable, ClearFreesTheTables) {
  const std::vector<uint8_t> lengths(256, 8);
  HuffmanTable t;
  ASSERT_EQ(buildHuffmanTable(lengths.data(), 256, 256, nullptr, nullptr, 9, t), HuffmanStatus::Ok);
  EXPECT_EQ(t.size(), 256u);
  t.clear();
  EXPECT_TRUE(t.empty());
  EXPECT_EQ(t.size(), 0u);
}

}  // namespace
}  // namespace vz::engine
