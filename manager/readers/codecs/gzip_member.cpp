// The gzip member decoder (see gzip_member.h).
//
// The header is read byte by byte from the input, the data by the engine's
// streamed inflate straight from the same input, and the trailer from the
// bytes the inflater took in behind the last block (at most 8, which the
// trailer always uses up) and then from the input again. So one input
// carries any number of members with no buffer of its own. The decoded
// bytes pass through a CRC-counting output on their way to the caller's.
#include "manager/readers/codecs/gzip_member.h"

#include "control/engine/decode/inflate64.h"
#include "control/engine/format/crc32.h"

namespace vz::readers::codecs {

using engine::DecodeStatus;

namespace {

constexpr uint8_t kFText = 0x01;
constexpr uint8_t kFHcrc = 0x02;
constexpr uint8_t kFExtra = 0x04;
constexpr uint8_t kFName = 0x08;
constexpr uint8_t kFComment = 0x10;
constexpr uint8_t kFReserved = 0xE0;
constexpr uint8_t kMethodDeflate = 8;

// Bytes from the inflater's tail first, then from the input; counts them
// and keeps a CRC-32 of them for the header check.
class ByteCursor {
 public:
  explicit ByteCursor(engine::DecodeInput& in, const engine::InflateTail* tail = nullptr) : in_(in), tail_(tail) {}

  bool next(uint8_t& b) {
    if (tail_ != nullptr && tailPos_ < tail_->count) {
      b = tail_->bytes[tailPos_++];
    } else {
      if (in_.available() == 0 && !in_.refill()) return false;
      b = *in_.data();
      in_.consume(1);
    }
    crc_ = engine::crc32Update(crc_, &b, 1);
    ++count_;
    return true;
  }
  bool next32(uint32_t& v) {
    v = 0;
    for (unsigned i = 0; i < 4; ++i) {
      uint8_t b = 0;
      if (!next(b)) return false;
      v |= static_cast<uint32_t>(b) << (8 * i);
    }
    return true;
  }
  // Reads a zero-ended text, keeping at most kGzipMaxText bytes of it.
  bool text(std::string& out) {
    for (uint8_t b = 0;;) {
      if (!next(b)) return false;
      if (b == 0) return true;
      if (out.size() < kGzipMaxText) out.push_back(static_cast<char>(b));
    }
  }
  void addCrc(const uint8_t* p, size_t n) {
    crc_ = engine::crc32Update(crc_, p, n);
    count_ += n;
  }
  uint32_t crc() const { return crc_; }
  uint64_t count() const { return count_; }

 private:
  engine::DecodeInput& in_;
  const engine::InflateTail* tail_;  // bytes that come first, may be null
  size_t tailPos_ = 0;               // tail bytes handed out
  uint32_t crc_ = 0;                 // CRC-32 of the bytes handed out
  uint64_t count_ = 0;               // bytes handed out (with addCrc's)
};

// Passes the decoded bytes on and counts their CRC-32 and size.
class CrcOutput final : public engine::DecodeOutput {
 public:
  explicit CrcOutput(engine::DecodeOutput& next) : next_(next) {}
  uint32_t crc = 0;   // CRC-32 of the bytes passed on
  uint64_t size = 0;  // their number

 protected:
  bool write(const uint8_t* data, size_t count) override {
    const uint64_t before = next_.total();
    const bool ok = next_.flush(data, count);
    const size_t taken = static_cast<size_t>(next_.total() - before);
    crc = engine::crc32Update(crc, data, taken);
    size += taken;
    return ok;
  }

 private:
  engine::DecodeOutput& next_;
};

// The header after the signature (which the caller has read and checked).
GzipStatus readHeaderRest(ByteCursor& cur, GzipHeader& h) {
  uint8_t b = 0;
  if (!cur.next(h.method) || !cur.next(h.flags) || !cur.next32(h.mtime) || !cur.next(h.extraFlags) || !cur.next(h.os))
    return GzipStatus::BadHeader;
  if ((h.flags & kFReserved) != 0) return GzipStatus::BadHeader;
  h.text = (h.flags & kFText) != 0;
  if ((h.flags & kFExtra) != 0) {
    uint8_t lo = 0, hi = 0;
    if (!cur.next(lo) || !cur.next(hi)) return GzipStatus::BadHeader;
    h.extraLength = static_cast<uint16_t>(lo | (hi << 8));
    for (unsigned i = 0; i < h.extraLength; ++i) {
      if (!cur.next(b)) return GzipStatus::BadHeader;
    }
  }
  h.hasName = (h.flags & kFName) != 0;
  if (h.hasName && !cur.text(h.name)) return GzipStatus::BadHeader;
  h.hasComment = (h.flags & kFComment) != 0;
  if (h.hasComment && !cur.text(h.comment)) return GzipStatus::BadHeader;
  h.hasHeaderCrc = (h.flags & kFHcrc) != 0;
  if (h.hasHeaderCrc) {
    const uint16_t expected = static_cast<uint16_t>(cur.crc());
    uint8_t lo = 0, hi = 0;
    if (!cur.next(lo) || !cur.next(hi)) return GzipStatus::BadHeader;
    if (static_cast<uint16_t>(lo | (hi << 8)) != expected) return GzipStatus::BadHeaderCrc;
  }
  h.headerSize = static_cast<uint32_t>(cur.count());
  if (h.method != kMethodDeflate) return GzipStatus::UnsupportedMethod;
  return GzipStatus::Ok;
}

GzipStatus fromDecode(DecodeStatus s) {
  switch (s) {
    case DecodeStatus::Ok:
      return GzipStatus::Ok;
    case DecodeStatus::NoMemory:
      return GzipStatus::NoMemory;
    case DecodeStatus::OutputStopped:
      return GzipStatus::OutputStopped;
    case DecodeStatus::Cancelled:
      return GzipStatus::Cancelled;
    default:
      return GzipStatus::BadData;
  }
}

// Bytes taken from the input so far, up to an unknown constant.
uint64_t consumedMark(const engine::DecodeInput& in) { return uint64_t{0} - in.remaining() - in.available(); }

// One member; signatureRead: its first two bytes (1F 8B) were already taken.
GzipStatus decodeMember(engine::DecodeInput& input, engine::DecodeOutput& output, GzipMemberResult& r,
                        const engine::DecodeHooks* hooks, bool signatureRead) {
  r = GzipMemberResult{};
  ByteCursor head(input);
  if (signatureRead) {
    static constexpr uint8_t kSignature[2] = {0x1F, 0x8B};
    head.addCrc(kSignature, 2);
  } else {
    uint8_t s0 = 0, s1 = 0;
    if (!head.next(s0) || !head.next(s1) || s0 != 0x1F || s1 != 0x8B) return GzipStatus::BadHeader;
  }
  if (const GzipStatus hs = readHeaderRest(head, r.header); hs != GzipStatus::Ok) return hs;

  CrcOutput crcOut(output);
  engine::InflateTail tail;
  const uint64_t before = consumedMark(input);
  const DecodeStatus ds = engine::inflateStreamed(input, crcOut, engine::DeflateVariant::Deflate, hooks, &tail);
  r.crc = crcOut.crc;
  r.size = crcOut.size;
  if (ds != DecodeStatus::Ok) return fromDecode(ds);
  const uint64_t deflated = consumedMark(input) - before - tail.count;

  ByteCursor trailer(input, &tail);
  if (!trailer.next32(r.storedCrc) || !trailer.next32(r.storedSize)) return GzipStatus::BadTrailer;
  r.memberSize = r.header.headerSize + deflated + 8;
  // A look at what follows.
  uint8_t b0 = 0, b1 = 0;
  if (trailer.next(b0)) {
    const bool second = trailer.next(b1);
    r.anotherMember = second && b0 == 0x1F && b1 == 0x8B;
    r.trailingBytes = !r.anotherMember;
  }
  if (r.crc != r.storedCrc) return GzipStatus::CrcMismatch;
  if (static_cast<uint32_t>(r.size) != r.storedSize) return GzipStatus::SizeMismatch;
  return GzipStatus::Ok;
}

}  // namespace

GzipStatus readGzipHeader(engine::DecodeInput& input, GzipHeader& header) {
  header = GzipHeader{};
  ByteCursor cur(input);
  uint8_t s0 = 0, s1 = 0;
  if (!cur.next(s0) || !cur.next(s1) || s0 != 0x1F || s1 != 0x8B) return GzipStatus::BadHeader;
  return readHeaderRest(cur, header);
}

GzipStatus decodeGzipMember(engine::DecodeInput& input, engine::DecodeOutput& output, GzipMemberResult& result,
                            const engine::DecodeHooks* hooks) {
  return decodeMember(input, output, result, hooks, false);
}

GzipStatus decodeGzipMembers(engine::DecodeInput& input, engine::DecodeOutput& output,
                             std::vector<GzipMemberResult>& members, const engine::DecodeHooks* hooks) {
  bool signatureRead = false;
  for (;;) {
    GzipMemberResult r;
    const GzipStatus s = decodeMember(input, output, r, hooks, signatureRead);
    members.push_back(r);
    if (s != GzipStatus::Ok || !r.anotherMember) return s;
    signatureRead = true;
  }
}

}  // namespace vz::readers::codecs
