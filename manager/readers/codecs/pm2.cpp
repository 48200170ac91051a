// The -pm2- decoder (see pm2.h).
//
// The stream opens with one bit that means nothing, then the trees. The
// code tree has up to 29 symbols: 0..7 are literals (a class of history
// distance, followed by the distance's low bits), 8..28 copies (8..22 copy
// 2..16 bytes, 23..27 carry a longer count in a few more bits, 28 copies 256
// bytes from just behind the current position). A copy of 3 bytes or more
// reads one symbol of the offset tree, the number of bits of its offset; a
// copy of 2 has a 6-bit offset. An offset of 0 is the byte before the
// current position, and the 8 KiB history starts out as blanks.
//
// The trees are read again at fixed points of the output: the offset tree
// after 1 and 2 KiB (with one more symbol each time, as longer offsets
// become possible), after 4 KiB the code tree if a flag bit says so and the
// offset tree in any case, and from 8 KiB on every 4 KiB both, if a flag bit
// says so. A rebuild point may fall inside a copy; its bits follow the
// copy's codes, so it is made once the copy is done.
//
// A tree comes as a list of code lengths, and is laid out the way the
// method's own extractor lays it out: from the root down, one level at a
// time, the open branches of a level are given in order to the symbols of
// that length (in symbol order) and whatever branches remain open grow into
// the next level. For a complete code this is the canonical assignment; for
// the odd incomplete list it is kept exactly (including a level that does
// not fit the tree's room and so is not grown), so that such streams decode
// as they do there. A branch left open is an impossible code (BadData if it
// is ever read), as is a list that has more codes at a level than open
// branches.
#include "manager/readers/codecs/pm2.h"

#include <array>
#include <cstring>

#include "manager/readers/codecs/lh_bits.h"
#include "manager/readers/codecs/lh_window.h"
#include "manager/readers/codecs/pm_history.h"

namespace vz::readers::codecs {

namespace {

using engine::DecodeStatus;

constexpr size_t kHistory = 8192;  // the ring copies read from
constexpr int kCodeSymbols = 29;   // symbols with a meaning in the code tree
constexpr int kMaxLengths = 31;    // a code tree's list holds up to 31 lengths
constexpr int kCodeRoom = 65;      // branches of the code tree's layout
constexpr int kOffsetRoom = 17;    // and of the offset tree's

// A class and the bits that follow it: literals give a history distance,
// the long copy symbols (23..27) a count.
struct Range {
  uint16_t base;
  uint8_t bits;
};
constexpr Range kLiteral[8] = {{0, 3}, {8, 3}, {16, 4}, {32, 5}, {64, 5}, {96, 5}, {128, 6}, {192, 6}};
constexpr Range kLongCount[5] = {{17, 3}, {25, 3}, {33, 5}, {65, 6}, {129, 7}};

// One tree: its layout (the branches, slot 0 being the root) and a lookup
// table over the first kTableBits bits of a code.
class PmTree {
 public:
  static constexpr int kTableBits = 9;

  // Every lookup gives symbol and takes no bits; symbol -1: no symbol.
  void single(int symbol) {
    slots_[0] = symbol < 0 ? Slot{} : Slot{kLeaf, static_cast<uint8_t>(symbol)};
    fillTable();
  }

  // Lays out lengths[0..n) in room branches (room <= kCodeRoom). False
  // when a level has more codes than open branches.
  bool build(const uint8_t* lengths, int n, int room) {
    slots_.fill(Slot{});
    int open = 0, used = 1;  // the open branches are slots [open, used)
    for (int len = 1;; ++len) {
      // Grow every open branch into a node of two, if they all fit.
      const int grown = used + 2 * (used - open);
      if (grown <= room) {
        for (const int end = used; open < end; ++open) {
          slots_[open] = Slot{kNode, static_cast<uint8_t>(used)};
          used += 2;
        }
      }
      bool longer = false;
      for (int i = 0; i < n; ++i) {
        if (lengths[i] == len) {
          if (open >= used) return false;
          slots_[open++] = Slot{kLeaf, static_cast<uint8_t>(i)};
        } else if (lengths[i] > len) {
          longer = true;
        }
      }
      if (!longer) break;
    }
    fillTable();
    return true;
  }

  // The next symbol, or -1 when the code leads to an open branch.
  int decode(LhBits& bits) const {
    const Entry e = table_[bits.peek(kTableBits)];
    if (e.kind == kLeaf) {
      bits.skip(e.depth);
      return e.value;
    }
    if (e.kind == kOpen) return -1;
    bits.skip(kTableBits);
    // A deeper code, a bit at a time; children lie past their parent, so
    // this ends within the layout.
    int node = e.value;
    for (int guard = 0; guard < kCodeRoom; ++guard) {
      const Slot s = slots_[node + static_cast<int>(bits.get(1))];
      if (s.kind != kNode) return s.kind == kLeaf ? s.value : -1;
      node = s.value;
    }
    return -1;
  }

 private:
  enum Kind : uint8_t { kOpen, kLeaf, kNode };
  struct Slot {
    Kind kind = kOpen;
    uint8_t value = 0;  // a leaf's symbol, or the first of a node's two children
  };
  struct Entry {
    Kind kind = kOpen;
    uint8_t value = 0;  // a leaf's symbol, or the node reached after kTableBits bits
    uint8_t depth = 0;  // a leaf's code length
  };

  void fillTable() {
    for (uint32_t p = 0; p < table_.size(); ++p) {
      Slot s = slots_[0];
      int depth = 0;
      while (s.kind == kNode && depth < kTableBits) {
        s = slots_[s.value + ((p >> (kTableBits - 1 - depth)) & 1)];
        ++depth;
      }
      table_[p] = Entry{s.kind, s.value, static_cast<uint8_t>(depth)};
    }
  }

  std::array<Slot, kCodeRoom + 1> slots_{};  // one spare: a node's second child at the edge
  std::array<Entry, 1u << kTableBits> table_{};
};

class Pm2Decoder {
 public:
  Pm2Decoder(engine::DecodeInput& in, LhWindow& w, uint64_t size) : bits_(in), w_(w), size_(size) { ring_.fill(' '); }

  DecodeStatus run() {
    if (w_.done()) return DecodeStatus::Ok;
    bits_.get(1);
    if (!readCodeTree() || !readOffsetTree(5)) return DecodeStatus::BadData;
    uint64_t next = 1024;  // output position of the next rebuild
    int stage = 0;         // rebuilds made so far, up to 3
    while (!w_.done()) {
      const int c = code_.decode(bits_);
      if (c < 0 || c >= kCodeSymbols) return DecodeStatus::BadData;
      if (c < 8) {
        const Range r = kLiteral[c];
        put(history_.at(static_cast<uint8_t>(r.base + bits_.get(r.bits))));
      } else if (!copy(c - 8)) {
        return DecodeStatus::BadData;
      }
      if (bits_.pastEnd()) return DecodeStatus::BadData;
      if (pos_ >= next && pos_ < size_) {
        if (!rebuild(stage)) return DecodeStatus::BadData;
        next += stage < 2 ? 1024 * (stage + 1) : 4096;  // 1 KiB, 2 KiB, 4 KiB, then every 4 KiB
        if (stage < 3) ++stage;
        if (bits_.pastEnd()) return DecodeStatus::BadData;
      }
    }
    return DecodeStatus::Ok;
  }

 private:
  void put(uint8_t b) {
    ring_[pos_++ & (kHistory - 1)] = b;
    history_.use(b);
    w_.put(b);
  }

  // Copy symbol k (0..20): its count, its offset, then the bytes.
  bool copy(int k) {
    unsigned count = 256;
    if (k < 15) {
      count = static_cast<unsigned>(k) + 2;
    } else if (k < 20) {
      count = kLongCount[k - 15].base + bits_.get(kLongCount[k - 15].bits);
    }
    unsigned offset = 0;
    if (k == 0) {
      offset = bits_.get(6);
    } else if (k < 20) {
      const int v = offsets_.decode(bits_);
      if (v < 0) return false;
      const int width = v == 0 ? 6 : v + 5;
      offset = (v == 0 ? 0u : 1u << width) + bits_.get(width);
    }
    if (count > size_ - pos_) count = static_cast<unsigned>(size_ - pos_);
    uint64_t from = pos_ - 1 - offset;
    for (unsigned i = 0; i < count; ++i) put(ring_[from++ & (kHistory - 1)]);
    return true;
  }

  // The rebuild after stage earlier ones (see the file's head).
  bool rebuild(int stage) {
    switch (stage) {
      case 0:
        return readOffsetTree(6);
      case 1:
        return readOffsetTree(7);
      case 2:
        if (bits_.get(1) == 1 && !readCodeTree()) return false;
        return readOffsetTree(8);
      default:
        return bits_.get(1) == 0 || (readCodeTree() && readOffsetTree(8));
    }
  }

  // The code tree: a 5-bit count of lengths and a 3-bit shortest length;
  // a shortest length of 0 makes the tree the single symbol count - 1.
  // Otherwise a 3-bit width follows and the lengths in it, each 0 (unused)
  // or 1 + its excess over the shortest.
  bool readCodeTree() {
    const int n = static_cast<int>(bits_.get(5));
    const int shortest = static_cast<int>(bits_.get(3));
    // Short lists hold no copy that reads the offset tree, and the single
    // 256-byte copy has no offset: those send none.
    needOffsets_ = n >= 10 && !(n == 29 && shortest == 0);
    if (shortest == 0) {
      code_.single(n - 1);
      return true;
    }
    const int width = static_cast<int>(bits_.get(3));
    uint8_t lengths[kMaxLengths] = {};
    for (int i = 0; i < n; ++i) {
      const int v = static_cast<int>(bits_.get(width));
      lengths[i] = static_cast<uint8_t>(v == 0 ? 0 : shortest + v - 1);
    }
    return code_.build(lengths, n, kCodeRoom);
  }

  // The offset tree over n symbols (5..8): 3-bit lengths; a list with one
  // length makes a tree of that symbol alone.
  bool readOffsetTree(int n) {
    if (!needOffsets_) return true;
    uint8_t lengths[8] = {};
    int codes = 0, last = 0;
    for (int i = 0; i < n; ++i) {
      lengths[i] = static_cast<uint8_t>(bits_.get(3));
      if (lengths[i] != 0) ++codes, last = i;
    }
    if (codes == 1) {
      offsets_.single(last);
      return true;
    }
    return offsets_.build(lengths, n, kOffsetRoom);
  }

  LhBits bits_;
  LhWindow& w_;
  uint64_t size_;                         // bytes to produce
  uint64_t pos_ = 0;                      // bytes produced
  PmTree code_;                           // literal classes and copies
  PmTree offsets_;                        // offset widths
  bool needOffsets_ = false;              // the code tree has copies that read the offset tree
  PmHistory history_;                     // the order literals are coded in
  std::array<uint8_t, kHistory> ring_{};  // the last 8 KiB of output
};

}  // namespace

DecodeStatus decodePm2(engine::DecodeInput& input, engine::DecodeOutput& output, uint64_t size,
                       const engine::DecodeHooks* hooks) {
  LhWindow w(output, size, kHistory, ' ', hooks);
  if (!w.valid()) return DecodeStatus::NoMemory;
  Pm2Decoder d(input, w, size);
  const DecodeStatus s = d.run();
  const DecodeStatus f = w.finish();
  return f != DecodeStatus::Ok ? f : s;
}

}  // namespace vz::readers::codecs
