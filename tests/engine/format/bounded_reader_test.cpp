// The bounded reader: ranges whose sum would overflow are refused, reads end
// exactly at the last byte, a failed read marks the reader, and file regions
// keep to their bounds.
#include "control/engine/format/bounded_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "platform/file.h"
#include "tests/support/test_env.h"

namespace vz::engine {
namespace {

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();

struct RangeCase {
  int64_t offset, length, size;
  bool fits;
};

class RangeFitsTest : public ::testing::TestWithParam<RangeCase> {};

TEST_P(RangeFitsTest, Bounds) {
  const RangeCase& c = GetParam();
  EXPECT_EQ(rangeFits(c.offset, c.length, c.size), c.fits) << c.offset << "+" << c.length << " in " << c.size;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RangeFitsTest,
    ::testing::Values(RangeCase{0, 0, 0, true}, RangeCase{10, 0, 10, true},  // empty range at the very end
                      RangeCase{6, 4, 10, true}, RangeCase{7, 4, 10, false}, RangeCase{11, 0, 10, false},
                      RangeCase{-1, 1, 10, false}, RangeCase{0, -1, 10, false},
                      // offset + length wraps past the largest value: refused, not wrapped into range
                      RangeCase{kMax, kMax, 10, false}, RangeCase{2, kMax - 1, kMax, false},
                      RangeCase{1, kMax - 1, kMax, true}));

TEST(BoundedReader, ReadsAtTheVeryEndAndRefusesOneBytePast) {
  const std::vector<uint8_t> bytes = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09};
  const BoundedReader r{std::span<const uint8_t>(bytes)};
  EXPECT_EQ(r.le16(7), 0x0908);
  EXPECT_EQ(r.le32(5), 0x09080706u);
  EXPECT_EQ(r.le64(1), 0x0908070605040302ull);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.le16(8), 0);  // one byte short
  EXPECT_FALSE(r.ok());
}

TEST(BoundedReader, OverflowingOffsetsFailInsteadOfWrapping) {
  const std::vector<uint8_t> bytes(16, 0xAB);
  for (uint64_t offset : {uint64_t{17}, ~uint64_t{0}, ~uint64_t{0} - 1, ~uint64_t{0} - 3}) {
    const BoundedReader r{std::span<const uint8_t>(bytes)};
    EXPECT_EQ(r.le32(offset), 0u) << offset;
    EXPECT_FALSE(r.ok()) << offset;
  }
  const BoundedReader r{std::span<const uint8_t>(bytes)};
  EXPECT_TRUE(r.range(4, ~uint64_t{0}).empty());
  EXPECT_FALSE(r.fits(~uint64_t{0}, 2));
  EXPECT_FALSE(r.ok());
}

TEST(BoundedReader, SubRangesAreBoundedByTheirParent) {
  const std::vector<uint8_t> bytes = {0, 1, 2, 3, 4, 5, 6, 7};
  const BoundedReader r{std::span<const uint8_t>(bytes)};
  const BoundedReader inner = r.sub(2, 4);
  EXPECT_EQ(inner.size(), 4u);
  EXPECT_EQ(inner.le16(2), 0x0504);
  EXPECT_TRUE(inner.ok());
  EXPECT_EQ(inner.le16(3), 0);  // byte 6 belongs to the parent, not to the sub-range
  EXPECT_FALSE(inner.ok());
  EXPECT_TRUE(r.ok());
  const BoundedReader outside = r.sub(6, 3);
  EXPECT_FALSE(outside.ok());
  EXPECT_EQ(outside.size(), 0u);
  EXPECT_FALSE(r.ok());
}

TEST(FileRegion, ReadsStayInsideTheRegionAndTheFile) {
  test::ScratchDir dir("engine-bounded");
  const std::string path = dir.file("region.bin");
  {
    File out;
    ASSERT_TRUE(out.open(path, File::Mode::Create));
    const std::vector<uint8_t> bytes = {10, 11, 12, 13, 14, 15, 16, 17, 18, 19};
    ASSERT_TRUE(out.write(bytes.data(), bytes.size()));
  }
  File f;
  ASSERT_TRUE(f.open(path, File::Mode::Read));
  uint8_t b[4] = {};
  const FileRegion whole(f);
  EXPECT_EQ(whole.size(), 10);
  EXPECT_TRUE(whole.read(6, b, 4));  // the last four bytes
  EXPECT_EQ(b[3], 19);
  EXPECT_FALSE(whole.read(7, b, 4));
  EXPECT_FALSE(whole.read(-1, b, 1));
  const FileRegion region = whole.sub(2, 5);  // bytes 12..16
  EXPECT_TRUE(region.read(1, b, 4));
  EXPECT_EQ(b[0], 13);
  EXPECT_FALSE(region.read(2, b, 4));  // would reach byte 17
  // A region claimed past the end of the file is cut to the file.
  const FileRegion claimed(f, 8, kMax);
  EXPECT_EQ(claimed.size(), 2);
  EXPECT_FALSE(whole.sub(kMax, kMax).fits(0, 1));
}

}  // namespace
}  // namespace vz::engine
