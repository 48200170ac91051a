// The levelled deflate compressor (see level_deflate.h): the input buffer,
// the parsers and the level table.
//
// Input buffer. The input is read into one buffer of kBufferSize bytes
// (plus zeroed slack for the 8-byte loads). The parser runs up to a limit
// kLookahead bytes short of the buffered end (up to the end once the input
// is exhausted), so every position it looks at has a full 258-byte match
// ahead of it. At the limit the buffer is topped up; when less than a
// quarter of it is free it first slides down by a multiple of 32 KB,
// keeping the current block (for a stored block) and the window behind the
// position. Reads fill the buffer to the brim (or to the input's end), so
// where the buffer slides, and with it the output, does not depend on how
// the input splits its reads.
//
// Successive inputs. Every input starts at the front of the buffer; the
// finders number their stored positions so that an earlier input's entries
// are all out of reach (level_match.h) and need no clearing. Compressing
// many small files thus costs no table clearing per file and keeps
// reusing the same, cached, part of the buffer.
#include "control/engine/encode/level_deflate.h"

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <vector>

#include "control/engine/encode/deflate_bits.h"
#include "control/engine/encode/level_block.h"
#include "control/engine/encode/level_match.h"
#include "control/engine/format/crc32.h"

namespace vz::engine {

namespace {

using level::LevelBlock;
using level::Match;

constexpr int32_t kBufferSize = 1 << 20;  // input bytes buffered at most
constexpr size_t kSlack = 64;             // zeroed bytes past the buffer for the 8-byte loads
// Bytes kept ahead of the parser while input remains: a lazy run may look
// up to 260 positions past the limit, each with 258 bytes of match and 8
// of over-read.
constexpr int32_t kLookahead = 1024;

// Lookups in a row without a match after which the parser starts to step
// over positions (see parse()); no text or source file comes near this.
constexpr unsigned kSkipAfter = 256;

enum class Parse : uint8_t { Greedy, Lazy, Lazy2 };

struct LevelParams {
  bool buckets;    // level 1's bucket finder instead of the chains
  Parse parse;     // how matches are chosen
  unsigned depth;  // chain candidates tried per lookup
  unsigned nice;   // a match this long is taken at once
  unsigned good;   // while the current match is this long, lazy lookups try depth / 4
  unsigned far3;   // a length-3 match farther than this is not worth its distance code
};

// Index: the level. Tuned on source and text (bench_levels): level 6
// about 0.3% under zlib's level 6, level 9 under zlib's level 9; a
// length-3 match farther than 2 KB codes longer than its three literals
// on such data as often as not. Chains longer than 1,024 candidates gain
// under 0.05% on text and cost twice the time on programs, whose chains
// of short matches are long.
constexpr LevelParams kLevels[10] = {
    {true, Parse::Greedy, 1, 258, 258, 0},       // (0 is clamped to 1)
    {true, Parse::Greedy, 1, 258, 258, 0},       // 1
    {false, Parse::Greedy, 6, 24, 258, 2048},    // 2
    {false, Parse::Greedy, 12, 32, 258, 2048},   // 3
    {false, Parse::Lazy, 16, 32, 8, 2048},       // 4
    {false, Parse::Lazy, 24, 64, 16, 2048},      // 5
    {false, Parse::Lazy, 40, 128, 32, 2048},     // 6
    {false, Parse::Lazy2, 128, 192, 32, 2048},   // 7
    {false, Parse::Lazy2, 256, 258, 32, 2048},   // 8
    {false, Parse::Lazy2, 1024, 258, 32, 2048},  // 9
};

}  // namespace

struct LevelDeflater::State {
  State() : buffer(kBufferSize + kSlack, 0) {
    chains.reset();
    buckets.reset();
  }

  void begin(int level, DeflateInput& input, DeflateOutput& output, const std::function<void(uint64_t)>* progress);
  // Tops the buffer up (sliding it first when it is mostly full).
  void refill();
  // At a block check: splits before the segment, or ends the block at its
  // limits.
  void checkBlock();
  // Runs the parser from pos to limit; false at the limit, true when the
  // block needs checking first.
  template <class Finder, Parse kParse>
  bool parse(Finder& finder, const LevelParams& lp, int32_t limit);

  std::vector<uint8_t> buffer;  // the buffered input (kBufferSize + kSlack)
  level::ChainFinder chains;    // levels 2..9
  level::BucketFinder buckets;  // level 1
  LevelBlock block;             // the symbols of the open block
  deflate::BitOutput bits;      // the output

  // The running input.
  DeflateInput* input = nullptr;                            // where bytes come from
  const std::function<void(uint64_t)>* progress = nullptr;  // progress report, or nullptr
  int32_t dataEnd = 0;                                      // end of the buffered input
  int32_t pos = 0;                                          // next position to parse
  int32_t blockStart = 0;                                   // first input byte of the open block
  int32_t segStart = 0;                                     // first input byte of the block's current segment
  bool eof = false;                                         // the input has ended
  uint64_t bytesRead = 0;                                   // input bytes read so far
  uint32_t crc = 0;                                         // their CRC-32
  bool useBuckets = false;                                  // the running input uses the bucket finder
};

void LevelDeflater::State::begin(int level, DeflateInput& in, DeflateOutput& out,
                                 const std::function<void(uint64_t)>* prog) {
  useBuckets = kLevels[level].buckets;
  input = &in;
  progress = prog;
  dataEnd = pos = blockStart = segStart = 0;
  eof = false;
  bytesRead = 0;
  crc = 0;
  block.clear();
  bits.start(&out);
}

void LevelDeflater::State::refill() {
  if (dataEnd > kBufferSize - kBufferSize / 4) {
    int32_t keep = std::min(blockStart, pos - level::kWindowSize);
    keep = std::max(keep, 0) & ~level::kWindowMask;
    if (keep > 0) {
      std::memmove(buffer.data(), buffer.data() + keep, static_cast<size_t>(dataEnd - keep));
      dataEnd -= keep;
      pos -= keep;
      blockStart -= keep;
      segStart -= keep;
      if (useBuckets)
        buckets.slide(keep);
      else
        chains.slide(keep);
    }
  }
  while (dataEnd < kBufferSize) {
    uint8_t* at = buffer.data() + dataEnd;
    const size_t got = input->read(at, static_cast<size_t>(kBufferSize - dataEnd));
    if (got == 0) {
      eof = true;
      break;
    }
    crc = crc32Update(crc, at, got);
    dataEnd += static_cast<int32_t>(got);
    bytesRead += got;
  }
  if (progress != nullptr && *progress) (*progress)(bytesRead);
}

void LevelDeflater::State::checkBlock() {
  const uint8_t* base = buffer.data();
  if (block.segmentCount() >= LevelBlock::kSegmentSymbols) {
    if (block.splitPays()) {
      block.emitBeforeSegment(bits, base + blockStart, static_cast<size_t>(segStart - blockStart));
      blockStart = segStart;
    } else {
      block.mergeSegment();
    }
    segStart = pos;
  }
  if (block.count() >= LevelBlock::kMaxSymbols || pos - blockStart >= static_cast<int32_t>(LevelBlock::kMaxInput)) {
    block.emitAll(bits, base + blockStart, static_cast<size_t>(pos - blockStart), false);
    blockStart = segStart = pos;
  }
}

template <class Finder, Parse kParse>
bool LevelDeflater::State::parse(Finder& finder, const LevelParams& lp, int32_t limit) {
  // The loop's state lives in locals (the compiler cannot keep members in
  // registers across the symbol stores) and goes back at the end.
  const uint8_t* const base = buffer.data();
  const int32_t end = dataEnd;
  const int32_t inputStop = std::min(limit, blockStart + static_cast<int32_t>(LevelBlock::kMaxInput));
  uint32_t* sym = block.end();
  uint32_t* const symStop = block.checkPoint();
  uint32_t* const litFreq = block.segmentLiteralFrequencies();
  uint32_t* const distFreq = block.segmentDistanceFrequencies();
  const auto literal = [&](int32_t at) {
    const uint8_t c = base[at];
    *sym++ = c;
    ++litFreq[c];
  };
  const auto match = [&](const Match& m) {
    *sym++ = LevelBlock::matchSymbol(m.length, m.distance);
    ++litFreq[deflate::kLiterals + 1 + deflate::kLengthCode[m.length - level::kMinMatch]];
    ++distFreq[deflate::distanceCode(m.distance - 1)];
  };
  const auto usable = [&](const Match& m) {
    if constexpr (std::is_same_v<Finder, level::BucketFinder>) return m.length != 0;  // 4 or more
    return m.length > level::kMinMatch || (m.length == level::kMinMatch && m.distance <= lp.far3);
  };
  const auto maxLenAt = [&](int32_t at) {
    return static_cast<unsigned>(std::min<int32_t>(static_cast<int32_t>(level::kMaxMatch), end - at));
  };
  const auto insertRange = [&](int32_t from, int32_t to) {
    const int32_t stop = std::min(to, end - 3);  // positions with 4 input bytes
    if (stop > from) finder.insert(base, from, static_cast<unsigned>(stop - from));
  };

  int32_t p = pos;
  unsigned misses = 0;  // lookups in a row that found no match
  while (p < inputStop && sym < symStop) {
    const unsigned maxLen = maxLenAt(p);
    if (maxLen < 4) {  // the input's last bytes
      literal(p++);
      continue;
    }
    Match cur;
    if constexpr (std::is_same_v<Finder, level::BucketFinder>)
      cur = finder.find(base, p, maxLen);
    else
      cur = finder.find(base, p, maxLen, lp.nice, lp.depth, 0);
    if (!usable(cur)) {
      literal(p++);
      // A long run without matches (compressed or random data): step
      // over 1, 2, then 3 positions after each miss, unlooked-up.
      if (++misses >= kSkipAfter)
        for (unsigned k = std::min(misses / kSkipAfter, 3u); k != 0 && p < inputStop; --k) literal(p++);
      continue;
    }
    misses = 0;
    if constexpr (kParse == Parse::Greedy) {
      match(cur);
      insertRange(p + 1, p + static_cast<int32_t>(cur.length));
      p += static_cast<int32_t>(cur.length);
    } else {
      // Invariant: p is inserted; inserted is the first position that is
      // not; cur is the match at p.
      int32_t inserted = p + 1;
      for (;;) {
        if (cur.length >= lp.nice) break;
        const int32_t q = p + 1;
        const unsigned maxQ = maxLenAt(q);
        if (maxQ < 4) break;
        const unsigned depth = cur.length >= lp.good ? lp.depth / 4 : lp.depth;
        const Match next = finder.find(base, q, maxQ, lp.nice, depth, cur.length);
        inserted = q + 1;
        if (next.length > cur.length) {
          literal(p);
          p = q;
          cur = next;
          continue;
        }
        if constexpr (kParse == Parse::Lazy2) {
          const int32_t r = p + 2;
          const unsigned maxR = maxLenAt(r);
          if (cur.length + 1 < lp.nice && maxR >= 4) {
            const Match after = finder.find(base, r, maxR, lp.nice, depth, cur.length + 1);
            inserted = r + 1;
            if (after.length > cur.length + 1) {
              literal(p);
              literal(q);
              p = r;
              cur = after;
              continue;
            }
          }
        }
        break;
      }
      match(cur);
      insertRange(std::max(inserted, p + 1), p + static_cast<int32_t>(cur.length));
      p += static_cast<int32_t>(cur.length);
    }
  }
  block.setEnd(sym);
  pos = p;
  return sym >= symStop || p >= blockStart + static_cast<int32_t>(LevelBlock::kMaxInput);
}

LevelDeflater::LevelDeflater() : state_(std::make_unique<State>()) {}
LevelDeflater::~LevelDeflater() = default;

LevelDeflateResult LevelDeflater::compress(int level, DeflateInput& input, DeflateOutput& output,
                                           const std::function<void(uint64_t)>& progress) {
  level = std::clamp(level, 1, 9);
  State& s = *state_;
  const LevelParams& lp = kLevels[level];
  s.begin(level, input, output, &progress);
  s.refill();

  LevelDeflateResult result;
  for (;;) {
    const int32_t limit = s.eof ? s.dataEnd : s.dataEnd - kLookahead;
    bool due;
    if (lp.buckets)
      due = s.parse<level::BucketFinder, Parse::Greedy>(s.buckets, lp, limit);
    else if (lp.parse == Parse::Greedy)
      due = s.parse<level::ChainFinder, Parse::Greedy>(s.chains, lp, limit);
    else if (lp.parse == Parse::Lazy)
      due = s.parse<level::ChainFinder, Parse::Lazy>(s.chains, lp, limit);
    else
      due = s.parse<level::ChainFinder, Parse::Lazy2>(s.chains, lp, limit);
    if (due) {
      s.checkBlock();
    } else if (s.eof) {
      s.block.emitAll(s.bits, s.buffer.data() + s.blockStart, static_cast<size_t>(s.pos - s.blockStart), true);
      break;
    } else {
      s.refill();
    }
    if (s.bits.failed()) break;
  }
  s.bits.finish();

  // This input's entries are put out of the next one's reach.
  if (s.useBuckets)
    s.buckets.retire(s.dataEnd);
  else
    s.chains.retire(s.dataEnd);

  result.compressedSize = s.bits.bytesProduced();
  result.bytesRead = s.bytesRead;
  result.crc32 = s.crc;
  result.outputError = s.bits.failed();
  s.input = nullptr;
  s.progress = nullptr;
  return result;
}

}  // namespace vz::engine
