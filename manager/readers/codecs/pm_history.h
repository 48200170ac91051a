// PMarc's byte history (-pm1-, -pm2-): the 256 byte values in an order of
// recent use. A literal is coded as its distance from the front of this
// order, so that recently seen bytes take few bits; after every output
// byte that byte moves to the front.
//
// The order starts in groups: from the front, 20..7F hex (printable ASCII),
// then 00..1F, A0..DF, 80..9F and E0..FF, each group in rising order. The
// order is a ring kept doubly linked, so that a lookup walks from whichever
// end is nearer and the move to the front takes a few stores.
#pragma once

#include <array>
#include <cstdint>

namespace vz::readers::codecs {

class PmHistory {
 public:
  PmHistory() {
    // A plain chain first: walking "older" from b gives b + 1.
    for (int i = 0; i < 256; ++i) {
      older_[i] = static_cast<uint8_t>(i + 1);
      newer_[i] = static_cast<uint8_t>(i - 1);
    }
    front_ = 0x20;
    // Then the groups are joined end to start: 20..7F, 00..1F, A0..DF,
    // 80..9F, E0..FF, and back round to 20.
    link(0x7f, 0x00);
    link(0x1f, 0xa0);
    link(0xdf, 0x80);
    link(0x9f, 0xe0);
    link(0xff, 0x20);
  }

  // The byte at distance d from the front (0 = the most recent byte).
  uint8_t at(uint8_t d) const {
    uint8_t b = front_;
    if (d < 128) {
      for (unsigned i = 0; i < d; ++i) b = older_[b];
    } else {
      for (unsigned i = 0; i < 256u - d; ++i) b = newer_[b];
    }
    return b;
  }

  // Moves b to the front.
  void use(uint8_t b) {
    if (b == front_) return;
    // Take b out of the ring...
    older_[newer_[b]] = older_[b];
    newer_[older_[b]] = newer_[b];
    // ...and put it in between the old front and the byte newest before
    // the front (the ring's other end), so that it becomes the front.
    const uint8_t last = newer_[front_];
    older_[b] = front_;
    newer_[b] = last;
    older_[last] = b;
    newer_[front_] = b;
    front_ = b;
  }

  uint8_t front() const { return front_; }

 private:
  void link(uint8_t from, uint8_t to) {
    older_[from] = to;
    newer_[to] = from;
  }

  std::array<uint8_t, 256> older_{};
  std::array<uint8_t, 256> newer_{};
  uint8_t front_ = 0x20;
};

}  // namespace vz::readers::codecs
