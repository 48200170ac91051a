// The greedy matcher, window and refill of the deflate compressor (see
// deflate_encoder.h for the design, deflate_trees.h for the blocks).
//
// Window: 65,536 bytes plus zeroed padding. The first read fills 32,768
// bytes; later refills fill the space after the lookahead. When the
// current position has reached 65,274 (32,768 + 32,506) a refill first
// slides the upper half down by 32,768 bytes and drops every hash entry by
// the same amount (entries below it become 0, "no position"). Position 0
// of the window therefore never serves as a match.
//
// Hash: 32,768 chain heads and a 32,768-entry table of predecessors indexed
// by position & 0x7FFF, all 16-bit window positions. The design rolls the
// hash one byte at a time, h = ((h << 5) ^ next) & 0x7FFF; with a 15-bit
// hash and a 5-bit shift the first byte of a string is shifted out after
// three steps, so the rolled value is exactly ((b0 << 10) ^ (b1 << 5) ^ b2)
// & 0x7FFF of the string's three bytes. It is computed that way here from
// one 4-byte load, which also covers the design's restart of the hash after
// a skipped match.
//
// Matching decisions are the design's: candidates in chain order, at most
// the mode's chain length of them, the first candidate accepted up to
// 32,506 bytes back and the following ones only while above that limit; a
// candidate replaces the best only when strictly longer; the search ends
// when the best reaches the stop-at length. Speed comes from how a
// candidate is tested, not from which. The design rejects a candidate
// unless it agrees on the two bytes around the current best length and on
// its first two bytes, then compares two bytes at a time. Here a candidate
// is measured with 8-byte loads and a count of trailing zero bits, which
// gives the same length; the test at the best length (a 16-bit load) still
// comes first once the best is 8 or longer, and below that the first 8
// bytes settle the candidate at once. Rejecting or measuring a candidate
// differently never changes which one wins: only a strictly longer one
// can. The predecessor of each candidate is read, and its bytes
// prefetched, before the candidate is tested, and the chain head of the
// next position is prefetched at each step, to hide cache latency.
//
// Bytes past the end of the input: a match is measured only up to the
// input's end (the design cuts it to the lookahead afterwards, so the two
// agree except where bytes left in the window from before would have
// decided between two candidates), and the two bytes after the end read as
// zero for the hash of the last positions. Together with clearing the hash
// at the start of every file this makes the output independent of what the
// encoder compressed before.
#include "control/engine/encode/deflate_encoder.h"

#include <algorithm>
#include <cstring>

#include "control/engine/format/crc32.h"
#include "control/engine/common/notify.h"

namespace vz::engine {

using deflate::BlockKind;

namespace {

constexpr unsigned kWindowSize = 65536;     // the window: twice the dictionary
constexpr unsigned kDictionary = 32768;     // deflate's dictionary; also the slide step
constexpr unsigned kFirstRead = 32768;      // bytes of the first read of a file
constexpr unsigned kHashSize = 32768;       // 15-bit hash
constexpr unsigned kPositionMask = 0x7FFF;  // position -> predecessor slot
constexpr unsigned kMinLookahead = deflate::kMaxMatch + deflate::kMinMatch + 1;  // 262
constexpr unsigned kMaxDistance = kDictionary - kMinLookahead;                   // 32,506
constexpr unsigned kSlideAt = kDictionary + kMaxDistance;                        // 65,274
constexpr unsigned kTooFar = 4096;          // mode 2 drops 3-byte matches farther back than this
constexpr unsigned kWindowPad = 320;        // zeros after the window for loads past the end
constexpr unsigned kRefillsPerReport = 10;  // progress on every tenth refill

inline uint16_t load16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline uint32_t load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline uint64_t load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Hash of the three bytes at p (see the file comment); little-endian load.
inline unsigned hash3(const uint8_t* p) {
  const uint32_t v = load32(p);
  return ((v << 10) ^ ((v >> 3) & 0x1FE0) ^ ((v >> 16) & 0xFF)) & (kHashSize - 1);
}

// Length of the common prefix of a and b, at most cap. Reads up to 7 bytes
// past a + cap and b + cap.
inline unsigned commonLength(const uint8_t* a, const uint8_t* b, unsigned cap) {
  unsigned n = 0;
  while (n < cap) {
    const uint64_t x = load64(a + n) ^ load64(b + n);
    if (x != 0) {
      n += static_cast<unsigned>(__builtin_ctzll(x)) >> 3;
      return n < cap ? n : cap;
    }
    n += 8;
  }
  return cap;
}

}  // namespace

struct DeflateEncoder::State {
  // Buffers, allocated once.
  uint8_t window[kWindowSize + kWindowPad];  // the window; the padding stays zero
  uint16_t head[kHashSize];                  // latest position of each hash value (0: none)
  uint16_t prev[kDictionary];                // previous position of the same hash, by position & 0x7FFF
  deflate::BlockCoder coder;                 // symbol buffer, trees, block closing
  deflate::BitOutput out;                    // bit packing and the 24,576-byte output buffer

  // The running file.
  DeflateInput* input = nullptr;  // the file being read
  unsigned pos = 0;               // current position in the window
  unsigned lookahead = 0;         // bytes from pos to the end of the data read
  int64_t blockStart = 0;         // window position of the open block's first byte (< 0: slid out)
  bool eof = false;               // a read returned nothing
  bool stop = false;              // an output error ended the compression
  bool vanished = false;          // the raw copy was due, its input gone
  bool rawCopy = false;           // the output is the raw input
  uint64_t bytesRead = 0;         // input bytes read
  uint32_t crc = 0;               // CRC-32 of those
  unsigned refills = 0;           // refills so far (the first read not counted)
  uint64_t codedBytes = 0;        // input bytes in closed blocks
  uint64_t inputLength = 0;       // the input's length at the start (progress rate)
  DeflateProgress progress;       // where reports go
  bool running = false;           // compress() is active (re-entry guard)
  BlockObserver observer;         // test hook

  void start(DeflateInput& in, DeflateOutput& sink, const DeflateProgress& p);
  void refill();
  void readInto(unsigned at, unsigned count);
  void slide();
  void report(unsigned rate);
  void closeBlock(bool last);
  template <unsigned Chain, unsigned Nice, unsigned InsertLimit, bool FarRule>
  void run();
};

void DeflateEncoder::State::start(DeflateInput& in, DeflateOutput& sink, const DeflateProgress& p) {
  input = &in;
  progress = p;
  if (progress.fileName == nullptr) progress.fileName = "";
  // The chain heads start empty. The predecessor table needs no clearing:
  // a chain only reaches positions entered in this file, whose entries
  // were written when they were entered.
  std::fill(std::begin(head), std::end(head), uint16_t{0});
  coder.reset();
  out.start(&sink);
  pos = 0;
  lookahead = 0;
  blockStart = 0;
  eof = stop = vanished = rawCopy = false;
  bytesRead = 0;
  crc = 0;
  refills = 0;
  codedBytes = 0;
  inputLength = in.length();

  readInto(0, kFirstRead);
  while (lookahead < kMinLookahead && !eof) refill();
}

void DeflateEncoder::State::readInto(unsigned at, unsigned count) {
  const size_t n = input->read(window + at, count);
  if (n == 0) {
    eof = true;
    // The bytes after the end take part in the hash of the last two
    // positions: make them zeros, not leftovers.
    std::memset(window + at, 0, std::min<size_t>(deflate::kMaxMatch + 8, sizeof window - at));
    return;
  }
  crc = crc32Update(crc, window + at, n);
  bytesRead += n;
  lookahead += static_cast<unsigned>(n);
}

void DeflateEncoder::State::slide() {
  std::memcpy(window, window + kDictionary, kDictionary);
  pos -= kDictionary;
  blockStart -= kDictionary;
  // Entries below the slide point become 0 (no position); the loop is
  // written so that it vectorises.
  for (uint16_t& h : head) h = static_cast<uint16_t>(h >= kDictionary ? h - kDictionary : 0);
  for (uint16_t& h : prev) h = static_cast<uint16_t>(h >= kDictionary ? h - kDictionary : 0);
}

void DeflateEncoder::State::refill() {
  unsigned more = kWindowSize - lookahead - pos;
  if (pos >= kSlideAt) {
    slide();
    more += kDictionary;
  }
  readInto(pos + lookahead, more);
  if (++refills % kRefillsPerReport == 0) {
    const uint64_t rate = inputLength == 0 ? 0 : std::min<uint64_t>(100, codedBytes * 100 / inputLength);
    report(static_cast<unsigned>(rate));
  }
}

void DeflateEncoder::State::report(unsigned rate) {
  const LParam text = reinterpret_cast<LParam>(progress.fileName);
  notify(progress.window, progress.pump, kNotifyZipping, static_cast<WParam>(out.bytesProduced() / 1024 + 1), text);
  notify(progress.window, progress.pump, kNotifyZipping2, rate, text);
}

void DeflateEncoder::State::closeBlock(bool last) {
  const uint64_t length = static_cast<uint64_t>(static_cast<int64_t>(pos) - blockStart);
  const uint8_t* blockInput = blockStart >= 0 ? window + blockStart : nullptr;
  const BlockKind kind = coder.close(out, blockInput, length, last);
  if (observer) {
    DeflateBlockInfo info;
    info.inputOffset = codedBytes;
    info.inputLength = length;
    info.kind = kind;
    info.last = last;
    info.symbolCount = coder.count();
    info.literalsOrLengths = coder.literalsOrLengths();
    info.distances = coder.distances();
    observer(info);
  }
  coder.reset();
  codedBytes += length;
  blockStart = pos;
  if (kind == BlockKind::RawCopy) rawCopy = true;
  if (kind == BlockKind::Vanished) vanished = true;
  if (out.failed() || vanished) stop = true;
}

// The matching loop of one mode. Entry: the window holds lookahead bytes
// from pos, at least 262 of them unless the input has ended.
template <unsigned Chain, unsigned Nice, unsigned InsertLimit, bool FarRule>
void DeflateEncoder::State::run() {
  uint8_t* const win = window;
  uint16_t* const heads = head;
  uint16_t* const prevs = prev;
  unsigned p = pos;
  unsigned look = lookahead;

  while (look != 0) {
    // Enter the string at p into the hash; its chain's old head is the
    // first candidate.
    const unsigned h = hash3(win + p);
    __builtin_prefetch(&heads[hash3(win + p + 1)]);
    unsigned cand = heads[h];
    prevs[p & kPositionMask] = static_cast<uint16_t>(cand);
    heads[h] = static_cast<uint16_t>(p);

    unsigned length = 0;
    unsigned matchPos = 0;
    // With fewer than 3 bytes left any match would be cut below 3.
    if (cand != 0 && p - cand <= kMaxDistance && look >= deflate::kMinMatch) {
      // Chain search. Entry: 3 <= cap <= 258; reads stay within the data
      // but for the 8-byte loads, which the padding covers.
      const uint8_t* const scan = win + p;
      const unsigned cap = look < deflate::kMaxMatch ? look : deflate::kMaxMatch;
      const unsigned stopAt = Nice < cap ? Nice : cap;
      const unsigned limit = p > kMaxDistance ? p - kMaxDistance : 0;
      const uint64_t scanStart = load64(scan);
      unsigned best = deflate::kMinMatch - 1;
      uint16_t scanEnd = load16(scan + best - 1);
      unsigned chain = Chain;
      do {
        const uint8_t* const m = win + cand;
        const unsigned next = prevs[cand & kPositionMask];
        __builtin_prefetch(win + next + best - 1);
        // A candidate can only be longer than best when it agrees on the
        // bytes at best - 1 and best (tested first once best reaches 8)
        // and on its first bytes; the first 8 bytes decide short matches
        // outright.
        if (best < 8 || load16(m + best - 1) == scanEnd) {
          const uint64_t diff = load64(m) ^ scanStart;
          unsigned len = diff != 0 ? static_cast<unsigned>(__builtin_ctzll(diff)) >> 3
                                   : 8 + commonLength(scan + 8, m + 8, cap > 8 ? cap - 8 : 0);
          if (len > cap) len = cap;
          if (len > best) {
            best = len;
            matchPos = cand;
            if (best >= stopAt) break;
            scanEnd = load16(scan + best - 1);
          }
        }
        cand = next;
      } while (cand > limit && --chain != 0);
      length = best;
      if (FarRule && length == deflate::kMinMatch && p - matchPos > kTooFar) length = 0;
    }

    bool check;
    if (length >= deflate::kMinMatch) {
      check = coder.match(p - matchPos, length);
      look -= length;
      if (length <= InsertLimit) {
        // Enter every other position the match covers.
        const unsigned end = p + length;
        for (unsigned q = p + 1; q < end; ++q) {
          const unsigned hq = hash3(win + q);
          prevs[q & kPositionMask] = heads[hq];
          heads[hq] = static_cast<uint16_t>(q);
        }
      }
      p += length;
    } else {
      check = coder.literal(win[p]);
      --look;
      ++p;
    }

    if (check && coder.shouldClose(static_cast<uint64_t>(static_cast<int64_t>(p) - blockStart))) {
      pos = p;
      lookahead = look;
      closeBlock(false);
      if (stop) return;
    }
    if (look < kMinLookahead && !eof) {
      pos = p;
      lookahead = look;
      do refill();
      while (lookahead < kMinLookahead && !eof);
      p = pos;
      look = lookahead;
    }
  }
  pos = p;
  lookahead = look;
}

DeflateEncoder::DeflateEncoder() : state_(std::make_unique<State>()) {}
DeflateEncoder::~DeflateEncoder() = default;

void DeflateEncoder::setBlockObserver(BlockObserver observer) { state_->observer = std::move(observer); }

DeflateResult DeflateEncoder::compress(int mode, DeflateInput& input, DeflateOutput& output,
                                       const DeflateProgress& progress) {
  DeflateResult result;
  State& st = *state_;
  if (st.running) {
    result.busy = true;
    return result;
  }
  st.running = true;
  st.start(input, output, progress);

  switch (mode) {
    case kDeflateModeFast:
      st.run<4, 8, 8, false>();
      break;
    case kDeflateModeMaximum:
      st.run<4096, 258, 258, true>();
      break;
    default:  // 0, and every other value
      st.run<128, 64, 128, false>();
      break;
  }
  if (!st.stop) {
    st.closeBlock(true);
    st.out.finish();
    if (!st.stop && !st.out.failed()) st.report(100);
  }

  result.compressedSize = st.out.bytesProduced();
  result.bytesRead = st.bytesRead;
  result.crc32 = st.crc;
  result.outputError = st.out.failed() || st.vanished;
  result.rawCopy = st.rawCopy && !result.outputError;
  st.running = false;
  return result;
}

}  // namespace vz::engine
