// Regression test: one deflated file of more than 2 GiB crashed the writer
// (a 3.1 GB sparse file with a few bytes at 3,000,000,000, vz a -1). The
// levelled deflater's match finders move their origin with every slide of
// the buffer, and within one long input nothing brought it back: past about
// 1 GB the empty marker minus the origin wrapped around into an offset far
// beyond the buffer, and past 2 GB stale positions did too. Here the finders see the slides of more than 4 GiB of input
// (cheaply: slides without the bytes), also for sequences they never saw,
// and every match they hand back must lie inside the window and the buffer.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "control/engine/encode/level_match.h"

namespace {

using namespace vz::engine::level;

TEST(LongDeflateInput, FinderMatchesStayInsideTheWindowOverSlidesPastFourGiB) {
  // A period of 5 bytes, so every position has matches 5, 10, ... behind.
  std::vector<uint8_t> buf(1 << 16);
  for (size_t i = 0; i < buf.size(); ++i) buf[i] = static_cast<uint8_t>("abcde"[i % 5]);
  auto buckets = std::make_unique<BucketFinder>();
  auto chains = std::make_unique<ChainFinder>();
  buckets->reset();
  chains->reset();
  constexpr int32_t kSlide = 1 << 20;  // a slide of the real buffer's size class
  int found = 0;
  for (int round = 0; round < 4200; ++round) {  // 4200 MB of slides
    for (int32_t pos = 0; pos < 64; ++pos) {
      const Match b = buckets->find(buf.data(), pos, kMaxMatch);
      const Match c = chains->find(buf.data(), pos, kMaxMatch, kMaxMatch, 8, 0);
      for (const Match& m : {b, c}) {
        if (m.length == 0) continue;
        ++found;
        ASSERT_LE(m.distance, static_cast<unsigned>(kMaxDistance)) << "round " << round << " pos " << pos;
        ASSERT_LE(m.distance, static_cast<unsigned>(pos)) << "round " << round << " pos " << pos;
        ASSERT_GE(m.distance, 1u);
      }
    }
    // A sequence never seen before: its buckets and heads hold no position
    // (kNil), which once read as an offset far beyond the buffer.
    const uint32_t x = 0x9E3779B1u * static_cast<uint32_t>(round + 1);
    for (int k = 0; k < 8; ++k) buf[200 + k] = static_cast<uint8_t>(x >> (k * 4));
    const Match fresh[] = {buckets->find(buf.data(), 200, kMaxMatch),
                           chains->find(buf.data(), 200, kMaxMatch, kMaxMatch, 8, 0)};
    for (const Match& m : fresh)
      if (m.length) ASSERT_LE(m.distance, 200u) << "round " << round;
    buckets->slide(kSlide);
    chains->slide(kSlide);
  }
  EXPECT_GT(found, 4200 * 50);  // matches are found in every round, not only before the origin moved
}

}  // namespace
